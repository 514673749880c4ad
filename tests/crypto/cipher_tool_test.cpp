// krtool cipher, mac, passwd and passphrase, checked against `openssl enc`
// (legacy provider) and against the library functions they wrap.
#include <cstring>
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"
#include "testutil.h"

namespace {

using cipher_oracle::Bytes;
using cipher_oracle::RandomBytes;
using cipher_oracle::ToHex;

using testutil::ShellQuote;

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class CipherTool : public testing::Test {
protected:
    std::string Krtool(const std::string& args) {
        return ShellQuote(KRTOOL_PATH) + " " + args + " 2>" + ShellQuote(dir_.File("stderr"));
    }
    std::string Stderr() { return testutil::ReadFile(dir_.File("stderr")); }
    std::string Write(const std::string& name, const std::string& bytes) {
        testutil::WriteFile(dir_.File(name), bytes);
        return ShellQuote(dir_.File(name));
    }
    std::string OpenSslEnc(const std::string& args, const std::string& file) {
        return testutil::Run("openssl enc -provider legacy -provider default " + args + " -in " +
                             file)
            .output;
    }

    testutil::TempDir dir_;
    std::mt19937 rng_{2024};
};

TEST_F(CipherTool, EncryptsAndDecryptsLikeOpenSslEnc) {
    struct Case {
        const char* algorithm;
        const char* openSslCipher;
        size_t keySize;
    };
    const Case cases[] = {{"des", "-des-cbc", 8},
                          {"3des", "-des-ede3-cbc", 24},
                          {"rc2", "-rc2-40-cbc", 5},
                          {"rc2", "-rc2-64-cbc", 8},
                          {"rc2", "-rc2-cbc", 16}};
    for (const auto& c : cases) {
        const std::string key = ToHex(RandomBytes(rng_, c.keySize));
        const std::string iv = ToHex(RandomBytes(rng_, 8));
        const std::string plain = AsString(RandomBytes(rng_, 8 * (1 + rng_() % 20000)));
        const std::string file = Write("plain", plain);
        const std::string expected =
            OpenSslEnc(std::string(c.openSslCipher) + " -nopad -K " + key + " -iv " + iv, file);
        ASSERT_EQ(expected.size(), plain.size());

        auto encrypted =
            testutil::Run(Krtool(std::string("cipher ") + c.algorithm + " encrypt --key " + key +
                                 " --iv " + iv + " " + file));
        EXPECT_EQ(encrypted.status, 0) << Stderr();
        EXPECT_TRUE(encrypted.output == expected) << c.openSslCipher;

        const std::string cipherFile = Write("cipher", expected);
        auto decrypted =
            testutil::Run(Krtool(std::string("cipher ") + c.algorithm + " decrypt --key " + key +
                                 " --iv " + iv + " - < " + cipherFile));
        EXPECT_EQ(decrypted.status, 0) << Stderr();
        EXPECT_TRUE(decrypted.output == plain) << c.openSslCipher;
    }
}

TEST_F(CipherTool, PaddingIsAddedAndRemoved) {
    const std::string key = "0123456789abcdef";
    const std::string iv = "fedcba9876543210";
    for (size_t length : {0u, 1u, 7u, 8u, 9u, 16u, 23u}) {
        const std::string plain = AsString(RandomBytes(rng_, length));
        const std::string file = Write("plain", plain);
        for (const char* pad : {"2", "3"}) {
            auto encrypted = testutil::Run(Krtool(std::string("cipher des encrypt --pad ") + pad +
                                                  " --key " + key + " --iv " + iv + " " + file));
            ASSERT_EQ(encrypted.status, 0) << Stderr();
            const std::string cipherFile = Write("cipher", encrypted.output);
            const std::string opened =
                OpenSslEnc("-d -des-cbc -nopad -K " + key + " -iv " + iv, cipherFile);
            const size_t count = 8 - length % 8;
            std::string padding(count - 1, *pad == '2' ? '\0' : '0');
            padding += static_cast<char>(*pad == '2' ? count : 0x30 | count);
            EXPECT_TRUE(opened == plain + padding) << length << " pad " << pad;

            auto decrypted =
                testutil::Run(Krtool(std::string("cipher des decrypt --pad ") + pad + " --key " +
                                     key + " --iv " + iv + " " + cipherFile));
            EXPECT_EQ(decrypted.status, 0) << Stderr();
            EXPECT_TRUE(decrypted.output == plain) << length << " pad " << pad;
        }
    }
}

TEST_F(CipherTool, BadCiphertextAndBadUsageGiveTheirExitCodes) {
    const std::string common = " --key 0123456789abcdef --iv 0000000000000000 ";
    // Zero padding decrypted as --pad 2: the last byte 0 is no pad count.
    const std::string zeros = Write("zeros", std::string(16, '\0'));
    auto encrypted = testutil::Run(Krtool("cipher des encrypt" + common + zeros));
    const std::string cipherFile = Write("cipher", encrypted.output);
    auto bad = testutil::Run(Krtool("cipher des decrypt --pad 2" + common + cipherFile));
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(Stderr().rfind("krtool: bad padding", 0), 0u) << Stderr();

    const std::string ragged = Write("ragged", std::string(13, 'x'));
    EXPECT_EQ(testutil::Run(Krtool("cipher des decrypt" + common + ragged)).status, 1);
    EXPECT_EQ(Stderr(), "krtool: ciphertext length is not a multiple of 8\n");
    const std::string empty = Write("empty", "");
    EXPECT_EQ(testutil::Run(Krtool("cipher des decrypt --pad 3" + common + empty)).status, 1);

    EXPECT_EQ(testutil::Run(Krtool("cipher des encrypt --key 0011 --iv 0000000000000000 " + zeros))
                  .status,
              2);
    EXPECT_EQ(testutil::Run(Krtool("cipher aes encrypt" + common + zeros)).status, 2);
    EXPECT_EQ(testutil::Run(Krtool("cipher des sideways" + common + zeros)).status, 2);
    EXPECT_EQ(testutil::Run(Krtool("cipher des encrypt --pad 4" + common + zeros)).status, 2);
    EXPECT_EQ(testutil::Run(Krtool("cipher des encrypt --rc2-bits 40" + common + zeros)).status, 2);
    EXPECT_EQ(testutil::Run(Krtool("cipher rc2 encrypt --rc2-bits 1025" + common + zeros)).status,
              2);
    EXPECT_EQ(
        testutil::Run(Krtool("cipher des encrypt --key 0123456789abcdef --iv 00 " + zeros)).status,
        2);
}

TEST_F(CipherTool, MacIsTheLastBlockOfZeroPaddedDesCbc) {
    const std::string key = "133457799bbcdff1";
    for (size_t length : {1u, 8u, 1000u, 70001u}) {
        const std::string data = AsString(RandomBytes(rng_, length));
        const std::string file = Write("data", data);
        std::string padded = data;
        padded.resize((length + 7) / 8 * 8, '\0');
        const std::string cipher = OpenSslEnc("-des-cbc -nopad -K " + key + " -iv 0102030405060708",
                                              Write("padded", padded));
        ASSERT_EQ(cipher.size(), padded.size());
        const std::string expected =
            ToHex(reinterpret_cast<const unsigned char*>(cipher.data()) + cipher.size() - 8, 8);
        auto mac = testutil::Run(Krtool("mac --key " + key + " --iv 0102030405060708 - < " + file));
        EXPECT_EQ(mac.status, 0) << Stderr();
        EXPECT_EQ(mac.output, expected + "\n") << length;
    }
    EXPECT_EQ(testutil::Run(Krtool("mac --key " + key + " " + Write("empty", ""))).output,
              "0000000000000000\n");
    EXPECT_EQ(testutil::Run(Krtool("mac --key 0123 " + Write("empty", ""))).status, 2);
}

TEST_F(CipherTool, PasswdMatchesTheLibraryAndRoundTrips) {
    const unsigned char key[8] = {0x0f, 0x1e, 0x2d, 0x3c, 0x4b, 0x5a, 0x69, 0x78};
    char field[64] = "correct horse";
    EncryptPassword(field, key);
    const std::string text(field, 64);

    auto encrypted = testutil::Run(
        Krtool("passwd encrypt --key 0f1e2d3c4b5a6978 < " + Write("pw", "correct horse\n")));
    EXPECT_EQ(encrypted.status, 0) << Stderr();
    EXPECT_EQ(encrypted.output, text + "\n");

    std::string lower = text;
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto decrypted = testutil::Run(
        Krtool("passwd decrypt --key 0f1e2d3c4b5a6978 " + Write("text", "  " + lower + "\n")));
    EXPECT_EQ(decrypted.status, 0) << Stderr();
    EXPECT_EQ(decrypted.output, "correct horse\n");

    EXPECT_EQ(testutil::Run(Krtool("passwd encrypt --key 0f1e2d3c4b5a6978 " +
                                   Write("long", std::string(33, 'p'))))
                  .status,
              1);
    EXPECT_EQ(testutil::Run(Krtool("passwd decrypt --key 0f1e2d3c4b5a6978 " +
                                   Write("short", text.substr(0, 63))))
                  .status,
              1);
    EXPECT_EQ(testutil::Run(Krtool("passwd decrypt --key 0f1e2d3c4b5a6978 " +
                                   Write("nonhex", text.substr(0, 63) + "g")))
                  .status,
              1);
    EXPECT_EQ(testutil::Run(Krtool("passwd encrypt --key 0f1e " + Write("pw", "x"))).status, 2);
}

TEST_F(CipherTool, PassphraseMatchesTheLibraryAndRoundTrips) {
    const Bytes fields = RandomBytes(rng_, 128);
    Bytes expected = fields;
    EncryptPassphrase(expected.data());
    EncryptPassphrase(expected.data() + 64);

    auto encrypted =
        testutil::Run(Krtool("passphrase encrypt " + Write("fields", AsString(fields))));
    EXPECT_EQ(encrypted.status, 0) << Stderr();
    EXPECT_TRUE(encrypted.output == AsString(expected));
    auto decrypted =
        testutil::Run(Krtool("passphrase decrypt < " + Write("cipher", encrypted.output)));
    EXPECT_EQ(decrypted.status, 0) << Stderr();
    EXPECT_TRUE(decrypted.output == AsString(fields));

    EXPECT_EQ(
        testutil::Run(Krtool("passphrase encrypt " + Write("odd", std::string(65, 'x')))).status,
        1);
    EXPECT_EQ(
        testutil::Run(Krtool("passphrase scramble " + Write("odd", std::string(64, 'x')))).status,
        2);
}

}  // namespace
