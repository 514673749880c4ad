// RC2 key expansion and block functions against RFC 2268 and OpenSSL.
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"

namespace {

using namespace cipher_oracle;

// Expands `key`, encrypts `block` and checks that decryption inverts it.
std::string EncryptOneBlock(const Bytes& key, unsigned bits, Bytes block) {
    uint16_t expanded[64];
    EXPECT_EQ(InitRC2(key.data(), static_cast<unsigned>(key.size()), bits, expanded), 0);
    const Bytes plain = block;
    EncryptRC2(block.data(), expanded);
    const std::string cipher = ToHex(block);
    DecryptRC2(block.data(), expanded);
    EXPECT_EQ(block, plain);
    return cipher;
}

TEST(Rc2, Rfc2268Vectors) {
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
        EXPECT_EQ(EncryptOneBlock(FromHex(v.key), v.bits, FromHex(v.plain)), v.cipher)
            << v.key << "/" << v.bits;
    }
}

TEST(Rc2, OutOfRangeLengthsReturn99AndWriteNothing) {
    const unsigned char key[129] = {1, 2, 3};
    const unsigned cases[][3] = {{0, 64, 99}, {129, 64, 99},  {8, 0, 99},  {8, 1025, 99},
                                 {1, 1, 0},   {128, 1024, 0}, {128, 1, 0}, {1, 1024, 0}};
    for (const auto& c : cases) {
        uint16_t expanded[65];
        std::fill(std::begin(expanded), std::end(expanded), 0xA5A5);
        EXPECT_EQ(InitRC2(key, c[0], c[1], expanded), int(c[2])) << c[0] << "/" << c[1];
        EXPECT_EQ(expanded[64], 0xA5A5) << "written past the 64 words";
        const auto untouched = std::count(expanded, expanded + 64, 0xA5A5);
        EXPECT_EQ(untouched == 64, c[2] != 0) << c[0] << "/" << c[1];
    }
}

TEST(Rc2, RandomKeysAndEffectiveBitsMatchOpenSsl) {
    std::mt19937 rng(2268);
    const unsigned bitChoices[] = {1, 8, 40, 63, 64, 65, 128, 129, 1000, 1024};
    for (int i = 0; i < 200; ++i) {
        const Bytes key = RandomBytes(rng, 1 + rng() % 128);
        const unsigned bits = bitChoices[i % 10];
        const Bytes block = RandomBytes(rng, 8);
        ASSERT_EQ(EncryptOneBlock(key, bits, block),
                  ToHex(OpenSslCipher("RC2-ECB", key, {}, block, true, int(bits))))
            << key.size() << "/" << bits;
    }
}

}  // namespace
