// CRC-16 by carry-less multiply folding. The message is read in 128-bit
// pieces, each byte-reversed so that bit 127 is the first message bit (the
// highest power of x). A piece X = H * x^64 + L is carried n bits forward by
// H * (x^(n+64) mod P) + L * (x^n mod P), which is congruent to X * x^n and
// fits 128 bits. Several pieces are folded in parallel, merged at the end,
// and the last 128 bits go through one slicing-by-16 step: their CRC with
// start value 0 is the CRC of everything folded into them. The start value
// is added to the first 16 message bits, where it acts the same way.
#include <immintrin.h>

// GCC 12 takes the undefined upper parts inside some AVX-512 intrinsics for
// uninitialised values.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "text/crc16_kernels.h"

namespace krtools::crc {
namespace {

#define KR_PCLMUL __attribute__((target("pclmul,sse4.1,ssse3")))
#define KR_VPCLMUL \
    __attribute__((target("avx512f,avx512bw,avx512vl,vpclmulqdq,pclmul,sse4.1,ssse3")))

// The fold constants for a distance of n bits: x^(n+64) mod P for the high
// half, x^n mod P for the low half.
#define KR_FOLD128(n) _mm_set_epi64x(XPowerMod((n) + 64), XPowerMod(n))

KR_PCLMUL inline __m128i Reversed(const unsigned char* p) {
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), reverse);
}

KR_PCLMUL inline __m128i Fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x11), _mm_clmulepi64_si128(x, k, 0x00));
}

// The start value placed on the first 16 message bits of a piece.
KR_PCLMUL inline __m128i StartValue(uint16_t crc) {
    return _mm_insert_epi16(_mm_setzero_si128(), crc, 7);
}

// The CRC (start 0) of the 128-bit piece x, then of the remaining bytes.
// The piece is stored as it lies in the register, its first byte last.
KR_PCLMUL inline __attribute__((always_inline)) uint16_t Finish(__m128i x,
                                                                const unsigned char* rest,
                                                                size_t length) {
    alignas(16) unsigned char b[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(b), x);
    const auto& t = kTables;
    const uint16_t crc =
        uint16_t(t[15][b[15]] ^ t[14][b[14]] ^ t[13][b[13]] ^ t[12][b[12]] ^ t[11][b[11]] ^
                 t[10][b[10]] ^ t[9][b[9]] ^ t[8][b[8]] ^ t[7][b[7]] ^ t[6][b[6]] ^ t[5][b[5]] ^
                 t[4][b[4]] ^ t[3][b[3]] ^ t[2][b[2]] ^ t[1][b[1]] ^ t[0][b[0]]);
    return length != 0 ? CrcTable(crc, rest, length) : crc;
}

// Folds the 16-byte pieces from `p` into x, then finishes.
KR_PCLMUL inline __attribute__((always_inline)) uint16_t FoldRest(__m128i x, const unsigned char* p,
                                                                  size_t length) {
    const __m128i k128 = KR_FOLD128(128);
    for (; length >= 16; length -= 16, p += 16) x = _mm_xor_si128(Fold(x, k128), Reversed(p));
    return Finish(x, p, length);
}

// Merges four consecutive pieces (a first) into one.
KR_PCLMUL inline __m128i Merge4(__m128i a, __m128i b, __m128i c, __m128i d) {
    return _mm_xor_si128(_mm_xor_si128(Fold(a, KR_FOLD128(384)), Fold(b, KR_FOLD128(256))),
                         _mm_xor_si128(Fold(c, KR_FOLD128(128)), d));
}

constexpr size_t kPclmulMinimum = 64;
constexpr size_t kVpclmulMinimum = 512;

}  // namespace

KR_PCLMUL uint16_t CrcPclmul(uint16_t crc, const unsigned char* p, size_t length) {
    if (length < kPclmulMinimum) return CrcTable(crc, p, length);
    __m128i x0 = _mm_xor_si128(Reversed(p), StartValue(crc));
    __m128i x1 = Reversed(p + 16);
    __m128i x2 = Reversed(p + 32);
    __m128i x3 = Reversed(p + 48);
    p += 64;
    length -= 64;
    const __m128i k512 = KR_FOLD128(512);
    for (; length >= 64; length -= 64, p += 64) {
        x0 = _mm_xor_si128(Fold(x0, k512), Reversed(p));
        x1 = _mm_xor_si128(Fold(x1, k512), Reversed(p + 16));
        x2 = _mm_xor_si128(Fold(x2, k512), Reversed(p + 32));
        x3 = _mm_xor_si128(Fold(x3, k512), Reversed(p + 48));
    }
    return FoldRest(Merge4(x0, x1, x2, x3), p, length);
}

namespace {

KR_VPCLMUL inline __m512i Reversed512(const unsigned char* p) {
    const __m512i reverse =
        _mm512_broadcast_i32x4(_mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
    return _mm512_shuffle_epi8(_mm512_loadu_si512(p), reverse);
}

KR_VPCLMUL inline __m512i Fold512(__m512i x, __m512i k) {
    return _mm512_xor_si512(_mm512_clmulepi64_epi128(x, k, 0x11),
                            _mm512_clmulepi64_epi128(x, k, 0x00));
}

// The constants of KR_FOLD128(n) in every 128-bit lane.
KR_VPCLMUL inline __m512i Fold512Constants(uint64_t high, uint64_t low) {
    return _mm512_broadcast_i32x4(_mm_set_epi64x(int64_t(high), int64_t(low)));
}

}  // namespace

// Four 512-bit registers, each lane its own stream of pieces 256 bytes apart.
KR_VPCLMUL uint16_t CrcVpclmul(uint16_t crc, const unsigned char* p, size_t length) {
    if (length < kVpclmulMinimum) return CrcPclmul(crc, p, length);
    __m512i z0 = _mm512_xor_si512(Reversed512(p), _mm512_zextsi128_si512(StartValue(crc)));
    __m512i z1 = Reversed512(p + 64);
    __m512i z2 = Reversed512(p + 128);
    __m512i z3 = Reversed512(p + 192);
    p += 256;
    length -= 256;
    const __m512i k2048 = Fold512Constants(XPowerMod(2048 + 64), XPowerMod(2048));
    for (; length >= 256; length -= 256, p += 256) {
        z0 = _mm512_xor_si512(Fold512(z0, k2048), Reversed512(p));
        z1 = _mm512_xor_si512(Fold512(z1, k2048), Reversed512(p + 64));
        z2 = _mm512_xor_si512(Fold512(z2, k2048), Reversed512(p + 128));
        z3 = _mm512_xor_si512(Fold512(z3, k2048), Reversed512(p + 192));
    }
    const __m512i k512 = Fold512Constants(XPowerMod(512 + 64), XPowerMod(512));
    z1 = _mm512_xor_si512(Fold512(z0, k512), z1);
    z2 = _mm512_xor_si512(Fold512(z1, k512), z2);
    z3 = _mm512_xor_si512(Fold512(z2, k512), z3);
    for (; length >= 64; length -= 64, p += 64)
        z3 = _mm512_xor_si512(Fold512(z3, k512), Reversed512(p));
    const __m128i merged =
        Merge4(_mm512_extracti32x4_epi32(z3, 0), _mm512_extracti32x4_epi32(z3, 1),
               _mm512_extracti32x4_epi32(z3, 2), _mm512_extracti32x4_epi32(z3, 3));
    return FoldRest(merged, p, length);
}

}  // namespace krtools::crc
