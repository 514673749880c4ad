// TIPEM_NAME_OBJ and TIPEM_NAME_AVA: names built from fields read back with
// d2i_X509_NAME; names made by OpenSSL parsed into the fields.
#include <gtest/gtest.h>

#include "cert_testutil.h"

using namespace certtest;

namespace {

// Loads DER into `holder`'s toolkit name object, then parses that into `name`.
void ParseVia(TIPEM_NAME_OBJ& holder, const std::string& der, TIPEM_NAME_OBJ& name) {
    EXPECT_EQ(SetNameBER(holder.nameObject, Data(der), static_cast<unsigned>(der.size()), nullptr),
              0);
    name.SetNameObject(static_cast<unsigned char*>(holder.nameObject));
}

// set: 0 joins the last RDN, -1 starts a new one.
struct Attr {
    const char* field;
    int type;
    std::string value;
    int set = 0;
};

std::string OpenSSLName(const std::vector<Attr>& attrs) {
    NamePtr name(X509_NAME_new());
    for (const Attr& a : attrs) {
        X509_NAME_add_entry_by_txt(name.get(), a.field, a.type, Data(a.value),
                                   static_cast<int>(a.value.size()), -1, a.set);
    }
    return NameDer(name.get());
}

// "sn/type/value" of each entry of a DER name, each in an RDN of its own.
std::vector<std::string> OpenSSLEntries(const unsigned char* der, size_t length) {
    NamePtr name = ParseName(der, length);
    EXPECT_TRUE(name);
    std::vector<std::string> entries;
    for (int i = 0; name && i < X509_NAME_entry_count(name.get()); ++i) {
        const X509_NAME_ENTRY* e = X509_NAME_get_entry(name.get(), i);
        EXPECT_EQ(X509_NAME_ENTRY_set(e), i);
        const ASN1_STRING* v = X509_NAME_ENTRY_get_data(e);
        entries.push_back(std::string(OBJ_nid2sn(OBJ_obj2nid(X509_NAME_ENTRY_get_object(e)))) +
                          "/" + std::to_string(ASN1_STRING_type(v)) + "/" + Text(v));
    }
    return entries;
}

TEST(NameBuild, FieldsBuildInTheFixedOrderWithTheirStringTypes) {
    struct Case {
        std::vector<std::string> fields, expected;
    };
    const Case cases[] = {
        {{"emailAddress=ops@example.com", "postalCode=627", "street2=Elm St", "street1=Main St",
          "title=Gateway", "CN=Gateway One", "OU=Sales", "O=Acme", "L=Springfield", "ST=IL",
          "C=US"},
         {"C/19/US", "ST/19/IL", "L/19/Springfield", "O/19/Acme", "OU/19/Sales",
          "CN/19/Gateway One", "title/19/Gateway", "street/19/Main St", "street/19/Elm St",
          "postalCode/19/627", "emailAddress/22/ops@example.com"}},
        {{"emailAddress=a@b.c"}, {"emailAddress/22/a@b.c"}},
        {{"CN=a@b_c*"}, {"CN/19/a@b_c*"}},  // not checked as PrintableString
        {{}, {}},
    };
    for (const Case& c : cases) {
        TIPEM_NAME_OBJ name;
        Fill(name, c.fields);
        name.BuildDistinguishedName();
        EXPECT_EQ(OpenSSLEntries(name.der, name.derLen), c.expected);
    }
}

TEST(NameParse, FieldsFollowTheFirstOccurrenceStreetOrderAndBmpRules) {
    const int A = MBSTRING_ASC, T = V_ASN1_T61STRING, B = V_ASN1_BMPSTRING;
    struct Case {
        std::vector<Attr> attrs;
        std::string commonName, organization, street1, street2;
    };
    const Case cases[] = {
        {{{"CN", A, "First"}, {"O", A, "Org"}, {"CN", A, "Second"}}, "First", "Org", "", ""},
        {{{"street", A, "Beta"}, {"street", A, "Alpha"}, {"street", A, "Gamma"}},
         "",
         "",
         "Alpha",
         "Beta"},
        {{{"street", A, "Same"}, {"street", A, "Same"}}, "", "", "Same", "Same"},
        {{{"street", T, "\xE9t\xE9"}, {"street", T, "zoo"}}, "", "", "zoo", "\xE9t\xE9"},
        {{{"street", A, "Main"}, {"street", A, "Ma"}}, "", "", "Ma", "Main"},
        {{{"CN", B, std::string("\0A\0B", 4)}, {"O", B, std::string("\x04\x10\0Z", 4)}},
         "AB",
         "\x10Z",
         "",
         ""},
        {{{"CN", V_ASN1_PRINTABLESTRING, ""}, {"CN", A, "Later"}}, "Later", "", "", ""},
        {{{"O", A, "Org"}, {"CN", A, "A"}, {"OU", A, "B", -1}}, "A", "Org", "", ""},
    };
    for (const Case& c : cases) {
        const std::string der = OpenSSLName(c.attrs);
        TIPEM_NAME_OBJ holder, name;
        ParseVia(holder, der, name);
        SCOPED_TRACE(Hex(der));
        EXPECT_EQ(AsString(name.der, name.derLen), der);
        EXPECT_EQ(name.avaList.size(), c.attrs.size());
        EXPECT_EQ(name.commonName.value, c.commonName);
        EXPECT_EQ(name.organization.value, c.organization);
        EXPECT_EQ(name.streetAddress1.value, c.street1);
        EXPECT_EQ(name.streetAddress2.value, c.street2);
    }
}

TEST(NameParse, OtherTypesStayInTheListAndTypesPointAtToolkitOctets) {
    TIPEM_NAME_OBJ holder, name;
    ParseVia(holder, OpenSSLName({{"CN", MBSTRING_ASC, "First"}, {"DC", MBSTRING_ASC, "ex"}}),
             name);
    ASSERT_EQ(name.avaList.size(), 2u);
    EXPECT_EQ(name.avaList[1].typeLen, 10u);
    EXPECT_EQ(name.avaList[1].value, "ex");
    EXPECT_EQ(name.commonName.valueTag, V_ASN1_UTF8STRING);
    EXPECT_EQ(Hex(name.commonName.type, name.commonName.typeLen), Hex(TAT_COMMON_NAME, 3));
    // Equality needs the same type pointer, not merely equal octets.
    TIPEM_NAME_AVA copy(name.commonName);
    EXPECT_TRUE(copy == name.commonName);
    copy.type = TAT_COMMON_NAME;
    EXPECT_FALSE(copy == name.commonName);
    unsigned char* der = name.der;
    name.Flush();
    EXPECT_TRUE(name.avaList.empty());
    EXPECT_EQ(name.commonName.type, nullptr);
    EXPECT_STREQ(name.commonName.c_str(), "");
    EXPECT_EQ(name.der, der);
}

TEST(NameObject, ToolkitFailuresCarryTheCallName) {
    TIPEM_NAME_OBJ name;
    const KRException e = Thrown([&] { name.SetNameObject(nullptr); });
    EXPECT_EQ(e.text, "GetNameDER");
    EXPECT_EQ(e.rc, KM_ERROR_INVALID_ARGUMENT);
    name.Destroy();
    name.commonName = "x";
    EXPECT_EQ(Thrown([&] { name.BuildDistinguishedName(); }).text, "AddNameAVA");
    TIPEM_NAME_OBJ moved(std::move(name));
    EXPECT_EQ(moved.commonName.value, "x");
    moved.Create();  // Create flushes the fields too
    moved.country = "DE";
    moved.BuildDistinguishedName();
    EXPECT_EQ(OpenSSLEntries(moved.der, moved.derLen), std::vector<std::string>{"C/19/DE"});
}

}  // namespace
