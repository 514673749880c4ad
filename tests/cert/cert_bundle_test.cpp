// TIPEM_CERT_OBJ over every certificate of the system bundle, checked
// against libcrypto (and, for a few files, the openssl command line).
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>

#include <algorithm>
#include <cctype>

#include "cert_testutil.h"
#include "krtools/cert.h"

using certtest::Bundle;
using certtest::Hex;

namespace {

// The serial number's content octets from its value: the magnitude, with a
// leading zero octet when its top bit is set (serials here are positive).
std::string SerialContent(const X509* x509) {
    BIGNUM* bn = ASN1_INTEGER_to_BN(X509_get0_serialNumber(x509), nullptr);
    std::string bytes(static_cast<size_t>(BN_num_bytes(bn)), '\0');
    BN_bn2bin(bn, reinterpret_cast<unsigned char*>(&bytes[0]));
    BN_free(bn);
    if (bytes.empty() || (static_cast<unsigned char>(bytes[0]) & 0x80)) bytes.insert(0, 1, '\0');
    return bytes;
}

std::string PublicKeyDer(const X509* x509) {
    unsigned char* out = nullptr;
    const int length = i2d_PUBKEY(X509_get0_pubkey(x509), &out);
    std::string der = certtest::AsString(out, static_cast<size_t>(length));
    OPENSSL_free(out);
    return der;
}

// 8 times the octet length of the modulus, or -1 for keys that are not RSA.
int RsaModulusOctetBits(const X509* x509) {
    EVP_PKEY* key = X509_get0_pubkey(x509);
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA) return -1;
    BIGNUM* n = nullptr;
    EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &n);
    const int bits = BN_num_bytes(n) * 8;
    BN_free(n);
    return bits;
}

TEST(CertBundle, EveryCertificateMatchesLibcrypto) {
    ASSERT_GT(Bundle().size(), 50u) << "the system bundle is missing";
    int rsa = 0;
    for (const auto& cert : Bundle()) {
        SCOPED_TRACE(cert.file);
        certtest::X509Ptr x509 = certtest::ParseX509(cert.der);
        ASSERT_TRUE(x509);
        std::string der = cert.der;
        TIPEM_CERT_OBJ ours;
        ours.Set(reinterpret_cast<unsigned char*>(&der[0]), static_cast<int>(der.size()));
        ASSERT_EQ(certtest::AsString(ours.der, ours.derLen), cert.der);
        ours.Fields();

        unsigned char sha1[EVP_MAX_MD_SIZE];
        unsigned int sha1Len = 0;
        X509_digest(x509.get(), EVP_sha1(), sha1, &sha1Len);
        EXPECT_EQ(Hex(ours.GetSHA1ThumbPrint(), 20), Hex(sha1, sha1Len));

        const std::string subject = certtest::NameDer(X509_get_subject_name(x509.get()));
        EXPECT_EQ(Hex(ours.GetSubjectNameHash(), 16), Hex(certtest::Md5(subject)));

        const std::string issuerSerial =
            certtest::NameDer(X509_get_issuer_name(x509.get())) + SerialContent(x509.get());
        EXPECT_EQ(Hex(ours.GetIssuerSerialHash(), 16), Hex(certtest::Md5(issuerSerial)));

        const std::string keyHash = Hex(certtest::Md5(PublicKeyDer(x509.get())));
        EXPECT_EQ(Hex(ours.GetPublicKeyHash(), 16), keyHash);
        EXPECT_EQ(Hex(ours.GetMD5FingerPrint(), 16), keyHash);

        const int expectedBits = RsaModulusOctetBits(x509.get());
        if (expectedBits > 0) {
            ++rsa;
            EXPECT_EQ(ours.GetModulusSize(), expectedBits);
        } else {
            try {
                ours.GetModulusSize();
                ADD_FAILURE() << "a key that is not RSA gave a modulus";
            } catch (const KRException& e) {
                EXPECT_EQ(e.text, "SetKeyInfo");
                EXPECT_NE(e.rc, 0);
            }
        }
    }
    EXPECT_GT(rsa, 0);
}

// The in-process oracle agrees with the openssl command line on a few files.
TEST(CertBundle, CommandLineAgreesOnThumbprintAndModulus) {
    const auto& bundle = Bundle();
    ASSERT_FALSE(bundle.empty());
    for (size_t i = 0; i < bundle.size(); i += bundle.size() / 4 + 1) {
        SCOPED_TRACE(bundle[i].file);
        std::string der = bundle[i].der;
        TIPEM_CERT_OBJ ours;
        ours.Set(reinterpret_cast<unsigned char*>(&der[0]), static_cast<int>(der.size()));
        ours.Fields();
        const std::string quoted = testutil::ShellQuote(bundle[i].file);
        std::string fingerprint =
            testutil::Run("openssl x509 -noout -fingerprint -sha1 -in " + quoted).output;
        fingerprint = fingerprint.substr(fingerprint.find('=') + 1);
        fingerprint.erase(std::remove_if(fingerprint.begin(), fingerprint.end(),
                                         [](char c) { return c == ':' || c == '\n'; }),
                          fingerprint.end());
        EXPECT_EQ(Hex(ours.GetSHA1ThumbPrint(), 20), fingerprint);

        std::string modulus =
            testutil::Run("openssl x509 -noout -modulus -in " + quoted + " 2>/dev/null").output;
        if (modulus.rfind("Modulus=", 0) == 0) {
            std::string hex = modulus.substr(8);
            while (!hex.empty() && !std::isxdigit(static_cast<unsigned char>(hex.back()))) {
                hex.pop_back();
            }
            EXPECT_EQ(ours.GetModulusSize(), static_cast<int>((hex.size() + 1) / 2 * 8));
        }
    }
}

// Every bundle certificate parses into the fields by the first-occurrence
// rule, compared with a walk over OpenSSL's entries.
TEST(CertBundle, NamesParseIntoFieldsByFirstOccurrence) {
    const std::pair<int, TIPEM_NAME_AVA TIPEM_NAME_OBJ::*> single[] = {
        {NID_countryName, &TIPEM_NAME_OBJ::country},
        {NID_stateOrProvinceName, &TIPEM_NAME_OBJ::state},
        {NID_localityName, &TIPEM_NAME_OBJ::locality},
        {NID_organizationName, &TIPEM_NAME_OBJ::organization},
        {NID_organizationalUnitName, &TIPEM_NAME_OBJ::orgUnit},
        {NID_commonName, &TIPEM_NAME_OBJ::commonName},
        {NID_title, &TIPEM_NAME_OBJ::title},
        {NID_postalCode, &TIPEM_NAME_OBJ::postalCode},
        {NID_pkcs9_emailAddress, &TIPEM_NAME_OBJ::emailAddress},
    };
    for (const auto& cert : Bundle()) {
        SCOPED_TRACE(cert.file);
        certtest::X509Ptr x509 = certtest::ParseX509(cert.der);
        std::string der = cert.der;
        TIPEM_CERT_OBJ ours;
        ours.Set(reinterpret_cast<unsigned char*>(&der[0]), static_cast<int>(der.size()));
        ours.Fields();
        TIPEM_NAME_OBJ name;
        name.SetNameObject(static_cast<unsigned char*>(ours.fields.subjectName));
        const X509_NAME* subject = X509_get_subject_name(x509.get());
        ASSERT_EQ(name.avaList.size(), static_cast<size_t>(X509_NAME_entry_count(subject)));
        for (const auto& [nid, field] : single) {
            std::string expected;
            for (int i = 0; i < X509_NAME_entry_count(subject); ++i) {
                const X509_NAME_ENTRY* entry = X509_NAME_get_entry(subject, i);
                if (OBJ_obj2nid(X509_NAME_ENTRY_get_object(entry)) != nid) continue;
                const ASN1_STRING* value = X509_NAME_ENTRY_get_data(entry);
                const auto* bytes = ASN1_STRING_get0_data(value);
                const int length = ASN1_STRING_length(value);
                std::string text;
                if (ASN1_STRING_type(value) == V_ASN1_BMPSTRING) {
                    for (int k = 1; k < length; k += 2) text += static_cast<char>(bytes[k]);
                } else {
                    text = certtest::AsString(bytes, static_cast<size_t>(length));
                }
                if (!text.empty()) {
                    expected = text;
                    break;
                }
            }
            EXPECT_EQ((name.*field).value, expected) << OBJ_nid2sn(nid);
        }
    }
}

bool GeneralizedBefore2050(const ASN1_TIME* time) {
    struct tm broken {};
    return ASN1_STRING_type(time) == V_ASN1_GENERALIZEDTIME && ASN1_TIME_to_tm(time, &broken) &&
           broken.tm_year + 1900 < 2050;
}

// The fields of every bundle certificate build the same certificate again.
// Validity travels in seconds and is written as UTCTime through 2049, so a
// certificate that uses GeneralizedTime for such dates differs there only.
TEST(CertBundle, FieldsRebuildEveryCertificate) {
    int exact = 0;
    for (const auto& cert : Bundle()) {
        SCOPED_TRACE(cert.file);
        std::string der = cert.der;
        TIPEM_CERT_OBJ original;
        original.Set(reinterpret_cast<unsigned char*>(&der[0]), static_cast<int>(der.size()));
        original.Fields();
        TIPEM_CERT_OBJ rebuilt;
        rebuilt.Set(&original.fields);
        rebuilt.GetDER();
        const std::string again = certtest::AsString(rebuilt.der, rebuilt.derLen);
        if (again == cert.der) {
            ++exact;
            continue;
        }
        certtest::X509Ptr before = certtest::ParseX509(cert.der);
        certtest::X509Ptr after = certtest::ParseX509(again);
        ASSERT_TRUE(after);
        EXPECT_TRUE(GeneralizedBefore2050(X509_get0_notBefore(before.get())));
        EXPECT_EQ(
            ASN1_TIME_compare(X509_get0_notBefore(before.get()), X509_get0_notBefore(after.get())),
            0);
        EXPECT_EQ(
            ASN1_TIME_compare(X509_get0_notAfter(before.get()), X509_get0_notAfter(after.get())),
            0);
        EXPECT_EQ(
            X509_NAME_cmp(X509_get_subject_name(before.get()), X509_get_subject_name(after.get())),
            0);
        EXPECT_EQ(again.size() + 4, cert.der.size());
    }
    EXPECT_GE(exact + 2, static_cast<int>(Bundle().size()));
}

TEST(CertBundle, ListFromConcatenatedBundleSelectsEachCertificateInOrder) {
    std::string all;
    for (const auto& cert : Bundle()) all += cert.der;
    TIPEM_CERT_LIST_OBJ list;
    EXPECT_EQ(list.AddDER(certtest::Data(all), static_cast<int>(all.size())), Bundle().size());
    ASSERT_EQ(list.Count(), Bundle().size());
    for (unsigned int i = 0; i < list.count; ++i) {
        list.GetCertByIndex(i);
        ASSERT_EQ(certtest::AsString(list.der, list.derLen), Bundle()[i].der) << i;
        certtest::X509Ptr x509 = certtest::ParseX509(Bundle()[i].der);
        const bool selfIssued =
            X509_NAME_cmp(X509_get_issuer_name(x509.get()), X509_get_subject_name(x509.get())) == 0;
        EXPECT_EQ((list.certInfo & CERT_INFO_SELF_ISSUED) != 0, selfIssued) << i;
    }
    try {
        list.GetCertByIndex(list.count);
        ADD_FAILURE() << "an index past the end was accepted";
    } catch (const KRException& e) {
        EXPECT_EQ(e.text, "GetCertListCert");
        EXPECT_EQ(e.rc, KM_ERROR_INDEX);
    }
}

TEST(CertBundle, ListFromPemBundleFileHoldsEveryCertificate) {
    const std::string pem = testutil::ReadFile("/etc/ssl/certs/ca-certificates.crt");
    const std::vector<std::string> blocks = certtest::PemBlocks(pem);
    TIPEM_CERT_LIST_OBJ list;
    EXPECT_EQ(list.AddPEM(pem.data(), static_cast<int>(pem.size())), blocks.size());
    ASSERT_EQ(list.Count(), blocks.size());
    list.GetCertByIndex(list.count - 1);
    EXPECT_EQ(certtest::AsString(list.der, list.derLen), blocks.back());
}

}  // namespace
