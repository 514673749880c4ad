// The DES key schedule and block function against published vectors and
// against OpenSSL.
#include <cstring>
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"

namespace {

using namespace cipher_oracle;

TEST(Des, PublishedVectorsEncryptAndDecrypt) {
    const char* vectors[][3] = {
        // key, plaintext, ciphertext: the ECB example of FIPS 81 ("Now is
        // the time for all "), then known-answer tests.
        {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
        {"0123456789abcdef", "68652074696d6520", "6a271787ab8883f9"},
        {"0123456789abcdef", "666f7220616c6c20", "893d51ec4b563b53"},
        {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
        {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
        {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
    };
    for (const auto& v : vectors) {
        const Bytes key = FromHex(v[0]);
        uint32_t schedule[32];
        Bytes block = FromHex(v[1]);
        deskey(key.data(), 'D', schedule);
        Sdes(block.data(), schedule);
        EXPECT_EQ(ToHex(block), v[2]) << v[0] << " " << v[1];
        deskey(key.data(), 'd', schedule);
        Sdes(block.data(), schedule);
        EXPECT_EQ(ToHex(block), v[1]) << v[0] << " " << v[2];
    }
}

TEST(Des, ScheduleModesAndParityBits) {
    const Bytes key = FromHex("0123456789abcdef");
    uint32_t encrypt[32], decrypt[32], other[32];
    deskey(key.data(), 'D', encrypt);
    deskey(key.data(), 'd', decrypt);
    for (char mode : {'T', 'e', 'R', '\0'}) {  // every mode but 'd' and 't' encrypts
        deskey(key.data(), mode, other);
        EXPECT_EQ(std::memcmp(other, encrypt, sizeof other), 0) << int(mode);
    }
    deskey(key.data(), 't', other);
    EXPECT_EQ(std::memcmp(other, decrypt, sizeof other), 0);
    for (int round = 0; round < 16; ++round) {
        EXPECT_EQ(decrypt[2 * round], encrypt[2 * (15 - round)]);
        EXPECT_EQ(decrypt[2 * round + 1], encrypt[2 * (15 - round) + 1]);
    }
    for (uint32_t word : encrypt) EXPECT_EQ(word & 0xc0c0c0c0u, 0u) << "6-bit groups per byte";
    Bytes flipped = key;
    for (auto& b : flipped) b ^= 1;  // the parity bits
    deskey(flipped.data(), 'D', other);
    EXPECT_EQ(std::memcmp(other, encrypt, sizeof other), 0);
}

TEST(Des, RandomBlocksMatchOpenSsl) {
    std::mt19937 rng(81);
    for (int i = 0; i < 200; ++i) {
        const Bytes key = RandomBytes(rng, 8);
        const Bytes block = RandomBytes(rng, 8);
        uint32_t schedule[32];
        deskey(key.data(), 'D', schedule);
        Bytes ours = block;
        Sdes(ours.data(), schedule);
        ASSERT_EQ(ToHex(ours), ToHex(OpenSslCipher("DES-ECB", key, {}, block, true)));
        deskey(key.data(), 'd', schedule);
        Sdes(ours.data(), schedule);
        ASSERT_EQ(ours, block);
    }
}

}  // namespace
