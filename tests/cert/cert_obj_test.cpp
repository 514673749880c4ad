// TIPEM_CERT_OBJ: failures, building from fields, digests and the hexadecimal
// text, with OpenSSL as the oracle.
#include <gtest/gtest.h>
#include <cstring>

#include "cert_testutil.h"

using namespace certtest;

namespace {

TEST(CertObject, SetWithBytesThatAreNotACertificateThrowsSetCertDer) {
    std::string garbage = "\x30\x03\x02\x01\x05 not a certificate";
    auto* bytes = reinterpret_cast<unsigned char*>(&garbage[0]);
    for (int length : {0, 3, 5, static_cast<int>(garbage.size()), -4}) {
        SCOPED_TRACE(length);
        TIPEM_CERT_OBJ cert;
        const KRException e = Thrown([&] { cert.Set(bytes, length); });
        EXPECT_EQ(e.text, "SetCertDER");
        EXPECT_EQ(e.rc, KM_ERROR_DATA);
        // Nothing is rolled back: the caller's pointer and length stay.
        EXPECT_EQ(cert.der, bytes);
        EXPECT_EQ(cert.derLen, static_cast<uint32_t>(length));
    }
}

TEST(CertObject, HexTextAndDigestBuffer) {
    TIPEM_CERT_OBJ cert;
    unsigned char bytes[] = {1, 2, 3, 4, 5, 0xAB};
    EXPECT_STREQ(cert.Hex2Char(bytes, 5), "0102 0304 05");
    EXPECT_STREQ(cert.Hex2Char(bytes + 5, 1), "AB");
    EXPECT_STREQ(cert.Hex2Char(bytes, 0), "");
    EXPECT_STREQ(cert.Hex2Char(bytes, -3), "");
    // Octets after the certificate are not part of it.
    const std::string der = SampleDer();
    std::string padded = der + "trailing";
    Load(cert, padded);
    EXPECT_EQ(AsString(cert.der, cert.derLen), der);
    // An MD5 result keeps the last four octets of the thumbprint before it.
    unsigned char thumbprint[20];
    std::memcpy(thumbprint, cert.GetSHA1ThumbPrint(), 20);
    EXPECT_EQ(Hex(thumbprint, 20), Hex(Digest(EVP_sha1(), der)));
    unsigned char* keyHash = cert.GetPublicKeyHash();
    EXPECT_EQ(keyHash, cert.digest);
    EXPECT_EQ(0, std::memcmp(keyHash + 16, thumbprint + 16, 4));
}

// A new subject, serial and expiry make a certificate that OpenSSL reads back
// with exactly those values; incomplete fields are refused.
TEST(CertObject, CertificateBuiltFromFieldsReadsBackInOpenSSL) {
    std::string der = SampleDer();
    TIPEM_CERT_OBJ original;
    Load(original, der);
    TIPEM_NAME_OBJ subject;
    Fill(subject, {"C=US", "CN=Gateway One"});
    subject.BuildDistinguishedName();
    unsigned char serial[] = {0x01, 0x02, 0x03};
    TCERT_FIELDS fields = original.fields;
    fields.subjectName = subject.nameObject;
    fields.serialNumber = ITEM{serial, sizeof serial};
    fields.notAfter = 4102444800L;  // 2100-01-01: a GeneralizedTime
    TIPEM_CERT_OBJ built;
    built.Set(&fields);
    built.GetDER();
    X509Ptr x509 = ParseX509(AsString(built.der, built.derLen));
    ASSERT_TRUE(x509);
    EXPECT_EQ(ASN1_INTEGER_get(X509_get0_serialNumber(x509.get())), 0x010203);
    EXPECT_EQ(NameDer(X509_get_subject_name(x509.get())), AsString(subject.der, subject.derLen));
    EXPECT_EQ(ASN1_TIME_cmp_time_t(X509_get0_notAfter(x509.get()), 4102444800L), 0);
    EXPECT_EQ(ASN1_STRING_type(X509_get0_notAfter(x509.get())), V_ASN1_GENERALIZEDTIME);
    EXPECT_EQ(ASN1_TIME_cmp_time_t(X509_get0_notBefore(x509.get()), original.fields.notBefore), 0);
    built.Fields();
    EXPECT_EQ(Hex(built.fields.serialNumber.data, built.fields.serialNumber.len), "010203");
    EXPECT_EQ(built.fields.notAfter, 4102444800L);
    // Incomplete fields are refused and the certificate stays.
    const std::string before = AsString(built.der, built.derLen);
    fields.publicKey = ITEM{nullptr, 0};
    const KRException e = Thrown([&] { built.Set(&fields); });
    EXPECT_EQ(e.text, "SetCertFields");
    EXPECT_EQ(e.rc, KM_ERROR_INVALID_ARGUMENT);
    unsigned char notAKey[] = {0x04, 0x01, 0x00};
    fields.publicKey = ITEM{notAKey, sizeof notAKey};
    EXPECT_EQ(Thrown([&] { built.Set(&fields); }).text, "SetCertFields");
    built.GetDER();
    EXPECT_EQ(AsString(built.der, built.derLen), before);
}

}  // namespace

namespace {

// Moving hands the toolkit handle over and leaves the source empty; the
// destructors of both then release it once (ASan sees a double release).
template <typename T, typename Handle>
void ExpectMovesHandOver(Handle T::*handle) {
    T source;
    const Handle original = source.*handle;
    ASSERT_NE(original, nullptr);
    T moved(std::move(source));
    EXPECT_EQ(moved.*handle, original);
    EXPECT_EQ(source.*handle, nullptr);
    T target;
    target = std::move(moved);
    EXPECT_EQ(target.*handle, original);
    EXPECT_EQ(moved.*handle, nullptr);
    T& self = target;
    target = std::move(self);
    EXPECT_EQ(target.*handle, original);
}

TEST(CertObject, WrappersMoveTheirToolkitObjects) {
    ExpectMovesHandOver(&TIPEM_CERT_OBJ::certObject);
    ExpectMovesHandOver(&TIPEM_CERT_LIST_OBJ::certListObject);
    ExpectMovesHandOver(&TIPEM_ATTRIBUTES_OBJ::attributesObject);
    ExpectMovesHandOver(&TIPEM_EXTENSIONS_OBJ::extensionsObject);
    ExpectMovesHandOver(&TIPEM_NAME_OBJ::nameObject);
    // A moved certificate keeps its loaded DER and fields.
    std::string der = SampleDer();
    TIPEM_CERT_OBJ cert;
    Load(cert, der);
    TIPEM_CERT_OBJ moved(std::move(cert));
    EXPECT_EQ(AsString(moved.der, moved.derLen), der);
    EXPECT_EQ(cert.der, nullptr);
    EXPECT_EQ(Md5(NameDer(X509_get_subject_name(ParseX509(der).get()))),
              AsString(moved.GetSubjectNameHash(), 16));
}

}  // namespace
