// Toolkit name, extensions and certificate-list objects at the C interface,
// with libcrypto as the oracle.
#include <gtest/gtest.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <string>

#include "krmepit/tipem.h"
#include "testutil.h"

namespace {

std::string Text(const unsigned char* data, size_t length) {
    return std::string(reinterpret_cast<const char*>(data), length);
}
std::string ObjectOctets(const ASN1_OBJECT* object) {
    return Text(OBJ_get0_data(object), static_cast<size_t>(OBJ_length(object)));
}
const unsigned char* Octets(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

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
        return Text(der, length);
    }
    int Add(const unsigned char* type, unsigned int typeLen, int tag, const std::string& value,
            int newRDN = 1) {
        return AddNameAVA(nullptr, handle, type, typeLen, tag, Octets(value),
                          static_cast<unsigned int>(value.size()), newRDN, nullptr);
    }
    POINTER handle = nullptr;
};

TEST(TipemName, AttributeConstantsAreTheContentOctetsOfTheStandardIdentifiers) {
    const unsigned char* octets[] = {
        TAT_COUNTRY,     TAT_STATE, TAT_LOCALITY,       TAT_ORGANIZATION, TAT_ORG_UNIT,
        TAT_COMMON_NAME, TAT_TITLE, TAT_STREET_ADDRESS, TAT_POSTAL_CODE,  TAT_EMAIL_ADDRESS};
    const char* names[] = {"C",  "ST",    "L",      "O",          "OU",
                           "CN", "title", "street", "postalCode", "emailAddress"};
    for (size_t i = 0; i < 10; ++i) {
        const std::string expected = ObjectOctets(OBJ_nid2obj(OBJ_sn2nid(names[i])));
        EXPECT_EQ(expected.size(), i == 9 ? TAT_EMAIL_LEN : TAT_X520_LEN);
        EXPECT_EQ(Text(octets[i], expected.size()), expected) << names[i];
    }
}

TEST(TipemName, AttributesEncodeWithTheirTagsAndRdns) {
    Name name;
    EXPECT_EQ(name.Der(), std::string("\x30\x00", 2));
    ASSERT_EQ(name.Add(TAT_COUNTRY, 3, V_ASN1_PRINTABLESTRING, "US"), KM_OK);
    ASSERT_EQ(name.Add(TAT_ORGANIZATION, 3, V_ASN1_UTF8STRING, "Acme \xC3\xA9"), KM_OK);
    ASSERT_EQ(name.Add(TAT_ORG_UNIT, 3, V_ASN1_T61STRING, "joined", 0), KM_OK);
    ASSERT_EQ(name.Add(TAT_EMAIL_ADDRESS, 9, V_ASN1_IA5STRING, "a@b"), KM_OK);
    const std::string der = name.Der();
    const unsigned char* p = Octets(der);
    X509_NAME* parsed = d2i_X509_NAME(nullptr, &p, static_cast<long>(der.size()));
    ASSERT_NE(parsed, nullptr);
    ASSERT_EQ(X509_NAME_entry_count(parsed), 4);
    unsigned int count = 0;
    ASSERT_EQ(GetNameAVACount(&count, name.handle, nullptr), KM_OK);
    ASSERT_EQ(count, 4u);
    // In the second RDN the shorter encoding (the unit) sorts first, also as
    // the toolkit reports the AVAs.
    const int sets[] = {0, 1, 1, 2};
    const int tags[] = {V_ASN1_PRINTABLESTRING, V_ASN1_T61STRING, V_ASN1_UTF8STRING,
                        V_ASN1_IA5STRING};
    const unsigned char *type = nullptr, *value = nullptr;
    unsigned int typeLen = 0, valueLen = 0, rdn = 0;
    int tag = 0;
    for (unsigned int i = 0; i < 4; ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(parsed, static_cast<int>(i));
        const ASN1_STRING* data = X509_NAME_ENTRY_get_data(entry);
        EXPECT_EQ(X509_NAME_ENTRY_set(entry), sets[i]) << i;
        EXPECT_EQ(ASN1_STRING_type(data), tags[i]) << i;
        ASSERT_EQ(
            GetNameAVA(&type, &typeLen, &tag, &value, &valueLen, &rdn, name.handle, i, nullptr),
            KM_OK);
        EXPECT_EQ(Text(type, typeLen), ObjectOctets(X509_NAME_ENTRY_get_object(entry)));
        EXPECT_EQ(tag, tags[i]);
        EXPECT_EQ(Text(value, valueLen),
                  Text(ASN1_STRING_get0_data(data), static_cast<size_t>(ASN1_STRING_length(data))));
        EXPECT_EQ(static_cast<int>(rdn), sets[i]);
    }
    X509_NAME_free(parsed);
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
    for (const std::string& bad : {std::string("\x30\x05\x31\x03\x02\x01\x01"), before + "x"}) {
        EXPECT_EQ(
            SetNameBER(name.handle, Octets(bad), static_cast<unsigned int>(bad.size()), nullptr),
            KM_ERROR_DATA);
    }
    EXPECT_EQ(name.Der(), before);
    // A handle of another kind is refused.
    POINTER extensions = nullptr;
    ASSERT_EQ(CreateExtensionsObject(&extensions, EXTENSIONS_KIND_CERTIFICATE, nullptr), KM_OK);
    unsigned int count = 0;
    EXPECT_EQ(GetNameAVACount(&count, extensions, nullptr), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(ResetNameObject(nullptr), KM_ERROR_INVALID_ARGUMENT);
    DestroyExtensionsObject(&extensions);
}

TEST(TipemExtensions, ExtensionsKeepOrderAndValuesAndRefuseDuplicates) {
    const unsigned char san[3] = {0x55, 0x1D, 0x11}, basic[3] = {0x55, 0x1D, 0x13};
    POINTER extensions = nullptr;
    EXPECT_EQ(CreateExtensionsObject(&extensions, 2, nullptr), KM_ERROR_INVALID_ARGUMENT);
    ASSERT_EQ(CreateExtensionsObject(&extensions, EXTENSIONS_KIND_CERTIFICATE, nullptr), KM_OK);
    POINTER first = nullptr, second = nullptr, again = nullptr;
    ASSERT_EQ(CreateExtension(extensions, san, 3, &first, 0, nullptr), KM_OK);
    ASSERT_EQ(CreateExtension(extensions, basic, 3, &second, 1, nullptr), KM_OK);
    EXPECT_EQ(CreateExtension(extensions, san, 3, &again, 1, nullptr), 284);
    EXPECT_EQ(again, first);
    const unsigned char badOid[] = {0x80, 0x01};
    EXPECT_EQ(CreateExtension(extensions, badOid, 2, &again, 0, nullptr),
              KM_ERROR_INVALID_ARGUMENT);
    const std::string longOid = "\x2A" + std::string(299, '\x01');  // long-form length
    EXPECT_EQ(CreateExtension(extensions, Octets(longOid), 300, &again, 0, nullptr), KM_OK);
    unsigned int valueIndex = 7;
    unsigned char oneBytes[] = "one", twoBytes[] = "two";
    ITEM one{oneBytes, 3}, two{twoBytes, 3};
    ASSERT_EQ(AddExtensionValue(&valueIndex, extensions, first, &one), KM_OK);
    ASSERT_EQ(AddExtensionValue(&valueIndex, extensions, first, &two), KM_OK);
    EXPECT_EQ(valueIndex, 1u);
    int foreign = 0;
    EXPECT_EQ(AddExtensionValue(nullptr, extensions, &foreign, &one), KM_ERROR_INVALID_ARGUMENT);
    EXTENSION_INFO info{};
    ASSERT_EQ(GetExtensionInfo(&info, extensions, 1), KM_OK);
    EXPECT_EQ(Text(info.oid, info.oidLen), Text(basic, 3));
    EXPECT_EQ(info.critical, 1);
    EXPECT_EQ(info.valueCount, 0u);
    EXPECT_EQ(GetExtensionInfo(&info, extensions, 3), KM_ERROR_INDEX);
    ITEM* value = nullptr;
    ASSERT_EQ(GetExtensionValue(&value, extensions, 0, 1), KM_OK);
    EXPECT_EQ(Text(value->data, value->len), "two");
    EXPECT_EQ(GetExtensionValue(&value, extensions, 1, 0), KM_ERROR_INDEX);
    DestroyExtensionsObject(&extensions);
}

TEST(TipemCertList, OtherPemBlocksAreSkippedAndABadOneRejectsAll) {
    const std::string pem =
        testutil::ReadFile(std::string(KRTOOLS_SOURCE_DIR) + "/demo/sample-cert.pem");
    const std::string other = "-----BEGIN OTHER THING-----\nAAAA\n-----END OTHER THING-----\n";
    std::string broken = pem;
    broken.replace(broken.find('\n') + 10, 8, "!!!!!!!!");
    POINTER list = nullptr;
    ASSERT_EQ(CreateCertListObject(&list), KM_OK);
    const auto addPem = [&](const std::string& text, unsigned int* added) {
        return AddCertListPEM(list, text.data(), static_cast<unsigned int>(text.size()), added);
    };
    unsigned int added = 0, count = 0;
    ASSERT_EQ(addPem("leading text\n" + pem + other + pem, &added), KM_OK);
    EXPECT_EQ(added, 2u);
    EXPECT_EQ(addPem(pem + broken, &added), KM_ERROR_DATA);
    EXPECT_EQ(added, 0u);
    ASSERT_EQ(addPem("no blocks", &added), KM_OK);
    EXPECT_EQ(added, 0u);
    POINTER cert = nullptr;
    unsigned int info = 0;
    ASSERT_EQ(GetCertListCert(&cert, &info, list, 1), KM_OK);
    EXPECT_EQ(info & CERT_INFO_SELF_ISSUED, static_cast<unsigned int>(CERT_INFO_SELF_ISSUED));
    ITEM der{};
    ASSERT_EQ(GetCertDER(&der, cert, nullptr), KM_OK);
    const std::string cut = Text(der.data, der.len) + Text(der.data, der.len / 2);
    EXPECT_EQ(AddCertListDER(list, Octets(cut), static_cast<unsigned int>(cut.size()), &added),
              KM_ERROR_DATA);
    ASSERT_EQ(GetCertListCount(&count, list), KM_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(GetCertListCert(&cert, &info, list, 2), KM_ERROR_INDEX);
    DestroyCertListObject(&list);
}

}  // namespace
