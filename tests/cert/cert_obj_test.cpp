// TIPEM_CERT_OBJ: loading, failures, building from fields, digests and the
// hexadecimal text, with OpenSSL as the oracle.
#include <gtest/gtest.h>
#include <openssl/x509v3.h>

#include <cstring>

#include "cert_testutil.h"
#include "krtools/cert.h"

namespace {

std::string SampleDer() {
    const auto blocks = certtest::PemBlocks(
        testutil::ReadFile(std::string(KRTOOLS_SOURCE_DIR) + "/demo/sample-cert.pem"));
    return blocks.empty() ? std::string() : blocks.front();
}

void Load(TIPEM_CERT_OBJ& cert, std::string& der) {
    cert.Set(reinterpret_cast<unsigned char*>(&der[0]), static_cast<int>(der.size()));
}

TEST(CertObject, SetWithBytesThatAreNotACertificateThrowsSetCertDer) {
    std::string garbage = "\x30\x03\x02\x01\x05 not a certificate";
    for (int length : {0, 3, 5, static_cast<int>(garbage.size()), -4}) {
        TIPEM_CERT_OBJ cert;
        try {
            cert.Set(reinterpret_cast<unsigned char*>(&garbage[0]), length);
            ADD_FAILURE() << "accepted " << length << " octets";
        } catch (const KRException& e) {
            EXPECT_EQ(e.text, "SetCertDER");
            EXPECT_EQ(e.rc, KM_ERROR_DATA);
            // Nothing is rolled back: the caller's pointer and length stay.
            EXPECT_EQ(cert.der, reinterpret_cast<unsigned char*>(&garbage[0]));
            EXPECT_EQ(cert.derLen, static_cast<uint32_t>(length));
        }
    }
}

TEST(CertObject, TrailingOctetsAreNotPartOfTheCertificate) {
    std::string der = SampleDer();
    ASSERT_FALSE(der.empty());
    std::string padded = der + "trailing";
    TIPEM_CERT_OBJ cert;
    Load(cert, padded);
    EXPECT_EQ(certtest::AsString(cert.der, cert.derLen), der);
}

TEST(CertObject, Hex2CharGroupsTwoOctets) {
    TIPEM_CERT_OBJ cert;
    unsigned char bytes[] = {1, 2, 3, 4, 5, 0xAB};
    EXPECT_STREQ(cert.Hex2Char(bytes, 5), "0102 0304 05");
    EXPECT_STREQ(cert.Hex2Char(bytes + 5, 1), "AB");
    EXPECT_STREQ(cert.Hex2Char(bytes, 0), "");
    EXPECT_STREQ(cert.Hex2Char(bytes, -3), "");
}

TEST(CertObject, Md5ResultKeepsTheLastFourOctetsOfTheThumbprint) {
    std::string der = SampleDer();
    TIPEM_CERT_OBJ cert;
    Load(cert, der);
    cert.Fields();
    unsigned char thumbprint[20];
    std::memcpy(thumbprint, cert.GetSHA1ThumbPrint(), 20);
    EXPECT_EQ(certtest::Hex(thumbprint, 20), certtest::Hex(certtest::Digest(EVP_sha1(), der)));
    unsigned char* keyHash = cert.GetPublicKeyHash();
    EXPECT_EQ(keyHash, cert.digest);
    EXPECT_EQ(0, std::memcmp(keyHash + 16, thumbprint + 16, 4));
}

// Fields a caller builds (a new subject, serial and SAN extension) make a
// certificate that OpenSSL reads back with exactly those values.
TEST(CertObject, CertificateBuiltFromNewFieldsReadsBackInOpenSSL) {
    std::string der = SampleDer();
    TIPEM_CERT_OBJ original;
    Load(original, der);
    original.Fields();

    TIPEM_NAME_OBJ subject;
    subject.country = "US";
    subject.commonName = "Gateway One";
    subject.BuildDistinguishedName();
    TIPEM_EXTENSIONS_OBJ extensions;
    char email[] = "gw@example.com";
    char party[] = "ZZ_GATEWAY1";
    ASSERT_EQ(EncodeSubjectAltNameExtension(extensions.extensionsObject, email, party), 0);
    unsigned char serial[] = {0x01, 0x02, 0x03};

    TCERT_FIELDS fields = original.fields;
    fields.subjectName = subject.nameObject;
    fields.extensions = extensions.extensionsObject;
    fields.serialNumber = ITEM{serial, sizeof serial};
    fields.notAfter = 4102444800L;  // 2100-01-01: a GeneralizedTime
    TIPEM_CERT_OBJ built;
    built.Set(&fields);
    built.GetDER();

    certtest::X509Ptr x509 = certtest::ParseX509(certtest::AsString(built.der, built.derLen));
    ASSERT_TRUE(x509);
    EXPECT_EQ(ASN1_INTEGER_get(X509_get0_serialNumber(x509.get())), 0x010203);
    EXPECT_EQ(certtest::NameDer(X509_get_subject_name(x509.get())),
              certtest::AsString(subject.der, subject.derLen));
    EXPECT_EQ(ASN1_TIME_cmp_time_t(X509_get0_notAfter(x509.get()), 4102444800L), 0);
    EXPECT_EQ(ASN1_STRING_type(X509_get0_notAfter(x509.get())), V_ASN1_GENERALIZEDTIME);
    auto* names = static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(x509.get(), NID_subject_alt_name, nullptr, nullptr));
    ASSERT_NE(names, nullptr);
    ASSERT_EQ(sk_GENERAL_NAME_num(names), 2);
    const GENERAL_NAME* first = sk_GENERAL_NAME_value(names, 0);
    ASSERT_EQ(first->type, GEN_EMAIL);
    EXPECT_EQ(certtest::AsString(ASN1_STRING_get0_data(first->d.rfc822Name),
                                 ASN1_STRING_length(first->d.rfc822Name)),
              "gw@example.com");
    EXPECT_EQ(sk_GENERAL_NAME_value(names, 1)->type, GEN_EDIPARTY);
    GENERAL_NAMES_free(names);

    // And the fields read back from the built certificate are the ones given.
    built.Fields();
    EXPECT_EQ(certtest::Hex(built.fields.serialNumber.data, built.fields.serialNumber.len),
              "010203");
    EXPECT_EQ(built.fields.notBefore, original.fields.notBefore);
    certtest::X509Ptr sample = certtest::ParseX509(der);
    EXPECT_EQ(ASN1_TIME_cmp_time_t(X509_get0_notBefore(sample.get()), built.fields.notBefore), 0);
    EXPECT_EQ(built.fields.notAfter, 4102444800L);
    char emailOut[256], partyOut[256];
    ASSERT_EQ(DecodeSubjectAltNameExtension(built.fields.extensions, emailOut, partyOut), 0);
    EXPECT_STREQ(emailOut, "gw@example.com");
    EXPECT_STREQ(partyOut, "ZZ_GATEWAY1");
}

TEST(CertObject, IncompleteFieldsAreRefusedAndTheCertificateStays) {
    std::string der = SampleDer();
    TIPEM_CERT_OBJ cert;
    Load(cert, der);
    cert.Fields();
    TCERT_FIELDS broken = cert.fields;
    broken.publicKey = ITEM{nullptr, 0};
    try {
        cert.Set(&broken);
        ADD_FAILURE();
    } catch (const KRException& e) {
        EXPECT_EQ(e.text, "SetCertFields");
        EXPECT_EQ(e.rc, KM_ERROR_INVALID_ARGUMENT);
    }
    unsigned char notAKey[] = {0x04, 0x01, 0x00};
    broken.publicKey = ITEM{notAKey, sizeof notAKey};
    EXPECT_THROW(cert.Set(&broken), KRException);
    cert.GetDER();
    EXPECT_EQ(certtest::AsString(cert.der, cert.derLen), der);
}

}  // namespace
