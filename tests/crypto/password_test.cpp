// Stored passwords and passphrases: RC2-40 CBC with a zero IV, checked
// against OpenSSL for the passwords and by round trips for the passphrases.
#include <cctype>
#include <cstring>
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"

namespace {

using cipher_oracle::Bytes;
using cipher_oracle::RandomBytes;
using cipher_oracle::ToHex;

std::string Upper(std::string text) {
    for (auto& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

TEST(Password, EncryptIsUpperCaseHexOfRc2Cbc40) {
    std::mt19937 rng(40);
    for (int i = 0; i < 50; ++i) {
        const Bytes key = RandomBytes(rng, 8);
        const Bytes field = RandomBytes(rng, 32);
        char text[66];
        std::memcpy(text, field.data(), 32);
        std::memset(text + 32, '#', sizeof text - 32);
        EncryptPassword(text, key.data());
        const Bytes expected =
            cipher_oracle::OpenSslCipher("RC2-CBC", key, Bytes(8, 0), field, true, 40);
        EXPECT_EQ(std::string(text, 64), Upper(ToHex(expected)));
        EXPECT_EQ(text[64], '#') << "no terminator is written";
        EXPECT_EQ(text[65], '#');
    }
}

TEST(Password, DecryptRoundTripsInEitherCase) {
    std::mt19937 rng(41);
    for (int i = 0; i < 50; ++i) {
        const Bytes key = RandomBytes(rng, 8);
        char field[32] = {};
        const std::string password = "pw-" + std::to_string(rng());
        std::memcpy(field, password.data(), password.size());
        char text[65];
        std::memcpy(text, field, sizeof field);
        text[64] = '!';
        EncryptPassword(text, key.data());
        const std::string hex(text, 64);

        DecryptPassword(text, key.data());
        EXPECT_EQ(std::memcmp(text, field, sizeof field), 0);
        EXPECT_STREQ(text, password.c_str());
        EXPECT_EQ(std::string(text + 32, 32), hex.substr(32)) << "only 32 bytes are written";
        EXPECT_EQ(text[64], '!');

        std::string lower = hex;
        for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::memcpy(text, lower.data(), 64);
        DecryptPassword(text, key.data());
        EXPECT_EQ(std::memcmp(text, field, sizeof field), 0);
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

TEST(Password, WrongKeyOrBadDigitsGiveOtherBytesWithoutFailing) {
    const unsigned char key[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    const unsigned char other[8] = {9, 9, 9, 9, 9, 9, 9, 8};
    char text[64] = "secret";
    EncryptPassword(text, key);
    DecryptPassword(text, other);
    EXPECT_NE(std::memcmp(text, "secret", 7), 0);
    char junk[64];
    std::memset(junk, 'z', sizeof junk);
    junk[5] = '\x80';
    DecryptPassword(junk, key);  // undefined digits, but no failure
}

TEST(Passphrase, RoundTripsAndChangesTheField) {
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
}

TEST(Passphrase, IsRc2Cbc40UnderOneFixedKey) {
    // CBC with a zero IV: equal first blocks encrypt equally, and a changed
    // block changes everything after it.
    Bytes a(64, 0x11);
    Bytes b(64, 0x11);
    b[20] = 0x12;
    EncryptPassphrase(a.data());
    EncryptPassphrase(b.data());
    EXPECT_EQ(ToHex(a.data(), 16), ToHex(b.data(), 16));
    for (int block = 2; block < 8; ++block) {
        EXPECT_NE(ToHex(a.data() + 8 * block, 8), ToHex(b.data() + 8 * block, 8));
    }
    // Each ciphertext block is the RC2 encryption of plaintext XOR previous
    // ciphertext under the same key: decrypting block 2 alone with the
    // passphrase function and a zero chain recovers plain XOR cipher block 1.
    Bytes single(64, 0);
    std::memcpy(single.data(), a.data() + 16, 8);
    DecryptPassphrase(single.data());
    for (int i = 0; i < 8; ++i) EXPECT_EQ(single[i], 0x11 ^ a[8 + i]);
}

}  // namespace
