// Stored passwords and passphrases: RC2-40 CBC with a zero IV, checked
// against OpenSSL for the passwords and by round trips for the passphrases.
#include <cctype>
#include <cstring>
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"

namespace {

using namespace cipher_oracle;

TEST(Password, EncryptsToUpperHexAndDecryptsEitherCase) {
    std::mt19937 rng(40);
    for (int i = 0; i < 50; ++i) {
        const Bytes key = RandomBytes(rng, 8);
        char field[32] = {};
        const std::string password = "pw-" + std::to_string(rng());
        std::memcpy(field, password.data(), password.size());
        char text[66];
        std::memcpy(text, field, 32);
        std::memset(text + 32, '#', sizeof text - 32);
        EncryptPassword(text, key.data());
        std::string expected =
            ToHex(OpenSslCipher("RC2-CBC", key, Bytes(8, 0), Bytes(field, field + 32), true, 40));
        for (auto& c : expected) c = static_cast<char>(std::toupper(c));
        ASSERT_EQ(std::string(text, 64), expected);
        EXPECT_EQ(std::string(text + 64, 2), "##") << "nothing is written after 64 characters";

        std::string hex(text, 64);
        if (i % 2) {
            for (auto& c : hex) c = static_cast<char>(std::tolower(c));
        }
        std::memcpy(text, hex.data(), 64);
        DecryptPassword(text, key.data());
        EXPECT_STREQ(text, password.c_str());
        EXPECT_EQ(std::string(text + 32, 34), hex.substr(32) + "##") << "only 32 bytes written";
    }
}

TEST(Password, FieldsDifferingInTheLastBlockShareTheFirst48Digits) {
    const unsigned char key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    char a[64] =
        "the first twenty-four by"
        "tail one";  // 24 + 8 bytes
    char b[64] =
        "the first twenty-four by"
        "tail two";
    EncryptPassword(a, key);
    EncryptPassword(b, key);
    EXPECT_EQ(std::string(a, 48), std::string(b, 48));
    EXPECT_NE(std::string(a + 48, 16), std::string(b + 48, 16));
}

TEST(Passphrase, RoundTripsAsCbcUnderOneKey) {
    std::mt19937 rng(64);
    for (int i = 0; i < 100; ++i) {
        const Bytes field = RandomBytes(rng, 64);
        Bytes buffer = field;
        buffer.push_back(0xCC);
        EncryptPassphrase(buffer.data());
        EXPECT_NE(Bytes(buffer.begin(), buffer.begin() + 64), field);
        EXPECT_EQ(buffer[64], 0xCC);
        DecryptPassphrase(buffer.data());
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 64), field);
    }
    // CBC with a zero IV: decrypting ciphertext block 3 alone (as a first
    // block) gives plaintext block 3 XOR ciphertext block 2.
    Bytes a(64, 0x11);
    EncryptPassphrase(a.data());
    Bytes single(64, 0);
    std::memcpy(single.data(), a.data() + 16, 8);
    DecryptPassphrase(single.data());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(single[i], 0x11 ^ a[8 + i]);
}

}  // namespace
