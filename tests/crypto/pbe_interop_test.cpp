// KR_PBE and krtool pbe against `openssl pkcs8`: PKCS #8
// EncryptedPrivateKeyInfo in both directions.
#include <cstdio>

#include "crypto_test_util.h"

namespace {

using ctest::Pbe;
using testutil::ShellQuote;

class PbeInterop : public ::testing::Test {
protected:
    void SetUp() override {
        testutil::Run("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out " +
                      File("key.pem") + " 2>/dev/null");
        keyInfo = testutil::Run("openssl pkcs8 -topk8 -nocrypt -outform DER -in " + File("key.pem"))
                      .output;
        ASSERT_GT(keyInfo.size(), 600u);
        testutil::WriteFile(dir.File("key.der"), keyInfo);
        testutil::WriteFile(dir.File("password"), password);
    }
    std::string File(const std::string& name) { return ShellQuote(dir.File(name)); }
    std::string Pkcs8(const std::string& args) {
        return testutil::Run("openssl pkcs8 -provider legacy -provider default " + args +
                             " 2>/dev/null")
            .output;
    }
    // `openssl pkcs8` decryption of our Base64 text, as a DER PrivateKeyInfo.
    std::string OpensslDecrypt(const std::string& text, const std::string& passwordFile) {
        testutil::WriteFile(dir.File("encrypted.der"), ctest::OpensslBase64Decode(dir, text));
        return Pkcs8("-topk8 -nocrypt -inform DER -outform DER -in " + File("encrypted.der") +
                     " -passin file:" + passwordFile);
    }

    testutil::TempDir dir;
    std::string keyInfo;
    const std::string password = "pass phrase 42";
};

TEST_F(PbeInterop, OpensslDecryptsWhatEncryptWrites) {
    unsigned char salt[EVP_MAX_MD_SIZE];
    const std::string salted = keyInfo + password;
    EVP_Digest(salted.data(), salted.size(), salt, nullptr, EVP_md5(), nullptr);
    std::string saltHex = ctest::Hex(salt, 8);
    for (char& c : saltHex) c = static_cast<char>(toupper(c));
    for (int iterations : {1, 1000, 65536}) {
        SCOPED_TRACE(iterations);
        const std::string text = Pbe(false, keyInfo, password, iterations);
        ASSERT_EQ(text[0], 'M');
        EXPECT_EQ(OpensslDecrypt(text, File("password")), keyInfo);
        const std::string parsed =
            testutil::Run("openssl asn1parse -inform DER -in " + File("encrypted.der")).output;
        char hex[16];
        snprintf(hex, sizeof hex, "%X", iterations);
        const std::string count = (strlen(hex) % 2 ? "0" : "") + std::string(hex);
        EXPECT_NE(parsed.find("pbeWithMD5AndDES-CBC"), std::string::npos);
        EXPECT_NE(parsed.find("INTEGER           :" + count + "\n"), std::string::npos) << parsed;
        EXPECT_NE(parsed.find("[HEX DUMP]:" + saltHex + "\n"), std::string::npos) << parsed;
    }
}

TEST_F(PbeInterop, DecryptOpensOpensslKeysInBinaryAndBase64) {
    const std::string encrypt = "-topk8 -inform DER -in " + File("key.der") +
                                " -passout file:" + File("password") + " -outform ";
    for (const char* scheme : {"PBE-MD5-DES", "PBE-SHA1-DES"}) {
        SCOPED_TRACE(scheme);
        const std::string der = Pkcs8(std::string("-v1 ") + scheme + " " + encrypt + "DER");
        ASSERT_EQ(der.substr(0, 1), "\x30");
        EXPECT_EQ(Pbe(true, der, password), keyInfo);
        const std::string pem = Pkcs8(std::string("-v1 ") + scheme + " " + encrypt + "PEM");
        const size_t begin = pem.find('\n') + 1;
        const std::string body = pem.substr(begin, pem.find("-----END") - begin);
        ASSERT_EQ(body.substr(0, 1), "M");
        EXPECT_EQ(Pbe(true, body, password), keyInfo);
    }
    ctest::ExpectThrow([&] { Pbe(true, Pkcs8("-v2 aes-128-cbc " + encrypt + "DER"), password); },
                       541, "KR_PBE::Decrypt\nB_SetAlgorithmInfo");
}

TEST_F(PbeInterop, KrtoolPbeRoundTripsThroughOpenssl) {
    testutil::WriteFile(dir.File("pwline"), "correct horse\n");
    const std::string tool = ShellQuote(KRTOOL_PATH) + " pbe ";
    const std::string pw = " --password-file " + File("pwline") + " ";
    const auto encrypted =
        testutil::Run(tool + "encrypt" + pw + "--iterations 2048 " + File("key.der"));
    ASSERT_EQ(encrypted.status, 0);
    ASSERT_EQ(encrypted.output.back(), '\n');
    EXPECT_EQ(
        OpensslDecrypt(encrypted.output.substr(0, encrypted.output.size() - 1), File("pwline")),
        keyInfo);
    testutil::WriteFile(dir.File("encrypted.txt"), encrypted.output);
    const auto decrypted = testutil::Run(tool + "decrypt" + pw + "- < " + File("encrypted.txt"));
    EXPECT_EQ(decrypted.status, 0);
    EXPECT_EQ(decrypted.output, keyInfo);

    testutil::WriteFile(dir.File("junk"), "0123456789");
    const std::pair<std::string, int> failures[] = {
        {"encrypt /dev/null", 2},  // no password file
        {"scramble" + pw, 2},
        {"encrypt" + pw + "--iterations 0 " + File("junk"), 2},
        {"decrypt" + pw + File("junk"), 1},  // not encrypted data
        {"encrypt" + pw + "/dev/null", 1},   // empty message
    };
    for (const auto& [args, status] : failures) {
        EXPECT_EQ(testutil::Run(tool + args + " 2>/dev/null").status, status) << args;
    }
}

}  // namespace
