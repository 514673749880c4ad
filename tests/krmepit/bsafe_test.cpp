// The toolkit's algorithm and key objects: digests' call order, random
// bytes, RSA public keys against the openssl command line and PBES1 against
// libcrypto's own PKCS #5 implementation.
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "krmepit/bsafe.h"
#include "testutil.h"

namespace {

using Bytes = std::vector<unsigned char>;

// The DER identifier that libcrypto builds for a PBES1 algorithm.
Bytes OracleIdentifier(int nid, int iterations, const Bytes& salt) {
    X509_ALGOR* algor = PKCS5_pbe_set(nid, iterations, salt.data(), static_cast<int>(salt.size()));
    unsigned char* der = nullptr;
    const int length = i2d_X509_ALGOR(algor, &der);
    Bytes identifier(der, der + std::max(length, 0));
    OPENSSL_free(der);
    X509_ALGOR_free(algor);
    return identifier;
}

// libcrypto's PBES1 encryption of `in` under `identifier` (legacy provider for DES).
Bytes OracleEncrypt(const Bytes& identifier, const std::string& password, const Bytes& in) {
    static OSSL_LIB_CTX* libctx = [] {
        OSSL_LIB_CTX* created = OSSL_LIB_CTX_new();
        OSSL_PROVIDER_load(created, "default");
        OSSL_PROVIDER_load(created, "legacy");
        return created;
    }();
    const unsigned char* cursor = identifier.data();
    X509_ALGOR* algor = d2i_X509_ALGOR(nullptr, &cursor, static_cast<long>(identifier.size()));
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    Bytes out(in.size() + 16);
    int length = 0, finalLength = 0;
    EXPECT_TRUE(algor &&
                EVP_PBE_CipherInit_ex(algor->algorithm, password.data(), int(password.size()),
                                      algor->parameter, context, 1, libctx, nullptr) == 1 &&
                EVP_CipherUpdate(context, out.data(), &length, in.data(), int(in.size())) == 1 &&
                EVP_CipherFinal_ex(context, out.data() + length, &finalLength) == 1);
    out.resize(static_cast<size_t>(length + finalLength));
    EVP_CIPHER_CTX_free(context);
    X509_ALGOR_free(algor);
    return out;
}

struct KeyObject {
    KeyObject() { EXPECT_EQ(B_CreateKeyObject(&handle), 0); }
    ~KeyObject() { B_DestroyKeyObject(&handle); }
    int Set(B_KEY_INFO_TYPE type, POINTER info) { return B_SetKeyInfo(handle, type, info); }
    int Get(POINTER* info, B_KEY_INFO_TYPE type) { return B_GetKeyInfo(info, handle, type); }
    B_KEY_OBJ handle = nullptr;
};

ITEM ItemOf(std::string& s) {
    return {reinterpret_cast<unsigned char*>(&s[0]), unsigned(s.size())};
}
ITEM ItemOf(Bytes& b) { return {b.data(), unsigned(b.size())}; }
std::string String(POINTER info) {
    const ITEM* item = static_cast<const ITEM*>(info);
    return std::string(reinterpret_cast<const char*>(item->data), item->len);
}

class Bsafe : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(B_CreateAlgorithmObject(&algorithm), 0); }
    void TearDown() override { B_DestroyAlgorithmObject(&algorithm); }
    void SetPassword(std::string password) {
        ITEM item = ItemOf(password);
        ASSERT_EQ(key.Set(KI_Item, &item), 0);
    }
    int SetIdentifier(B_INFO_TYPE type, Bytes identifier) {
        ITEM item = ItemOf(identifier);
        return B_SetAlgorithmInfo(algorithm, type, &item);
    }
    Bytes Identifier(B_INFO_TYPE type) {
        POINTER info = nullptr;
        EXPECT_EQ(B_GetAlgorithmInfo(&info, algorithm, type), 0);
        const ITEM* item = static_cast<const ITEM*>(info);
        return item ? Bytes(item->data, item->data + item->len) : Bytes();
    }
    int Init(bool encrypt) {
        return (encrypt ? B_EncryptInit : B_DecryptInit)(algorithm, key.handle,
                                                         DEMO_ALGORITHM_CHOOSER, nullptr);
    }
    int Update(bool encrypt, unsigned char* out, size_t room, const Bytes& in, size_t at,
               size_t n) {
        return (encrypt ? B_EncryptUpdate : B_DecryptUpdate)(
            algorithm, out, &length, unsigned(room), in.data() + at, unsigned(n), nullptr, nullptr);
    }
    int Final(bool encrypt, unsigned char* out, size_t room) {
        return (encrypt ? B_EncryptFinal : B_DecryptFinal)(algorithm, out, &length, unsigned(room),
                                                           nullptr, nullptr);
    }
    // Runs `in` through Init, Update in random pieces, and Final.
    Bytes Stream(bool encrypt, const Bytes& in, std::mt19937& random) {
        EXPECT_EQ(Init(encrypt), 0);
        Bytes out(in.size() + 16);
        size_t written = 0;
        for (size_t at = 0, piece = 0; at < in.size(); at += piece, written += length) {
            piece = std::min<size_t>(random() % 20, in.size() - at);
            EXPECT_EQ(Update(encrypt, &out[written], out.size() - written, in, at, piece), 0);
            EXPECT_EQ(length % 8, 0u);
        }
        EXPECT_EQ(Final(encrypt, &out[written], out.size() - written), 0);
        out.resize(written + length);
        return out;
    }

    B_ALGORITHM_OBJ algorithm = nullptr;
    KeyObject key;
    unsigned int length = 0;  // output length of the last Update or Final
};

TEST_F(Bsafe, DigestCallsOutOfOrderAreRefused) {
    B_ALGORITHM_OBJ a = algorithm;
    unsigned char digest[20];
    EXPECT_EQ(B_DigestInit(a, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr), KM_ERROR_NOT_INITIALIZED);
    ASSERT_EQ(B_SetAlgorithmInfo(a, AI_SHA1, nullptr), 0);
    EXPECT_EQ(B_DigestUpdate(a, digest, 1, nullptr), KM_ERROR_NOT_INITIALIZED);
    ASSERT_EQ(B_DigestInit(a, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
    EXPECT_EQ(B_DigestUpdate(a, nullptr, 1, nullptr), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(B_DigestFinal(a, digest, &length, 19, nullptr), KM_ERROR_OUTPUT_TOO_SMALL);
    EXPECT_EQ(B_DigestFinal(a, digest, &length, 20, nullptr), 0);
    EXPECT_EQ(length, 20u);
    EXPECT_EQ(B_DigestFinal(a, digest, &length, 20, nullptr), KM_ERROR_NOT_INITIALIZED);
    EXPECT_EQ(B_DigestInit(a, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr), 0) << "a new digest";
    EXPECT_EQ(B_SetAlgorithmInfo(a, B_INFO_TYPE(99), nullptr), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(B_CreateAlgorithmObject(nullptr), KM_ERROR_INVALID_ARGUMENT);
}

TEST_F(Bsafe, RandomFillsExactlyWhatIsAskedWithSpreadOctets) {
    std::vector<unsigned char> out(65536 + 8, 0xA5);
    ASSERT_EQ(B_SetAlgorithmInfo(algorithm, AI_MD5Random, nullptr), 0);
    EXPECT_EQ(B_GenerateRandomBytes(algorithm, out.data(), 8, nullptr), KM_ERROR_NOT_INITIALIZED);
    ASSERT_EQ(B_RandomInit(algorithm, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
    for (unsigned int n : {1u, 15u, 16u, 17u, 40u, 65536u}) {
        std::fill(out.begin(), out.end(), 0xA5);
        ASSERT_EQ(B_GenerateRandomBytes(algorithm, out.data(), n, nullptr), 0);
        EXPECT_EQ(Bytes(out.begin() + n, out.begin() + n + 8), Bytes(8, 0xA5)) << n;
    }
    std::vector<int> counts(256);
    for (size_t i = 0; i < 65536; ++i) ++counts[out[i]];
    const auto [low, high] = std::minmax_element(counts.begin(), counts.end());
    EXPECT_TRUE(*low > 150 && *high < 370) << "256 expected; the bounds are 6 deviations off";
}

TEST_F(Bsafe, RsaPublicKeysRoundTripWithOpenssl) {
    testutil::TempDir dir;
    const std::string pem = testutil::ShellQuote(dir.File("key.pem"));
    auto openssl = [&](const std::string& args) { return testutil::Run("openssl " + args).output; };
    for (const auto& [bits, exponent] :
         {std::pair{1024, Bytes{1, 0, 1}}, std::pair{2048, Bytes{3}}}) {
        SCOPED_TRACE(bits);
        openssl("genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:" + std::to_string(bits) +
                " -pkeyopt rsa_keygen_pubexp:" + (bits == 1024 ? "65537" : "3") + " -out " + pem +
                " 2>/dev/null");
        std::string der = openssl("pkey -in " + pem + " -pubout -outform DER");
        const std::string modulus = openssl("rsa -in " + pem + " -noout -modulus");
        ASSERT_EQ(modulus.substr(0, 8), "Modulus=");
        KeyObject fromDer, fromParts;
        ITEM item = ItemOf(der);
        ASSERT_EQ(fromDer.Set(KI_RSAPublicBER, &item), 0);
        POINTER info = nullptr;
        ASSERT_EQ(fromDer.Get(&info, KI_RSAPublic), 0);
        A_RSA_KEY parts = *static_cast<const A_RSA_KEY*>(info);
        std::string hex;
        for (unsigned int i = 0; i < parts.modulus.len; ++i) {
            hex += "0123456789ABCDEF"[parts.modulus.data[i] >> 4];
            hex += "0123456789ABCDEF"[parts.modulus.data[i] & 15];
        }
        EXPECT_EQ("Modulus=" + hex + "\n", modulus);
        EXPECT_EQ(Bytes(parts.exponent.data, parts.exponent.data + parts.exponent.len), exponent);
        ASSERT_EQ(fromDer.Get(&info, KI_RSAPublicBER), 0);
        EXPECT_EQ(String(info), der);
        EXPECT_EQ(fromDer.Get(&info, KI_Item), KM_ERROR_KEY);
        // The magnitudes, a leading zero octet dropped, encode the same info.
        Bytes padded(1, 0);
        padded.insert(padded.end(), parts.modulus.data, parts.modulus.data + parts.modulus.len);
        parts.modulus = ItemOf(padded);
        ASSERT_EQ(fromParts.Set(KI_RSAPublic, &parts), 0);
        ASSERT_EQ(fromParts.Get(&info, KI_RSAPublicBER), 0);
        EXPECT_EQ(String(info), der);
        openssl("genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out " + pem);
        const std::string ec = openssl("pkey -in " + pem + " -pubout -outform DER");
        for (std::string bad : {der + '\0', der.substr(0, der.size() - 1), ec}) {
            KeyObject rejecting;
            item = ItemOf(bad);
            EXPECT_EQ(rejecting.Set(KI_RSAPublicBER, &item), KM_ERROR_DATA) << bad.size();
            EXPECT_EQ(rejecting.Get(&info, KI_RSAPublic), KM_ERROR_KEY);
        }
    }
}

TEST_F(Bsafe, PbeInPiecesMatchesLibcrypto) {
    std::mt19937 random(2024);
    const std::string password = "pässwörd";
    SetPassword(password);
    const unsigned int counts[] = {1, 127, 128, 255, 256, 1000, 65536, 1048576};
    for (bool md5 : {true, false}) {
        for (size_t n = 0; n <= 41; ++n) {
            SCOPED_TRACE((md5 ? "MD5, length " : "SHA-1, length ") + std::to_string(n));
            Bytes salt(8), message(n);
            for (auto& octet : salt) octet = static_cast<unsigned char>(random());
            for (auto& octet : message) octet = static_cast<unsigned char>(random());
            const int nid = md5 ? NID_pbeWithMD5AndDES_CBC : NID_pbeWithSHA1AndDES_CBC;
            const Bytes identifier = OracleIdentifier(nid, int(counts[n % 8]), salt);
            const B_INFO_TYPE type = md5 ? AI_MD5WithDES_CBCPadBER : AI_SHA1WithDES_CBCPadBER;
            B_PBE_PARAMS parameters = {salt.data(), counts[n % 8]};
            ASSERT_EQ(md5 ? B_SetAlgorithmInfo(algorithm, AI_MD5WithDES_CBCPad, &parameters)
                          : SetIdentifier(type, identifier),
                      0);
            EXPECT_EQ(Identifier(type), identifier);
            if (counts[n % 8] > 1000) continue;  // the encoding is what counts there
            const Bytes ciphertext = Stream(true, message, random);
            EXPECT_EQ(ciphertext.size(), (n / 8 + 1) * 8);
            EXPECT_EQ(ciphertext, OracleEncrypt(identifier, password, message));
            EXPECT_EQ(Stream(false, ciphertext, random), message);
        }
    }
}

TEST_F(Bsafe, PbeRefusesBadIdentifiersOutputRoomAndCiphertext) {
    const Bytes salt(8, 9);
    const Bytes sha1 = OracleIdentifier(NID_pbeWithSHA1AndDES_CBC, 2048, salt);
    const Bytes md5 = OracleIdentifier(NID_pbeWithMD5AndDES_CBC, 2048, salt);
    const B_INFO_TYPE kMd5 = AI_MD5WithDES_CBCPadBER;
    EXPECT_EQ(SetIdentifier(kMd5, sha1), KM_ERROR_UNKNOWN_ALGORITHM);
    EXPECT_EQ(SetIdentifier(AI_SHA1WithDES_CBCPadBER, md5), KM_ERROR_UNKNOWN_ALGORITHM);
    EXPECT_EQ(SetIdentifier(kMd5, OracleIdentifier(NID_pbeWithMD5AndRC2_CBC, 2048, salt)),
              KM_ERROR_UNKNOWN_ALGORITHM);
    POINTER info = nullptr;  // a failed setting leaves no algorithm
    EXPECT_EQ(B_GetAlgorithmInfo(&info, algorithm, kMd5), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(Init(true), KM_ERROR_NOT_INITIALIZED);
    Bytes trailing = md5;
    trailing.push_back(0);
    for (const Bytes& bad : {Bytes(md5.begin(), md5.end() - 1), Bytes(), trailing,
                             OracleIdentifier(NID_pbeWithMD5AndDES_CBC, 5, Bytes(16, 1)),
                             OracleIdentifier(NID_pbeWithMD5AndDES_CBC, 1048577, salt)}) {
        EXPECT_EQ(SetIdentifier(kMd5, bad), KM_ERROR_DATA) << bad.size();
    }
    B_PBE_PARAMS zero = {const_cast<unsigned char*>(salt.data()), 0};
    EXPECT_EQ(B_SetAlgorithmInfo(algorithm, AI_MD5WithDES_CBCPad, &zero), KM_ERROR_DATA);
    ASSERT_EQ(SetIdentifier(AI_SHA1WithDES_CBCPadBER, sha1), 0);
    EXPECT_EQ(Init(true), KM_ERROR_KEY) << "the key must hold a password";
    SetPassword("pw");
    ASSERT_EQ(Init(true), 0);
    const Bytes message(20, 'q');
    Bytes out(24);
    length = 99;
    EXPECT_EQ(Update(true, out.data(), 15, message, 0, 20), KM_ERROR_OUTPUT_TOO_SMALL);
    EXPECT_EQ(length, 0u) << "nothing consumed";
    ASSERT_EQ(Update(true, out.data(), 16, message, 0, 20), 0);
    ASSERT_EQ(length, 16u);
    EXPECT_EQ(Final(true, &out[16], 7), KM_ERROR_OUTPUT_TOO_SMALL);
    ASSERT_EQ(Final(true, &out[16], 8), 0);
    EXPECT_EQ(out, OracleEncrypt(sha1, "pw", message));
    EXPECT_EQ(Final(true, out.data(), 8), KM_ERROR_NOT_INITIALIZED) << "a new init is needed";
    // No whole blocks are a data error; a block whose last octet is 0 has bad padding.
    Bytes zeroBlock = OracleEncrypt(sha1, "pw", Bytes(8, 0));
    zeroBlock.resize(8);
    for (const Bytes& ciphertext : {Bytes(), Bytes(7, 0x55), Bytes(9, 0x55), zeroBlock}) {
        ASSERT_EQ(Init(false), 0);
        ASSERT_EQ(Update(false, out.data(), 24, ciphertext, 0, ciphertext.size()), 0);
        EXPECT_EQ(Final(false, out.data(), 24),
                  ciphertext.size() == 8 ? KM_ERROR_DECRYPT : KM_ERROR_DATA);
    }
}

}  // namespace
