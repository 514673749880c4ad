// Whole-group Base64 encoding through a table of the two digits of every
// 12-bit value, eight characters per step where the input allows.
#include "stream/base64/scalar/scalar.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "stream/codec_tables.h"

namespace krtools::base64 {
namespace {

using codec::kBase64Alphabet;

// The two digits of each 12-bit value as they lie in memory when stored as
// one 16-bit value on this machine.
constexpr std::array<uint16_t, 4096> MakeStoredPairs() {
    std::array<uint16_t, 4096> table{};
    for (int i = 0; i < 4096; ++i) {
        const auto first = uint16_t(uint8_t(kBase64Alphabet[i >> 6]));
        const auto second = uint16_t(uint8_t(kBase64Alphabet[i & 63]));
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        table[i] = uint16_t(first << 8 | second);
#else
        table[i] = uint16_t(second << 8 | first);
#endif
    }
    return table;
}
constexpr std::array<uint16_t, 4096> kStoredPairs = MakeStoredPairs();

inline uint64_t LoadBigEndian64(const unsigned char* in) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t v;
    std::memcpy(&v, in, sizeof v);
    return __builtin_bswap64(v);
#else
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | in[i];
    return v;
#endif
}

// Writes the eight digits of the two groups in the top 48 bits of |v|.
inline void EncodeTwoGroups(uint64_t v, char* out) {
    const uint16_t pairs[4] = {kStoredPairs[(v >> 52) & 0xFFF], kStoredPairs[(v >> 40) & 0xFFF],
                               kStoredPairs[(v >> 28) & 0xFFF], kStoredPairs[(v >> 16) & 0xFFF]};
    std::memcpy(out, pairs, sizeof pairs);
}

inline void EncodeGroup(const unsigned char* in, char* out) {
    const uint32_t v = (uint32_t(in[0]) << 16) | (uint32_t(in[1]) << 8) | in[2];
    const uint16_t pairs[2] = {kStoredPairs[v >> 12], kStoredPairs[v & 0xFFF]};
    std::memcpy(out, pairs, sizeof pairs);
}

}  // namespace

char* EncodeScalar(const unsigned char* in, size_t groups, char* out) {
    // Two groups per step from one 8-byte load; the load reads two bytes past
    // the pair, so the last pair of the input goes the short way.
    for (; groups >= 5; groups -= 4, in += 12, out += 16) {
        const uint64_t first = LoadBigEndian64(in);
        const uint64_t second = LoadBigEndian64(in + 6);
        EncodeTwoGroups(first, out);
        EncodeTwoGroups(second, out + 8);
    }
    for (; groups >= 3; groups -= 2, in += 6, out += 8) EncodeTwoGroups(LoadBigEndian64(in), out);
    for (; groups != 0; --groups, in += 3, out += 4) EncodeGroup(in, out);
    return out;
}

}  // namespace krtools::base64
