// KR_PBE against the openssl command line: PKCS #8 EncryptedPrivateKeyInfo
// in both directions.
#include <openssl/evp.h>

#include <cstdio>
#include <string>

#include "pbe_test_util.h"

namespace {

using pbetest::Decrypt;
using pbetest::Encrypt;
using testutil::ShellQuote;

// The value as asn1parse shows an INTEGER: upper-case hex of even length.
std::string EvenHex(int value) {
    char hex[16];
    snprintf(hex, sizeof hex, "%X", value);
    std::string text = hex;
    return text.size() % 2 != 0 ? "0" + text : text;
}

// The first 8 octets of the MD5 of `data`, by libcrypto, in upper-case hex.
std::string Md5SaltHex(const std::string& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr);
    std::string text;
    for (int i = 0; i < 8; ++i) {
        char hex[3];
        snprintf(hex, sizeof hex, "%02X", digest[i]);
        text += hex;
    }
    return text;
}

class PbeInterop : public ::testing::Test {
protected:
    void SetUp() override {
        keyInfo = pbetest::PrivateKeyInfo(dir, 1024);
        ASSERT_GT(keyInfo.size(), 600u);
        testutil::WriteFile(dir.File("key.der"), keyInfo);
        testutil::WriteFile(dir.File("password"), password);
        // What `openssl pkcs8` writes for the unencrypted key: the form its
        // decryption of an encrypted one must give too.
        plainKeyOutput = testutil::Run("openssl pkcs8 -inform DER -nocrypt -in " +
                                       ShellQuote(dir.File("key.der")) + " -outform DER")
                             .output;
        ASSERT_FALSE(plainKeyOutput.empty());
    }

    // Encrypts the key with `openssl pkcs8 -topk8 -v1 <scheme>`.
    std::string OpensslEncrypt(const std::string& scheme, const std::string& form) {
        return testutil::Run("openssl pkcs8 -topk8 -v1 " + scheme + " -inform DER -in " +
                             ShellQuote(dir.File("key.der")) +
                             " -passout file:" + ShellQuote(dir.File("password")) +
                             " -provider legacy -provider default -outform " + form +
                             " 2>/dev/null")
            .output;
    }

    testutil::TempDir dir;
    std::string keyInfo;
    std::string plainKeyOutput;
    const std::string password = "pass phrase 42";
};

TEST_F(PbeInterop, OpensslDecryptsWhatEncryptWrites) {
    for (int iterations : {1, 1000, 65536}) {
        std::string text = Encrypt(keyInfo, password, iterations);
        ASSERT_EQ(text[0], 'M');
        std::string der = pbetest::OpensslBase64Decode(dir, text);
        testutil::WriteFile(dir.File("encrypted.der"), der);
        testutil::CommandResult opened =
            testutil::Run("openssl pkcs8 -inform DER -in " + ShellQuote(dir.File("encrypted.der")) +
                          " -passin file:" + ShellQuote(dir.File("password")) +
                          " -provider legacy -provider default -outform DER 2>/dev/null");
        EXPECT_EQ(opened.status, 0) << iterations;
        EXPECT_EQ(opened.output, plainKeyOutput) << iterations;

        std::string parsed = testutil::Run("openssl asn1parse -inform DER -in " +
                                           ShellQuote(dir.File("encrypted.der")))
                                 .output;
        EXPECT_NE(parsed.find("pbeWithMD5AndDES-CBC"), std::string::npos);
        EXPECT_NE(parsed.find("INTEGER           :" + EvenHex(iterations) + "\n"),
                  std::string::npos)
            << parsed;
        EXPECT_NE(parsed.find("[HEX DUMP]:" + Md5SaltHex(keyInfo + password) + "\n"),
                  std::string::npos)
            << parsed;
    }
}

TEST_F(PbeInterop, DecryptOpensOpensslKeysInBinaryAndBase64) {
    for (const char* scheme : {"PBE-MD5-DES", "PBE-SHA1-DES"}) {
        std::string der = OpensslEncrypt(scheme, "DER");
        ASSERT_FALSE(der.empty()) << scheme;
        ASSERT_EQ(static_cast<unsigned char>(der[0]), 0x30);
        EXPECT_EQ(Decrypt(der, password), keyInfo) << scheme;

        std::string body = pbetest::PemBody(OpensslEncrypt(scheme, "PEM"));
        ASSERT_EQ(body[0], 'M') << scheme;
        EXPECT_EQ(Decrypt(body, password), keyInfo) << scheme;
    }
}

TEST_F(PbeInterop, OtherSchemesAreRefusedByTheToolkit) {
    std::string der = testutil::Run("openssl pkcs8 -topk8 -v2 aes-128-cbc -inform DER -in " +
                                    ShellQuote(dir.File("key.der")) + " -passout file:" +
                                    ShellQuote(dir.File("password")) + " -outform DER")
                          .output;
    ASSERT_FALSE(der.empty());
    try {
        Decrypt(der, password);
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, 541);
        EXPECT_EQ(e.text, "KR_PBE::Decrypt\nB_SetAlgorithmInfo");
    }
}

}  // namespace
