// Differential: the Base64 coders and CRC-16 paths of every instruction-set
// level this processor allows against the baseline ones, on the fuzz input as
// bytes to encode, as text to decode (noise included) and as text cut into
// pieces for UnfilterData, whose result and carried bits must match a
// decoder that takes one character at a time.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "krtools/bufenc.h"
#include "platform/cpu.h"
#include "stream/base64/kernels.h"
#include "text/crc16_kernels.h"

namespace {

using krplatform::CpuLevel;
using krtools::base64::Kernels;
using krtools::base64::KernelsFor;

void Require(bool condition) {
    if (!condition) std::abort();
}

void CompareBlockCoders(const Kernels& base, const Kernels& other, const unsigned char* data,
                        size_t size) {
    const size_t groups = size / 3;
    std::vector<char> want(4 * groups + 1), got(4 * groups + 1);
    Require(base.encode(data, groups, want.data()) == want.data() + 4 * groups);
    Require(other.encode(data, groups, got.data()) == got.data() + 4 * groups);
    Require(want == got);

    std::vector<unsigned char> wantBytes(size + 64, 0xEE), gotBytes(size + 64, 0xEE);
    const size_t decoded = base.decode(data, size, wantBytes.data());
    Require(other.decode(data, size, gotBytes.data()) == decoded && wantBytes == gotBytes);
    // The digits of the fuzz input's own encoding, so that long runs decode.
    const auto* text = reinterpret_cast<const unsigned char*>(want.data());
    Require(other.decode(text, 4 * groups, gotBytes.data()) == groups);
    Require(groups == 0 || std::memcmp(gotBytes.data(), data, 3 * groups) == 0);

    const size_t kept = base.compress(data, size, wantBytes.data());
    Require(other.compress(data, size, gotBytes.data()) == kept);
    Require(std::memcmp(wantBytes.data(), gotBytes.data(), kept) == 0);
}

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// UnfilterData in pieces whose lengths come from the input, against the
// decoder that takes one character at a time.
void CompareUnfilterData(const unsigned char* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    FilterContext context;
    FilterInit(&context, KR_FILTER_FORMAT_BASE64);
    uint32_t buffer = 0;
    int bitCount = 0;
    std::vector<unsigned char> out(size + 1), expected;
    for (size_t at = 0, step = 0; at < size; ++step) {
        const size_t length = std::min<size_t>(size - at, 1 + data[step % size] * 7);
        const int n = UnfilterData(text + at, out.data(), int(length), &context);
        expected.clear();
        for (size_t i = at; i < at + length; ++i) {
            const char* digit = text[i] != '\0' ? std::strchr(kAlphabet, text[i]) : nullptr;
            if (digit == nullptr) continue;
            buffer = (buffer << 6) | uint32_t(digit - kAlphabet);
            bitCount += 6;
            if (bitCount >= 8) expected.push_back(uint8_t(buffer >> (bitCount -= 8)));
        }
        Require(size_t(n) == expected.size() &&
                std::equal(expected.begin(), expected.end(), out.begin()));
        Require(uint32_t(context.bitBuffer) == buffer && context.bitCount == bitCount);
        at += length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Kernels& base = KernelsFor(CpuLevel::kScalar);
    for (int level = 1; level <= int(krplatform::SimdLevel()); ++level)
        CompareBlockCoders(base, KernelsFor(CpuLevel(level)), data, size);
    CompareUnfilterData(data, size);

    const uint16_t start = size >= 2 ? uint16_t(data[0] << 8 | data[1]) : 0;
    const uint16_t crc = krtools::crc::CrcBytes(start, data, size);
    Require(krtools::crc::CrcTable(start, data, size) == crc);
    if (krplatform::SimdLevel() >= CpuLevel::kAvx2)
        Require(krtools::crc::CrcPclmul(start, data, size) == crc);
    if (krplatform::SimdLevel() >= CpuLevel::kAvx512)
        Require(krtools::crc::CrcVpclmul(start, data, size) == crc);
    return 0;
}
