// krtool digest, cipher, mac, passwd and passphrase against `openssl dgst`,
// `openssl enc` (legacy provider) and the library functions they wrap.
#include <cctype>

#include "crypto_test_util.h"

namespace {

using ctest::Hex;
using testutil::ShellQuote;

std::string Text(const ctest::Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

class KrtoolCrypto : public testing::Test {
protected:
    testutil::CommandResult Krtool(const std::string& args) {
        return testutil::Run(ShellQuote(KRTOOL_PATH) + " " + args + " 2>" + Path("stderr"));
    }
    std::string Stderr() { return testutil::ReadFile(dir_.File("stderr")); }
    std::string Path(const std::string& name) { return ShellQuote(dir_.File(name)); }
    std::string Write(const std::string& name, const std::string& bytes) {
        testutil::WriteFile(dir_.File(name), bytes);
        return Path(name);
    }
    std::string Openssl(const std::string& args) {
        return testutil::Run("openssl " + args + " 2>/dev/null").output;
    }
    std::string Enc(const std::string& args, const std::string& file) {
        return Openssl("enc -provider legacy -provider default " + args + " -in " + file);
    }
    std::string Random(size_t n) { return Text(ctest::RandomBytes(rng_, n)); }
    testutil::TempDir dir_;
    std::mt19937 rng_{2024};
};

TEST_F(KrtoolCrypto, DigestMatchesOpensslWithAndWithoutTable) {
    const std::string data = Random(200000), table = Random(256);
    std::string translated = data;
    for (char& c : translated) c = table[static_cast<unsigned char>(c)];
    Write("data", data), Write("table", table), Write("translated", translated);
    for (const std::string algorithm : {"md5", "sha1"}) {
        auto dgst = [&](const char* file) {
            const std::string line = Openssl("dgst -" + algorithm + " -r " + Path(file));
            return line.substr(0, line.find(' ')) + "\n";
        };
        const auto plain = Krtool("digest " + algorithm + " " + Path("data"));
        EXPECT_EQ(plain.status, 0);
        EXPECT_EQ(plain.output, dgst("data"));
        const auto piped =
            Krtool("digest " + algorithm + " --table " + Path("table") + " - < " + Path("data"));
        EXPECT_EQ(piped.status, 0);
        EXPECT_EQ(piped.output, dgst("translated"));
    }
    EXPECT_EQ(Krtool("digest sha256 /dev/null").status, 2);
    EXPECT_EQ(Krtool("digest").status, 2);
    EXPECT_EQ(Krtool("digest md5 --table " + Write("short", table.substr(1)) + " /dev/null").status,
              1);
    EXPECT_EQ(Krtool("digest md5 " + Path("missing")).status, 1);
}

TEST_F(KrtoolCrypto, CipherEncryptsAndDecryptsLikeOpensslEnc) {
    const std::pair<std::string, size_t> cases[] = {{"des -des-cbc", 8},
                                                    {"3des -des-ede3-cbc", 24},
                                                    {"rc2 -rc2-40-cbc", 5},
                                                    {"rc2 -rc2-64-cbc", 8},
                                                    {"rc2 -rc2-cbc", 16}};
    for (const auto& [names, keySize] : cases) {
        SCOPED_TRACE(names);
        const std::string ours = names.substr(0, names.find(' '));
        const std::string key = Hex(ctest::RandomBytes(rng_, keySize));
        const std::string iv = Hex(ctest::RandomBytes(rng_, 8));
        const std::string keyIv = " --key " + key + " --iv " + iv + " ";
        const std::string plain = Random(8 * (1 + rng_() % 20000));
        const std::string expected =
            Enc(names.substr(names.find(' ') + 1) + " -nopad -K " + key + " -iv " + iv,
                Write("plain", plain));
        ASSERT_EQ(expected.size(), plain.size());
        const auto encrypted = Krtool("cipher " + ours + " encrypt" + keyIv + Path("plain"));
        EXPECT_EQ(encrypted.status, 0) << Stderr();
        EXPECT_TRUE(encrypted.output == expected);
        const auto decrypted =
            Krtool("cipher " + ours + " decrypt" + keyIv + "- < " + Write("cipher", expected));
        EXPECT_EQ(decrypted.status, 0) << Stderr();
        EXPECT_TRUE(decrypted.output == plain);
    }
}

TEST_F(KrtoolCrypto, CipherAddsChecksAndRemovesPadding) {
    const std::string keyIv = " --key 0123456789abcdef --iv fedcba9876543210 ";
    for (size_t length : {0u, 1u, 7u, 8u, 9u, 23u}) {
        const std::string plain = Random(length);
        for (const char pad : {'2', '3'}) {
            SCOPED_TRACE(std::to_string(length) + " pad " + pad);
            const std::string padArg = std::string(" --pad ") + pad;
            const auto encrypted =
                Krtool("cipher des encrypt" + padArg + keyIv + Write("p", plain));
            ASSERT_EQ(encrypted.status, 0) << Stderr();
            const size_t count = 8 - length % 8;
            std::string padding(count - 1, pad == '2' ? '\0' : '0');
            padding += static_cast<char>(pad == '2' ? count : 0x30 | count);
            EXPECT_TRUE(Enc("-d -des-cbc -nopad -K 0123456789abcdef -iv fedcba9876543210",
                            Write("c", encrypted.output)) == plain + padding);
            const auto decrypted = Krtool("cipher des decrypt" + padArg + keyIv + Path("c"));
            EXPECT_EQ(decrypted.status, 0) << Stderr();
            EXPECT_TRUE(decrypted.output == plain);
        }
    }
    // Zero padding read as --pad 2: a last byte of 0 is no pad count.
    const auto zeros = Krtool("cipher des encrypt" + keyIv + Write("z", std::string(16, '\0')));
    EXPECT_EQ(Krtool("cipher des decrypt --pad 2" + keyIv + Write("c", zeros.output)).status, 1);
    EXPECT_EQ(Stderr().rfind("krtool: bad padding", 0), 0u) << Stderr();
    EXPECT_EQ(Krtool("cipher des decrypt" + keyIv + Write("c", std::string(13, 'x'))).status, 1);
    EXPECT_EQ(Stderr(), "krtool: ciphertext length is not a multiple of 8\n");
    EXPECT_EQ(Krtool("cipher des decrypt --pad 3" + keyIv + Write("c", "")).status, 1);
    for (std::string usage :
         {"des encrypt --key 0011 --iv 0000000000000000 ", "aes encrypt", "des sideways",
          "des encrypt --pad 4", "des encrypt --rc2-bits 40", "rc2 encrypt --rc2-bits 1025"}) {
        if (usage.find("--key") == std::string::npos) usage += keyIv;
        EXPECT_EQ(Krtool("cipher " + usage + Write("z", "x")).status, 2) << usage;
    }
}

TEST_F(KrtoolCrypto, MacIsTheLastBlockOfZeroPaddedDesCbc) {
    for (size_t length : {0u, 1u, 8u, 70001u}) {
        const std::string data = Random(length);
        std::string padded = data;
        padded.resize((length + 7) / 8 * 8, '\0');
        const std::string cipher =
            Enc("-des-cbc -nopad -K 133457799bbcdff1 -iv 0102030405060708", Write("pad", padded));
        ASSERT_EQ(cipher.size(), padded.size());
        const std::string expected =  // the IV for an empty message
            length == 0 ? "0102030405060708" : Hex(ctest::Bytes(cipher.end() - 8, cipher.end()));
        const auto mac =
            Krtool("mac --key 133457799bbcdff1 --iv 0102030405060708 - < " + Write("data", data));
        EXPECT_EQ(mac.status, 0) << Stderr();
        EXPECT_EQ(mac.output, expected + "\n") << length;
    }
    EXPECT_EQ(Krtool("mac --key 0123 " + Write("empty", "")).status, 2);
}

TEST_F(KrtoolCrypto, PasswdAndPassphraseMatchTheLibrary) {
    unsigned char key[8] = {0x0f, 0x1e, 0x2d, 0x3c, 0x4b, 0x5a, 0x69, 0x78};
    char field[64] = "correct horse";
    EncryptPassword(field, key);
    std::string text(field, 64);
    const std::string passwd = "passwd --key 0f1e2d3c4b5a6978 ";
    const auto encrypted = Krtool(passwd + "encrypt < " + Write("pw", "correct horse\n"));
    EXPECT_EQ(encrypted.status, 0) << Stderr();
    EXPECT_EQ(encrypted.output, text + "\n");
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto decrypted = Krtool(passwd + "decrypt " + Write("text", "  " + text + "\n"));
    EXPECT_EQ(decrypted.status, 0) << Stderr();
    EXPECT_EQ(decrypted.output, "correct horse\n");
    EXPECT_EQ(Krtool(passwd + "encrypt " + Write("long", std::string(33, 'p'))).status, 1);
    EXPECT_EQ(Krtool(passwd + "decrypt " + Write("short", text.substr(0, 63))).status, 1);
    EXPECT_EQ(Krtool(passwd + "decrypt " + Write("bad", text.substr(0, 63) + "g")).status, 1);
    EXPECT_EQ(Krtool("passwd encrypt --key 0f1e " + Write("pw", "x")).status, 2);

    const std::string fields = Random(128);
    std::string expected = fields;
    EncryptPassphrase(reinterpret_cast<unsigned char*>(&expected[0]));
    EncryptPassphrase(reinterpret_cast<unsigned char*>(&expected[64]));
    const auto sealed = Krtool("passphrase encrypt " + Write("fields", fields));
    EXPECT_EQ(sealed.status, 0) << Stderr();
    EXPECT_TRUE(sealed.output == expected);
    EXPECT_TRUE(Krtool("passphrase decrypt < " + Write("sealed", sealed.output)).output == fields);
    EXPECT_EQ(Krtool("passphrase encrypt " + Write("odd", std::string(65, 'x'))).status, 1);
    EXPECT_EQ(Krtool("passphrase scramble " + Write("odd", std::string(64, 'x'))).status, 2);
}

}  // namespace
