// Base64 with AVX2: 24 bytes to 32 digits and back per step. Digits are
// classified by their two nibbles (one table lookup each) and turned into
// values by an offset chosen by the high nibble; characters outside the
// alphabet are removed eight at a time through a table of byte shuffles.
#include <immintrin.h>

#include <array>
#include <cstdint>

#include "stream/base64/kernels.h"
#include "stream/base64/scalar/scalar.h"

#define KR_AVX2 __attribute__((target("avx2,bmi,popcnt")))

namespace krtools::base64 {
namespace {

// The shuffle that packs the bytes selected by each 8-bit mask to the front
// of eight bytes.
constexpr std::array<uint64_t, 256> MakePackShuffles() {
    std::array<uint64_t, 256> table{};
    for (int mask = 0; mask < 256; ++mask) {
        uint64_t shuffle = 0;
        int kept = 0;
        for (int i = 0; i < 8; ++i) {
            if (mask & (1 << i)) shuffle |= uint64_t(i) << (8 * kept++);
        }
        table[mask] = shuffle;
    }
    return table;
}
constexpr std::array<uint64_t, 256> kPackShuffles = MakePackShuffles();

// |step| in each byte whose value is above |limit|, else 0.
KR_AVX2 inline __m256i StepAbove(__m256i values, char limit, char step) {
    return _mm256_and_si256(_mm256_cmpgt_epi8(values, _mm256_set1_epi8(limit)),
                            _mm256_set1_epi8(step));
}

// The 32 digits of the 24 bytes at |in|; reads 28 bytes. Each 128-bit lane
// takes 12 bytes and spreads them as b1, b0, b2, b1 per group; the two
// multiplies move the four 6-bit fields of each group to its four bytes.
KR_AVX2 inline __m256i EncodeBlock(const unsigned char* in) {
    const __m256i bytes =
        _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
    const __m256i spread = _mm256_shuffle_epi8(
        bytes, _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10, 1, 0, 2, 1, 4, 3,
                                5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    const __m256i high = _mm256_mulhi_epu16(_mm256_and_si256(spread, _mm256_set1_epi32(0x0fc0fc00)),
                                            _mm256_set1_epi32(0x04000040));
    const __m256i low = _mm256_mullo_epi16(_mm256_and_si256(spread, _mm256_set1_epi32(0x003f03f0)),
                                           _mm256_set1_epi32(0x01000010));
    const __m256i values = _mm256_or_si256(high, low);
    // 'A' + v, then +6 from 26 on ('a' - 26), -75 from 52 on ('0' - 52),
    // -15 for 62 ('+') and +3 for 63 ('/').
    __m256i offset = _mm256_set1_epi8('A');
    offset = _mm256_add_epi8(offset, StepAbove(values, 25, 6));
    offset = _mm256_add_epi8(offset, StepAbove(values, 51, -75));
    offset = _mm256_add_epi8(offset, StepAbove(values, 61, -15));
    offset = _mm256_add_epi8(offset, StepAbove(values, 62, 3));
    return _mm256_add_epi8(values, offset);
}

// The values of 32 characters; |bad| gets a bit for each character outside
// the alphabet. lowClasses[n] has a bit for every high-nibble class in which
// low nibble n is not a digit; highClasses maps a high nibble to its class.
KR_AVX2 inline __m256i Values(__m256i chars, uint32_t* bad) {
    const __m256i lowClasses =
        _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1a,
                         0x1b, 0x1b, 0x1b, 0x1a, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                         0x11, 0x11, 0x13, 0x1a, 0x1b, 0x1b, 0x1b, 0x1a);
    const __m256i highClasses =
        _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    // Value minus character for each high nibble; index 1 is '/'.
    const __m256i offsets =
        _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                         -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i nibble = _mm256_set1_epi8(0x0f);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi32(chars, 4), nibble);
    const __m256i low = _mm256_and_si256(chars, nibble);
    const __m256i classes = _mm256_and_si256(_mm256_shuffle_epi8(lowClasses, low),
                                             _mm256_shuffle_epi8(highClasses, high));
    *bad = ~uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(classes, _mm256_setzero_si256())));
    const __m256i slash = _mm256_cmpeq_epi8(chars, _mm256_set1_epi8('/'));
    const __m256i offset = _mm256_shuffle_epi8(offsets, _mm256_add_epi8(high, slash));
    return _mm256_add_epi8(chars, offset);
}

// Writes the 24 bytes of 32 values.
KR_AVX2 inline void StoreDecoded(__m256i values, unsigned char* out) {
    const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
    const __m256i lanes = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    const __m256i packed = _mm256_shuffle_epi8(
        lanes, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6,
                                5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    const __m256i joined =
        _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(joined));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(joined, 1));
}

KR_AVX2 char* EncodeAvx2(const unsigned char* in, size_t groups, char* out) {
    for (; groups >= 10; groups -= 8, in += 24, out += 32)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), EncodeBlock(in));
    return EncodeScalar(in, groups, out);
}

KR_AVX2 size_t DecodeAvx2(const unsigned char* in, size_t length, unsigned char* out) {
    size_t groups = 0;
    for (; length >= 32; length -= 32, in += 32, out += 24, groups += 8) {
        uint32_t bad;
        const __m256i values =
            Values(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)), &bad);
        if (bad != 0) break;
        StoreDecoded(values, out);
    }
    return groups + DecodeScalar(in, length, out);
}

}  // namespace

KR_AVX2 size_t CompressAvx2(const unsigned char* in, size_t length, unsigned char* out) {
    unsigned char* const start = out;
    for (; length >= 32; length -= 32, in += 32) {
        const __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        uint32_t bad;
        Values(chars, &bad);
        if (bad == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), chars);
            out += 32;
            continue;
        }
        const uint32_t keep = ~bad;
        for (int piece = 0; piece < 4; ++piece) {
            const uint32_t mask = (keep >> (8 * piece)) & 0xff;
            const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 8 * piece));
            const __m128i shuffle = _mm_cvtsi64_si128(int64_t(kPackShuffles[mask]));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, shuffle));
            out += _mm_popcnt_u32(mask);
        }
    }
    return size_t(out - start) + CompressScalar(in, length, out);
}

const Kernels kAvx2Kernels = {EncodeAvx2, DecodeAvx2, CompressAvx2, true};

}  // namespace krtools::base64
