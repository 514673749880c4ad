// The dump layout: header columns, indentation, descriptions, and the
// hexadecimal slices under primitive elements.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "asn1_test_util.h"
#include "krtools/asn1.h"
#include "testutil.h"

namespace {

using asn1test::DecodeInto;
using asn1test::Octets;

std::string Dump(KR_ASN1_STRUCTURE& s) {
    return testutil::CaptureStdout([&] { s.Print(); });
}

// |count| octets 00, 01, ... as contents of one OCTET STRING.
std::string CountingOctetString(int count) {
    std::string hex = "04";
    char octet[16];
    for (int i = -1; i < count; ++i) {
        std::snprintf(octet, sizeof octet, " %02X", i < 0 ? count : i);
        hex += octet;
    }
    return hex;
}

const std::string k18 = std::string(18, ' ');

TEST(Asn1Print, Layout) {
    const struct {
        std::string octets;
        std::string dump;
    } cases[] = {
        {"30 03 02 01 05",
         "30 0003       | SEQUENCE\n02 0001       |   INTEGER\n" + std::string(20, ' ') + "05\n"},
        {"30 05 A1 03 04 01 FF 05 00",
         "30 0005       | SEQUENCE\nA1 0003       |   CONTEXT SPECIFIC[1]\n"
         "04 0001       |     OCTET STRING\n" +
             std::string(22, ' ') + "FF\n05 0000       | NULL\n"},
        {CountingOctetString(16),
         "04 0010       | OCTET STRING\n" + k18 + "0001 0203 0405 0607 0809 0A0B 0C0D 0E0F\n"},
        {CountingOctetString(17), "04 0011       | OCTET STRING\n" + k18 +
                                      "0001 0203 0405 0607 0809 0A0B 0C0D 0E0F \n" + k18 + "10\n"},
        {CountingOctetString(20), "04 0014       | OCTET STRING\n" + k18 +
                                      "0001 0203 0405 0607 0809 0A0B 0C0D 0E0F \n" + k18 +
                                      "1011 1213\n"},
        {"42 01 01", "42 0001       | INTEGER\n" + k18 + "01\n"},
        {"01 01 FF", "01 0001       | UNKNOWN\n" + k18 + "FF\n"},
        {"06 03 2A 86 48", "06 0003       | OBJECT ID\n" + k18 + "2A86 48\n"},
        {"03 02 07 80", "03 0001       | BIT STRING (7 unused bits)\n" + k18 + "80\n"},
        {"31 00 0C 00 E5 00",
         "31 0000       | SET\n0C 0000       | UNKNOWN\nE5 0000       | NULL\n"},
        {"13 02 41 42", "13 0002       | PRINTABLE STRING \"AB\"\n" + k18 + "4142\n"},
        {"14 01 61", "14 0001       | T61 STRING \"a\"\n" + k18 + "61\n"},
        {"16 03 61 40 62", "16 0003       | IA5 STRING \"a@b\"\n" + k18 + "6140 62\n"},
        {"17 02 39 39", "17 0002       | UTC TIME \"99\"\n" + k18 + "3939\n"},
        {"13 00", "13 0000       | PRINTABLE STRING \"\"\n"},
        {"13 03 41 00 42", "13 0003       | PRINTABLE STRING \"A\n" + k18 + "4100 42\n"},
        {"30 80 05 00 00 00", "30 0002 (ind) | SEQUENCE\n05 0000       |   NULL\n"},
    };
    for (const auto& c : cases) {
        KR_ASN1_STRUCTURE s;
        ASSERT_EQ(DecodeInto(s, Octets(c.octets)).text, "") << c.octets;
        EXPECT_EQ(Dump(s), c.dump) << c.octets;
    }
}

TEST(Asn1Print, EmptyWideAndPartialTrees) {
    KR_ASN1_STRUCTURE s;
    EXPECT_EQ(Dump(s), "Empty ASN1 structure\n");

    std::vector<unsigned char> wide = {0x04, 0x83, 0x01, 0x00, 0x00};
    wide.resize(wide.size() + 0x10000, 0xEE);
    ASSERT_EQ(DecodeInto(s, wide).text, "");
    const std::string dump = Dump(s);
    EXPECT_EQ(dump.substr(0, 30), "04 10000       | OCTET STRING\n");
    EXPECT_EQ(dump.size(), 30 + 4096 * (18 + 40 + 1) - 1);  // 4096 slices of 16 octets

    EXPECT_EQ(DecodeInto(s, Octets("30 05 13 01 41 13 05")).rc, -2);
    EXPECT_EQ(Dump(s), "30 0005       | SEQUENCE\n13 0001       |   PRINTABLE STRING \"A\"\n" +
                           std::string(20, ' ') +
                           "41\n13 FFFFFFFF       |   PRINTABLE STRING \"\"\n");
}

TEST(Asn1Print, ElementLevelAndHex2Char) {
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, Octets("30 06 30 02 05 00 05 00 04 05 01 02 03 04 05")).text, "");
    EXPECT_EQ(testutil::CaptureStdout([&] { s.PrintElementLevel(s.root->child, 4); }),
              "30 0002       |     SEQUENCE\n05 0000       |       NULL\n"
              "05 0000       |     NULL\n");
    EXPECT_EQ(testutil::CaptureStdout([&] { s.PrintElement(s.root->sibling, 1); }),
              "04 0005       |  OCTET STRING\n" + std::string(19, ' ') + "0102 0304 05\n");
    EXPECT_EQ(s.root->sibling->hexText, "0102 0304 05");
    EXPECT_STREQ(s.root->child->child->Hex2Char(), "");

    KR_ASN1_ELEMENT undecoded(nullptr, nullptr, 0);
    undecoded.hexText = "stale";
    EXPECT_STREQ(undecoded.Hex2Char(), "");
}

}  // namespace
