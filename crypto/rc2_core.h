// The RC2 block function (RFC 2268 sections 3 and 4) on four 16-bit words,
// inlined into the one-block functions and the CBC loops.
#ifndef KRTOOLS_CRYPTO_RC2_CORE_H
#define KRTOOLS_CRYPTO_RC2_CORE_H

#include <cstdint>

namespace krtools::rc2 {

inline uint16_t RotateLeft16(uint32_t x, unsigned n) {
    x &= 0xffffu;
    return static_cast<uint16_t>((x << n) | (x >> (16 - n)));
}

inline uint16_t RotateRight16(uint32_t x, unsigned n) {
    x &= 0xffffu;
    return static_cast<uint16_t>((x >> n) | (x << (16 - n)));
}

// Four words R[0..3] of one block.
struct Block {
    uint16_t r0, r1, r2, r3;
};

inline Block LoadBlock(const unsigned char* p) {
    return Block{
        static_cast<uint16_t>(p[0] | (p[1] << 8)), static_cast<uint16_t>(p[2] | (p[3] << 8)),
        static_cast<uint16_t>(p[4] | (p[5] << 8)), static_cast<uint16_t>(p[6] | (p[7] << 8))};
}

inline void StoreBlock(const Block& b, unsigned char* p) {
    const uint16_t words[4] = {b.r0, b.r1, b.r2, b.r3};
    for (int i = 0; i < 4; ++i) {
        p[2 * i] = static_cast<unsigned char>(words[i]);
        p[2 * i + 1] = static_cast<unsigned char>(words[i] >> 8);
    }
}

// One mixing round with key words k[0..3].
inline void Mix(Block& b, const uint16_t* k) {
    b.r0 = RotateLeft16(b.r0 + k[0] + (b.r3 & b.r2) + (~b.r3 & b.r1), 1);
    b.r1 = RotateLeft16(b.r1 + k[1] + (b.r0 & b.r3) + (~b.r0 & b.r2), 2);
    b.r2 = RotateLeft16(b.r2 + k[2] + (b.r1 & b.r0) + (~b.r1 & b.r3), 3);
    b.r3 = RotateLeft16(b.r3 + k[3] + (b.r2 & b.r1) + (~b.r2 & b.r0), 5);
}

inline void Mash(Block& b, const uint16_t* key) {
    b.r0 = static_cast<uint16_t>(b.r0 + key[b.r3 & 63]);
    b.r1 = static_cast<uint16_t>(b.r1 + key[b.r0 & 63]);
    b.r2 = static_cast<uint16_t>(b.r2 + key[b.r1 & 63]);
    b.r3 = static_cast<uint16_t>(b.r3 + key[b.r2 & 63]);
}

// The inverse of Mix with key words k[0..3].
inline void ReverseMix(Block& b, const uint16_t* k) {
    b.r3 = static_cast<uint16_t>(RotateRight16(b.r3, 5) - k[3] - (b.r2 & b.r1) - (~b.r2 & b.r0));
    b.r2 = static_cast<uint16_t>(RotateRight16(b.r2, 3) - k[2] - (b.r1 & b.r0) - (~b.r1 & b.r3));
    b.r1 = static_cast<uint16_t>(RotateRight16(b.r1, 2) - k[1] - (b.r0 & b.r3) - (~b.r0 & b.r2));
    b.r0 = static_cast<uint16_t>(RotateRight16(b.r0, 1) - k[0] - (b.r3 & b.r2) - (~b.r3 & b.r1));
}

inline void ReverseMash(Block& b, const uint16_t* key) {
    b.r3 = static_cast<uint16_t>(b.r3 - key[b.r2 & 63]);
    b.r2 = static_cast<uint16_t>(b.r2 - key[b.r1 & 63]);
    b.r1 = static_cast<uint16_t>(b.r1 - key[b.r0 & 63]);
    b.r0 = static_cast<uint16_t>(b.r0 - key[b.r3 & 63]);
}

// Five mixing rounds, a mashing round, six mixing, a mashing round, five mixing.
inline void EncryptWords(Block& b, const uint16_t* key) {
    for (int i = 0; i < 5; ++i) Mix(b, key + 4 * i);
    Mash(b, key);
    for (int i = 5; i < 11; ++i) Mix(b, key + 4 * i);
    Mash(b, key);
    for (int i = 11; i < 16; ++i) Mix(b, key + 4 * i);
}

inline void DecryptWords(Block& b, const uint16_t* key) {
    for (int i = 15; i >= 11; --i) ReverseMix(b, key + 4 * i);
    ReverseMash(b, key);
    for (int i = 10; i >= 5; --i) ReverseMix(b, key + 4 * i);
    ReverseMash(b, key);
    for (int i = 4; i >= 0; --i) ReverseMix(b, key + 4 * i);
}

}  // namespace krtools::rc2

#endif  // KRTOOLS_CRYPTO_RC2_CORE_H
