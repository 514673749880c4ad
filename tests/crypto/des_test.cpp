// The DES key schedule and block function against published vectors and
// against OpenSSL.
#include <cstring>
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"

namespace {

using cipher_oracle::Bytes;
using cipher_oracle::FromHex;
using cipher_oracle::ToHex;

std::string EncryptBlock(const std::string& keyHex, const std::string& blockHex, char mode) {
    Bytes key = FromHex(keyHex);
    Bytes block = FromHex(blockHex);
    uint32_t schedule[32];
    deskey(key.data(), mode, schedule);
    Sdes(block.data(), schedule);
    return ToHex(block);
}

TEST(Des, PublishedVectorsEncryptAndDecrypt) {
    struct Vector {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const Vector vectors[] = {
        // The ECB example of FIPS 81 ("Now is the time for all ").
        {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
        {"0123456789abcdef", "68652074696d6520", "6a271787ab8883f9"},
        {"0123456789abcdef", "666f7220616c6c20", "893d51ec4b563b53"},
        // Known-answer tests: variable plaintext and variable key.
        {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
        {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
        {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(EncryptBlock(v.key, v.plain, 'D'), v.cipher) << v.key << " " << v.plain;
        EXPECT_EQ(EncryptBlock(v.key, v.cipher, 'd'), v.plain) << v.key << " " << v.cipher;
    }
}

TEST(Des, ScheduleModesAndParityBits) {
    Bytes key = FromHex("0123456789abcdef");
    uint32_t encrypt[32];
    uint32_t decrypt[32];
    deskey(key.data(), 'D', encrypt);
    deskey(key.data(), 'd', decrypt);
    // Every character other than 'd' and 't' gives the encryption order.
    for (char mode : {'T', 'e', 'R', '\0'}) {
        uint32_t other[32];
        deskey(key.data(), mode, other);
        EXPECT_EQ(std::memcmp(other, encrypt, sizeof other), 0) << int(mode);
    }
    uint32_t triple[32];
    deskey(key.data(), 't', triple);
    EXPECT_EQ(std::memcmp(triple, decrypt, sizeof triple), 0);
    // The decryption order is the encryption order reversed round by round.
    for (int round = 0; round < 16; ++round) {
        EXPECT_EQ(decrypt[2 * round], encrypt[2 * (15 - round)]);
        EXPECT_EQ(decrypt[2 * round + 1], encrypt[2 * (15 - round) + 1]);
    }
    // Each schedule word holds four 6-bit groups, one per byte.
    for (uint32_t word : encrypt) EXPECT_EQ(word & 0xc0c0c0c0u, 0u);
    // Flipping the low (parity) bit of every key byte changes nothing.
    Bytes flipped = key;
    for (auto& b : flipped) b ^= 1;
    uint32_t fromFlipped[32];
    deskey(flipped.data(), 'D', fromFlipped);
    EXPECT_EQ(std::memcmp(fromFlipped, encrypt, sizeof encrypt), 0);
}

TEST(Des, RandomBlocksMatchOpenSsl) {
    std::mt19937 rng(81);
    for (int i = 0; i < 200; ++i) {
        Bytes key = cipher_oracle::RandomBytes(rng, 8);
        Bytes block = cipher_oracle::RandomBytes(rng, 8);
        Bytes expected = cipher_oracle::OpenSslCipher("DES-ECB", key, {}, block, true);
        uint32_t schedule[32];
        deskey(key.data(), 'D', schedule);
        Bytes ours = block;
        Sdes(ours.data(), schedule);
        ASSERT_EQ(ToHex(ours), ToHex(expected)) << ToHex(key) << " " << ToHex(block);
        deskey(key.data(), 'd', schedule);
        Sdes(ours.data(), schedule);
        ASSERT_EQ(ToHex(ours), ToHex(block));
    }
}

}  // namespace
