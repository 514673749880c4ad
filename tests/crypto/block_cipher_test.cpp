// The DES and RC2 block functions against published vectors and libcrypto,
// and the stored password and passphrase forms built on RC2-40 CBC.
#include <cctype>

#include "crypto_test_util.h"

namespace {

using namespace ctest;

// DES-encrypts `block` under `key` with a schedule of `mode`.
Bytes Des(const Bytes& key, char mode, Bytes block) {
    uint32_t schedule[32];
    deskey(key.data(), mode, schedule);
    Sdes(block.data(), schedule);
    return block;
}

TEST(Des, PublishedVectorsEncryptAndDecrypt) {
    const char* vectors[][3] = {
        // key, plaintext, ciphertext: FIPS 81's ECB example, then known answers.
        {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
        {"0123456789abcdef", "68652074696d6520", "6a271787ab8883f9"},
        {"0123456789abcdef", "666f7220616c6c20", "893d51ec4b563b53"},
        {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
        {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
        {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
    };
    for (const auto& v : vectors) {
        SCOPED_TRACE(std::string(v[0]) + " " + v[1]);
        const Bytes key = FromHex(v[0]);
        EXPECT_EQ(Hex(Des(key, 'D', FromHex(v[1]))), v[2]);
        EXPECT_EQ(Hex(Des(key, 'd', FromHex(v[2]))), v[1]);
        for (char mode : {'T', 'e', 'R', '\0'}) EXPECT_EQ(Hex(Des(key, mode, FromHex(v[1]))), v[2]);
        EXPECT_EQ(Hex(Des(key, 't', FromHex(v[2]))), v[1]);
    }
}

// Expands `key`, encrypts `block` and checks that decryption inverts it.
std::string Rc2Block(const Bytes& key, unsigned bits, Bytes block) {
    uint16_t expanded[64];
    EXPECT_EQ(InitRC2(key.data(), static_cast<unsigned>(key.size()), bits, expanded), 0);
    const Bytes plain = block;
    EncryptRC2(block.data(), expanded);
    const std::string cipher = Hex(block);
    DecryptRC2(block.data(), expanded);
    EXPECT_EQ(block, plain);
    return cipher;
}

TEST(Rc2, MatchesRfc2268AndLibcrypto) {
    const struct {
        const char* key;
        unsigned bits;
        const char* plain;
        const char* cipher;
    } vectors[] = {
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
        EXPECT_EQ(Rc2Block(FromHex(v.key), v.bits, FromHex(v.plain)), v.cipher)
            << v.key << "/" << v.bits;
    }
    std::mt19937 rng(2268);
    const unsigned bitChoices[] = {1, 8, 40, 63, 64, 65, 128, 129, 1000, 1024};
    for (int i = 0; i < 200; ++i) {
        const Bytes key = RandomBytes(rng, 1 + rng() % 128), block = RandomBytes(rng, 8);
        const unsigned bits = bitChoices[i % 10];
        ASSERT_EQ(Rc2Block(key, bits, block),
                  Hex(OpenSslCipher("RC2-ECB", key, {}, block, true, int(bits))))
            << key.size() << "/" << bits;
    }
}

TEST(Rc2, OutOfRangeLengthsReturn99AndWriteNothing) {
    const unsigned char key[129] = {1, 2, 3};
    const unsigned cases[][3] = {{0, 64, 99}, {129, 64, 99},  {8, 0, 99},  {8, 1025, 99},
                                 {1, 1, 0},   {128, 1024, 0}, {128, 1, 0}, {1, 1024, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c[0]) + "/" + std::to_string(c[1]));
        uint16_t expanded[65];
        std::fill(std::begin(expanded), std::end(expanded), 0xA5A5);
        EXPECT_EQ(InitRC2(key, c[0], c[1], expanded), int(c[2]));
        EXPECT_EQ(expanded[64], 0xA5A5) << "written past the 64 words";
        EXPECT_EQ(std::count(expanded, expanded + 64, 0xA5A5) == 64, c[2] != 0);
    }
}

TEST(Password, IsUpperHexOfRc2CbcAndDecryptsEitherCase) {
    std::mt19937 rng(40);
    for (int i = 0; i < 50; ++i) {
        const Bytes key = RandomBytes(rng, 8);
        const std::string password = "pw-" + std::to_string(rng());
        char text[66] = {};
        std::memcpy(text, password.data(), password.size());
        std::memset(text + 32, '#', sizeof text - 32);
        const Bytes field(text, text + 32);
        EncryptPassword(text, key.data());
        std::string expected = Hex(OpenSslCipher("RC2-CBC", key, Bytes(8, 0), field, true, 40));
        for (auto& c : expected) c = static_cast<char>(std::toupper(c));
        ASSERT_EQ(std::string(text, 64), expected);
        EXPECT_EQ(std::string(text + 64, 2), "##") << "nothing is written after 64 characters";
        if (i % 2) {
            for (int k = 0; k < 64; ++k) text[k] = static_cast<char>(std::tolower(text[k]));
        }
        const std::string tail(text + 32, 34);
        DecryptPassword(text, key.data());
        EXPECT_STREQ(text, password.c_str());
        EXPECT_EQ(std::string(text + 32, 34), tail) << "only 32 bytes are written";
    }
}

TEST(Passphrase, RoundTripsAsCbcWithAZeroIv) {
    std::mt19937 rng(64);
    for (int i = 0; i < 100; ++i) {
        Bytes buffer = RandomBytes(rng, 65);  // the last octet guards the end
        const Bytes field = buffer;
        EncryptPassphrase(buffer.data());
        EXPECT_NE(Bytes(buffer.begin(), buffer.end() - 1), Bytes(field.begin(), field.end() - 1));
        EXPECT_EQ(buffer[64], field[64]);
        DecryptPassphrase(buffer.data());
        EXPECT_EQ(buffer, field);
    }
    // Ciphertext block 3 decrypted alone gives plaintext block 3 XOR block 2.
    Bytes a(64, 0x11), single(64, 0);
    EncryptPassphrase(a.data());
    std::memcpy(single.data(), a.data() + 16, 8);
    DecryptPassphrase(single.data());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(single[i], 0x11 ^ a[8 + i]);
}

}  // namespace
