// Names whose values hold a NUL or another control character, in
// certificates signed here with libcrypto: refused, never read short.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "cert_testutil.h"

using namespace certtest;

namespace {

struct Attr {
    const char* field;
    int type;
    std::string value;
};

// A self-signed certificate (EC P-256) whose subject holds `attrs` as given.
std::string Certificate(const std::vector<Attr>& attrs) {
    X509Ptr x509(X509_new());
    X509_NAME* name = X509_get_subject_name(x509.get());
    for (const Attr& a : attrs) {
        EXPECT_EQ(X509_NAME_add_entry_by_txt(name, a.field, a.type, Data(a.value),
                                             static_cast<int>(a.value.size()), -1, 0),
                  1);
    }
    X509_set_issuer_name(x509.get(), name);
    ASN1_INTEGER_set(X509_get_serialNumber(x509.get()), 7);
    X509_gmtime_adj(X509_getm_notBefore(x509.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(x509.get()), 3600);
    EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    X509_set_pubkey(x509.get(), key);
    EXPECT_GT(X509_sign(x509.get(), key, EVP_sha256()), 0);
    EVP_PKEY_free(key);
    return Der(x509.get(), i2d_X509);
}

// The subject's long name and common name as "long|cn", or the exception.
std::string SubjectLongName(std::string der) {
    TIPEM_CERT_OBJ cert;
    Load(cert, der);
    TIPEM_NAME_OBJ name;
    char out[128], cn[64];
    try {
        name.SetNameObject(static_cast<unsigned char*>(cert.fields.subjectName));
        name.BuildLongName(out, sizeof out, cn, sizeof cn);
    } catch (const KRException& e) {
        return e.text + " " + std::to_string(e.rc) +
               " fields read: " + std::to_string(name.avaList.size());
    }
    return std::string(out) + "|" + cn;
}

TEST(HostileName, ControlCharactersRefuseTheNameInsteadOfCuttingIt) {
    const int U = V_ASN1_UTF8STRING, B = V_ASN1_BMPSTRING;
    const std::string nul("good.example\0evil.example", 25);
    const std::string bmpA("\0g\0o\0o\0d", 8), bmpNulLow("\x01\x00", 2);
    struct Case {
        std::string cn;
        int type;
        std::string expected;
    };
    const Case cases[] = {
        {"good.example", U, "US.Org.good.example.Unit.City|good.example"},
        {nul, U, "GetNameAVA 261 fields read: 2"},
        {nul, V_ASN1_IA5STRING, "GetNameAVA 261 fields read: 2"},
        {"line\nbreak", U, "GetNameAVA 261 fields read: 2"},
        {"tab\there", V_ASN1_T61STRING, "GetNameAVA 261 fields read: 2"},
        {"del\x7F", U, "GetNameAVA 261 fields read: 2"},
        {bmpA, B, "US.Org.good.Unit.City|good"},
        // U+0100 would become NUL once reduced to its low octet.
        {bmpA + bmpNulLow + bmpA, B, "GetNameAVA 261 fields read: 2"},
        {bmpA + std::string("\0\n", 2), B, "GetNameAVA 261 fields read: 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Hex(Data(c.cn), c.cn.size()));
        const std::string der = Certificate({{"C", MBSTRING_ASC, "US"},
                                             {"O", MBSTRING_ASC, "Org"},
                                             {"CN", c.type, c.cn},
                                             {"OU", MBSTRING_ASC, "Unit"},
                                             {"L", MBSTRING_ASC, "City"}});
        // OpenSSL keeps every octet of the value: the oracle for what is there.
        X509Ptr x509 = ParseX509(der);
        ASSERT_TRUE(x509);
        const X509_NAME* subject = X509_get_subject_name(x509.get());
        ASSERT_EQ(X509_NAME_entry_count(subject), 5);
        EXPECT_EQ(Text(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, 2))), c.cn);
        EXPECT_EQ(SubjectLongName(der), c.expected);
    }
    // The name hashes parse the name too, and refuse it the same way.
    std::string der = Certificate({{"CN", U, nul}});
    TIPEM_CERT_OBJ cert;
    Load(cert, der);
    EXPECT_EQ(Thrown([&] { cert.GetSubjectNameHash(); }).text, "GetNameAVA");
    EXPECT_EQ(Thrown([&] { cert.GetIssuerSerialHash(); }).rc, KM_ERROR_DATA);
}

}  // namespace
