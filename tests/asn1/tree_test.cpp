// Decoding and printing element trees: shapes, failure texts, partial trees,
// life cycle, dump layout, and trees too deep or too long for recursion.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "krtools/asn1.h"
#include "testutil.h"

namespace {

// "30 06 04 01" -> {0x30, 0x06, 0x04, 0x01}.
std::vector<unsigned char> Octets(const std::string& hex) {
    std::vector<unsigned char> octets;
    std::istringstream in(hex);
    for (std::string pair; in >> pair;) octets.push_back(std::stoul(pair, nullptr, 16) & 0xFF);
    return octets;
}

// "<rc> <text>" of the failure of decoding |octets|, "" on success.
std::string DecodeInto(KR_ASN1_STRUCTURE& s, std::vector<unsigned char> octets) {
    try {
        s.Decode(octets.data(), static_cast<int>(octets.size()));
    } catch (const KRException& e) {
        return std::to_string(e.rc) + " " + e.text;
    }
    return "";
}

std::string Dump(KR_ASN1_STRUCTURE& s) {
    return testutil::CaptureStdout([&] { s.Print(); });
}

// Each element as "ID:length@contentOffset", then "u<n>" for unused bits, "i"
// for the indefinite form, its children in brackets; siblings separated by
// blanks. "!" marks a parent link or tag field that does not match.
std::string Shape(const KR_ASN1_ELEMENT* e, const unsigned char* base) {
    std::string shape;
    for (; e != nullptr; e = e->sibling) {
        char text[64];
        std::snprintf(text, sizeof text, "%s%02X:%d@%d%s%s", shape.empty() ? "" : " ", e->id,
                      e->length, static_cast<int>(e->content - base),
                      e->unusedBits ? ("u" + std::to_string(e->unusedBits)).c_str() : "",
                      e->indefinite ? "i" : "");
        shape += text;
        if (e->tagClass != (e->id & 0xC0) || e->tagNumber != (e->id & 0x1F)) shape += '!';
        if (e->child) shape += (e->child->parent != e ? "![" : "[") + Shape(e->child, base) + "]";
    }
    return shape;
}

std::string Shape(const KR_ASN1_STRUCTURE& s) {
    return s.root == nullptr ? "" : Shape(s.root, s.root->data);
}

TEST(Asn1Decode, TreeShapes) {
    const char* const cases[][2] = {
        {"30 06 04 01 01 02 01 0A", "30:6@2[04:1@4 02:1@7]"},
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
        {"05 00 00 00", "05:0@2 00:0@4"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        auto bytes = Octets(c[0]);
        KR_ASN1_STRUCTURE s;
        EXPECT_EQ(DecodeInto(s, bytes), "");
        EXPECT_EQ(Shape(s), c[1]);
        KR_ASN1_STRUCTURE holder;  // releases the tree of the bare element below
        holder.root = new KR_ASN1_ELEMENT(nullptr, bytes.data(), static_cast<int>(bytes.size()));
        EXPECT_EQ(holder.root->Decode(), bytes.data() + bytes.size());
    }
}

TEST(Asn1Decode, MalformedInputGivesElementErrorsAndKeepsPartialTree) {
    const std::pair<std::string, std::vector<const char*>> cases[] = {
        {"ASN1 element is EMPTY",
         {"05", "05 00 00", "30 84 00 00 00 01 05", "30 80", "30 80 04 01 01 00"}},
        {"ASN1 element 'high-tag-number' is unsupported", {"1F 01 00", "30 03 DF 01 00"}},
        {"ASN1 element has indefinite length, but is not a constructed type",
         {"04 80 00 00", "04 82 00 00 00 00"}},
        {"ASN1 element has indefinte length, but is not terminated by x'0000'", {"30 80 04 01 01"}},
        {"ASN1 element length is too large",
         {"30 03 02 02 01 01", "04 02 00", "04 85 00 00 00 00", "04 FF 00", "04 84 FF FF FF FF 00",
          "04 84 80 00 00 00 00", "24 80 04 01 AA 30 84 FF FF FF FE"}}};
    for (const auto& [text, inputs] : cases) {
        for (const char* hex : inputs) {
            KR_ASN1_STRUCTURE s;
            EXPECT_EQ(DecodeInto(s, Octets(hex)), "-2 " + text) << hex;
        }
    }
    KR_ASN1_STRUCTURE s;
    EXPECT_NE(DecodeInto(s, Octets("30 05 02 01 01 02 05")), "");
    EXPECT_EQ(Shape(s), "30:5@2[02:1@4 02:-1@7]");
    EXPECT_NE(DecodeInto(s, Octets("30 03 1F 01 00")), "");
    EXPECT_EQ(Shape(s), "30:3@2[1F:-1@2!]");  // read no further than the identifier
}

TEST(Asn1Structure, LifeCycle) {
    KR_ASN1_STRUCTURE s;
    EXPECT_EQ(DecodeInto(s, {}), "-1 Empty ASN1 structure");
    EXPECT_EQ(Dump(s), "Empty ASN1 structure\n");
    auto bytes = Octets("02 01 07");
    KR_ASN1_STRUCTURE zeroLength(bytes.data(), 0), loaded(bytes.data(), 3);
    EXPECT_EQ(DecodeInto(zeroLength, {}), "-1 Empty ASN1 structure");
    EXPECT_EQ(loaded.root, nullptr);
    bytes[2] = 0x09;  // the structure decodes its own copy
    loaded.Decode(nullptr, 0);
    EXPECT_EQ(loaded.root->content[0], 0x07);
    loaded.Decode(bytes.data(), 3);
    EXPECT_EQ(loaded.root->content[0], 0x09);
    EXPECT_NE(DecodeInto(loaded, Octets("02 05 01")), "");
    EXPECT_EQ(DecodeInto(loaded, {}), "-2 ASN1 element length is too large");  // buffer kept
}

TEST(Asn1Structure, RedecodingGivesWhatAFreshStructureGives) {
    // One structure decodes a mixed run of good and failing inputs, so every
    // decode starts over a tree (complete or partial) left by the one before.
    const char* const inputs[] = {"30 06 04 01 01 02 01 0A",
                                  "30 05 02 01 01 02 05",
                                  "30 80 04 01 01 00 00 05 00",
                                  "30 03 1F 01 00",
                                  "31 81 00 02 00 00 00",
                                  "05 00 00",
                                  "A0 03 02 01 FF",
                                  "24 80 04 01 AA 30 84 FF FF FF FE",
                                  "30 80 30 80 00 00 00 00",
                                  "30 04 03 02 07 80"};
    std::mt19937 random(7);
    KR_ASN1_STRUCTURE reused;
    for (int round = 0; round < 200; ++round) {
        const char* hex = inputs[random() % std::size(inputs)];
        SCOPED_TRACE(hex);
        KR_ASN1_STRUCTURE fresh;
        EXPECT_EQ(DecodeInto(reused, Octets(hex)), DecodeInto(fresh, Octets(hex)));
        EXPECT_EQ(Shape(reused), Shape(fresh));
    }
}

// A SEQUENCE of |count| eight-octet OCTET STRINGs, whose dump gives every
// element a text too long to be stored inside the string object.
std::vector<unsigned char> Strings(size_t count) {
    std::vector<unsigned char> contents;
    for (size_t i = 0; i < count; ++i) {
        contents.insert(contents.end(), {0x04, 0x08});
        for (int k = 0; k < 8; ++k) contents.push_back(static_cast<unsigned char>(i + k));
    }
    std::vector<unsigned char> octets = {0x30, 0x84};
    for (int shift = 24; shift >= 0; shift -= 8) octets.push_back(contents.size() >> shift & 0xFF);
    octets.insert(octets.end(), contents.begin(), contents.end());
    return octets;
}

TEST(Asn1Structure, ReusedStructureMatchesFreshOneAcrossSizesAndDumps) {
    // Trees that grow and shrink by orders of magnitude, dumped in between so
    // that old elements carry texts when a new tree reuses their memory.
    KR_ASN1_STRUCTURE reused;
    for (size_t count : {1, 40, 3000, 2, 700, 20000, 150, 5}) {
        SCOPED_TRACE(count);
        const auto octets = Strings(count);
        KR_ASN1_STRUCTURE fresh;
        ASSERT_EQ(DecodeInto(reused, octets), "");
        ASSERT_EQ(DecodeInto(fresh, octets), "");
        EXPECT_EQ(Shape(reused), Shape(fresh));
        size_t texts = 0;
        for (const KR_ASN1_ELEMENT* e = reused.root->child; e != nullptr; e = e->sibling) {
            texts += !e->hexText.empty();
        }
        EXPECT_EQ(texts, 0u);  // no text of the previous tree is left behind
        EXPECT_EQ(Dump(reused), Dump(fresh));
        EXPECT_EQ(reused.root->child->hexText, "0001 0203 0405 0607");
    }
}

// Exposes the protected release of a subtree.
class PrunableStructure : public KR_ASN1_STRUCTURE {
public:
    void PruneChildren(KR_ASN1_ELEMENT* parent) {
        DeleteElement(parent->child);
        parent->child = nullptr;
    }
};

TEST(Asn1Structure, MovesAndSubtreeReleaseKeepTreesIntact) {
    const auto octets = Octets("30 0C 30 06 04 01 AA 04 01 BB 04 02 CC DD");
    PrunableStructure pruned;
    ASSERT_EQ(DecodeInto(pruned, octets), "");
    Dump(pruned);  // gives the elements texts that the pruning must free
    pruned.PruneChildren(pruned.root->child);
    EXPECT_EQ(Shape(pruned), "30:12@2[30:6@4 04:2@12]");
    ASSERT_EQ(DecodeInto(pruned, octets), "");  // the pruned blocks are reused
    EXPECT_EQ(Shape(pruned), "30:12@2[30:6@4[04:1@6 04:1@9] 04:2@12]");

    KR_ASN1_STRUCTURE source;
    ASSERT_EQ(DecodeInto(source, octets), "");
    const std::string dump = Dump(source);
    KR_ASN1_STRUCTURE moved(std::move(source));
    EXPECT_EQ(source.root, nullptr);
    EXPECT_EQ(DecodeInto(source, {}), "-1 Empty ASN1 structure");
    KR_ASN1_STRUCTURE assigned;
    ASSERT_EQ(DecodeInto(assigned, Strings(100)), "");
    assigned = std::move(moved);
    EXPECT_EQ(Dump(assigned), dump);
    KR_ASN1_STRUCTURE fresh;
    ASSERT_EQ(DecodeInto(fresh, Strings(300)), "");
    ASSERT_EQ(DecodeInto(source, Strings(300)), "");  // a moved-from structure decodes anew
    ASSERT_EQ(DecodeInto(assigned, Strings(300)), "");
    EXPECT_EQ(Shape(source), Shape(fresh));
    EXPECT_EQ(Shape(assigned), Shape(fresh));
}

TEST(Asn1Print, Layout) {  // "~" stands for the 18 blanks before a top-level hex slice
    const char* const counting = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13";
    const std::string slice = "~0001 0203 0405 0607 0809 0A0B 0C0D 0E0F";
    const std::pair<std::string, std::string> cases[] = {
        {"30 03 02 01 05", "30 0003       | SEQUENCE\n02 0001       |   INTEGER\n~  05\n"},
        {"30 05 A1 03 04 01 FF 05 00",
         "30 0005       | SEQUENCE\nA1 0003       |   CONTEXT SPECIFIC[1]\n"
         "04 0001       |     OCTET STRING\n~    FF\n05 0000       | NULL\n"},
        {"04 10 " + std::string(counting, 47), "04 0010       | OCTET STRING\n" + slice + "\n"},
        {"04 11 " + std::string(counting, 50),
         "04 0011       | OCTET STRING\n" + slice + " \n~10\n"},
        {"04 14 " + std::string(counting),
         "04 0014       | OCTET STRING\n" + slice + " \n~1011 1213\n"},
        {"42 01 01", "42 0001       | INTEGER\n~01\n"},
        {"01 01 FF", "01 0001       | UNKNOWN\n~FF\n"},
        {"06 03 2A 86 48", "06 0003       | OBJECT ID\n~2A86 48\n"},
        {"03 02 07 80", "03 0001       | BIT STRING (7 unused bits)\n~80\n"},
        {"31 00 0C 00 E5 00",
         "31 0000       | SET\n0C 0000       | UNKNOWN\nE5 0000       | NULL\n"},
        {"13 02 41 42", "13 0002       | PRINTABLE STRING \"AB\"\n~4142\n"},
        {"14 01 61", "14 0001       | T61 STRING \"a\"\n~61\n"},
        {"16 03 61 40 62", "16 0003       | IA5 STRING \"a@b\"\n~6140 62\n"},
        {"17 02 39 39", "17 0002       | UTC TIME \"99\"\n~3939\n"},
        {"13 00", "13 0000       | PRINTABLE STRING \"\"\n"},
        {"13 03 41 00 42", "13 0003       | PRINTABLE STRING \"A\n~4100 42\n"},
        {"30 80 05 00 00 00", "30 0002 (ind) | SEQUENCE\n05 0000       |   NULL\n"}};
    for (const auto& [octets, dump] : cases) {
        KR_ASN1_STRUCTURE s;
        ASSERT_EQ(DecodeInto(s, Octets(octets)), "");
        EXPECT_EQ(Dump(s), std::regex_replace(dump, std::regex("~"), std::string(18, ' ')))
            << octets;
    }
}

TEST(Asn1Print, WidePartialAndSingleElementDumps) {
    KR_ASN1_STRUCTURE s;
    std::vector<unsigned char> wide = {0x04, 0x83, 0x01, 0x00, 0x00};
    wide.resize(wide.size() + 0x10000, 0xEE);
    ASSERT_EQ(DecodeInto(s, wide), "");
    const std::string wideDump = Dump(s);  // 4096 slices of 16 octets
    EXPECT_EQ(wideDump.size(), 30 + 4096 * (18 + 40 + 1) - 1);
    EXPECT_EQ(wideDump.substr(0, 30 + 18 + 5),
              "04 10000       | OCTET STRING\n" + std::string(18, ' ') + "EEEE ");
    EXPECT_NE(DecodeInto(s, Octets("30 05 13 01 41 13 05")), "");
    EXPECT_EQ(Dump(s), "30 0005       | SEQUENCE\n13 0001       |   PRINTABLE STRING \"A\"\n" +
                           std::string(20, ' ') +
                           "41\n13 FFFFFFFF       |   PRINTABLE STRING \"\"\n");

    ASSERT_EQ(DecodeInto(s, Octets("30 06 30 02 05 00 05 00 04 05 01 02 03 04 05")), "");
    EXPECT_EQ(
        testutil::CaptureStdout([&] { s.PrintElementLevel(s.root->child, 4); }),
        "30 0002       |     SEQUENCE\n05 0000       |       NULL\n05 0000       |     NULL\n");
    EXPECT_EQ(testutil::CaptureStdout([&] { s.PrintElement(s.root->sibling, 1); }),
              "04 0005       |  OCTET STRING\n" + std::string(19, ' ') + "0102 0304 05\n");
    EXPECT_EQ(s.root->sibling->hexText, "0102 0304 05");
    EXPECT_STREQ(s.root->child->child->Hex2Char(), "");
    KR_ASN1_ELEMENT undecoded(nullptr, nullptr, 0);
    undecoded.hexText = "stale";
    EXPECT_STREQ(undecoded.Hex2Char(), "");
}

// |depth| SEQUENCEs around one NULL, indefinite or with four length octets.
std::vector<unsigned char> Nest(size_t depth, bool definite) {
    std::vector<unsigned char> octets;
    for (size_t i = 0; i < depth; ++i) {
        octets.insert(octets.end(), {0x30, static_cast<unsigned char>(definite ? 0x84 : 0x80)});
        for (int shift = 24; definite && shift >= 0; shift -= 8) {
            octets.push_back(((depth - i) * 6 - 4) >> shift & 0xFF);
        }
    }
    octets.insert(octets.end(), {0x05, 0x00});
    octets.resize(octets.size() + (definite ? 0 : depth * 2), 0x00);
    return octets;
}

// Runs |body| on a 64 KiB stack, far too small to recurse over thousands of levels.
void OnSmallStack(std::function<void()> body) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 64 * 1024);
    pthread_t thread;
    auto run = [](void* f) -> void* { return (*static_cast<decltype(body)*>(f))(), nullptr; };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &body), 0);
    pthread_join(thread, nullptr);
}

TEST(Asn1Depth, MillionLevelsDecodeAndReleaseOnSmallStack) {
    for (bool definite : {true, false}) {
        const auto octets = Nest(1000000, definite);
        std::string error = "not run";
        size_t depth = 0;
        OnSmallStack([&] {
            KR_ASN1_STRUCTURE s;
            error = DecodeInto(s, octets);
            const KR_ASN1_ELEMENT* e = s.root;
            for (; e->child != nullptr && e->child->parent == e; e = e->child) ++depth;
            if (e->tagNumber != 5) error = "no NULL at the bottom";
        });
        EXPECT_EQ(error, "");
        EXPECT_EQ(depth, 1000000u);
    }
}

TEST(Asn1Depth, DeepTreePrintsOnSmallStack) {
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, Nest(5000, false)), "");
    const std::string dump = testutil::CaptureStdout([&] { OnSmallStack([&] { s.Print(); }); });
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 5001);
    EXPECT_EQ(dump.substr(dump.size() - 10021),
              "05 0000       | " + std::string(10000, ' ') + "NULL\n");
}

TEST(Asn1Depth, MillionSiblingsDecodePrintAndRelease) {
    std::vector<unsigned char> octets;
    for (size_t i = 0; i < 1000000; ++i) octets.insert(octets.end(), {0x05, 0x00});
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, octets), "");
    const std::string dump = Dump(s);
    EXPECT_EQ(dump.size(), 1000000u * 21);
    EXPECT_EQ(dump.substr(dump.size() - 21), "05 0000       | NULL\n");
}

}  // namespace

// The capped dump: identical to Print down to the cap, then every deeper line
// indented as at the cap and marked with its depth, so 20,000 levels print
// in a size linear in the depth.
TEST(Asn1Depth, CappedDumpMatchesPrintToTheCapThenStaysLinear) {
    KR_ASN1_STRUCTURE shallow;
    ASSERT_EQ(DecodeInto(shallow, Nest(100, true)), "");
    std::istringstream full(Dump(shallow));
    std::istringstream capped(testutil::CaptureStdout([&] { shallow.PrintDepthCapped(64); }));
    std::string fullLine, cappedLine;
    for (int depth = 0; std::getline(full, fullLine); ++depth) {
        ASSERT_TRUE(std::getline(capped, cappedLine));
        if (depth <= 64) {
            EXPECT_EQ(cappedLine, fullLine) << depth;
        } else {
            EXPECT_EQ(cappedLine, fullLine.substr(0, 16) + std::string(128, ' ') + "[depth " +
                                      std::to_string(depth) + "] " +
                                      fullLine.substr(16 + 2 * static_cast<size_t>(depth)))
                << depth;
        }
    }
    EXPECT_FALSE(std::getline(capped, cappedLine));

    KR_ASN1_STRUCTURE deep;
    ASSERT_EQ(DecodeInto(deep, Nest(20000, false)), "");
    const std::string dump = testutil::CaptureStdout([&] { deep.PrintDepthCapped(64); });
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 20001);
    EXPECT_LT(dump.size(), 20001u * (16 + 128 + 24));
    EXPECT_EQ(dump.substr(dump.rfind('\n', dump.size() - 2) + 1),
              "05 0000       | " + std::string(128, ' ') + "[depth 20000] NULL\n");
}
