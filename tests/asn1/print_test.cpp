// The dump layout: header columns, indentation, descriptions, and the
// hexadecimal slices under primitive elements.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asn1_test_util.h"
#include "krtools/asn1.h"
#include "testutil.h"

namespace {

using asn1test::DecodeInto;
using asn1test::Octets;

std::string Dump(std::vector<unsigned char> octets) {
    KR_ASN1_STRUCTURE s;
    const auto outcome = DecodeInto(s, std::move(octets));
    EXPECT_EQ(outcome.text, "");
    return testutil::CaptureStdout([&] { s.Print(); });
}

std::string Blanks(size_t count) { return std::string(count, ' '); }

// Octets 00, 01, ... |count| - 1 as contents of one OCTET STRING.
std::vector<unsigned char> CountingOctetString(size_t count) {
    std::vector<unsigned char> octets = {0x04, static_cast<unsigned char>(count)};
    for (size_t i = 0; i < count; ++i) octets.push_back(static_cast<unsigned char>(i));
    return octets;
}

TEST(Asn1Print, EmptyStructure) {
    KR_ASN1_STRUCTURE s;
    EXPECT_EQ(testutil::CaptureStdout([&] { s.Print(); }), "Empty ASN1 structure\n");
}

TEST(Asn1Print, NestedSequenceIndentsTwoColumnsPerLevel) {
    EXPECT_EQ(Dump(Octets("30 03 02 01 05")),
              "30 0003       | SEQUENCE\n"
              "02 0001       |   INTEGER\n" +
                  Blanks(20) + "05\n");
    EXPECT_EQ(Dump(Octets("30 05 A1 03 04 01 FF 05 00")),
              "30 0005       | SEQUENCE\n"
              "A1 0003       |   CONTEXT SPECIFIC[1]\n"
              "04 0001       |     OCTET STRING\n" +
                  Blanks(22) + "FF\n" + "05 0000       | NULL\n");
}

TEST(Asn1Print, HexSlicesOfFortyCharacters) {
    EXPECT_EQ(Dump(CountingOctetString(16)), "04 0010       | OCTET STRING\n" + Blanks(18) +
                                                 "0001 0203 0405 0607 0809 0A0B 0C0D 0E0F\n");
    EXPECT_EQ(Dump(CountingOctetString(17)), "04 0011       | OCTET STRING\n" + Blanks(18) +
                                                 "0001 0203 0405 0607 0809 0A0B 0C0D 0E0F \n" +
                                                 Blanks(18) + "10\n");
    EXPECT_EQ(Dump(CountingOctetString(20)), "04 0014       | OCTET STRING\n" + Blanks(18) +
                                                 "0001 0203 0405 0607 0809 0A0B 0C0D 0E0F \n" +
                                                 Blanks(18) + "1011 1213\n");
}

TEST(Asn1Print, LengthsBeyondFourDigitsWidenTheHeader) {
    std::vector<unsigned char> octets = {0x04, 0x83, 0x01, 0x00, 0x00};
    octets.resize(octets.size() + 0x10000, 0xEE);
    const std::string dump = Dump(octets);
    EXPECT_EQ(dump.substr(0, 30), "04 10000       | OCTET STRING\n");
    // 65536 octets: 4096 full slices of 16 octets.
    EXPECT_EQ(dump.size(), 30 + 4096 * (18 + 40 + 1) - 1);
}

TEST(Asn1Print, DescriptionsByClassAndTagNumber) {
    EXPECT_EQ(Dump(Octets("80 01 AB")),
              "80 0001       | CONTEXT SPECIFIC[0]\n" + Blanks(18) + "AB\n");
    EXPECT_EQ(Dump(Octets("42 01 01")), "42 0001       | INTEGER\n" + Blanks(18) + "01\n");
    EXPECT_EQ(Dump(Octets("01 01 FF")), "01 0001       | UNKNOWN\n" + Blanks(18) + "FF\n");
    EXPECT_EQ(Dump(Octets("06 03 2A 86 48")),
              "06 0003       | OBJECT ID\n" + Blanks(18) + "2A86 48\n");
    EXPECT_EQ(Dump(Octets("03 02 07 80")),
              "03 0001       | BIT STRING (7 unused bits)\n" + Blanks(18) + "80\n");
    EXPECT_EQ(Dump(Octets("31 00 0C 00")), "31 0000       | SET\n0C 0000       | UNKNOWN\n");
    EXPECT_EQ(Dump(Octets("E5 00")), "E5 0000       | NULL\n");
}

TEST(Asn1Print, StringTypesQuoteTheirContents) {
    EXPECT_EQ(Dump(Octets("13 02 41 42")),
              "13 0002       | PRINTABLE STRING \"AB\"\n" + Blanks(18) + "4142\n");
    EXPECT_EQ(Dump(Octets("14 01 61")), "14 0001       | T61 STRING \"a\"\n" + Blanks(18) + "61\n");
    EXPECT_EQ(Dump(Octets("16 03 61 40 62")),
              "16 0003       | IA5 STRING \"a@b\"\n" + Blanks(18) + "6140 62\n");
    EXPECT_EQ(Dump(Octets("17 02 39 39")),
              "17 0002       | UTC TIME \"99\"\n" + Blanks(18) + "3939\n");
    EXPECT_EQ(Dump(Octets("13 00")), "13 0000       | PRINTABLE STRING \"\"\n");
    // A zero octet ends the printed description; the dump shows all octets.
    EXPECT_EQ(Dump(Octets("13 03 41 00 42")),
              "13 0003       | PRINTABLE STRING \"A\n" + Blanks(18) + "4100 42\n");
}

TEST(Asn1Print, IndefiniteHeader) {
    EXPECT_EQ(Dump(Octets("30 80 05 00 00 00")),
              "30 0002 (ind) | SEQUENCE\n"
              "05 0000       |   NULL\n");
}

TEST(Asn1Print, PartialTreeAfterFailurePrintsSafely) {
    KR_ASN1_STRUCTURE s;
    EXPECT_EQ(DecodeInto(s, Octets("30 05 13 01 41 13 05")).rc, -2);
    EXPECT_EQ(testutil::CaptureStdout([&] { s.Print(); }),
              "30 0005       | SEQUENCE\n"
              "13 0001       |   PRINTABLE STRING \"A\"\n" +
                  Blanks(20) + "41\n" + "13 FFFFFFFF       |   PRINTABLE STRING \"\"\n");
}

TEST(Asn1Print, PrintElementLevelStartsAtAnyChain) {
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, Octets("30 06 30 02 05 00 05 00 02 01 01")).text, "");
    const std::string out = testutil::CaptureStdout([&] { s.PrintElementLevel(s.root->child, 4); });
    EXPECT_EQ(out,
              "30 0002       |     SEQUENCE\n"
              "05 0000       |       NULL\n"
              "05 0000       |     NULL\n");
    EXPECT_EQ(testutil::CaptureStdout([&] { s.PrintElement(s.root->sibling, 1); }),
              "02 0001       |  INTEGER\n" + Blanks(19) + "01\n");
}

TEST(Asn1Hex2Char, GroupsTwoOctetsPerBlank) {
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, Octets("04 05 01 02 03 04 05 05 00")).text, "");
    EXPECT_STREQ(s.root->Hex2Char(), "0102 0304 05");
    EXPECT_EQ(s.root->hexText, "0102 0304 05");
    EXPECT_STREQ(s.root->sibling->Hex2Char(), "");

    KR_ASN1_ELEMENT undecoded(nullptr, nullptr, 0);
    undecoded.hexText = "stale";
    EXPECT_STREQ(undecoded.Hex2Char(), "");
    EXPECT_EQ(undecoded.hexText, "");
}

}  // namespace
