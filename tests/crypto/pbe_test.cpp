// KR_PBE: argument checks, the DER headers, decryption's length checks, and
// PKCS #8 EncryptedPrivateKeyInfo exchanged with `openssl pkcs8`, also
// through krtool pbe.
#include <map>

#include "crypto_test_util.h"
#include "krmepit/krmepit_types.h"

namespace {

using ctest::ExpectThrow;
using ctest::Pbe;
using testutil::ShellQuote;

const std::map<int, std::string> kTexts = {  // the description of each error code
    {-1, "Message pointer cannot be NULL"},
    {-2, "Message length must be a number from 1 to 65536"},
    {-3, "Password pointer cannot be NULL"},
    {-4, "Password length must be a number from 1 to 65536"},
    {-5, "Invalid password-based encryption algorithm"},
    {-6, "Iteration count must be a number from 1 to 65536"},
    {-7, "ASN1 tag is NULL or its length is < 4"},
    {-8, "ASN1 indefinite length tag not supported"},
    {-9, "Too many ASN1 length bytes in tag (> 2)"},
    {-10, "ASN1 length = 0 or greater than length of data"},
    {KM_ERROR_DATA, "B_SetAlgorithmInfo"}};

TEST(KR_PBE, ArgumentErrorsHaveTheirCodesAndTexts) {
    const unsigned char x = 'x';
    static const std::vector<unsigned char> big(65537, 'a');
    const struct {
        std::function<void(KR_PBE&)> call;
        int rc;
        std::string where;
    } cases[] = {{[](KR_PBE& p) { p.Encrypt(); }, -1, "Encrypt"},
                 {[](KR_PBE& p) { p.Decrypt(); }, -1, "Decrypt"},
                 {[](KR_PBE& p) { p.SetMessage(nullptr, 5); }, -1, "SetMessage"},
                 {[&](KR_PBE& p) { p.SetMessage(&x, 0); }, -2, "SetMessage"},
                 {[](KR_PBE& p) { p.SetMessage(big.data(), 65537); }, -2, "SetMessage"},
                 {[&](KR_PBE& p) { p.SetMessage(&x, 1), p.Decrypt(); }, -3, "Decrypt"},
                 {[&](KR_PBE& p) { p.SetMessage(&x, 1), p.Encrypt(); }, -3, "Encrypt"},
                 {[](KR_PBE& p) { p.SetPassword(nullptr, 1); }, -3, "SetPassword"},
                 {[&](KR_PBE& p) { p.SetPassword(&x, 0); }, -4, "SetPassword"},
                 {[](KR_PBE& p) { p.SetPassword(big.data(), 65537); }, -4, "SetPassword"},
                 {[](KR_PBE& p) { p.SetPbeAlg(1); }, -5, "SetPbeAlg"},
                 {[](KR_PBE& p) { p.SetIterationCount(-1); }, -6, "SetIterationCount"},
                 {[](KR_PBE& p) { p.SetIterationCount(0); }, -6, "SetIterationCount"},
                 {[](KR_PBE& p) { p.SetIterationCount(65537); }, -6, "SetIterationCount"}};
    for (const auto& c : cases) {
        KR_PBE pbe;
        ExpectThrow([&] { c.call(pbe); }, c.rc, "KR_PBE::" + c.where + "\n" + kTexts.at(c.rc));
    }
    KR_PBE pbe;  // the largest values are accepted
    pbe.SetMessage(big.data(), 65536), pbe.SetPassword(big.data(), 65536);
    pbe.SetPbeAlg(0), pbe.SetIterationCount(65536);
}

TEST(KR_PBE, CreateTagWritesShortAndLongForms) {
    struct OpenPbe : KR_PBE {
        using KR_PBE::CreateTag;
    } pbe;
    const std::pair<unsigned int, const char*> cases[] = {
        {0, "0400"},       {127, "047f"},       {128, "048180"},       {255, "0481ff"},
        {256, "30820100"}, {65535, "0482ffff"}, {65536, "0483010000"}, {16777216, "048401000000"},
    };
    for (const auto& [length, hex] : cases) {
        unsigned char out[6];
        unsigned int outLength = 0;
        pbe.CreateTag(ctest::FromHex(hex)[0], length, out, &outLength);
        EXPECT_EQ(ctest::Hex(out, outLength), hex) << length;
    }
}

TEST(KR_PBE, DecryptRefusesBadHeadersAndLengths) {
    // Headers under 4 octets, indefinite, with 3 length octets; an empty SEQUENCE,
    // one longer than the data; identifiers longer than what is left or ending
    // the data; an empty ciphertext, one longer than what is left, under 4
    // octets for its header; an identifier that is no AlgorithmIdentifier.
    const std::pair<int, std::vector<const char*>> cases[] = {
        {-7, {"3005", "30053000040100"}},
        {-8, {"30800000"}},
        {-9, {"30830100"}},
        {-10,
         {"30003000", "300930000401", "3005307f000000", "30063082ffff0401", "300430020500",
          "3006300004000000", "3006300004050000"}},
        {KM_ERROR_DATA, {"300e3002050004080102030405060708"}}};
    for (const auto& [rc, hexes] : cases) {
        const std::string where = rc >= -9 && rc <= -7 ? "ParseTag" : "Decrypt";
        for (const char* hex : hexes) {
            const ctest::Bytes der = ctest::FromHex(hex);
            ExpectThrow([&] { Pbe(true, std::string(der.begin(), der.end()), "pw"); }, rc,
                        "KR_PBE::" + where + "\n" + kTexts.at(rc));
        }
    }
}

class PbeInterop : public ::testing::Test {
protected:
    void SetUp() override {
        Sh("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out " + File("key.pem"));
        keyInfo = Sh("openssl pkcs8 -topk8 -nocrypt -outform DER -in " + File("key.pem"));
        ASSERT_GT(keyInfo.size(), 600u);
        testutil::WriteFile(dir.File("key.der"), keyInfo);
        testutil::WriteFile(dir.File("password"), password);
    }
    std::string File(const std::string& name) { return ShellQuote(dir.File(name)); }
    std::string Sh(const std::string& command) {
        return testutil::Run(command + " 2>/dev/null").output;
    }
    std::string Pkcs8(const std::string& args) {
        return Sh("openssl pkcs8 -provider legacy -provider default " + args);
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
    for (const auto& [iterations, count] :
         {std::pair{1, "01"}, std::pair{1000, "03E8"}, std::pair{65536, "010000"}}) {
        SCOPED_TRACE(iterations);
        const std::string text = Pbe(false, keyInfo, password, iterations);
        EXPECT_EQ(text, Pbe(false, keyInfo, password, iterations)) << "the salt is not random";
        EXPECT_EQ(Pbe(true, text, password), keyInfo);
        EXPECT_EQ(OpensslDecrypt(text, File("password")), keyInfo);
        const std::string parsed = Sh("openssl asn1parse -inform DER -in " + File("encrypted.der"));
        EXPECT_NE(parsed.find("pbeWithMD5AndDES-CBC"), std::string::npos);
        EXPECT_NE(parsed.find(std::string("INTEGER           :") + count + "\n"), std::string::npos)
            << parsed;
        EXPECT_NE(parsed.find("[HEX DUMP]:" + saltHex + "\n"), std::string::npos) << parsed;
    }
    for (size_t n : {1, 9, 17, 100, 49000}) {  // each Base64 ending; texts up to 65536 long
        const std::string message(n, char(n));
        EXPECT_EQ(Pbe(true, Pbe(false, message, "secret"), "secret"), message) << n;
    }
    const std::string largest = std::string(65536, 'z');  // its SEQUENCE needs 3 length octets
    const std::string der = ctest::OpensslBase64Decode(dir, Pbe(false, largest, "pw", 1));
    ASSERT_EQ(der.substr(0, 2), "\x30\x83");
    ExpectThrow([&] { Pbe(true, der.substr(0, 65536), "pw"); }, -9,
                "KR_PBE::ParseTag\n" + kTexts.at(-9));
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
