// Long names from name objects (BuildLongName) and from NameStruct records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cert_testutil.h"

namespace {

NameStructEntry E(const char* text, int32_t length = -1) {
    return NameStructEntry{const_cast<char*>(text),
                           length >= 0 ? length : static_cast<int32_t>(std::strlen(text))};
}

// "long name|common name" from BuildLongName into buffers pre-filled with
// 'X': every octet up to the given lengths must be overwritten, the guard
// octet after them must not. cnLen 0 passes no common-name buffer.
std::string LongName(TIPEM_NAME_OBJ& name, int outLen, int cnLen = 64) {
    std::string out(static_cast<size_t>(outLen) + 1, 'X'), cn(static_cast<size_t>(cnLen) + 1, 'X');
    name.BuildLongName(&out[0], outLen, cnLen ? &cn[0] : nullptr, cnLen);
    EXPECT_EQ(out.find('X'), static_cast<size_t>(outLen));
    EXPECT_EQ(cn.find('X'), static_cast<size_t>(cnLen));
    return std::string(out.c_str()) + "|" + (cnLen ? cn.c_str() : "");
}

TEST(BuildLongName, WorkedExampleWidthsOrderAndCutting) {
    const std::string forty(40, 'c');
    struct Case {
        std::vector<std::string> fields;
        int outLen;
        std::string expected;
    };
    const Case cases[] = {
        {{"C=USA", "O=Acme", "CN=Gateway One", "OU=Sales", "street1=Main St", "street2=Elm St",
          "L=Springfield", "ST=IL", "postalCode=627", "emailAddress=gw@example.com"},
         256,
         "US.Acme.Gateway One.Sales.Elm St.Main St.Springfield.IL.627|Gateway One"},
        {{}, 16, "|"},
        {{"CN=" + forty}, 64, forty.substr(0, 30) + "|" + forty.substr(0, 30)},
        {{"postalCode=123456789012345"}, 64, "12345678901|"},
        {{"CN=CN", "title=T", "OU=OU"}, 64, "CN.T.OU|CN"},
        {{"street1=B", "street2=B"}, 64, "B.B|"},
        {{"street2=Only"}, 64, "Only|"},
        {{"O=Organisation", "CN=Common"}, 10, "Organisat|Common"},
        {{"O=Organisation"}, 1, "|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        TIPEM_NAME_OBJ name;
        certtest::Fill(name, c.fields);
        EXPECT_EQ(LongName(name, c.outLen), c.expected);
        EXPECT_EQ(LongName(name, c.outLen, 0), c.expected.substr(0, c.expected.find('|') + 1));
    }
    TIPEM_NAME_OBJ name;
    certtest::Fill(name, {"CN=Common"});
    EXPECT_EQ(LongName(name, 64, 4), "Common|Com");
    // The three-argument form parses the given toolkit name first.
    TIPEM_NAME_OBJ source, parsed;
    certtest::Fill(source, {"C=DE", "CN=Party", "emailAddress=x@y.z"});
    source.BuildDistinguishedName();
    char out[64];
    parsed.BuildLongName(out, sizeof out, static_cast<unsigned char*>(source.nameObject));
    EXPECT_STREQ(out, "DE.Party");
    EXPECT_EQ(parsed.emailAddress.value, "x@y.z");
}

TEST(NameStructToLongName, PresenceAndStreetOrderNeverReadPastNul) {
    NameStruct example{E("USA"),         E("IL"),  E("Springfield"), E("Acme"),   E("Sales"),
                       E("Gateway One"), E("", 0), E("Main St"),     E("Elm St"), E("627")};
    char out[256];
    NameStructToLongName(out, &example);
    EXPECT_STREQ(out, "USA.Acme.Gateway One.Sales.Elm St.Main St.Springfield.IL.627");
    struct Case {
        NameStructEntry street1, street2, postalCode;
        const char* expected;
    };
    const Case cases[] = {
        {E("", 0), E("", 0), E("", 0), ""},
        {E("B"), E("A"), E("", 0), "A.B"},
        {E("Abcd"), E("Ab"), E("", 0), "Ab.Abcd"},  // equal prefix: shorter length first
        {E("Zed", 1000000), E("Zed", 999999), E("99"), "Zed.Zed.99"},
        {E("Zed", 1000000), E("Ze", 1000000), E("", 0), "Ze.Zed"},
        {NameStructEntry{const_cast<char*>("Zed"), -5}, E("Abc"), E("", 0), "Zed.Abc"},
        {E("XX", 0), E("", 0), E("99"), "99"},
    };
    for (const Case& c : cases) {
        NameStruct record{};
        record.streetAddress1 = c.street1;
        record.streetAddress2 = c.street2;
        record.postalCode = c.postalCode;
        std::strcpy(out, "junk");
        NameStructToLongName(out, &record);
        EXPECT_STREQ(out, c.expected);
    }
}

TEST(NameStructToLongName, BoundedFormGivesTheSameTextOrCutsIt) {
    NameStruct record{E("USA"),         E("IL"),   E("Springfield"), E("Acme"),   E("Sales"),
                      E("Gateway One"), E("Boss"), E("Main St"),     E("Elm St"), E("627")};
    char whole[256];
    NameStructToLongName(whole, &record);
    const int length = static_cast<int>(std::strlen(whole));
    for (int size = 1; size <= length + 2; ++size) {
        std::string out(static_cast<size_t>(size) + 8, '#');
        EXPECT_EQ(NameStructToLongNameN(&out[0], size, &record), length);
        EXPECT_EQ(std::string(out.c_str()), std::string(whole).substr(0, size - 1)) << size;
        EXPECT_EQ(out.substr(static_cast<size_t>(size)), std::string(8, '#')) << size;
    }
    EXPECT_EQ(NameStructToLongNameN(nullptr, 0, &record), length);
}

}  // namespace
