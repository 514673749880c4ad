// The DES block function in pieces, inlined into the block, CBC and MAC loops.
//
// A block lives in two 32-bit halves. After InitialPermutation both halves are
// rotated left by one bit, which puts the six input bits of each S-box next to
// each other: S-boxes 2, 4, 6, 8 read bytes of the half itself and 1, 3, 5, 7
// bytes of the half rotated right by four.
#ifndef KRTOOLS_CRYPTO_DES_CORE_H
#define KRTOOLS_CRYPTO_DES_CORE_H

#include <cstdint>
#include <utility>

#include "crypto/des_tables.h"

namespace krtools::des {

inline uint32_t RotateRight(uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t LoadBigEndian(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

inline void StoreBigEndian(uint32_t x, unsigned char* p) {
    p[0] = static_cast<unsigned char>(x >> 24);
    p[1] = static_cast<unsigned char>(x >> 16);
    p[2] = static_cast<unsigned char>(x >> 8);
    p[3] = static_cast<unsigned char>(x);
}

// Exchanges the bits of `a` selected by `mask << shift` with those of `b`
// selected by `mask`.
inline void SwapBits(uint32_t& a, uint32_t& b, unsigned shift, uint32_t mask) {
    uint32_t t = ((a >> shift) ^ b) & mask;
    b ^= t;
    a ^= t << shift;
}

// The initial permutation of (left, right), leaving both halves rotated.
inline void InitialPermutation(uint32_t& left, uint32_t& right) {
    SwapBits(left, right, 4, 0x0f0f0f0fu);
    SwapBits(left, right, 16, 0x0000ffffu);
    SwapBits(right, left, 2, 0x33333333u);
    SwapBits(right, left, 8, 0x00ff00ffu);
    right = RotateLeft(right, 1);
    uint32_t t = (left ^ right) & 0xaaaaaaaau;
    left ^= t;
    right ^= t;
    left = RotateLeft(left, 1);
}

// The inverse of InitialPermutation.
inline void FinalPermutation(uint32_t& left, uint32_t& right) {
    left = RotateRight(left, 1);
    uint32_t t = (left ^ right) & 0xaaaaaaaau;
    left ^= t;
    right ^= t;
    right = RotateRight(right, 1);
    SwapBits(right, left, 8, 0x00ff00ffu);
    SwapBits(right, left, 2, 0x33333333u);
    SwapBits(left, right, 16, 0x0000ffffu);
    SwapBits(left, right, 4, 0x0f0f0f0fu);
}

// The round function f of the rotated half `r` under the two schedule words.
inline uint32_t RoundFunction(uint32_t r, uint32_t oddKey, uint32_t evenKey) {
    const auto& sp = kSp.sp;
    const uint32_t u = RotateRight(r, 4) ^ oddKey;
    const uint32_t t = r ^ evenKey;
    return sp[0][(u >> 24) & 0x3f] ^ sp[1][(t >> 24) & 0x3f] ^ sp[2][(u >> 16) & 0x3f] ^
           sp[3][(t >> 16) & 0x3f] ^ sp[4][(u >> 8) & 0x3f] ^ sp[5][(t >> 8) & 0x3f] ^
           sp[6][u & 0x3f] ^ sp[7][t & 0x3f];
}

// The 16 rounds over permuted halves. The halves come out in the order in
// which the next schedule's rounds (or FinalPermutation with the halves
// exchanged) take them.
inline void TwoRounds(uint32_t& left, uint32_t& right, const uint32_t* keys) {
    left ^= RoundFunction(right, keys[0], keys[1]);
    right ^= RoundFunction(left, keys[2], keys[3]);
}

inline void Rounds(uint32_t& left, uint32_t& right, const uint32_t* schedule) {
    // Written out: the compilers do not unroll a loop of this size by themselves.
    TwoRounds(left, right, schedule);
    TwoRounds(left, right, schedule + 4);
    TwoRounds(left, right, schedule + 8);
    TwoRounds(left, right, schedule + 12);
    TwoRounds(left, right, schedule + 16);
    TwoRounds(left, right, schedule + 20);
    TwoRounds(left, right, schedule + 24);
    TwoRounds(left, right, schedule + 28);
}

// One DES block on (left, right) as read big-endian from the block's bytes;
// the result replaces them in the same order.
inline void EncryptHalves(uint32_t& left, uint32_t& right, const uint32_t* schedule) {
    InitialPermutation(left, right);
    Rounds(left, right, schedule);
    // The output block is the final permutation of (R16, L16).
    FinalPermutation(right, left);
    std::swap(left, right);
}

// Three DES blocks in a row (each stage's output the next stage's input),
// with one initial and one final permutation.
inline void EncryptHalves3(uint32_t& left, uint32_t& right, const uint32_t* schedule1,
                           const uint32_t* schedule2, const uint32_t* schedule3) {
    InitialPermutation(left, right);
    Rounds(left, right, schedule1);
    Rounds(right, left, schedule2);
    Rounds(left, right, schedule3);
    FinalPermutation(right, left);
    std::swap(left, right);
}

// Independent blocks interleaved: the same rounds on kLanes blocks at once,
// so that the table look-ups of one block overlap those of the others.
inline constexpr int kLanes = 4;

struct Lanes {
    uint32_t left[kLanes];
    uint32_t right[kLanes];
};

inline void RoundsLanes(uint32_t* left, uint32_t* right, const uint32_t* schedule) {
    for (int round = 0; round < 16; round += 2) {
        const uint32_t* keys = schedule + 2 * round;
        for (int b = 0; b < kLanes; ++b) left[b] ^= RoundFunction(right[b], keys[0], keys[1]);
        for (int b = 0; b < kLanes; ++b) right[b] ^= RoundFunction(left[b], keys[2], keys[3]);
    }
}

// EncryptHalves on every lane.
inline void EncryptLanes(Lanes& x, const uint32_t* schedule) {
    for (int b = 0; b < kLanes; ++b) InitialPermutation(x.left[b], x.right[b]);
    RoundsLanes(x.left, x.right, schedule);
    for (int b = 0; b < kLanes; ++b) {
        FinalPermutation(x.right[b], x.left[b]);
        std::swap(x.left[b], x.right[b]);
    }
}

// EncryptHalves3 on every lane.
inline void EncryptLanes3(Lanes& x, const uint32_t* schedule1, const uint32_t* schedule2,
                          const uint32_t* schedule3) {
    for (int b = 0; b < kLanes; ++b) InitialPermutation(x.left[b], x.right[b]);
    RoundsLanes(x.left, x.right, schedule1);
    RoundsLanes(x.right, x.left, schedule2);
    RoundsLanes(x.left, x.right, schedule3);
    for (int b = 0; b < kLanes; ++b) {
        FinalPermutation(x.right[b], x.left[b]);
        std::swap(x.left[b], x.right[b]);
    }
}

}  // namespace krtools::des

#endif  // KRTOOLS_CRYPTO_DES_CORE_H
