// TIPEM_CERT_OBJ and TIPEM_CERT_LIST_OBJ over every certificate of the
// system bundle, checked against libcrypto.
#include <gtest/gtest.h>
#include "cert_testutil.h"

using namespace certtest;

namespace {

// Fields take the first non-empty value of their type; BMPStrings are reduced
// to their low octets.
std::string FirstValue(const X509_NAME* name, int nid) {
    for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        if (OBJ_obj2nid(X509_NAME_ENTRY_get_object(entry)) != nid) continue;
        const ASN1_STRING* value = X509_NAME_ENTRY_get_data(entry);
        std::string text = Text(value);
        if (ASN1_STRING_type(value) == V_ASN1_BMPSTRING) {
            std::string low;
            for (size_t k = 1; k < text.size(); k += 2) low += text[k];
            text = low;
        }
        if (!text.empty()) return text;
    }
    return "";
}

TEST(CertBundle, EveryCertificateMatchesLibcrypto) {
    ASSERT_GT(Bundle().size(), 50u) << "the system bundle is missing";
    int rsa = 0, other = 0;
    for (const auto& cert : Bundle()) {
        SCOPED_TRACE(cert.file);
        X509Ptr x509 = ParseX509(cert.der);
        ASSERT_TRUE(x509);
        std::string der = cert.der;
        TIPEM_CERT_OBJ ours;
        Load(ours, der);
        ASSERT_EQ(AsString(ours.der, ours.derLen), cert.der);
        EXPECT_EQ(Hex(ours.GetSHA1ThumbPrint(), 20), Hex(Digest(EVP_sha1(), cert.der)));
        const X509_NAME* subject = X509_get_subject_name(x509.get());
        EXPECT_EQ(Hex(ours.GetSubjectNameHash(), 16), Hex(Md5(NameDer(subject))));
        // The serial's content octets: its DER without the two header octets.
        const std::string serial = Der(X509_get0_serialNumber(x509.get()), i2d_ASN1_INTEGER);
        EXPECT_EQ(Hex(ours.GetIssuerSerialHash(), 16),
                  Hex(Md5(NameDer(X509_get_issuer_name(x509.get())) + serial.substr(2))));
        const std::string keyHash = Hex(Md5(PublicKeyDer(x509.get())));
        EXPECT_EQ(Hex(ours.GetPublicKeyHash(), 16), keyHash);
        EXPECT_EQ(Hex(ours.GetMD5FingerPrint(), 16), keyHash);
        // The subject's fields, each from OpenSSL's walk over the entries.
        TIPEM_NAME_OBJ name;
        name.SetNameObject(static_cast<unsigned char*>(ours.fields.subjectName));
        ASSERT_EQ(name.avaList.size(), static_cast<size_t>(X509_NAME_entry_count(subject)));
        for (size_t i = 0; i < 11; ++i) {
            const int nid = OBJ_sn2nid(kNameKeys[i].c_str());  // none for the streets
            if (nid == NID_undef) continue;
            EXPECT_EQ((name.*kNameFields[i]).value, FirstValue(subject, nid)) << kNameKeys[i];
        }
        EVP_PKEY* key = X509_get0_pubkey(x509.get());
        if (EVP_PKEY_get_base_id(key) == EVP_PKEY_RSA) {
            ++rsa;
            EXPECT_EQ(ours.GetModulusSize(), EVP_PKEY_get_size(key) * 8);
        } else {
            ++other;
            const KRException e = Thrown([&] { ours.GetModulusSize(); });
            EXPECT_EQ(e.text, "SetKeyInfo");
            EXPECT_NE(e.rc, 0);
        }
    }
    EXPECT_GT(rsa, 0);
    EXPECT_GT(other, 0) << "no key that is not RSA in the bundle";
}

// The fields build the same certificate again, except that validity before
// 2050 is written as UTCTime: two octets shorter per GeneralizedTime.
TEST(CertBundle, FieldsRebuildEveryCertificate) {
    int exact = 0;
    for (const auto& cert : Bundle()) {
        SCOPED_TRACE(cert.file);
        std::string der = cert.der;
        TIPEM_CERT_OBJ original, rebuilt;
        Load(original, der);
        rebuilt.Set(&original.fields);
        rebuilt.GetDER();
        const std::string again = AsString(rebuilt.der, rebuilt.derLen);
        if (again == cert.der) {
            ++exact;
            continue;
        }
        X509Ptr before = ParseX509(cert.der), after = ParseX509(again);
        ASSERT_TRUE(after);
        const ASN1_TIME* notBefore = X509_get0_notBefore(before.get());
        struct tm broken {};
        EXPECT_TRUE(ASN1_STRING_type(notBefore) == V_ASN1_GENERALIZEDTIME &&
                    ASN1_TIME_to_tm(notBefore, &broken) && broken.tm_year + 1900 < 2050);
        EXPECT_EQ(ASN1_TIME_compare(notBefore, X509_get0_notBefore(after.get())), 0);
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

TEST(CertBundle, ListsSelectEachCertificateInOrder) {
    std::string all;
    for (const auto& cert : Bundle()) all += cert.der;
    TIPEM_CERT_LIST_OBJ list;
    EXPECT_EQ(list.AddDER(Data(all), static_cast<int>(all.size())), Bundle().size());
    ASSERT_EQ(list.Count(), Bundle().size());
    for (unsigned int i = 0; i < list.count; ++i) {
        list.GetCertByIndex(i);
        ASSERT_EQ(AsString(list.der, list.derLen), Bundle()[i].der) << i;
        X509Ptr x509 = ParseX509(Bundle()[i].der);
        const bool selfIssued =
            X509_NAME_cmp(X509_get_issuer_name(x509.get()), X509_get_subject_name(x509.get())) == 0;
        EXPECT_EQ((list.certInfo & CERT_INFO_SELF_ISSUED) != 0, selfIssued) << i;
    }
    const KRException e = Thrown([&] { list.GetCertByIndex(list.count); });
    EXPECT_EQ(e.text, "GetCertListCert");
    EXPECT_EQ(e.rc, KM_ERROR_INDEX);
}

}  // namespace
