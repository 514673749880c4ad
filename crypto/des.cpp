// The DES key schedule and the one-block function.
#include <cstdint>

#include "crypto/des_core.h"
#include "crypto/des_tables.h"
#include "krtools/des.h"

namespace {

using namespace krtools::des;

// Bit n (1 = most significant bit of the first byte) of an 8-byte key.
int KeyBit(const unsigned char* key, int n) { return (key[(n - 1) / 8] >> (7 - (n - 1) % 8)) & 1; }

// Rotates the 28 bits at `bits` left by `count` places.
void Rotate28(uint8_t* bits, int count) {
    for (int c = 0; c < count; ++c) {
        uint8_t first = bits[0];
        for (int i = 0; i < 27; ++i) bits[i] = bits[i + 1];
        bits[27] = first;
    }
}

// Packs a 48-bit round key (one bit per byte) into the two schedule words.
void PackRoundKey(const uint8_t* roundKey, uint32_t* words) {
    uint32_t groups[8];
    for (int g = 0; g < 8; ++g) {
        uint32_t value = 0;
        for (int b = 0; b < 6; ++b) value = (value << 1) | roundKey[g * 6 + b];
        groups[g] = value;
    }
    words[0] = (groups[0] << 24) | (groups[2] << 16) | (groups[4] << 8) | groups[6];
    words[1] = (groups[1] << 24) | (groups[3] << 16) | (groups[5] << 8) | groups[7];
}

}  // namespace

extern "C" {

void deskey(const unsigned char* key, char mode, uint32_t* schedule) {
    const bool decrypt = mode == 'd' || mode == 't';
    uint8_t cd[56];  // C in cd[0..27], D in cd[28..55], one bit per byte
    for (int i = 0; i < 56; ++i) cd[i] = static_cast<uint8_t>(KeyBit(key, kPC1[i]));
    for (int round = 0; round < 16; ++round) {
        Rotate28(cd, kKeyShifts[round]);
        Rotate28(cd + 28, kKeyShifts[round]);
        uint8_t roundKey[48];
        for (int i = 0; i < 48; ++i) roundKey[i] = cd[kPC2[i] - 1];
        int slot = decrypt ? 15 - round : round;
        PackRoundKey(roundKey, schedule + 2 * slot);
    }
}

void Sdes(unsigned char* block, const uint32_t* schedule) {
    uint32_t left = LoadBigEndian(block);
    uint32_t right = LoadBigEndian(block + 4);
    EncryptHalves(left, right, schedule);
    StoreBigEndian(left, block);
    StoreBigEndian(right, block + 4);
}

}  // extern "C"
