// krtool digest, cipher, mac, passwd and passphrase against `openssl dgst`,
// `openssl enc` (legacy provider) and the library functions they wrap.
#include <cctype>
#include <sstream>

#include "../crypto/crypto_test_util.h"

namespace {

using testutil::ShellQuote;

const char kAny[] = "\x01(any output)";

class KrtoolCrypto : public testing::Test {
protected:
    // Runs krtool with `args` and expects the exit status and, unless kAny,
    // the standard output.
    void Expect(const std::string& args, int status, const std::string& output = kAny) {
        const auto result =
            testutil::Run(ShellQuote(KRTOOL_PATH) + " " + args + " 2>" + Path("stderr"));
        EXPECT_EQ(result.status, status) << args << "\n" << Stderr();
        EXPECT_TRUE(output == kAny || result.output == output) << args;
        last = result.output;
    }
    std::string Stderr() { return testutil::ReadFile(dir.File("stderr")); }
    std::string Path(const std::string& name) { return ShellQuote(dir.File(name)); }
    std::string Write(const std::string& name, const std::string& bytes) {
        testutil::WriteFile(dir.File(name), bytes);
        return Path(name);
    }
    std::string Openssl(const std::string& args) {
        return testutil::Run("openssl " + args + " 2>/dev/null").output;
    }
    std::string Enc(const std::string& args, const std::string& file) {
        return Openssl("enc -provider legacy -provider default -nopad " + args + " -in " + file);
    }
    std::string Random(size_t n) {
        const ctest::Bytes bytes = ctest::RandomBytes(rng, n);
        return std::string(bytes.begin(), bytes.end());
    }
    std::string Hex(const std::string& s) { return ctest::Hex(ctest::Bytes(s.begin(), s.end())); }
    testutil::TempDir dir;
    std::mt19937 rng{2024};
    std::string last;  // standard output of the last run
};

TEST_F(KrtoolCrypto, DigestPrintsAndChecksListsAsMd5sumAndSha1sum) {
    const std::string data = Random(200000), table = Random(256);
    std::string translated = data;
    for (char& c : translated) c = table[static_cast<unsigned char>(c)];
    Write("data", data), Write("table", table), Write("translated", translated), Write("e", "");
    const std::string files = Path("data") + " " + Path("e");
    for (const std::string algorithm : {"md5", "sha1"}) {
        const std::string sum = algorithm + "sum ";
        Expect("digest " + algorithm + " " + files, 0, testutil::Run(sum + files).output);
        Expect("digest " + algorithm + " < " + Path("data"), 0,
               testutil::Run(sum + "< " + Path("data")).output);
        const std::string line = testutil::Run(sum + Path("translated")).output;
        Expect("digest " + algorithm + " --table " + Path("table") + " - < " + Path("data"), 0,
               line.substr(0, line.find(' ')) + "  -\n");
        // -c: the same report as the coreutils check, exit 1 once a file differs.
        Write("list",
              testutil::Run("cd " + ShellQuote(dir.path()) + " && " + sum + "data e").output);
        const std::string check = "cd " + ShellQuote(dir.path()) + " && ";
        EXPECT_EQ(
            testutil::Run(check + ShellQuote(KRTOOL_PATH) + " digest " + algorithm + " -c list")
                .output,
            testutil::Run(check + sum + "-c list").output);
        Write("e", "changed");
        EXPECT_EQ(testutil::Run(check + ShellQuote(KRTOOL_PATH) + " digest " + algorithm +
                                " --check list 2>/dev/null")
                      .output,
                  "data: OK\ne: FAILED\n");
        Write("e", "");
    }
    Expect("digest md5 " + Path("data") + " " + Path("missing"), 1,
           testutil::Run("md5sum " + Path("data")).output);
    EXPECT_EQ(Stderr(),
              "krtool: cannot open '" + dir.File("missing") + "': No such file or directory\n");
    Expect("digest md5 -c " + Write("junk", "not a list\n"), 1);
    Expect("digest sha256 /dev/null", 2);
    Expect("digest", 2);
    Expect("digest md5 --table " + Write("short", table.substr(1)) + " /dev/null", 1);
}

TEST_F(KrtoolCrypto, PbeDecryptTakesBackWhateverEncryptProduced) {
    const std::string pw = Write("pw", "pass word\n");
    for (size_t size : {1u, 50000u, 65495u}) {
        const std::string plain = Random(size);
        Write("plain", plain);
        Expect("pbe encrypt --iterations 2 --password-file " + pw + " " + Path("plain"), 0);
        EXPECT_EQ(last.substr(0, 1), "M");
        Write("sealed", last);
        Expect("pbe decrypt --password-file " + pw + " " + Path("sealed"), 0, plain);
        Write("der", testutil::Run("base64 -d " + Path("sealed")).output);
        Expect("pbe decrypt --password-file " + pw + " < " + Path("der"), 0, plain);
    }
    Expect("pbe encrypt --password-file " + pw + " " + Write("over", Random(65496)), 1);
    Expect("pbe decrypt --password-file " + Write("wrong", "other\n") + " " + Path("sealed"), 1);
    EXPECT_EQ(Stderr(), "krtool: wrong password or damaged data\n");
    Expect("pbe decrypt --password-file " + pw + " " + Write("junk", "M" + Random(70000)), 1);
}

TEST_F(KrtoolCrypto, CipherMatchesOpensslEncAndHandlesPadding) {
    for (const std::string names : {"des des-cbc 8", "3des des-ede3-cbc 24", "rc2 rc2-40-cbc 5",
                                    "rc2 rc2-64-cbc 8", "rc2 rc2-cbc 16"}) {
        SCOPED_TRACE(names);
        std::istringstream fields(names);
        std::string ours, theirs;
        size_t keySize = 0;
        fields >> ours >> theirs >> keySize;
        const std::string key = Hex(Random(keySize)), iv = Hex(Random(8));
        const std::string keyIv = " --key " + key + " --iv " + iv + " ";
        const std::string plain = Random(8 * (1 + rng() % 20000));
        const std::string expected =
            Enc("-" + theirs + " -K " + key + " -iv " + iv, Write("plain", plain));
        ASSERT_EQ(expected.size(), plain.size());
        Expect("cipher " + ours + " encrypt" + keyIv + Path("plain"), 0, expected);
        Expect("cipher " + ours + " decrypt" + keyIv + "- < " + Write("c", expected), 0, plain);
    }
    const std::string keyIv = " --key 0123456789abcdef --iv fedcba9876543210 ";
    for (size_t length : {0u, 1u, 7u, 8u, 9u, 23u}) {
        const std::string plain = Random(length);
        for (const char pad : {'2', '3'}) {
            SCOPED_TRACE(std::to_string(length) + " pad " + pad);
            const std::string padArg = std::string(" --pad ") + pad;
            Expect("cipher des encrypt" + padArg + keyIv + Write("p", plain), 0);
            const size_t count = 8 - length % 8;
            std::string padding(count - 1, pad == '2' ? '\0' : '0');
            padding += static_cast<char>(pad == '2' ? count : 0x30 | count);
            EXPECT_TRUE(Enc("-d -des-cbc -K 0123456789abcdef -iv fedcba9876543210",
                            Write("c", last)) == plain + padding);
            Expect("cipher des decrypt" + padArg + keyIv + Path("c"), 0, plain);
        }
    }
    // Zero padding read as --pad 2: a last byte of 0 is no pad count.
    Expect("cipher des encrypt" + keyIv + Write("z", std::string(16, '\0')), 0);
    Expect("cipher des decrypt --pad 2" + keyIv + Write("c", last), 1);
    EXPECT_EQ(Stderr().rfind("krtool: bad padding", 0), 0u) << Stderr();
    Expect("cipher des decrypt" + keyIv + Write("c", std::string(13, 'x')), 1);
    EXPECT_EQ(Stderr(), "krtool: ciphertext length is not a multiple of 8\n");
    Expect("cipher des decrypt --pad 3" + keyIv + Write("c", ""), 1);
    for (std::string usage :
         {"des encrypt --key 0011 --iv 0000000000000000 ", "aes encrypt", "des sideways",
          "des encrypt --pad 4", "des encrypt --rc2-bits 40", "rc2 encrypt --rc2-bits 1025"}) {
        if (usage.find("--key") == std::string::npos) usage += keyIv;
        Expect("cipher " + usage + Write("z", "x"), 2);
    }
}

TEST_F(KrtoolCrypto, MacIsTheLastBlockOfZeroPaddedDesCbc) {
    for (size_t length : {0u, 1u, 8u, 70001u}) {
        const std::string data = Random(length);
        std::string padded = data;
        padded.resize((length + 7) / 8 * 8, '\0');
        const std::string cipher =
            Enc("-des-cbc -K 133457799bbcdff1 -iv 0102030405060708", Write("pad", padded));
        ASSERT_EQ(cipher.size(), padded.size());
        const std::string expected =  // the IV for an empty message
            length == 0 ? "0102030405060708" : Hex(cipher.substr(cipher.size() - 8));
        Expect("mac --key 133457799bbcdff1 --iv 0102030405060708 - < " + Write("data", data), 0,
               expected + "\n");
    }
    Expect("mac --key 0123 " + Write("empty", ""), 2);
}

TEST_F(KrtoolCrypto, PasswdMatchesTheLibrary) {
    unsigned char key[8] = {0x0f, 0x1e, 0x2d, 0x3c, 0x4b, 0x5a, 0x69, 0x78};
    char field[64] = "correct horse";
    EncryptPassword(field, key);
    std::string text(field, 64);
    const std::string passwd = "passwd --key 0f1e2d3c4b5a6978 ";
    Expect(passwd + "encrypt < " + Write("pw", "correct horse\n"), 0, text + "\n");
    for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Expect(passwd + "decrypt " + Write("text", "  " + text + "\n"), 0, "correct horse\n");
    Expect(passwd + "encrypt " + Write("long", std::string(33, 'p')), 1);
    Expect(passwd + "decrypt " + Write("short", text.substr(0, 63)), 1);
    Expect(passwd + "decrypt " + Write("bad", text.substr(0, 63) + "g"), 1);
    Expect("passwd encrypt --key 0f1e " + Write("pw", "x"), 2);
}

TEST_F(KrtoolCrypto, PassphraseMatchesTheLibrary) {
    const std::string fields = Random(128);
    std::string sealed = fields;
    EncryptPassphrase(reinterpret_cast<unsigned char*>(&sealed[0]));
    EncryptPassphrase(reinterpret_cast<unsigned char*>(&sealed[64]));
    Expect("passphrase encrypt " + Write("fields", fields), 0, sealed);
    Expect("passphrase decrypt < " + Write("sealed", sealed), 0, fields);
    Expect("passphrase encrypt " + Write("odd", std::string(65, 'x')), 1);
    Expect("passphrase scramble " + Write("odd", std::string(64, 'x')), 2);
}

}  // namespace
