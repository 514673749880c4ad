// Key objects, checked against the openssl command line.
#include <string>
#include <vector>

#include "krmepit/bsafe.h"
#include "testutil.h"

namespace {

std::string Hex(const ITEM& item) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < item.len; ++i) {
        text += kDigits[item.data[i] >> 4];
        text += kDigits[item.data[i] & 15];
    }
    return text;
}

class Key {
public:
    Key() { EXPECT_EQ(B_CreateKeyObject(&handle), 0); }
    ~Key() { B_DestroyKeyObject(&handle); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    B_KEY_OBJ handle = nullptr;
};

struct RsaFixture {
    std::string publicKeyInfo;  // DER SubjectPublicKeyInfo
    std::string modulusHex;     // from `openssl rsa -modulus`
};

RsaFixture MakeRsaKey(const testutil::TempDir& dir, int bits, int exponent) {
    std::string pem = dir.File("key.pem");
    testutil::Run("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:" +
                  std::to_string(bits) + " -pkeyopt rsa_keygen_pubexp:" + std::to_string(exponent) +
                  " -out " + testutil::ShellQuote(pem) + " 2>/dev/null");
    RsaFixture fixture;
    fixture.publicKeyInfo =
        testutil::Run("openssl pkey -in " + testutil::ShellQuote(pem) + " -pubout -outform DER")
            .output;
    std::string modulus = testutil::Run("openssl rsa -in " + testutil::ShellQuote(pem) +
                                        " -noout -modulus 2>/dev/null")
                              .output;
    std::string prefix = "Modulus=";
    if (modulus.compare(0, prefix.size(), prefix) == 0) {
        fixture.modulusHex = modulus.substr(prefix.size());
        while (!fixture.modulusHex.empty() && fixture.modulusHex.back() == '\n') {
            fixture.modulusHex.pop_back();
        }
    }
    return fixture;
}

ITEM ItemOf(std::string& bytes) {
    return ITEM{reinterpret_cast<unsigned char*>(&bytes[0]),
                static_cast<unsigned int>(bytes.size())};
}

TEST(BsafeKey, RsaPublicBerGivesOpensslModulusAndExponent) {
    testutil::TempDir dir;
    struct Case {
        int bits;
        int exponent;
        const char* exponentHex;
    };
    for (const Case& c : {Case{1024, 65537, "010001"}, Case{2048, 3, "03"}}) {
        RsaFixture fixture = MakeRsaKey(dir, c.bits, c.exponent);
        ASSERT_FALSE(fixture.publicKeyInfo.empty());
        ASSERT_FALSE(fixture.modulusHex.empty());
        Key key;
        ITEM der = ItemOf(fixture.publicKeyInfo);
        ASSERT_EQ(B_SetKeyInfo(key.handle, KI_RSAPublicBER, &der), 0);
        POINTER info = nullptr;
        ASSERT_EQ(B_GetKeyInfo(&info, key.handle, KI_RSAPublic), 0);
        const A_RSA_KEY* rsa = static_cast<const A_RSA_KEY*>(info);
        EXPECT_EQ(rsa->modulus.len, static_cast<unsigned int>(c.bits / 8));
        EXPECT_EQ(Hex(rsa->modulus), fixture.modulusHex);
        EXPECT_EQ(Hex(rsa->exponent), c.exponentHex);
        ASSERT_EQ(B_GetKeyInfo(&info, key.handle, KI_RSAPublicBER), 0);
        const ITEM* encoded = static_cast<const ITEM*>(info);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(encoded->data), encoded->len),
                  fixture.publicKeyInfo);
        EXPECT_EQ(B_GetKeyInfo(&info, key.handle, KI_Item), KM_ERROR_KEY);
    }
}

TEST(BsafeKey, RsaPublicFromMagnitudesEncodesTheSameInfo) {
    testutil::TempDir dir;
    RsaFixture fixture = MakeRsaKey(dir, 1024, 65537);
    Key fromBer;
    ITEM der = ItemOf(fixture.publicKeyInfo);
    ASSERT_EQ(B_SetKeyInfo(fromBer.handle, KI_RSAPublicBER, &der), 0);
    POINTER info = nullptr;
    ASSERT_EQ(B_GetKeyInfo(&info, fromBer.handle, KI_RSAPublic), 0);
    A_RSA_KEY parts = *static_cast<const A_RSA_KEY*>(info);
    // A leading zero octet on input is dropped.
    std::vector<unsigned char> padded(1, 0);
    padded.insert(padded.end(), parts.modulus.data, parts.modulus.data + parts.modulus.len);
    parts.modulus = {padded.data(), static_cast<unsigned int>(padded.size())};

    Key fromParts;
    ASSERT_EQ(B_SetKeyInfo(fromParts.handle, KI_RSAPublic, &parts), 0);
    ASSERT_EQ(B_GetKeyInfo(&info, fromParts.handle, KI_RSAPublicBER), 0);
    const ITEM* encoded = static_cast<const ITEM*>(info);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(encoded->data), encoded->len),
              fixture.publicKeyInfo);
}

TEST(BsafeKey, RejectsWhatIsNotOneRsaPublicKey) {
    testutil::TempDir dir;
    RsaFixture fixture = MakeRsaKey(dir, 1024, 65537);
    Key key;
    std::string trailing = fixture.publicKeyInfo + std::string(1, '\0');
    ITEM item = ItemOf(trailing);
    EXPECT_EQ(B_SetKeyInfo(key.handle, KI_RSAPublicBER, &item), KM_ERROR_DATA);
    std::string truncated = fixture.publicKeyInfo.substr(0, fixture.publicKeyInfo.size() - 1);
    item = ItemOf(truncated);
    EXPECT_EQ(B_SetKeyInfo(key.handle, KI_RSAPublicBER, &item), KM_ERROR_DATA);

    testutil::Run("openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out " +
                  testutil::ShellQuote(dir.File("ec.pem")) + " 2>/dev/null");
    std::string ec = testutil::Run("openssl pkey -in " + testutil::ShellQuote(dir.File("ec.pem")) +
                                   " -pubout -outform DER")
                         .output;
    ASSERT_FALSE(ec.empty());
    item = ItemOf(ec);
    EXPECT_EQ(B_SetKeyInfo(key.handle, KI_RSAPublicBER, &item), KM_ERROR_DATA);
    POINTER info = nullptr;
    EXPECT_EQ(B_GetKeyInfo(&info, key.handle, KI_RSAPublic), KM_ERROR_KEY);
}

}  // namespace
