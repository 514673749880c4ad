// TIPEM_NAME_OBJ and TIPEM_NAME_AVA: names built from fields read back with
// d2i_X509_NAME; names made by OpenSSL parsed into the fields.
#include <gtest/gtest.h>

#include "cert_testutil.h"
#include "krtools/cert.h"

namespace {

// A toolkit name object loaded from DER, released at scope end.
class ToolkitName {
public:
    explicit ToolkitName(const std::string& der) {
        EXPECT_EQ(CreateNameObject(&handle_), 0);
        EXPECT_EQ(
            SetNameBER(handle_, certtest::Data(der), static_cast<unsigned>(der.size()), nullptr),
            0);
    }
    ~ToolkitName() { DestroyNameObject(&handle_); }
    ToolkitName(const ToolkitName&) = delete;
    ToolkitName& operator=(const ToolkitName&) = delete;
    unsigned char* get() const { return static_cast<unsigned char*>(handle_); }

private:
    POINTER handle_ = nullptr;
};

// Builds a name with OpenSSL: (short name, string type, value) in order.
struct Attr {
    const char* field;
    int type;
    std::string value;
};

std::string OpenSSLName(const std::vector<Attr>& attrs) {
    certtest::NamePtr name(X509_NAME_new());
    for (const Attr& a : attrs) {
        X509_NAME_add_entry_by_txt(name.get(), a.field, a.type, certtest::Data(a.value),
                                   static_cast<int>(a.value.size()), -1, 0);
    }
    return certtest::NameDer(name.get());
}

struct Entry {
    int nid;
    int type;
    std::string value;
    bool operator==(const Entry& o) const {
        return nid == o.nid && type == o.type && value == o.value;
    }
};

std::ostream& operator<<(std::ostream& out, const Entry& e) {
    return out << OBJ_nid2sn(e.nid) << "/" << e.type << "/" << e.value;
}

// The entries of a DER name as OpenSSL reads them; each must be an RDN of
// its own.
std::vector<Entry> OpenSSLEntries(const unsigned char* der, size_t length) {
    certtest::NamePtr name = certtest::ParseName(der, length);
    EXPECT_TRUE(name);
    std::vector<Entry> entries;
    if (!name) return entries;
    for (int i = 0; i < X509_NAME_entry_count(name.get()); ++i) {
        const X509_NAME_ENTRY* e = X509_NAME_get_entry(name.get(), i);
        EXPECT_EQ(X509_NAME_ENTRY_set(e), i);
        const ASN1_STRING* v = X509_NAME_ENTRY_get_data(e);
        entries.push_back({OBJ_obj2nid(X509_NAME_ENTRY_get_object(e)), ASN1_STRING_type(v),
                           certtest::AsString(ASN1_STRING_get0_data(v),
                                              static_cast<size_t>(ASN1_STRING_length(v)))});
    }
    return entries;
}

TEST(NameBuild, AllFieldsBuildInTheFixedOrderWithTheirStringTypes) {
    TIPEM_NAME_OBJ name;
    name.emailAddress = "ops@example.com";
    name.postalCode = "627";
    name.streetAddress2 = "Elm St";
    name.streetAddress1 = "Main St";
    name.title = "Gateway";
    name.commonName = "Gateway One";
    name.orgUnit = "Sales";
    name.organization = "Acme";
    name.locality = "Springfield";
    name.state = "IL";
    name.country = "US";
    name.BuildDistinguishedName();
    const int P = V_ASN1_PRINTABLESTRING;
    const std::vector<Entry> expected = {
        {NID_countryName, P, "US"},
        {NID_stateOrProvinceName, P, "IL"},
        {NID_localityName, P, "Springfield"},
        {NID_organizationName, P, "Acme"},
        {NID_organizationalUnitName, P, "Sales"},
        {NID_commonName, P, "Gateway One"},
        {NID_title, P, "Gateway"},
        {NID_streetAddress, P, "Main St"},
        {NID_streetAddress, P, "Elm St"},
        {NID_postalCode, P, "627"},
        {NID_pkcs9_emailAddress, V_ASN1_IA5STRING, "ops@example.com"},
    };
    EXPECT_EQ(OpenSSLEntries(name.der, name.derLen), expected);
}

TEST(NameBuild, SingleAttributesAndTheEmptyName) {
    TIPEM_NAME_OBJ name;
    name.commonName = "Only CN";
    name.BuildDistinguishedName();
    EXPECT_EQ(OpenSSLEntries(name.der, name.derLen),
              (std::vector<Entry>{{NID_commonName, V_ASN1_PRINTABLESTRING, "Only CN"}}));

    name.Flush();
    name.emailAddress = "a@b.c";
    name.BuildDistinguishedName();
    EXPECT_EQ(OpenSSLEntries(name.der, name.derLen),
              (std::vector<Entry>{{NID_pkcs9_emailAddress, V_ASN1_IA5STRING, "a@b.c"}}));
    // SEQUENCE, SET, SEQUENCE, then the identifier.
    EXPECT_EQ(certtest::Hex(name.der + 6, 2 + TAT_EMAIL_LEN),
              "0609" + certtest::Hex(TAT_EMAIL_ADDRESS, TAT_EMAIL_LEN));

    name.Flush();
    name.BuildDistinguishedName();
    EXPECT_EQ(certtest::Hex(name.der, name.derLen), "3000");
}

TEST(NameBuild, ValuesAreNotCheckedAgainstTheStringType) {
    TIPEM_NAME_OBJ name;
    name.commonName = "a@b_c*";
    name.BuildDistinguishedName();
    EXPECT_EQ(OpenSSLEntries(name.der, name.derLen),
              (std::vector<Entry>{{NID_commonName, V_ASN1_PRINTABLESTRING, "a@b_c*"}}));
}

TEST(NameParse, FirstOccurrenceWinsAndEveryAttributeIsListed) {
    const std::string der = OpenSSLName({{"CN", MBSTRING_ASC, "First"},
                                         {"O", MBSTRING_ASC, "Org"},
                                         {"CN", MBSTRING_ASC, "Second"},
                                         {"DC", MBSTRING_ASC, "example"},
                                         {"1.2.3.4", MBSTRING_ASC, "other"}});
    ToolkitName source(der);
    TIPEM_NAME_OBJ name;
    name.SetNameObject(source.get());
    EXPECT_EQ(name.commonName.value, "First");
    EXPECT_EQ(name.organization.value, "Org");
    ASSERT_EQ(name.avaList.size(), 5u);
    EXPECT_EQ(name.avaList[2].value, "Second");
    EXPECT_EQ(name.avaList[3].typeLen, 10u);  // domainComponent, only in the list
    EXPECT_EQ(name.avaList[4].typeLen, 3u);
    EXPECT_EQ(certtest::AsString(name.der, name.derLen), der);
    EXPECT_EQ(name.commonName.typeLen, 3u);
    EXPECT_EQ(name.commonName.valueTag, V_ASN1_UTF8STRING);
    EXPECT_EQ(certtest::Hex(name.commonName.type, 3), certtest::Hex(TAT_COMMON_NAME, 3));
}

TEST(NameParse, StreetAddressesKeepTheFirstTwoInAscendingOrder) {
    const int A = MBSTRING_ASC;
    ToolkitName three(
        OpenSSLName({{"street", A, "Beta"}, {"street", A, "Alpha"}, {"street", A, "Gamma"}}));
    TIPEM_NAME_OBJ name;
    name.SetNameObject(three.get());
    EXPECT_EQ(name.streetAddress1.value, "Alpha");
    EXPECT_EQ(name.streetAddress2.value, "Beta");
    ASSERT_EQ(name.avaList.size(), 3u);
    EXPECT_EQ(name.avaList[2].value, "Gamma");

    ToolkitName equal(OpenSSLName({{"street", A, "Same"}, {"street", A, "Same"}}));
    name.SetNameObject(equal.get());
    EXPECT_EQ(name.streetAddress1.value, "Same");
    EXPECT_EQ(name.streetAddress2.value, "Same");

    // Unsigned byte order: 0xE9 sorts after 'z'.
    ToolkitName bytes(OpenSSLName(
        {{"street", V_ASN1_T61STRING, "\xE9t\xE9"}, {"street", V_ASN1_T61STRING, "zoo"}}));
    name.SetNameObject(bytes.get());
    EXPECT_EQ(name.streetAddress1.value, "zoo");
}

TEST(NameParse, BmpStringsKeepTheLowOctetOfEachUnit) {
    ToolkitName source(OpenSSLName({{"CN", V_ASN1_BMPSTRING, std::string("\0A\0B", 4)},
                                    {"O", V_ASN1_BMPSTRING, std::string("\x04\x10\0Z", 4)}}));
    TIPEM_NAME_OBJ name;
    name.SetNameObject(source.get());
    EXPECT_EQ(name.commonName.value, "AB");
    EXPECT_EQ(name.commonName.valueTag, V_ASN1_BMPSTRING);
    EXPECT_EQ(name.organization.value, "\x10Z");
}

TEST(NameParse, AnEmptyValueLeavesItsFieldToALaterOne) {
    ToolkitName source(
        OpenSSLName({{"CN", V_ASN1_PRINTABLESTRING, ""}, {"CN", V_ASN1_PRINTABLESTRING, "Later"}}));
    TIPEM_NAME_OBJ name;
    name.SetNameObject(source.get());
    EXPECT_EQ(name.commonName.value, "Later");
    EXPECT_EQ(name.avaList.size(), 2u);
}

TEST(NameParse, MultiValuedRdnsAreFlattenedInOrder) {
    certtest::NamePtr built(X509_NAME_new());
    X509_NAME_add_entry_by_txt(built.get(), "O", MBSTRING_ASC, certtest::Data("Org"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(built.get(), "CN", MBSTRING_ASC, certtest::Data("A"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(built.get(), "OU", MBSTRING_ASC, certtest::Data("B"), -1, -1, -1);
    ToolkitName source(certtest::NameDer(built.get()));
    TIPEM_NAME_OBJ name;
    name.SetNameObject(source.get());
    ASSERT_EQ(name.avaList.size(), 3u);
    EXPECT_EQ(name.commonName.value, "A");
    EXPECT_EQ(name.orgUnit.value, "B");
}

TEST(NameObject, FlushEmptiesFieldsButKeepsTheEncoding) {
    ToolkitName source(OpenSSLName({{"CN", MBSTRING_ASC, "X"}}));
    TIPEM_NAME_OBJ name;
    name.SetNameObject(source.get());
    unsigned char* der = name.der;
    const uint32_t length = name.derLen;
    name.Flush();
    EXPECT_TRUE(name.avaList.empty());
    EXPECT_EQ(name.commonName.size(), 0);
    EXPECT_EQ(name.commonName.type, nullptr);
    EXPECT_EQ(name.der, der);
    EXPECT_EQ(name.derLen, length);
}

TEST(NameObject, ToolkitFailuresCarryTheCallName) {
    TIPEM_NAME_OBJ name;
    try {
        name.SetNameObject(nullptr);
        ADD_FAILURE();
    } catch (const KRException& e) {
        EXPECT_EQ(e.text, "GetNameDER");
        EXPECT_EQ(e.rc, KM_ERROR_INVALID_ARGUMENT);
    }
    name.Destroy();
    EXPECT_EQ(name.nameObject, nullptr);
    name.commonName = "x";
    try {
        name.BuildDistinguishedName();
        ADD_FAILURE();
    } catch (const KRException& e) {
        EXPECT_EQ(e.text, "AddNameAVA");
    }
    name.Create();  // a fresh object: Create flushes the fields too
    EXPECT_EQ(name.commonName.size(), 0);
    name.commonName = "x";
    name.BuildDistinguishedName();
    EXPECT_EQ(OpenSSLEntries(name.der, name.derLen).size(), 1u);
}

TEST(NameObject, MoveLeavesTheSourceWithoutAHandle) {
    TIPEM_NAME_OBJ first;
    first.commonName = "Moved";
    first.BuildDistinguishedName();
    TIPEM_NAME_OBJ second(std::move(first));
    EXPECT_EQ(first.nameObject, nullptr);
    EXPECT_EQ(second.commonName.value, "Moved");
    TIPEM_NAME_OBJ third;
    third = std::move(second);
    EXPECT_EQ(second.nameObject, nullptr);
    third.BuildDistinguishedName();
    EXPECT_EQ(OpenSSLEntries(third.der, third.derLen).size(), 1u);
}

TEST(NameAva, EqualityIsByTypeIdentityAndCopiesAreDeep) {
    static const unsigned char otherCopy[3] = {0x55, 0x04, 0x03};
    TIPEM_NAME_AVA a, b;
    a.type = TAT_COMMON_NAME;
    b.type = otherCopy;
    a.typeLen = b.typeLen = 3;
    a = "v";
    b = "v";
    EXPECT_FALSE(a == b);
    b.type = TAT_COMMON_NAME;
    EXPECT_TRUE(a == b);
    TIPEM_NAME_AVA c(a);
    c = "changed";
    EXPECT_EQ(a.value, "v");
    EXPECT_STREQ(TIPEM_NAME_AVA().c_str(), "");
    a.Clear();
    EXPECT_EQ(a.type, nullptr);
    EXPECT_EQ(a.size(), 0);
}

}  // namespace
