// Base64 and hexadecimal coding of the buffer encoders against OpenSSL and a
// small reference decoder. Decoding: UnfilterData, fed in two pieces split
// where the input says, gives the reference's octets (non-alphabet
// characters skipped, leftover bits dropped), and OpenSSL's EVP_DecodeBlock
// agrees on text whose alphabet characters come in groups of four.
// Encoding: FilterData/FilterFinal and FilterUnfilter match EVP_EncodeBlock,
// hexadecimal matches OPENSSL_buf2hexstr_ex.
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "krtools/bufenc.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Characters of `digits` accumulate `bits` each; octets come out whole.
std::string ReferenceDecode(const std::string& text, const char* digits, int bits) {
    std::string out;
    uint32_t buffer = 0;
    int pending = 0;
    for (char c : text) {
        const char* at = c != '\0' ? std::strchr(digits, c) : nullptr;
        if (at == nullptr) continue;
        buffer = (buffer << bits) | static_cast<uint32_t>(at - digits);
        pending += bits;
        if (pending >= 8) {
            pending -= 8;
            out += static_cast<char>((buffer >> pending) & 0xFF);
        }
    }
    return out;
}

std::string Unfilter(const std::string& text, int format, size_t split) {
    FilterContext context;
    FilterInit(&context, format);
    std::vector<unsigned char> out(text.size() + 8);
    int written = UnfilterData(text.data(), out.data(), static_cast<int>(split), &context);
    written += UnfilterData(text.data() + split, out.data() + written,
                            static_cast<int>(text.size() - split), &context);
    return std::string(out.begin(), out.begin() + written);
}

void CheckDecoding(const std::string& text, size_t split) {
    const std::string base64 = ReferenceDecode(text, kAlphabet, 6);
    Check(Unfilter(text, KR_FILTER_FORMAT_BASE64, split) == base64);
    Check(Unfilter(text, KR_FILTER_FORMAT_HEX, split) ==
          ReferenceDecode(text, "0123456789ABCDEF", 4));

    std::string letters;
    for (char c : text) {
        if (c != '\0' && std::strchr(kAlphabet, c) != nullptr) letters += c;
    }
    if (letters.size() % 4 == 0) {
        std::vector<unsigned char> out(letters.size() / 4 * 3 + 1);
        const int n =
            EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(letters.data()),
                            static_cast<int>(letters.size()));
        Check(n == static_cast<int>(base64.size()));
        Check(std::memcmp(out.data(), base64.data(), base64.size()) == 0);
    }
    std::vector<unsigned char> whole(text.size() * 3 / 4 + 2);
    const int n = FilterUnfilter(reinterpret_cast<const unsigned char*>(text.data()), whole.data(),
                                 static_cast<int>(text.size()), 0);
    Check(std::string(whole.begin(), whole.begin() + n) == base64);
}

void CheckEncoding(const std::string& bytes, size_t split) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const int length = static_cast<int>(bytes.size());
    std::vector<unsigned char> expected(4 * ((bytes.size() + 2) / 3) + 1);
    const int expectedLength = EVP_EncodeBlock(expected.data(), in, length);

    FilterContext context;
    FilterInit(&context, KR_FILTER_FORMAT_BASE64);
    std::vector<char> out(expected.size() + 8);
    int n = FilterData(in, out.data(), static_cast<int>(split), &context);
    n += FilterData(in + split, out.data() + n, length - static_cast<int>(split), &context);
    n += FilterFinal(out.data() + n, &context);
    Check(n == expectedLength && std::memcmp(out.data(), expected.data(), n) == 0);

    std::vector<unsigned char> lines(expected.size() + expected.size() / 64 + 2);
    const int lineLength = FilterUnfilter(in, lines.data(), length, 1);
    std::string joined;
    for (int i = 0; i < lineLength; ++i) {
        if (lines[i] != '\n') joined += static_cast<char>(lines[i]);
        Check(lines[i] != '\n' || i == lineLength - 1 || (i + 1) % 65 == 0);
    }
    Check(joined == std::string(expected.begin(), expected.begin() + expectedLength));

    if (bytes.empty()) return;
    FilterInit(&context, KR_FILTER_FORMAT_HEX);
    std::vector<char> hex(bytes.size() * 2 + 1);
    n = FilterData(in, hex.data(), length, &context);
    char reference[2 * 4096 + 1];
    size_t referenceLength = 0;
    Check(OPENSSL_buf2hexstr_ex(reference, sizeof reference, &referenceLength, in, bytes.size(),
                                '\0') == 1);
    Check(n == static_cast<int>(referenceLength - 1) && std::memcmp(hex.data(), reference, n) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 4096) return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t split = rest.empty() ? 0 : data[0] % (rest.size() + 1);
    CheckDecoding(rest, split);
    CheckEncoding(rest, split);
    return 0;
}
