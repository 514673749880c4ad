// Base64 with AVX-512 VBMI: 48 bytes to 64 digits and back per step through
// byte permutes; the characters outside the alphabet are removed with the
// VBMI2 compress instruction where the processor has it.
#include <immintrin.h>

// GCC 12 takes the undefined upper parts inside some AVX-512 intrinsics for
// uninitialised values.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <array>
#include <cstdint>

#include "stream/base64/kernels.h"
#include "stream/base64/scalar/scalar.h"
#include "stream/codec_tables.h"

#define KR_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,bmi,bmi2,popcnt")))
#define KR_AVX512_VBMI2 \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")))

namespace krtools::base64 {

size_t CompressAvx2(const unsigned char* in, size_t length, unsigned char* out);

namespace {

// The value of each 7-bit character, or 0x80 outside the alphabet.
constexpr std::array<uint8_t, 128> MakeValues() {
    std::array<uint8_t, 128> table{};
    for (int c = 0; c < 128; ++c) {
        const uint8_t v = codec::kBase64Values[c];
        table[c] = v == codec::kNotDigit ? 0x80 : v;
    }
    return table;
}
alignas(64) constexpr std::array<uint8_t, 128> kValues = MakeValues();

// For output group j: input bytes 3j+1, 3j, 3j+2, 3j+1, so that each 32-bit
// lane holds (b0 << 8 | b1) below (b1 << 8 | b2).
constexpr std::array<uint8_t, 64> MakeEncodeGather() {
    std::array<uint8_t, 64> index{};
    for (int j = 0; j < 16; ++j) {
        index[4 * j] = uint8_t(3 * j + 1);
        index[4 * j + 1] = uint8_t(3 * j);
        index[4 * j + 2] = uint8_t(3 * j + 2);
        index[4 * j + 3] = uint8_t(3 * j + 1);
    }
    return index;
}
alignas(64) constexpr std::array<uint8_t, 64> kEncodeGather = MakeEncodeGather();

// For output byte 3j+k: byte 2-k of the 24-bit lane j.
constexpr std::array<uint8_t, 64> MakeDecodeGather() {
    std::array<uint8_t, 64> index{};
    for (int j = 0; j < 16; ++j)
        for (int k = 0; k < 3; ++k) index[3 * j + k] = uint8_t(4 * j + 2 - k);
    return index;
}
alignas(64) constexpr std::array<uint8_t, 64> kDecodeGather = MakeDecodeGather();

KR_AVX512 inline __m512i Load64(const uint8_t* table) {
    return _mm512_load_si512(reinterpret_cast<const void*>(table));
}

// The 64 digits of the 48 bytes at the bottom of |bytes|. The multishift
// picks the four 6-bit fields of each lane (bits 10, 4, 22, 16); the digit
// permute looks up the low six bits of each.
KR_AVX512 inline __m512i EncodeBlock(__m512i bytes) {
    const __m512i lanes = _mm512_permutexvar_epi8(Load64(kEncodeGather.data()), bytes);
    const __m512i fields =
        _mm512_multishift_epi64_epi8(_mm512_set1_epi64(0x3036242a1016040aLL), lanes);
    const __m512i alphabet =
        _mm512_loadu_si512(reinterpret_cast<const void*>(codec::kBase64Alphabet));
    return _mm512_permutexvar_epi8(fields, alphabet);
}

// The values of 64 characters, and in |bad| those outside the alphabet.
KR_AVX512 inline __m512i Values(__m512i chars, __mmask64* bad) {
    const __m512i values =
        _mm512_permutex2var_epi8(Load64(kValues.data()), chars, Load64(kValues.data() + 64));
    *bad = _mm512_movepi8_mask(_mm512_or_si512(values, chars));
    return values;
}

// The 48 bytes of 64 values, at the bottom of the result.
KR_AVX512 inline __m512i DecodeBlock(__m512i values) {
    const __m512i pairs = _mm512_maddubs_epi16(values, _mm512_set1_epi32(0x01400140));
    const __m512i lanes = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00011000));
    return _mm512_permutexvar_epi8(Load64(kDecodeGather.data()), lanes);
}

KR_AVX512 inline __mmask64 LowBits(size_t n) {
    return n >= 64 ? ~__mmask64{0} : _bzhi_u64(~0ULL, unsigned(n));
}

KR_AVX512 char* EncodeAvx512(const unsigned char* in, size_t groups, char* out) {
    // Full loads while 64 bytes are readable; masked ones for the end.
    for (; groups >= 22; groups -= 16, in += 48, out += 64)
        _mm512_storeu_si512(out, EncodeBlock(_mm512_loadu_si512(in)));
    while (groups != 0) {
        const size_t step = groups < 16 ? groups : 16;
        const __m512i bytes = _mm512_maskz_loadu_epi8(LowBits(3 * step), in);
        _mm512_mask_storeu_epi8(out, LowBits(4 * step), EncodeBlock(bytes));
        groups -= step;
        in += 3 * step;
        out += 4 * step;
    }
    return out;
}

// Four blocks of 64 digits to 192 bytes, with one check for characters
// outside the alphabet; false (nothing written) when there is one. The first
// three stores write 16 bytes past their block, which the next one covers.
KR_AVX512 inline bool DecodeFourBlocks(const unsigned char* in, unsigned char* out) {
    const __m512i low = Load64(kValues.data());
    const __m512i high = Load64(kValues.data() + 64);
    __m512i chars[4], values[4];
    for (int b = 0; b < 4; ++b) {
        chars[b] = _mm512_loadu_si512(in + 64 * b);
        values[b] = _mm512_permutex2var_epi8(low, chars[b], high);
    }
    const __m512i any =
        _mm512_or_si512(_mm512_ternarylogic_epi64(values[0], values[1], values[2], 0xFE),
                        _mm512_ternarylogic_epi64(values[3], _mm512_or_si512(chars[0], chars[1]),
                                                  _mm512_or_si512(chars[2], chars[3]), 0xFE));
    if (_mm512_movepi8_mask(any) != 0) return false;
    for (int b = 0; b < 3; ++b) _mm512_storeu_si512(out + 48 * b, DecodeBlock(values[b]));
    _mm512_mask_storeu_epi8(out + 144, LowBits(48), DecodeBlock(values[3]));
    return true;
}

KR_AVX512 size_t DecodeAvx512(const unsigned char* in, size_t length, unsigned char* out) {
    size_t groups = 0;
    for (; length >= 256 && DecodeFourBlocks(in, out); length -= 256, in += 256, out += 192)
        groups += 64;
    for (; length >= 4; length = length >= 64 ? length - 64 : 0, in += 64, out += 48) {
        const __mmask64 present = LowBits(length & ~size_t{3});
        __mmask64 bad;
        const __m512i values = Values(_mm512_maskz_loadu_epi8(present, in), &bad);
        bad &= present;
        if (bad == 0 && length >= 64) {
            _mm512_mask_storeu_epi8(out, LowBits(48), DecodeBlock(values));
            groups += 16;
            continue;
        }
        // The last block, or one with a character outside the alphabet: its
        // whole groups before the first such character.
        const size_t valid = bad != 0 ? size_t(_tzcnt_u64(bad)) : size_t(_mm_popcnt_u64(present));
        const size_t last = valid / 4;
        _mm512_mask_storeu_epi8(out, LowBits(3 * last), DecodeBlock(values));
        return groups + last;
    }
    return groups;
}

KR_AVX512_VBMI2 size_t CompressVbmi2(const unsigned char* in, size_t length, unsigned char* out) {
    unsigned char* const start = out;
    for (; length != 0; length = length >= 64 ? length - 64 : 0, in += 64) {
        const __mmask64 present = LowBits(length);
        const __m512i chars = _mm512_maskz_loadu_epi8(present, in);
        __mmask64 bad;
        Values(chars, &bad);
        const __mmask64 keep = present & ~bad;
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(keep, chars));
        out += _mm_popcnt_u64(keep);
    }
    return size_t(out - start);
}

size_t CompressAvx512(const unsigned char* in, size_t length, unsigned char* out) {
    if (krplatform::HasCompress()) return CompressVbmi2(in, length, out);
    return CompressAvx2(in, length, out);
}

}  // namespace

const Kernels kAvx512Kernels = {EncodeAvx512, DecodeAvx512, CompressAvx512, true};

}  // namespace krtools::base64
