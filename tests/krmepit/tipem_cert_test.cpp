// Toolkit certificate objects and lists at the C interface, against
// libcrypto's reading of the same certificates.
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <string>
#include <vector>

#include "krmepit/tipem.h"
#include "testutil.h"

namespace {

std::string Text(const unsigned char* data, size_t length) {
    return std::string(reinterpret_cast<const char*>(data), length);
}

std::string SamplePem() {
    return testutil::ReadFile(std::string(KRTOOLS_SOURCE_DIR) + "/demo/sample-cert.pem");
}

std::string SampleDer() {
    const std::string pem = SamplePem();
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    X509* x509 = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    unsigned char* out = nullptr;
    const int length = i2d_X509(x509, &out);
    std::string der = Text(out, static_cast<size_t>(length));
    OPENSSL_free(out);
    X509_free(x509);
    return der;
}

TEST(TipemCert, FieldsMatchLibcrypto) {
    const std::string der = SampleDer();
    POINTER cert = nullptr;
    ASSERT_EQ(CreateCertObject(&cert), KM_OK);
    TCERT_FIELDS fields{};
    EXPECT_EQ(GetCertFields(&fields, cert, nullptr), KM_ERROR_NOT_INITIALIZED);
    ITEM ber{reinterpret_cast<unsigned char*>(const_cast<char*>(der.data())),
             static_cast<unsigned int>(der.size())};
    ASSERT_EQ(SetCertBER(cert, &ber, nullptr), KM_OK);
    ASSERT_EQ(GetCertFields(&fields, cert, nullptr), KM_OK);

    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    X509* x509 = d2i_X509(nullptr, &p, static_cast<long>(der.size()));
    ASSERT_NE(x509, nullptr);
    EXPECT_EQ(fields.version, X509_get_version(x509));
    unsigned char* key = nullptr;
    const int keyLength = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(x509), &key);
    EXPECT_EQ(Text(fields.publicKey.data, fields.publicKey.len),
              Text(key, static_cast<size_t>(keyLength)));
    OPENSSL_free(key);
    unsigned char* algorithm = nullptr;
    const int algorithmLength = i2d_X509_ALGOR(X509_get0_tbs_sigalg(x509), &algorithm);
    EXPECT_EQ(Text(fields.signatureAlgorithm.data, fields.signatureAlgorithm.len),
              Text(algorithm, static_cast<size_t>(algorithmLength)));
    OPENSSL_free(algorithm);
    const ASN1_BIT_STRING* signature = nullptr;
    X509_get0_signature(&signature, nullptr, x509);
    EXPECT_EQ(
        Text(fields.signature.data, fields.signature.len),
        Text(ASN1_STRING_get0_data(signature), static_cast<size_t>(ASN1_STRING_length(signature))));
    unsigned char* name = nullptr;
    unsigned int nameLength = 0;
    ASSERT_EQ(GetNameDER(&name, &nameLength, fields.issuerName, nullptr), KM_OK);
    unsigned char* issuer = nullptr;
    const int issuerLength = i2d_X509_NAME(X509_get_issuer_name(x509), &issuer);
    EXPECT_EQ(Text(name, nameLength), Text(issuer, static_cast<size_t>(issuerLength)));
    OPENSSL_free(issuer);
    unsigned int extensions = 0;
    ASSERT_EQ(GetExtensionCount(&extensions, fields.extensions), KM_OK);
    EXPECT_EQ(static_cast<int>(extensions), X509_get_ext_count(x509));
    X509_free(x509);
    DestroyCertObject(&cert);
}

TEST(TipemCertList, PemBlocksOfOtherKindsAreSkippedAndBadBlocksRejectEverything) {
    const std::string pem = SamplePem();
    const std::string other = "-----BEGIN OTHER THING-----\nAAAA\n-----END OTHER THING-----\n";
    const std::string bundle = "leading text\n" + pem + other + pem;
    POINTER list = nullptr;
    ASSERT_EQ(CreateCertListObject(&list), KM_OK);
    unsigned int added = 0, count = 0;
    ASSERT_EQ(AddCertListPEM(list, bundle.data(), static_cast<unsigned int>(bundle.size()), &added),
              KM_OK);
    EXPECT_EQ(added, 2u);

    std::string broken = pem;
    broken.replace(broken.find('\n') + 10, 8, "!!!!!!!!");
    const std::string mixed = pem + broken;
    EXPECT_EQ(AddCertListPEM(list, mixed.data(), static_cast<unsigned int>(mixed.size()), &added),
              KM_ERROR_DATA);
    EXPECT_EQ(added, 0u);
    const std::string der = SampleDer();
    const std::string cut = der + der.substr(0, der.size() / 2);
    EXPECT_EQ(AddCertListDER(list, reinterpret_cast<const unsigned char*>(cut.data()),
                             static_cast<unsigned int>(cut.size()), &added),
              KM_ERROR_DATA);
    ASSERT_EQ(GetCertListCount(&count, list), KM_OK);
    EXPECT_EQ(count, 2u);

    ASSERT_EQ(AddCertListPEM(list, "no blocks", 9, &added), KM_OK);
    EXPECT_EQ(added, 0u);
    POINTER cert = nullptr;
    unsigned int info = 0;
    ASSERT_EQ(GetCertListCert(&cert, &info, list, 1), KM_OK);
    EXPECT_EQ(info & CERT_INFO_SELF_ISSUED, static_cast<unsigned int>(CERT_INFO_SELF_ISSUED));
    ITEM got{};
    ASSERT_EQ(GetCertDER(&got, cert, nullptr), KM_OK);
    EXPECT_EQ(Text(got.data, got.len), der);
    EXPECT_EQ(GetCertListCert(&cert, &info, list, 2), KM_ERROR_INDEX);
    DestroyCertListObject(&list);
    EXPECT_EQ(list, nullptr);
}

}  // namespace
