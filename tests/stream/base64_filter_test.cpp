// KRFilterBase64 and KRUnfilterBase64, with Python's base64 module and
// OpenSSL as oracles.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "krtools/stream.h"
#include "stream_testutil.h"

namespace {

using streamtest::OpensslBase64;
using streamtest::Piped;
using streamtest::Python;
using streamtest::RandomBytes;
using streamtest::RandomCuts;
using streamtest::RunStage;

// Python's 76-column lines end in LF, the last one too; ours end in CR LF
// and a short last line has none.
std::string PythonLayout(const std::string& ours) {
    std::string text;
    for (size_t i = 0; i < ours.size(); ++i) {
        if (ours[i] != '\r' || i + 1 == ours.size() || ours[i + 1] != '\n') text += ours[i];
    }
    if (!text.empty() && text.back() != '\n') text += '\n';
    return text;
}

// Every way of cutting `size` bytes into pieces, as cut lists.
std::vector<std::vector<size_t>> EveryCutting(size_t size) {
    std::vector<std::vector<size_t>> all;
    const size_t inner = size > 0 ? size - 1 : 0;
    for (size_t mask = 0; mask < (size_t(1) << inner); ++mask) {
        std::vector<size_t> cuts;
        for (size_t bit = 0; bit < inner; ++bit) {
            if (mask & (size_t(1) << bit)) cuts.push_back(bit + 1);
        }
        all.push_back(cuts);
    }
    return all;
}

TEST(KRFilterBase64, MatchesPythonForManyLengths) {
    std::mt19937 rng(21);
    for (size_t length : {0, 1, 2, 55, 56, 57, 58, 113, 114, 115, 171, 70001}) {
        std::string input = RandomBytes(rng, length);
        std::string ours = RunStage(new KRFilterBase64, input, RandomCuts(rng, length, 40));
        EXPECT_EQ(PythonLayout(ours), Python("out = base64.encodebytes(data)", input)) << length;
    }
}

TEST(KRFilterBase64, EveryCuttingGivesTheSameText) {
    std::mt19937 rng(4);
    for (size_t length = 0; length <= 11; ++length) {
        std::string input = RandomBytes(rng, length);
        std::string whole = RunStage(new KRFilterBase64, input, {});
        EXPECT_EQ(whole, OpensslBase64(input));
        for (const auto& cuts : EveryCutting(length)) {
            ASSERT_EQ(RunStage(new KRFilterBase64, input, cuts), whole) << length;
        }
    }
    std::string input = RandomBytes(rng, 120);  // every cut around the first line end
    std::string whole = RunStage(new KRFilterBase64, input, {});
    std::vector<size_t> everyByte;
    for (size_t a = 0; a <= input.size(); ++a) {
        ASSERT_EQ(RunStage(new KRFilterBase64, input, {a}), whole) << a;
        if (a > 0 && a < input.size()) everyByte.push_back(a);
    }
    EXPECT_EQ(RunStage(new KRFilterBase64, input, everyByte), whole);
}

TEST(KRFilterBase64, WhatUpdateAndFinalEachWrite) {
    std::mt19937 rng(8);
    const std::string line = RandomBytes(rng, 57);
    const std::string full = OpensslBase64(line);
    struct Case {
        std::string input, atUpdate, atFinal;
    } cases[] = {
        {"abc", "YWJj", ""},
        {"a", "", "YQ=="},
        {"ab", "", "YWI="},
        {line, full + "\r\n", ""},
        {line.substr(0, 56), full.substr(0, 72), OpensslBase64(line.substr(54, 2)) + "\r\n"},
        {"", "", ""}};
    for (const Case& c : cases) {
        Piped piped(new KRFilterBase64);
        EXPECT_EQ(piped.Update(c.input), 0);
        EXPECT_EQ(piped.sink.text, c.atUpdate);
        EXPECT_EQ(piped.chain.Final(), 0);
        EXPECT_EQ(piped.sink.text, c.atUpdate + c.atFinal);
        EXPECT_EQ(piped.sink.pieces, int(!c.atUpdate.empty()) + int(!c.atFinal.empty()));
        EXPECT_EQ(piped.sink.ends, 1);
    }
}

TEST(KRFilterBase64, ResetStartsANewLineAndRefusalsComeBack) {
    Piped piped(new KRFilterBase64);
    piped.Update(std::string(10, 'x'));
    piped.chain.Final();
    const std::string first = piped.sink.text;
    EXPECT_EQ(piped.chain.ResetFilters(), 0);
    const std::string second(57, 'y');
    piped.Update(second);
    EXPECT_EQ(piped.sink.text, first + OpensslBase64(second) + "\r\n");

    piped.sink.refuse = 9;
    EXPECT_EQ(piped.Update("a"), 0);  // nothing complete yet
    EXPECT_EQ(piped.Update("bcd"), 9);
    EXPECT_EQ(piped.chain.Final(), 9);
}

TEST(KRUnfilterBase64, DecodesPythonAndOpensslTextFedInAnyPieces) {
    std::mt19937 rng(17);
    for (size_t length : {0, 1, 2, 3, 57, 58, 50000}) {
        std::string data = RandomBytes(rng, length);
        for (const std::string& text : {Python("out = base64.encodebytes(data)", data),
                                        streamtest::OpensslBase64Lines(data)}) {
            int rc = -9;
            EXPECT_EQ(RunStage(new KRUnfilterBase64, text, RandomCuts(rng, text.size(), 30), &rc),
                      data);
            EXPECT_EQ(rc, 0);
        }
    }
    std::string data = RandomBytes(rng, 100000);
    std::string ours = RunStage(new KRFilterBase64, data, RandomCuts(rng, data.size(), 5000));
    EXPECT_EQ(RunStage(new KRUnfilterBase64, ours, RandomCuts(rng, ours.size(), 3000)), data);
}

TEST(KRUnfilterBase64, SkipsNoiseAndPassesEmptyPiecesOn) {
    EXPECT_EQ(RunStage(new KRUnfilterBase64, " Y W\r\nJ j\t", {2, 5}), "abc");
    Piped piped(new KRUnfilterBase64);
    EXPECT_EQ(piped.Update("\r\n=="), 0);
    EXPECT_EQ(piped.sink.pieces, 1);
    EXPECT_EQ(piped.sink.text, "");
}

TEST(KRUnfilterBase64, FinalFailsOnlyForALoneTrailingCharacter) {
    int rc = -9;
    EXPECT_EQ(RunStage(new KRUnfilterBase64, "YQ==", {}, &rc), "a");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(RunStage(new KRUnfilterBase64, "YWI", {}, &rc), "ab");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(RunStage(new KRUnfilterBase64, "YWJjZ", {}, &rc), "abc");
    EXPECT_EQ(rc, -1);

    Piped piped(new KRUnfilterBase64);
    piped.Update("Z");
    EXPECT_EQ(piped.chain.Final(), -1);
    EXPECT_EQ(piped.sink.ends, 0);
    EXPECT_EQ(piped.chain.GetProcessCount(), 1);
    EXPECT_EQ(piped.chain.ResetFilters(), 0);
    piped.Update("YQ");
    EXPECT_EQ(piped.chain.Final(), 0);
    EXPECT_EQ(piped.sink.text, "a");
}

// Copies and assignments made mid-stream continue the stream on their own.
template <typename Filter>
void ExpectCopiesOwnTheirContext(const std::string& head, const std::string& tail,
                                 const std::string& expected) {
    KRStreamContainer container;
    streamtest::Sink sink;
    sink.Attach(container);
    Filter original;
    original.SetContainer(&container);
    original.Update(head.data(), int(head.size()));
    Filter copy(original);
    Filter assigned;
    assigned = original;
    const Filter& alias = assigned;
    assigned = alias;
    for (Filter* filter : {&original, &copy, &assigned}) {
        sink.text.clear();
        filter->Update(tail.data(), int(tail.size()));
        EXPECT_EQ(sink.text, expected);
        EXPECT_EQ(filter->GetDescription(), "Base 64");
        EXPECT_EQ(filter->GetFilterType(), 5u);
    }
}

TEST(Base64Filters, CopiesOwnTheirCodingContext) {
    ExpectCopiesOwnTheirContext<KRFilterBase64>("ab", "c", "YWJj");
    ExpectCopiesOwnTheirContext<KRUnfilterBase64>("YW", "Jj", "bc");
}

}  // namespace
