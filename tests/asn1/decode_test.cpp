// Decoding of element trees: shapes of small encodings, the error texts and
// codes, partial trees, the structure's life cycle, and trees that cross
// threads.
#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "asn1_test_util.h"
#include "krtools/asn1.h"

namespace {

using asn1test::DecodeInto;
using asn1test::Octets;
using asn1test::Shape;

struct Case {
    const char* octets;
    const char* expected;  // the tree's shape, or the failure text
};

TEST(Asn1Decode, TreeShapes) {
    const Case cases[] = {
        {"30 06 04 01 01 02 01 0A", "30:6@2[04:1@4 02:1@7]"},
        {"05 00", "05:0@2"},
        {"03 02 07 00", "03:1@3u7"},
        {"03 00", "03:0@2"},
        {"30 00", "30:0@2"},
        {"A0 03 02 01 FF", "A0:3@2[02:1@4]"},
        {"C1 00 5E 00", "C1:0@2 5E:0@4"},
        {"04 84 00 00 00 01 05", "04:1@6"},
        {"04 86 FF FF 00 00 00 02 05 06", "04:2@8"},  // the last four length octets count
        {"30 80 04 01 01 00 00 05 00", "30:3@2i[04:1@4] 05:0@9"},
        {"30 80 30 80 00 00 00 00", "30:4@2i[30:0@4i]"},
        {"31 81 00 02 00 00 00", "31:2@3i[02:0@5]"},  // all-zero long form is indefinite
        {"23 80 03 02 00 AA 00 00", "23:3@3u3i[03:1@5]"},
        {"30 02 00 00", "30:2@2[00:0@4]"},  // zeros in definite contents are an element
        {"05 00 00 00", "05:0@2 00:0@4"},
    };
    for (const auto& c : cases) {
        KR_ASN1_STRUCTURE s;
        EXPECT_EQ(DecodeInto(s, Octets(c.octets)).text, "") << c.octets;
        EXPECT_EQ(Shape(s), c.expected) << c.octets;
    }
}

TEST(Asn1Decode, MalformedInputGivesElementErrors) {
    const Case cases[] = {
        {"05", "ASN1 element is EMPTY"},
        {"05 00 00", "ASN1 element is EMPTY"},
        {"30 84 00 00 00 01 05", "ASN1 element is EMPTY"},
        {"30 80", "ASN1 element is EMPTY"},
        {"30 80 04 01 01 00", "ASN1 element is EMPTY"},
        {"1F 01 00", "ASN1 element 'high-tag-number' is unsupported"},
        {"30 03 DF 01 00", "ASN1 element 'high-tag-number' is unsupported"},
        {"04 80 00 00", "ASN1 element has indefinite length, but is not a constructed type"},
        {"04 82 00 00 00 00", "ASN1 element has indefinite length, but is not a constructed type"},
        {"30 80 04 01 01", "ASN1 element has indefinte length, but is not terminated by x'0000'"},
        {"30 03 02 02 01 01", "ASN1 element length is too large"},
        {"04 02 00", "ASN1 element length is too large"},
        {"04 85 00 00 00 00", "ASN1 element length is too large"},
        {"04 FF 00", "ASN1 element length is too large"},
        {"04 84 FF FF FF FF 00", "ASN1 element length is too large"},
        {"04 84 80 00 00 00 00", "ASN1 element length is too large"},
        {"24 80 04 01 AA 30 84 FF FF FF FE", "ASN1 element length is too large"},
    };
    for (const auto& c : cases) {
        KR_ASN1_STRUCTURE s;
        const auto outcome = DecodeInto(s, Octets(c.octets));
        EXPECT_EQ(outcome.rc, -2) << c.octets;
        EXPECT_EQ(outcome.text, c.expected) << c.octets;
    }
}

TEST(Asn1Decode, ElementDecodeReturnsEndOfWhatItConsumed) {
    for (const char* hex : {"30 06 04 01 01 02 01 0A", "30 80 04 01 01 00 00"}) {
        auto bytes = Octets(hex);
        KR_ASN1_STRUCTURE owner;  // holds the same octets so the tree can be compared
        ASSERT_EQ(DecodeInto(owner, bytes).text, "");
        KR_ASN1_ELEMENT root(nullptr, bytes.data(), static_cast<int>(bytes.size()));
        EXPECT_EQ(root.Decode(), bytes.data() + bytes.size()) << hex;
        EXPECT_EQ(asn1test::Shape(&root, bytes.data()), Shape(owner));
        for (KR_ASN1_ELEMENT* c = root.child; c != nullptr;) delete std::exchange(c, c->sibling);
    }
}

TEST(Asn1Decode, FailureKeepsPartialTreeLinked) {
    KR_ASN1_STRUCTURE s;
    EXPECT_EQ(DecodeInto(s, Octets("30 05 02 01 01 02 05")).rc, -2);
    EXPECT_EQ(Shape(s), "30:5@2[02:1@4 02:-1@7]");
    EXPECT_EQ(DecodeInto(s, Octets("30 03 1F 01 00")).rc, -2);
    EXPECT_EQ(Shape(s), "30:3@2[1F:-1@2!]");  // read no further than the identifier
}

TEST(Asn1Structure, LifeCycle) {
    KR_ASN1_STRUCTURE empty;
    EXPECT_EQ(DecodeInto(empty, {}).rc, -1);
    EXPECT_EQ(DecodeInto(empty, {}).text, "Empty ASN1 structure");
    unsigned char octet = 0x05;
    KR_ASN1_STRUCTURE zeroLength(&octet, 0);
    EXPECT_EQ(DecodeInto(zeroLength, {}).text, "Empty ASN1 structure");

    auto bytes = Octets("02 01 07");
    KR_ASN1_STRUCTURE s(bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_EQ(s.root, nullptr);
    bytes[2] = 0x09;  // the structure decodes its own copy
    s.Decode();
    EXPECT_NE(s.root->data, bytes.data());
    EXPECT_EQ(s.root->content[0], 0x07);
    s.Decode(nullptr, 0);
    EXPECT_EQ(s.root->content[0], 0x07);
    s.Decode(bytes.data(), 3);
    EXPECT_EQ(s.root->content[0], 0x09);
    EXPECT_EQ(DecodeInto(s, Octets("02 05 01")).rc, -2);
    EXPECT_EQ(DecodeInto(s, {}).rc, -2);  // the failed buffer is kept

    ASSERT_EQ(DecodeInto(s, Octets("30 03 02 01 05")).text, "");
    KR_ASN1_ELEMENT* tree = s.root;
    KR_ASN1_STRUCTURE moved(std::move(s));
    EXPECT_EQ(s.root, nullptr);
    EXPECT_EQ(DecodeInto(s, {}).text, "Empty ASN1 structure");
    KR_ASN1_STRUCTURE assigned;
    ASSERT_EQ(DecodeInto(assigned, Octets("05 00")).text, "");
    assigned = std::move(moved);
    EXPECT_EQ(assigned.root, tree);
    assigned.Decode();
    EXPECT_EQ(Shape(assigned), "30:3@2[02:1@4]");

    KR_ASN1_ELEMENT copy(*assigned.root->child);
    EXPECT_EQ(copy.parent, assigned.root);
    EXPECT_STREQ(copy.Hex2Char(), "05");
    EXPECT_EQ(assigned.root->child->hexText, "");
}

TEST(Asn1Structure, TreesBuiltAndReleasedOnDifferentThreads) {
    const auto octets = Octets("30 0C 31 04 02 02 01 00 30 80 05 00 00 00 04 00");
    const char* expected = "30:12@2[31:4@4[02:2@6] 30:2@10i[05:0@12]] 04:0@16";
    std::vector<std::vector<KR_ASN1_STRUCTURE>> built(4);
    std::vector<std::thread> workers;
    for (auto& trees : built) {
        workers.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                trees.emplace_back();
                DecodeInto(trees.back(), octets);
                if (i % 3 == 0) trees.pop_back();
            }
        });
    }
    for (auto& worker : workers) worker.join();
    for (auto& trees : built) {
        for (auto& tree : trees) {
            ASSERT_EQ(Shape(tree), expected);
            tree = KR_ASN1_STRUCTURE();
            KR_ASN1_STRUCTURE fresh;
            DecodeInto(fresh, octets);
            ASSERT_EQ(Shape(fresh), expected);
        }
    }
}

}  // namespace
