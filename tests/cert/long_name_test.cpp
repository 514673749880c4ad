// Long names from name objects (BuildLongName) and from NameStruct records.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "krtools/cert.h"

namespace {

NameStructEntry E(const char* text) {
    return NameStructEntry{const_cast<char*>(text), static_cast<int32_t>(std::strlen(text))};
}

std::string LongName(TIPEM_NAME_OBJ& name, int outLen = 256, std::string* cn = nullptr) {
    std::string out(static_cast<size_t>(outLen), 'X');
    char cnOut[64];
    std::memset(cnOut, 'X', sizeof cnOut);
    name.BuildLongName(&out[0], outLen, cn ? cnOut : nullptr, sizeof cnOut);
    if (cn) {
        // The buffer is zero-filled before writing: no 'X' may remain.
        for (char c : cnOut) EXPECT_NE(c, 'X');
        *cn = cnOut;
    }
    for (char c : out) EXPECT_NE(c, 'X');
    return out.c_str();
}

TEST(BuildLongName, WorkedExampleCutsAndOrdersComponents) {
    TIPEM_NAME_OBJ name;
    name.country = "USA";
    name.organization = "Acme";
    name.commonName = "Gateway One";
    name.orgUnit = "Sales";
    name.streetAddress1 = "Main St";
    name.streetAddress2 = "Elm St";
    name.locality = "Springfield";
    name.state = "IL";
    name.postalCode = "627";
    name.emailAddress = "gw@example.com";
    std::string cn;
    EXPECT_EQ(LongName(name, 256, &cn),
              "US.Acme.Gateway One.Sales.Elm St.Main St.Springfield.IL.627");
    EXPECT_EQ(cn, "Gateway One");

    NameStruct record{E("USA"),         E("IL"), E("Springfield"), E("Acme"),   E("Sales"),
                      E("Gateway One"), E(""),   E("Main St"),     E("Elm St"), E("627")};
    char out[256];
    NameStructToLongName(out, &record);
    EXPECT_STREQ(out, "USA.Acme.Gateway One.Sales.Elm St.Main St.Springfield.IL.627");
}

TEST(BuildLongName, EmptyFieldsGiveEmptyOutputs) {
    TIPEM_NAME_OBJ name;
    std::string cn;
    EXPECT_EQ(LongName(name, 16, &cn), "");
    EXPECT_EQ(cn, "");
}

TEST(BuildLongName, WidthsAreThirtyElevenAndTwo) {
    TIPEM_NAME_OBJ name;
    const std::string forty(40, 'c');
    name.commonName = forty.c_str();
    std::string cn;
    EXPECT_EQ(LongName(name, 256, &cn), forty.substr(0, 30));
    EXPECT_EQ(cn, forty.substr(0, 30));
    name.commonName = "";
    name.postalCode = "123456789012345";
    name.title = "Chief";
    EXPECT_EQ(LongName(name), "Chief.12345678901");
}

TEST(BuildLongName, TitleSitsBetweenCommonNameAndUnit) {
    TIPEM_NAME_OBJ name;
    name.commonName = "CN";
    name.title = "T";
    name.orgUnit = "OU";
    EXPECT_EQ(LongName(name), "CN.T.OU");
}

TEST(BuildLongName, StreetAddressesAreSortedAndEqualOnesRepeat) {
    TIPEM_NAME_OBJ name;
    name.streetAddress1 = "B";
    name.streetAddress2 = "A";
    EXPECT_EQ(LongName(name), "A.B");
    name.streetAddress2 = "B";
    EXPECT_EQ(LongName(name), "B.B");
    name.streetAddress1 = "";
    EXPECT_EQ(LongName(name), "B");
    name.streetAddress1 = "Main";
    name.streetAddress2 = "Ma";  // a proper prefix sorts first
    EXPECT_EQ(LongName(name), "Ma.Main");

    NameStruct record{};
    record.streetAddress1 = E("B");
    record.streetAddress2 = E("A");
    char out[64];
    NameStructToLongName(out, &record);
    EXPECT_STREQ(out, "A.B");
}

TEST(BuildLongName, ShortBuffersCutSilently) {
    TIPEM_NAME_OBJ name;
    name.organization = "Organisation";
    name.commonName = "Common";
    std::string cn;
    EXPECT_EQ(LongName(name, 10, &cn), "Organisat");
    EXPECT_EQ(LongName(name, 1), "");
    char tiny[4];
    char out[64];
    name.BuildLongName(out, sizeof out, tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "Com");
    EXPECT_STREQ(out, "Organisation.Common");
}

TEST(BuildLongName, ThreeArgumentFormParsesTheGivenName) {
    TIPEM_NAME_OBJ source;
    source.country = "DE";
    source.commonName = "Party";
    source.emailAddress = "x@y.z";
    source.BuildDistinguishedName();
    TIPEM_NAME_OBJ name;
    char out[64];
    name.BuildLongName(out, sizeof out, static_cast<unsigned char*>(source.nameObject));
    EXPECT_STREQ(out, "DE.Party");
    EXPECT_EQ(name.emailAddress.value, "x@y.z");
}

TEST(NameStructToLongName, AbsentEntriesLeaveNoTrace) {
    NameStruct record{};
    char out[64] = "junk";
    NameStructToLongName(out, &record);
    EXPECT_STREQ(out, "");
    record.postalCode = E("99");
    record.country = NameStructEntry{const_cast<char*>("XX"), 0};  // length 0: absent
    NameStructToLongName(out, &record);
    EXPECT_STREQ(out, "99");
}

TEST(NameStructToLongName, StreetOrderUsesTheGivenLengthsWithoutReadingPastNul) {
    NameStruct record{};
    // Equal first min(len) octets: the shorter length first.
    record.streetAddress1 = NameStructEntry{const_cast<char*>("Abcd"), 4};
    record.streetAddress2 = NameStructEntry{const_cast<char*>("Ab"), 2};
    char out[64];
    NameStructToLongName(out, &record);
    EXPECT_STREQ(out, "Ab.Abcd");
    // Lengths far beyond the texts: the comparison stops at the NUL.
    record.streetAddress1 = NameStructEntry{const_cast<char*>("Zed"), 1000000};
    record.streetAddress2 = NameStructEntry{const_cast<char*>("Zed"), 999999};
    NameStructToLongName(out, &record);
    EXPECT_STREQ(out, "Zed.Zed");
    record.streetAddress2 = NameStructEntry{const_cast<char*>("Ze"), 1000000};
    NameStructToLongName(out, &record);
    EXPECT_STREQ(out, "Ze.Zed");
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
