// PBES1 of the toolkit against libcrypto's own PKCS #5 implementation.
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

#include <random>
#include <string>
#include <vector>

#include "krmepit/bsafe.h"
#include "testutil.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A library context of the test's own with the legacy provider, for DES.
OSSL_LIB_CTX* OracleContext() {
    static OSSL_LIB_CTX* context = [] {
        OSSL_LIB_CTX* created = OSSL_LIB_CTX_new();
        OSSL_PROVIDER_load(created, "default");
        OSSL_PROVIDER_load(created, "legacy");
        return created;
    }();
    return context;
}

// The DER identifier that libcrypto builds for a PBES1 algorithm.
Bytes OracleIdentifier(int nid, int iterations, const Bytes& salt) {
    X509_ALGOR* algor = PKCS5_pbe_set(nid, iterations, salt.data(), static_cast<int>(salt.size()));
    EXPECT_NE(algor, nullptr);
    unsigned char* der = nullptr;
    int length = i2d_X509_ALGOR(algor, &der);
    Bytes identifier(der, der + length);
    OPENSSL_free(der);
    X509_ALGOR_free(algor);
    return identifier;
}

// libcrypto's PBES1 encryption or decryption under `identifier`.
Bytes OracleCipher(const Bytes& identifier, const std::string& password, const Bytes& in,
                   bool encrypt) {
    const unsigned char* cursor = identifier.data();
    X509_ALGOR* algor = d2i_X509_ALGOR(nullptr, &cursor, static_cast<long>(identifier.size()));
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    Bytes out(in.size() + 16);
    int length = 0;
    int finalLength = 0;
    bool ok = algor != nullptr &&
              EVP_PBE_CipherInit_ex(algor->algorithm, password.data(),
                                    static_cast<int>(password.size()), algor->parameter, context,
                                    encrypt ? 1 : 0, OracleContext(), nullptr) == 1 &&
              EVP_CipherUpdate(context, out.data(), &length, in.data(),
                               static_cast<int>(in.size())) == 1 &&
              EVP_CipherFinal_ex(context, out.data() + length, &finalLength) == 1;
    EXPECT_TRUE(ok);
    out.resize(static_cast<size_t>(length + finalLength));
    EVP_CIPHER_CTX_free(context);
    X509_ALGOR_free(algor);
    return out;
}

class Objects {
public:
    Objects() {
        EXPECT_EQ(B_CreateAlgorithmObject(&algorithm), 0);
        EXPECT_EQ(B_CreateKeyObject(&key), 0);
    }
    ~Objects() {
        B_DestroyAlgorithmObject(&algorithm);
        B_DestroyKeyObject(&key);
    }
    Objects(const Objects&) = delete;
    Objects& operator=(const Objects&) = delete;

    void SetPassword(const std::string& password) {
        ITEM item = {reinterpret_cast<unsigned char*>(const_cast<char*>(password.data())),
                     static_cast<unsigned int>(password.size())};
        ASSERT_EQ(B_SetKeyInfo(key, KI_Item, &item), 0);
    }
    int SetIdentifier(B_INFO_TYPE type, Bytes identifier) {
        ITEM item = {identifier.data(), static_cast<unsigned int>(identifier.size())};
        return B_SetAlgorithmInfo(algorithm, type, &item);
    }
    Bytes Identifier(B_INFO_TYPE type) {
        POINTER info = nullptr;
        EXPECT_EQ(B_GetAlgorithmInfo(&info, algorithm, type), 0);
        if (info == nullptr) return {};
        const ITEM* item = static_cast<const ITEM*>(info);
        return Bytes(item->data, item->data + item->len);
    }

    B_ALGORITHM_OBJ algorithm = nullptr;
    B_KEY_OBJ key = nullptr;
};

// Runs the whole input through the toolkit in random pieces.
Bytes Stream(Objects& objects, bool encrypt, const Bytes& in, std::mt19937& random) {
    auto init = encrypt ? B_EncryptInit : B_DecryptInit;
    auto update = encrypt ? B_EncryptUpdate : B_DecryptUpdate;
    auto final = encrypt ? B_EncryptFinal : B_DecryptFinal;
    EXPECT_EQ(init(objects.algorithm, objects.key, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
    Bytes out(in.size() + 16);
    unsigned int written = 0;
    for (size_t offset = 0; offset < in.size();) {
        size_t piece = std::uniform_int_distribution<size_t>(0, 19)(random);
        piece = std::min(piece, in.size() - offset);
        unsigned int length = 0;
        EXPECT_EQ(update(objects.algorithm, out.data() + written, &length,
                         static_cast<unsigned int>(out.size() - written), in.data() + offset,
                         static_cast<unsigned int>(piece), nullptr, nullptr),
                  0);
        EXPECT_EQ(length % 8, 0u);
        written += length;
        offset += piece;
    }
    unsigned int length = 0;
    int status = final(objects.algorithm, out.data() + written, &length,
                       static_cast<unsigned int>(out.size() - written), nullptr, nullptr);
    EXPECT_EQ(status, 0);
    out.resize(status == 0 ? written + length : 0);
    return out;
}

TEST(BsafePbe, IdentifierFromParametersMatchesLibcrypto) {
    Bytes salt = {1, 2, 3, 4, 5, 6, 7, 0xF8};
    for (unsigned int iterations : {1u, 127u, 128u, 255u, 256u, 1000u, 65536u, 1048576u}) {
        Objects objects;
        B_PBE_PARAMS parameters = {salt.data(), iterations};
        ASSERT_EQ(B_SetAlgorithmInfo(objects.algorithm, AI_MD5WithDES_CBCPad, &parameters), 0);
        EXPECT_EQ(objects.Identifier(AI_MD5WithDES_CBCPadBER),
                  OracleIdentifier(NID_pbeWithMD5AndDES_CBC, static_cast<int>(iterations), salt))
            << iterations;
    }
}

TEST(BsafePbe, EncryptionAndDecryptionInPiecesMatchLibcrypto) {
    std::mt19937 random(2024);
    const std::string password = "pässwörd";
    for (int nid : {NID_pbeWithMD5AndDES_CBC, NID_pbeWithSHA1AndDES_CBC}) {
        B_INFO_TYPE type =
            nid == NID_pbeWithMD5AndDES_CBC ? AI_MD5WithDES_CBCPadBER : AI_SHA1WithDES_CBCPadBER;
        for (size_t length = 0; length <= 41; ++length) {
            Bytes salt(8);
            for (auto& octet : salt) octet = static_cast<unsigned char>(random());
            Bytes identifier = OracleIdentifier(nid, 1 + static_cast<int>(length) * 37, salt);
            Bytes message(length);
            for (auto& octet : message) octet = static_cast<unsigned char>(random());

            Objects objects;
            ASSERT_EQ(objects.SetIdentifier(type, identifier), 0);
            EXPECT_EQ(objects.Identifier(type), identifier);
            objects.SetPassword(password);
            Bytes ciphertext = Stream(objects, true, message, random);
            EXPECT_EQ(ciphertext.size(), (length / 8 + 1) * 8);
            EXPECT_EQ(ciphertext, OracleCipher(identifier, password, message, true)) << length;
            EXPECT_EQ(Stream(objects, false, ciphertext, random), message) << length;
        }
    }
}

TEST(BsafePbe, IdentifierOfAnotherAlgorithmGives541) {
    Bytes salt(8, 9);
    Objects objects;
    Bytes sha1 = OracleIdentifier(NID_pbeWithSHA1AndDES_CBC, 2048, salt);
    Bytes md5 = OracleIdentifier(NID_pbeWithMD5AndDES_CBC, 2048, salt);
    Bytes rc2 = OracleIdentifier(NID_pbeWithMD5AndRC2_CBC, 2048, salt);
    EXPECT_EQ(objects.SetIdentifier(AI_MD5WithDES_CBCPadBER, sha1), KM_ERROR_UNKNOWN_ALGORITHM);
    EXPECT_EQ(objects.SetIdentifier(AI_SHA1WithDES_CBCPadBER, md5), KM_ERROR_UNKNOWN_ALGORITHM);
    EXPECT_EQ(objects.SetIdentifier(AI_MD5WithDES_CBCPadBER, rc2), KM_ERROR_UNKNOWN_ALGORITHM);
    // The failed setting leaves the object without an algorithm.
    POINTER info = nullptr;
    EXPECT_EQ(B_GetAlgorithmInfo(&info, objects.algorithm, AI_MD5WithDES_CBCPadBER),
              KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(B_EncryptInit(objects.algorithm, objects.key, DEMO_ALGORITHM_CHOOSER, nullptr),
              KM_ERROR_NOT_INITIALIZED);
    ASSERT_EQ(objects.SetIdentifier(AI_SHA1WithDES_CBCPadBER, sha1), 0);
    // The key must hold a password.
    EXPECT_EQ(B_EncryptInit(objects.algorithm, objects.key, DEMO_ALGORITHM_CHOOSER, nullptr),
              KM_ERROR_KEY);
    objects.SetPassword("pw");
    EXPECT_EQ(B_EncryptInit(objects.algorithm, objects.key, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
}

TEST(BsafePbe, MalformedIdentifiersGiveDataErrors) {
    Bytes salt(8, 1);
    Bytes good = OracleIdentifier(NID_pbeWithMD5AndDES_CBC, 5, salt);
    Objects objects;
    Bytes truncated(good.begin(), good.end() - 1);
    Bytes trailing = good;
    trailing.push_back(0);
    EXPECT_EQ(objects.SetIdentifier(AI_MD5WithDES_CBCPadBER, truncated), KM_ERROR_DATA);
    EXPECT_EQ(objects.SetIdentifier(AI_MD5WithDES_CBCPadBER, trailing), KM_ERROR_DATA);
    EXPECT_EQ(objects.SetIdentifier(AI_MD5WithDES_CBCPadBER, {}), KM_ERROR_DATA);
    Bytes longSalt(16, 1);
    EXPECT_EQ(objects.SetIdentifier(AI_MD5WithDES_CBCPadBER,
                                    OracleIdentifier(NID_pbeWithMD5AndDES_CBC, 5, longSalt)),
              KM_ERROR_DATA);
    EXPECT_EQ(objects.SetIdentifier(AI_MD5WithDES_CBCPadBER,
                                    OracleIdentifier(NID_pbeWithMD5AndDES_CBC, 1048577, salt)),
              KM_ERROR_DATA);
    B_PBE_PARAMS zero = {salt.data(), 0};
    EXPECT_EQ(B_SetAlgorithmInfo(objects.algorithm, AI_MD5WithDES_CBCPad, &zero), KM_ERROR_DATA);
}

TEST(BsafePbe, TooSmallOutputConsumesNothing) {
    Bytes salt(8, 3);
    Bytes identifier = OracleIdentifier(NID_pbeWithMD5AndDES_CBC, 10, salt);
    Bytes message(20, 'q');
    Objects objects;
    ASSERT_EQ(objects.SetIdentifier(AI_MD5WithDES_CBCPadBER, identifier), 0);
    objects.SetPassword("pw");
    ASSERT_EQ(B_EncryptInit(objects.algorithm, objects.key, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
    Bytes out(24);
    unsigned int length = 99;
    EXPECT_EQ(B_EncryptUpdate(objects.algorithm, out.data(), &length, 15, message.data(), 20,
                              nullptr, nullptr),
              KM_ERROR_OUTPUT_TOO_SMALL);
    EXPECT_EQ(length, 0u);
    ASSERT_EQ(B_EncryptUpdate(objects.algorithm, out.data(), &length, 16, message.data(), 20,
                              nullptr, nullptr),
              0);
    ASSERT_EQ(length, 16u);
    unsigned int finalLength = 0;
    EXPECT_EQ(B_EncryptFinal(objects.algorithm, out.data() + 16, &finalLength, 7, nullptr, nullptr),
              KM_ERROR_OUTPUT_TOO_SMALL);
    ASSERT_EQ(B_EncryptFinal(objects.algorithm, out.data() + 16, &finalLength, 8, nullptr, nullptr),
              0);
    EXPECT_EQ(out, OracleCipher(identifier, "pw", message, true));
    // The operation is over: another final needs a new init.
    EXPECT_EQ(B_EncryptFinal(objects.algorithm, out.data(), &finalLength, 8, nullptr, nullptr),
              KM_ERROR_NOT_INITIALIZED);
}

TEST(BsafePbe, DecryptionRefusesPartialBlocksAndBadPadding) {
    Bytes salt(8, 4);
    Bytes identifier = OracleIdentifier(NID_pbeWithSHA1AndDES_CBC, 3, salt);
    Objects objects;
    ASSERT_EQ(objects.SetIdentifier(AI_SHA1WithDES_CBCPadBER, identifier), 0);
    objects.SetPassword("pw");
    Bytes out(64);
    unsigned int length = 0;
    for (size_t size : {0, 7, 9}) {
        Bytes ciphertext(size, 0x55);
        ASSERT_EQ(B_DecryptInit(objects.algorithm, objects.key, DEMO_ALGORITHM_CHOOSER, nullptr),
                  0);
        ASSERT_EQ(B_DecryptUpdate(objects.algorithm, out.data(), &length, 64, ciphertext.data(),
                                  static_cast<unsigned int>(size), nullptr, nullptr),
                  0);
        EXPECT_EQ(B_DecryptFinal(objects.algorithm, out.data(), &length, 64, nullptr, nullptr),
                  KM_ERROR_DATA)
            << size;
    }
    // The encryption of a block whose last octet is 0 has invalid padding.
    Bytes block(8, 0);
    Bytes ciphertext = OracleCipher(identifier, "pw", block, true);
    ciphertext.resize(8);
    ASSERT_EQ(B_DecryptInit(objects.algorithm, objects.key, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
    ASSERT_EQ(B_DecryptUpdate(objects.algorithm, out.data(), &length, 64, ciphertext.data(), 8,
                              nullptr, nullptr),
              0);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(B_DecryptFinal(objects.algorithm, out.data(), &length, 64, nullptr, nullptr),
              KM_ERROR_DECRYPT);
}

}  // namespace
