// Toolkit name objects at the C interface, with libcrypto's X509_NAME as
// the oracle.
#include <gtest/gtest.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <string>

#include "krmepit/tipem.h"

namespace {

class Name {
public:
    Name() { EXPECT_EQ(CreateNameObject(&handle), KM_OK); }
    ~Name() { DestroyNameObject(&handle); }
    Name(const Name&) = delete;
    Name& operator=(const Name&) = delete;

    std::string Der() const {
        unsigned char* der = nullptr;
        unsigned int length = 0;
        EXPECT_EQ(GetNameDER(&der, &length, handle, nullptr), KM_OK);
        return std::string(reinterpret_cast<char*>(der), length);
    }
    int Add(const unsigned char* type, unsigned int typeLen, int tag, const std::string& value,
            int newRDN = 1) {
        return AddNameAVA(nullptr, handle, type, typeLen, tag,
                          reinterpret_cast<const unsigned char*>(value.data()),
                          static_cast<unsigned int>(value.size()), newRDN, nullptr);
    }

    POINTER handle = nullptr;
};

X509_NAME* Parse(const std::string& der) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    X509_NAME* name = d2i_X509_NAME(nullptr, &p, static_cast<long>(der.size()));
    if (name != nullptr && p != reinterpret_cast<const unsigned char*>(der.data()) + der.size()) {
        X509_NAME_free(name);
        return nullptr;
    }
    return name;
}

TEST(TipemName, AttributeConstantsAreTheContentOctetsOfTheStandardIdentifiers) {
    const std::pair<const unsigned char*, int> constants[] = {
        {TAT_COUNTRY, NID_countryName},
        {TAT_STATE, NID_stateOrProvinceName},
        {TAT_LOCALITY, NID_localityName},
        {TAT_ORGANIZATION, NID_organizationName},
        {TAT_ORG_UNIT, NID_organizationalUnitName},
        {TAT_COMMON_NAME, NID_commonName},
        {TAT_TITLE, NID_title},
        {TAT_STREET_ADDRESS, NID_streetAddress},
        {TAT_POSTAL_CODE, NID_postalCode},
        {TAT_EMAIL_ADDRESS, NID_pkcs9_emailAddress},
    };
    for (const auto& [octets, nid] : constants) {
        const ASN1_OBJECT* object = OBJ_nid2obj(nid);
        const size_t length = static_cast<size_t>(OBJ_length(object));
        EXPECT_EQ(length, nid == NID_pkcs9_emailAddress ? TAT_EMAIL_LEN : TAT_X520_LEN);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(octets), length),
                  std::string(reinterpret_cast<const char*>(OBJ_get0_data(object)), length))
            << OBJ_nid2sn(nid);
    }
}

TEST(TipemName, AddedAttributesEncodeWithTheirTagsAndRdns) {
    Name name;
    EXPECT_EQ(name.Der(), std::string("\x30\x00", 2));
    unsigned int index = 99;
    ASSERT_EQ(AddNameAVA(&index, name.handle, TAT_COUNTRY, 3, V_ASN1_PRINTABLESTRING,
                         reinterpret_cast<const unsigned char*>("US"), 2, 1, nullptr),
              KM_OK);
    EXPECT_EQ(index, 0u);
    ASSERT_EQ(name.Add(TAT_ORGANIZATION, 3, V_ASN1_UTF8STRING, "Acme \xC3\xA9"), KM_OK);
    ASSERT_EQ(name.Add(TAT_ORG_UNIT, 3, V_ASN1_T61STRING, "joined", 0), KM_OK);
    ASSERT_EQ(name.Add(TAT_EMAIL_ADDRESS, 9, V_ASN1_IA5STRING, "a@b"), KM_OK);

    X509_NAME* parsed = Parse(name.Der());
    ASSERT_NE(parsed, nullptr);
    ASSERT_EQ(X509_NAME_entry_count(parsed), 4);
    const int sets[] = {0, 1, 1, 2};
    // Inside the second RDN the shorter encoding (the unit) sorts first.
    const int tags[] = {V_ASN1_PRINTABLESTRING, V_ASN1_T61STRING, V_ASN1_UTF8STRING,
                        V_ASN1_IA5STRING};
    for (int i = 0; i < 4; ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(parsed, i);
        EXPECT_EQ(X509_NAME_ENTRY_set(entry), sets[i]) << i;
        EXPECT_EQ(ASN1_STRING_type(X509_NAME_ENTRY_get_data(entry)), tags[i]) << i;
    }
    X509_NAME_free(parsed);

    unsigned int count = 0;
    ASSERT_EQ(GetNameAVACount(&count, name.handle, nullptr), KM_OK);
    EXPECT_EQ(count, 4u);
    const unsigned char *type = nullptr, *value = nullptr;
    unsigned int typeLen = 0, valueLen = 0, rdn = 0;
    int tag = 0;
    ASSERT_EQ(GetNameAVA(&type, &typeLen, &tag, &value, &valueLen, &rdn, name.handle, 1, nullptr),
              KM_OK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(type), typeLen),
              std::string(reinterpret_cast<const char*>(TAT_ORG_UNIT), 3));
    EXPECT_EQ(tag, V_ASN1_T61STRING);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(value), valueLen), "joined");
    EXPECT_EQ(rdn, 1u);
    EXPECT_EQ(GetNameAVA(&type, &typeLen, &tag, &value, &valueLen, &rdn, name.handle, 4, nullptr),
              KM_ERROR_INDEX);

    EXPECT_EQ(ResetNameObject(name.handle), KM_OK);
    EXPECT_EQ(name.Der(), std::string("\x30\x00", 2));
}

TEST(TipemName, BadArgumentsAreRefusedWithoutChangingTheName) {
    Name name;
    ASSERT_EQ(name.Add(TAT_COMMON_NAME, 3, V_ASN1_PRINTABLESTRING, "keep"), KM_OK);
    const std::string before = name.Der();
    const unsigned char badOid[] = {0x55, 0x84};  // unfinished sub-identifier
    EXPECT_EQ(name.Add(badOid, 2, V_ASN1_PRINTABLESTRING, "x"), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(name.Add(TAT_COMMON_NAME, 0, V_ASN1_PRINTABLESTRING, "x"), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(name.Add(TAT_COMMON_NAME, 3, V_ASN1_INTEGER, "x"), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(name.Add(TAT_COMMON_NAME, 3, V_ASN1_BMPSTRING, "odd"), KM_ERROR_DATA);
    EXPECT_EQ(name.Add(TAT_COMMON_NAME, 3, V_ASN1_UTF8STRING, "\xFF\xFE"), KM_ERROR_DATA);
    EXPECT_EQ(name.Der(), before);

    const std::string notAName = "\x30\x05\x31\x03\x02\x01\x01";
    EXPECT_EQ(SetNameBER(name.handle, reinterpret_cast<const unsigned char*>(notAName.data()),
                         static_cast<unsigned int>(notAName.size()), nullptr),
              KM_ERROR_DATA);
    const std::string trailing = before + "x";
    EXPECT_EQ(SetNameBER(name.handle, reinterpret_cast<const unsigned char*>(trailing.data()),
                         static_cast<unsigned int>(trailing.size()), nullptr),
              KM_ERROR_DATA);
    EXPECT_EQ(name.Der(), before);

    POINTER cert = nullptr;
    ASSERT_EQ(CreateCertObject(&cert), KM_OK);
    unsigned int count = 0;
    EXPECT_EQ(GetNameAVACount(&count, cert, nullptr), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(ResetNameObject(nullptr), KM_ERROR_INVALID_ARGUMENT);
    DestroyCertObject(&cert);
    EXPECT_EQ(cert, nullptr);
}

// BER that is not DER is kept as given: the encoding handed back is the
// input, as libcrypto keeps it.
TEST(TipemName, LoadedEncodingIsKeptAsGiven) {
    X509_NAME* built = X509_NAME_new();
    X509_NAME_add_entry_by_txt(built, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Keep Me"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(built, "DC", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("example"), -1, -1, 0);
    unsigned char* out = nullptr;
    const int length = i2d_X509_NAME(built, &out);
    const std::string der(reinterpret_cast<char*>(out), static_cast<size_t>(length));
    OPENSSL_free(out);
    X509_NAME_free(built);

    Name name;
    ASSERT_EQ(SetNameBER(name.handle, reinterpret_cast<const unsigned char*>(der.data()),
                         static_cast<unsigned int>(der.size()), nullptr),
              KM_OK);
    EXPECT_EQ(name.Der(), der);
    unsigned int count = 0;
    GetNameAVACount(&count, name.handle, nullptr);
    EXPECT_EQ(count, 2u);
}

}  // namespace
