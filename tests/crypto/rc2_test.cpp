// RC2 key expansion and block functions against RFC 2268 and OpenSSL.
#include <cstring>
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"

namespace {

using cipher_oracle::Bytes;
using cipher_oracle::FromHex;
using cipher_oracle::ToHex;

TEST(Rc2, Rfc2268VectorsEncryptAndDecrypt) {
    struct Vector {
        const char* key;
        unsigned bits;
        const char* plain;
        const char* cipher;
    };
    const Vector vectors[] = {
        {"0000000000000000", 63, "0000000000000000", "ebb773f993278eff"},
        {"ffffffffffffffff", 64, "ffffffffffffffff", "278b27e42e2f0d49"},
        {"3000000000000000", 64, "1000000000000001", "30649edf9be7d2c2"},
        {"88", 64, "0000000000000000", "61a8a244adacccf0"},
        {"88bca90e90875a", 64, "0000000000000000", "6ccf4308974c267f"},
        {"88bca90e90875a7f0f79c384627bafb2", 64, "0000000000000000", "1a807d272bbe5db1"},
        {"88bca90e90875a7f0f79c384627bafb2", 128, "0000000000000000", "2269552ab0f85ca6"},
        {"88bca90e90875a7f0f79c384627bafb216f80a6f85920584c42fceb0be255daf1e", 129,
         "0000000000000000", "5b78d3a43dfff1f1"},
    };
    for (const auto& v : vectors) {
        Bytes key = FromHex(v.key);
        uint16_t expanded[64];
        ASSERT_EQ(InitRC2(key.data(), static_cast<unsigned>(key.size()), v.bits, expanded), 0);
        Bytes block = FromHex(v.plain);
        EncryptRC2(block.data(), expanded);
        EXPECT_EQ(ToHex(block), v.cipher) << v.key << "/" << v.bits;
        DecryptRC2(block.data(), expanded);
        EXPECT_EQ(ToHex(block), v.plain) << v.key << "/" << v.bits;
    }
}

TEST(Rc2, OutOfRangeLengthsReturn99AndWriteNothing) {
    unsigned char key[129] = {1, 2, 3};
    struct Case {
        unsigned keyLen;
        unsigned bits;
        int result;
    };
    const Case cases[] = {{0, 64, 99}, {129, 64, 99},  {8, 0, 99},  {8, 1025, 99},
                          {1, 1, 0},   {128, 1024, 0}, {128, 1, 0}, {1, 1024, 0}};
    for (const auto& c : cases) {
        uint16_t expanded[65];
        for (auto& w : expanded) w = 0xA5A5;
        EXPECT_EQ(InitRC2(key, c.keyLen, c.bits, expanded), c.result) << c.keyLen << "/" << c.bits;
        EXPECT_EQ(expanded[64], 0xA5A5) << "written past the 64 words";
        int untouched = 0;
        for (int i = 0; i < 64; ++i) untouched += expanded[i] == 0xA5A5;
        if (c.result != 0) {
            EXPECT_EQ(untouched, 64);
        } else {
            EXPECT_LT(untouched, 64);
        }
    }
}

TEST(Rc2, RandomKeysAndEffectiveBitsMatchOpenSsl) {
    std::mt19937 rng(2268);
    const unsigned bitChoices[] = {1, 8, 40, 63, 64, 65, 128, 129, 1000, 1024};
    for (int i = 0; i < 200; ++i) {
        const size_t keyLen = 1 + rng() % 128;
        const unsigned bits = bitChoices[i % 10];
        Bytes key = cipher_oracle::RandomBytes(rng, keyLen);
        Bytes block = cipher_oracle::RandomBytes(rng, 8);
        Bytes expected =
            cipher_oracle::OpenSslCipher("RC2-ECB", key, {}, block, true, static_cast<int>(bits));
        uint16_t expanded[64];
        ASSERT_EQ(InitRC2(key.data(), static_cast<unsigned>(keyLen), bits, expanded), 0);
        Bytes ours = block;
        EncryptRC2(ours.data(), expanded);
        ASSERT_EQ(ToHex(ours), ToHex(expected)) << keyLen << "/" << bits;
        DecryptRC2(ours.data(), expanded);
        ASSERT_EQ(ToHex(ours), ToHex(block));
    }
}

}  // namespace
