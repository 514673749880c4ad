// krtool cipher, mac, passwd and passphrase, checked against `openssl enc`
// (legacy provider) and against the library functions they wrap.
#include <cctype>
#include <cstring>
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"
#include "testutil.h"

namespace {

using cipher_oracle::RandomBytes;
using cipher_oracle::ToHex;
using testutil::ShellQuote;

std::string AsString(const cipher_oracle::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

class CipherTool : public testing::Test {
protected:
    testutil::CommandResult Krtool(const std::string& args) {
        return testutil::Run(ShellQuote(KRTOOL_PATH) + " " + args + " 2>" +
                             ShellQuote(dir_.File("stderr")));
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
    const std::pair<std::string, size_t> cases[] = {{"des -des-cbc", 8},
                                                    {"3des -des-ede3-cbc", 24},
                                                    {"rc2 -rc2-40-cbc", 5},
                                                    {"rc2 -rc2-64-cbc", 8},
                                                    {"rc2 -rc2-cbc", 16}};
    for (const auto& [names, keySize] : cases) {
        const std::string ours = names.substr(0, names.find(' '));
        const std::string theirs = names.substr(names.find(' ') + 1);
        const std::string key = ToHex(RandomBytes(rng_, keySize));
        const std::string iv = ToHex(RandomBytes(rng_, 8));
        const std::string keyIv = " --key " + key + " --iv " + iv + " ";
        const std::string plain = AsString(RandomBytes(rng_, 8 * (1 + rng_() % 20000)));
        const std::string openSslArgs = theirs + " -nopad -K " + key + " -iv " + iv;
        const std::string expected = OpenSslEnc(openSslArgs, Write("plain", plain));
        ASSERT_EQ(expected.size(), plain.size());
        auto encrypted = Krtool("cipher " + ours + " encrypt" + keyIv + Write("plain", plain));
        EXPECT_EQ(encrypted.status, 0) << Stderr();
        EXPECT_TRUE(encrypted.output == expected) << names;
        auto decrypted =
            Krtool("cipher " + ours + " decrypt" + keyIv + "- < " + Write("cipher", expected));
        EXPECT_EQ(decrypted.status, 0) << Stderr();
        EXPECT_TRUE(decrypted.output == plain) << names;
    }
}

TEST_F(CipherTool, PaddingIsAddedCheckedAndRemoved) {
    const std::string keyIv = " --key 0123456789abcdef --iv fedcba9876543210 ";
    for (size_t length : {0u, 1u, 7u, 8u, 9u, 23u}) {
        const std::string plain = AsString(RandomBytes(rng_, length));
        for (const char pad : {'2', '3'}) {
            const std::string padArg = std::string(" --pad ") + pad;
            auto encrypted = Krtool("cipher des encrypt" + padArg + keyIv + Write("p", plain));
            ASSERT_EQ(encrypted.status, 0) << Stderr();
            const std::string cipherFile = Write("cipher", encrypted.output);
            const size_t count = 8 - length % 8;
            std::string padding(count - 1, pad == '2' ? '\0' : '0');
            padding += static_cast<char>(pad == '2' ? count : 0x30 | count);
            EXPECT_TRUE(OpenSslEnc("-d -des-cbc -nopad -K 0123456789abcdef -iv fedcba9876543210",
                                   cipherFile) == plain + padding)
                << length << " pad " << pad;
            auto decrypted = Krtool("cipher des decrypt" + padArg + keyIv + cipherFile);
            EXPECT_EQ(decrypted.status, 0) << Stderr();
            EXPECT_TRUE(decrypted.output == plain) << length << " pad " << pad;
        }
    }
    // Zero padding read as --pad 2: a last byte of 0 is no pad count.
    auto zeros = Krtool("cipher des encrypt" + keyIv + Write("z", std::string(16, '\0')));
    EXPECT_EQ(Krtool("cipher des decrypt --pad 2" + keyIv + Write("c", zeros.output)).status, 1);
    EXPECT_EQ(Stderr().rfind("krtool: bad padding", 0), 0u) << Stderr();
    EXPECT_EQ(Krtool("cipher des decrypt" + keyIv + Write("c", std::string(13, 'x'))).status, 1);
    EXPECT_EQ(Stderr(), "krtool: ciphertext length is not a multiple of 8\n");
    EXPECT_EQ(Krtool("cipher des decrypt --pad 3" + keyIv + Write("c", "")).status, 1);
    for (const char* usage :
         {"des encrypt --key 0011 --iv 0000000000000000", "aes encrypt", "des sideways",
          "des encrypt --pad 4", "des encrypt --rc2-bits 40", "rc2 encrypt --rc2-bits 1025"}) {
        const std::string args = std::string(usage).find("--key") == std::string::npos
                                     ? std::string(usage) + keyIv
                                     : std::string(usage) + " ";
        EXPECT_EQ(Krtool("cipher " + args + Write("z", "x")).status, 2) << usage;
    }
}

TEST_F(CipherTool, MacIsTheLastBlockOfZeroPaddedDesCbc) {
    for (size_t length : {0u, 1u, 8u, 70001u}) {
        const std::string data = AsString(RandomBytes(rng_, length));
        std::string padded = data;
        padded.resize((length + 7) / 8 * 8, '\0');
        const std::string cipher = OpenSslEnc(
            "-des-cbc -nopad -K 133457799bbcdff1 -iv 0102030405060708", Write("padded", padded));
        ASSERT_EQ(cipher.size(), padded.size());
        // The MAC of an empty message is the IV.
        const std::string expected =
            length == 0
                ? "0102030405060708"
                : ToHex(reinterpret_cast<const unsigned char*>(cipher.data()) + cipher.size() - 8,
                        8);
        auto mac =
            Krtool("mac --key 133457799bbcdff1 --iv 0102030405060708 - < " + Write("data", data));
        EXPECT_EQ(mac.status, 0) << Stderr();
        EXPECT_EQ(mac.output, expected + "\n") << length;
    }
    EXPECT_EQ(Krtool("mac --key 0123 " + Write("empty", "")).status, 2);
}

TEST_F(CipherTool, PasswdAndPassphraseMatchTheLibrary) {
    const unsigned char key[8] = {0x0f, 0x1e, 0x2d, 0x3c, 0x4b, 0x5a, 0x69, 0x78};
    char field[64] = "correct horse";
    EncryptPassword(field, key);
    std::string text(field, 64);
    const std::string passwd = "passwd --key 0f1e2d3c4b5a6978 ";
    auto encrypted = Krtool(passwd + "encrypt < " + Write("pw", "correct horse\n"));
    EXPECT_EQ(encrypted.status, 0) << Stderr();
    EXPECT_EQ(encrypted.output, text + "\n");
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto decrypted = Krtool(passwd + "decrypt " + Write("text", "  " + text + "\n"));
    EXPECT_EQ(decrypted.status, 0) << Stderr();
    EXPECT_EQ(decrypted.output, "correct horse\n");
    EXPECT_EQ(Krtool(passwd + "encrypt " + Write("long", std::string(33, 'p'))).status, 1);
    EXPECT_EQ(Krtool(passwd + "decrypt " + Write("short", text.substr(0, 63))).status, 1);
    EXPECT_EQ(Krtool(passwd + "decrypt " + Write("bad", text.substr(0, 63) + "g")).status, 1);
    EXPECT_EQ(Krtool("passwd encrypt --key 0f1e " + Write("pw", "x")).status, 2);

    const cipher_oracle::Bytes fields = RandomBytes(rng_, 128);
    cipher_oracle::Bytes expected = fields;
    EncryptPassphrase(expected.data());
    EncryptPassphrase(expected.data() + 64);
    auto sealed = Krtool("passphrase encrypt " + Write("fields", AsString(fields)));
    EXPECT_EQ(sealed.status, 0) << Stderr();
    EXPECT_TRUE(sealed.output == AsString(expected));
    auto opened = Krtool("passphrase decrypt < " + Write("sealed", sealed.output));
    EXPECT_TRUE(opened.output == AsString(fields));
    EXPECT_EQ(Krtool("passphrase encrypt " + Write("odd", std::string(65, 'x'))).status, 1);
    EXPECT_EQ(Krtool("passphrase scramble " + Write("odd", std::string(64, 'x'))).status, 2);
}

}  // namespace
