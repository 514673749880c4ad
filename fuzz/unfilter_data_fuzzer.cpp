// The buffer encoders on any bytes, Base64 and hexadecimal: every output goes
// into a heap buffer of exactly the documented room, pieces give the same
// result as one call, and encoding round-trips.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "krtools/bufenc.h"

namespace {

FilterContext Context(int variant) {
    FilterContext context;
    FilterInit(&context, variant == 2 ? KR_FILTER_FORMAT_HEX : KR_FILTER_FORMAT_BASE64);
    if (variant == 1) std::memcpy(context.format, "B64", 4);
    return context;
}

// Decodes |text| in two calls cut at |cut|, each into a buffer of exactly
// the documented room.
std::string Decode(const std::string& text, size_t cut, FilterContext context) {
    std::string out;
    for (const std::string& piece : {text.substr(0, cut), text.substr(cut)}) {
        std::vector<char> in(piece.begin(), piece.end());
        std::vector<unsigned char> room((piece.size() * 6 + 7) / 8);
        int n = UnfilterData(in.data(), room.data(), int(in.size()), &context);
        if (n < 0 || size_t(n) > room.size()) std::abort();
        out.append(reinterpret_cast<const char*>(room.data()), size_t(n));
    }
    return out;
}

std::string Encode(const std::string& data, size_t cut, FilterContext context, bool hex) {
    std::string out;
    size_t pending = 0;
    for (const std::string& piece : {data.substr(0, cut), data.substr(cut)}) {
        std::vector<unsigned char> in(piece.begin(), piece.end());
        size_t need = hex ? 2 * piece.size() : 4 * ((pending + piece.size()) / 3);
        std::vector<char> room(need);
        int n = FilterData(in.data(), room.data(), int(in.size()), &context);
        if (n < 0 || size_t(n) != need) std::abort();
        out.append(room.data(), size_t(n));
        pending = (pending + piece.size()) % 3;
    }
    std::vector<char> tail(4);
    int n = FilterFinal(tail.data(), &context);
    if (n != (hex || pending == 0 ? 0 : 4)) std::abort();
    out.append(tail.data(), size_t(n));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int variant = data[0] % 3;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    const size_t cut = data[1] % (text.size() + 1);

    const std::string whole = Decode(text, text.size(), Context(variant));
    if (Decode(text, cut, Context(variant)) != whole) std::abort();

    const bool hex = variant == 2;
    const std::string encoded =
        Encode(whole, cut % (whole.size() + 1), Context(variant == 2 ? 2 : 0), hex);
    if (Decode(encoded, cut % (encoded.size() + 1), Context(variant)) != whole) std::abort();

    if (!hex) {
        // One-shot coder: decoding skips the same characters, and the lined
        // text fits the documented room and reads back.
        std::vector<unsigned char> in(text.begin(), text.end());
        std::vector<unsigned char> out(text.size() * 3 / 4 + 1);
        int n = FilterUnfilter(in.data(), out.data(), int(in.size()), 0);
        if (std::string(out.begin(), out.begin() + n) != whole) std::abort();

        std::vector<unsigned char> raw(whole.begin(), whole.end());
        const size_t chars = 4 * ((raw.size() + 2) / 3);
        std::vector<unsigned char> lined(chars + (chars + 63) / 64);
        int m = FilterUnfilter(raw.data(), lined.data(), int(raw.size()), 1);
        if (size_t(m) != lined.size()) std::abort();
        std::vector<unsigned char> back(lined.size() * 3 / 4 + 1);
        int k = FilterUnfilter(lined.data(), back.data(), m, 0);
        if (std::string(back.begin(), back.begin() + k) != whole) std::abort();
    }
    return 0;
}
