// Decoding of element trees: structure of small encodings, the error texts
// and codes, partial trees, and the structure's life cycle.
#include <gtest/gtest.h>

#include <utility>

#include "asn1_test_util.h"
#include "krtools/asn1.h"

namespace {

using asn1test::DecodeInto;
using asn1test::Octets;
using asn1test::Offset;

TEST(Asn1Decode, SequenceWithTwoPrimitiveChildren) {
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, Octets("30 06 04 01 01 02 01 0A")).text, "");
    const KR_ASN1_ELEMENT* seq = s.root;
    ASSERT_NE(seq, nullptr);
    EXPECT_EQ(seq->id, 0x30);
    EXPECT_EQ(seq->tagClass, 0);
    EXPECT_EQ(seq->tagNumber, 16);
    EXPECT_TRUE(seq->constructed);
    EXPECT_FALSE(seq->indefinite);
    EXPECT_EQ(seq->length, 6);
    EXPECT_EQ(Offset(s, seq->content), 2);
    EXPECT_EQ(seq->available, 8);
    EXPECT_EQ(seq->parent, nullptr);
    EXPECT_EQ(seq->sibling, nullptr);

    const KR_ASN1_ELEMENT* octets = seq->child;
    ASSERT_NE(octets, nullptr);
    EXPECT_EQ(octets->tagNumber, 4);
    EXPECT_FALSE(octets->constructed);
    EXPECT_EQ(octets->length, 1);
    EXPECT_EQ(Offset(s, octets->data), 2);
    EXPECT_EQ(Offset(s, octets->content), 4);
    EXPECT_EQ(octets->available, 6);
    EXPECT_EQ(octets->parent, seq);
    EXPECT_EQ(octets->child, nullptr);

    const KR_ASN1_ELEMENT* integer = octets->sibling;
    ASSERT_NE(integer, nullptr);
    EXPECT_EQ(integer->tagNumber, 2);
    EXPECT_EQ(integer->length, 1);
    EXPECT_EQ(integer->content[0], 0x0A);
    EXPECT_EQ(integer->available, 3);
    EXPECT_EQ(integer->parent, seq);
    EXPECT_EQ(integer->sibling, nullptr);
}

TEST(Asn1Decode, ElementDecodeReturnsEndOfConsumedOctets) {
    auto bytes = Octets("30 06 04 01 01 02 01 0A");
    KR_ASN1_ELEMENT root(nullptr, bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_EQ(root.Decode(), bytes.data() + 8);
    delete root.child->sibling;
    delete root.child;

    auto indefinite = Octets("30 80 04 01 01 00 00");
    KR_ASN1_ELEMENT seq(nullptr, indefinite.data(), static_cast<int>(indefinite.size()));
    EXPECT_EQ(seq.Decode(), indefinite.data() + 7);
    EXPECT_TRUE(seq.indefinite);
    EXPECT_EQ(seq.length, 3);
    delete seq.child;
}

TEST(Asn1Decode, PrimitivesBitStringsAndEmptyConstructed) {
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, Octets("05 00")).text, "");
    EXPECT_EQ(s.root->tagNumber, 5);
    EXPECT_EQ(s.root->length, 0);
    EXPECT_EQ(s.root->sibling, nullptr);

    ASSERT_EQ(DecodeInto(s, Octets("03 02 07 00")).text, "");
    EXPECT_EQ(s.root->unusedBits, 7);
    EXPECT_EQ(s.root->length, 1);
    EXPECT_EQ(Offset(s, s.root->content), 3);

    // An empty BIT STRING has no unused-bits octet to strip.
    ASSERT_EQ(DecodeInto(s, Octets("03 00")).text, "");
    EXPECT_EQ(s.root->unusedBits, 0);
    EXPECT_EQ(s.root->length, 0);

    ASSERT_EQ(DecodeInto(s, Octets("30 00")).text, "");
    EXPECT_TRUE(s.root->constructed);
    EXPECT_EQ(s.root->length, 0);
    EXPECT_EQ(s.root->child, nullptr);

    ASSERT_EQ(DecodeInto(s, Octets("A0 03 02 01 FF")).text, "");
    EXPECT_EQ(s.root->tagClass, 0x80);
    EXPECT_EQ(s.root->tagNumber, 0);
    EXPECT_TRUE(s.root->constructed);
    ASSERT_NE(s.root->child, nullptr);
    EXPECT_EQ(s.root->child->tagNumber, 2);
    EXPECT_EQ(s.root->child->content[0], 0xFF);

    ASSERT_EQ(DecodeInto(s, Octets("DF 7E 00")).text,
              "ASN1 element 'high-tag-number' is unsupported");
    ASSERT_EQ(DecodeInto(s, Octets("C1 00 5E 00")).text, "");
    EXPECT_EQ(s.root->tagClass, 0xC0);
    EXPECT_EQ(s.root->tagNumber, 1);
    EXPECT_EQ(s.root->sibling->tagClass, 0x40);
    EXPECT_EQ(s.root->sibling->tagNumber, 30);
}

TEST(Asn1Decode, LongFormLengths) {
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, Octets("04 84 00 00 00 01 05")).text, "");
    EXPECT_EQ(s.root->length, 1);
    EXPECT_EQ(Offset(s, s.root->content), 6);

    // More than four length octets keep the last four.
    ASSERT_EQ(DecodeInto(s, Octets("04 86 FF FF 00 00 00 02 05 06")).text, "");
    EXPECT_EQ(s.root->length, 2);
    EXPECT_EQ(Offset(s, s.root->content), 8);

    std::vector<unsigned char> big = Octets("04 82 01 00");
    big.resize(4 + 256, 0x41);
    ASSERT_EQ(DecodeInto(s, big).text, "");
    EXPECT_EQ(s.root->length, 256);
}

TEST(Asn1Decode, IndefiniteForms) {
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, Octets("30 80 04 01 01 00 00 05 00")).text, "");
    EXPECT_TRUE(s.root->indefinite);
    EXPECT_EQ(s.root->length, 3);
    ASSERT_NE(s.root->child, nullptr);
    EXPECT_EQ(s.root->child->sibling, nullptr);
    ASSERT_NE(s.root->sibling, nullptr);
    EXPECT_EQ(s.root->sibling->tagNumber, 5);
    EXPECT_EQ(Offset(s, s.root->sibling->data), 7);

    // Empty indefinite contents give no child; nested, the inner
    // end-of-contents octets end the outer element's chain.
    ASSERT_EQ(DecodeInto(s, Octets("30 80 30 80 00 00 00 00")).text, "");
    EXPECT_EQ(s.root->length, 4);
    ASSERT_NE(s.root->child, nullptr);
    EXPECT_EQ(s.root->child->length, 0);
    EXPECT_EQ(s.root->child->child, nullptr);
    EXPECT_EQ(s.root->child->sibling, nullptr);
    EXPECT_EQ(s.root->sibling, nullptr);

    // Long-form length octets that are all zero also mean indefinite.
    ASSERT_EQ(DecodeInto(s, Octets("31 81 00 02 00 00 00")).text, "");
    EXPECT_TRUE(s.root->indefinite);
    EXPECT_EQ(s.root->length, 2);

    // A constructed BIT STRING loses its first content octet like a
    // primitive one.
    ASSERT_EQ(DecodeInto(s, Octets("23 80 03 02 00 AA 00 00")).text, "");
    EXPECT_EQ(s.root->length, 3);
    EXPECT_EQ(s.root->unusedBits, 0x03);
    EXPECT_EQ(s.root->child->unusedBits, 0);
    EXPECT_EQ(s.root->child->length, 1);
}

TEST(Asn1Decode, ZeroOctetsAreElementsOutsideIndefiniteContents) {
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, Octets("30 02 00 00")).text, "");
    ASSERT_NE(s.root->child, nullptr);
    EXPECT_EQ(s.root->child->id, 0);
    EXPECT_EQ(s.root->child->length, 0);

    ASSERT_EQ(DecodeInto(s, Octets("05 00 00 00")).text, "");
    ASSERT_NE(s.root->sibling, nullptr);
    EXPECT_EQ(s.root->sibling->id, 0);
}

struct ErrorCase {
    const char* octets;
    const char* text;
};

TEST(Asn1Decode, MalformedInputGivesElementErrors) {
    const ErrorCase cases[] = {
        {"05", "ASN1 element is EMPTY"},
        {"05 00 00", "ASN1 element is EMPTY"},
        {"30 84 00 00 00 01 05", "ASN1 element is EMPTY"},
        {"30 80", "ASN1 element is EMPTY"},
        {"1F 01 00", "ASN1 element 'high-tag-number' is unsupported"},
        {"30 03 1F 01 00", "ASN1 element 'high-tag-number' is unsupported"},
        {"04 80 00 00", "ASN1 element has indefinite length, but is not a constructed type"},
        {"04 82 00 00 00 00", "ASN1 element has indefinite length, but is not a constructed type"},
        {"30 80 04 01 01", "ASN1 element has indefinte length, but is not terminated by x'0000'"},
        {"30 80 04 01 01 00", "ASN1 element is EMPTY"},
        {"30 03 02 02 01 01", "ASN1 element length is too large"},
        {"04 02 00", "ASN1 element length is too large"},
        {"04 85 00 00 00 00", "ASN1 element length is too large"},
        {"04 FF 00", "ASN1 element length is too large"},
        {"04 84 FF FF FF FF 00", "ASN1 element length is too large"},
        {"04 84 80 00 00 00 00", "ASN1 element length is too large"},
        {"04 84 7F FF FF FF 00", "ASN1 element length is too large"},
        {"24 80 04 01 AA 30 84 FF FF FF FE", "ASN1 element length is too large"},
    };
    for (const auto& c : cases) {
        KR_ASN1_STRUCTURE s;
        const auto outcome = DecodeInto(s, Octets(c.octets));
        EXPECT_EQ(outcome.rc, -2) << c.octets;
        EXPECT_EQ(outcome.text, c.text) << c.octets;
    }
}

TEST(Asn1Decode, FailureKeepsPartialTreeLinked) {
    KR_ASN1_STRUCTURE s;
    auto outcome = DecodeInto(s, Octets("30 05 02 01 01 02 05"));
    EXPECT_EQ(outcome.text, "ASN1 element length is too large");
    ASSERT_NE(s.root, nullptr);
    ASSERT_NE(s.root->child, nullptr);
    EXPECT_EQ(s.root->child->length, 1);
    const KR_ASN1_ELEMENT* failed = s.root->child->sibling;
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->id, 0x02);
    EXPECT_EQ(failed->length, -1);
    EXPECT_EQ(failed->parent, s.root);

    outcome = DecodeInto(s, Octets("30 03 1F 01 00"));
    ASSERT_NE(s.root->child, nullptr);
    EXPECT_EQ(s.root->child->id, 0x1F);
    EXPECT_EQ(s.root->child->length, -1);
}

TEST(Asn1Structure, EmptyStructureErrors) {
    KR_ASN1_STRUCTURE empty;
    try {
        empty.Decode();
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, -1);
        EXPECT_EQ(e.text, "Empty ASN1 structure");
    }
    EXPECT_EQ(empty.root, nullptr);

    unsigned char octet = 0x05;
    KR_ASN1_STRUCTURE zeroLength(&octet, 0);
    EXPECT_EQ(DecodeInto(zeroLength, {}).text, "Empty ASN1 structure");
    KR_ASN1_STRUCTURE nullData(nullptr, 5);
    EXPECT_EQ(DecodeInto(nullData, {}).rc, -1);
}

TEST(Asn1Structure, KeepsPrivateCopyAndRedecodesIt) {
    auto bytes = Octets("02 01 07");
    KR_ASN1_STRUCTURE s(bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_EQ(s.root, nullptr);
    bytes[2] = 0x09;  // the structure holds its own copy
    s.Decode();
    ASSERT_NE(s.root, nullptr);
    EXPECT_NE(s.root->data, bytes.data());
    EXPECT_EQ(s.root->content[0], 0x07);

    // A null or empty argument decodes the held buffer again.
    s.Decode(nullptr, 0);
    EXPECT_EQ(s.root->content[0], 0x07);
    s.Decode(bytes.data(), 3);
    EXPECT_EQ(s.root->content[0], 0x09);

    // After a failure the buffer is still there to decode again.
    auto bad = Octets("02 05 01");
    EXPECT_EQ(DecodeInto(s, bad).rc, -2);
    EXPECT_EQ(DecodeInto(s, {}).rc, -2);
}

TEST(Asn1Structure, MoveHandsOverTreeAndBuffer) {
    auto bytes = Octets("30 03 02 01 05");
    KR_ASN1_STRUCTURE a(bytes.data(), static_cast<int>(bytes.size()));
    a.Decode();
    KR_ASN1_ELEMENT* tree = a.root;
    KR_ASN1_STRUCTURE b(std::move(a));
    EXPECT_EQ(a.root, nullptr);
    EXPECT_EQ(b.root, tree);
    EXPECT_EQ(DecodeInto(a, {}).text, "Empty ASN1 structure");

    KR_ASN1_STRUCTURE c;
    ASSERT_EQ(DecodeInto(c, Octets("05 00")).text, "");
    c = std::move(b);
    EXPECT_EQ(c.root, tree);
    EXPECT_EQ(c.root->child->content[0], 0x05);
    c.Decode();  // the moved buffer is still owned and valid
    EXPECT_EQ(c.root->child->content[0], 0x05);
}

TEST(Asn1Element, CopySharesLinksAndCopiesHexText) {
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, Octets("30 04 04 02 AB CD")).text, "");
    KR_ASN1_ELEMENT copy(*s.root->child);
    EXPECT_EQ(copy.parent, s.root);
    EXPECT_EQ(copy.content, s.root->child->content);
    EXPECT_STREQ(copy.Hex2Char(), "ABCD");
    EXPECT_EQ(s.root->child->hexText, "");
    KR_ASN1_ELEMENT assigned(nullptr, nullptr, 0);
    assigned = copy;
    EXPECT_EQ(assigned.hexText, "ABCD");
    EXPECT_EQ(assigned.length, 2);
}

}  // namespace
