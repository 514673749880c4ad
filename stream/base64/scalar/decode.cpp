// Baseline Base64 decoding of whole groups and removal of the characters
// outside the alphabet, and the baseline coder set.
#include <cstdint>
#include <cstring>

#include "stream/base64/kernels.h"
#include "stream/base64/scalar/scalar.h"
#include "stream/codec_tables.h"

namespace krtools::base64 {
namespace {

using namespace codec;

// The 24 bits of the group at |in|, or a value with kBadGroup set.
inline uint32_t GroupValue(const unsigned char* in) {
    return kGroupDigit0[in[0]] | kGroupDigit1[in[1]] | kGroupDigit2[in[2]] | kGroupDigit3[in[3]];
}

inline void StoreGroup(uint32_t v, unsigned char* out) {
    out[0] = uint8_t(v >> 16);
    out[1] = uint8_t(v >> 8);
    out[2] = uint8_t(v);
}

}  // namespace

size_t DecodeScalar(const unsigned char* in, size_t length, unsigned char* out) {
    size_t groups = 0;
    // Two groups per step with one check for a character outside the
    // alphabet; a step that finds one leaves its groups to the single steps.
    for (; length >= 8; length -= 8, in += 8, out += 6, groups += 2) {
        const uint32_t first = GroupValue(in);
        const uint32_t second = GroupValue(in + 4);
        if ((first | second) & kBadGroup) break;
        StoreGroup(first, out);
        StoreGroup(second, out + 3);
    }
    for (; length >= 4; length -= 4, in += 4, out += 3, ++groups) {
        const uint32_t v = GroupValue(in);
        if (v & kBadGroup) break;
        StoreGroup(v, out);
    }
    return groups;
}

size_t CompressScalar(const unsigned char* in, size_t length, unsigned char* out) {
    size_t kept = 0;
    for (size_t i = 0; i < length; ++i) {
        out[kept] = in[i];
        kept += kBase64Values[in[i]] != kNotDigit;
    }
    return kept;
}

const Kernels kScalarKernels = {EncodeScalar, DecodeScalar, CompressScalar, false};

}  // namespace krtools::base64
