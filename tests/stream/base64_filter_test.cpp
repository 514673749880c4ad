// KRFilterBase64 and KRUnfilterBase64 against OpenSSL and Python's base64.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "krtools/stream.h"
#include "stream_testutil.h"

namespace {

using streamtest::CrlfLines;
using streamtest::OpensslBase64;
using streamtest::Piped;
using streamtest::Python;
using streamtest::RandomBytes;
using streamtest::RandomCuts;
using streamtest::RunStage;

TEST(Base64Filters, AgreeWithOpensslAndPythonInRandomPieces) {
    std::mt19937 rng(21);
    for (size_t length : {0, 1, 2, 3, 55, 56, 57, 58, 113, 114, 115, 171, 70001}) {
        SCOPED_TRACE(length);
        std::string data = RandomBytes(rng, length);
        std::string ours = RunStage(new KRFilterBase64, data, RandomCuts(rng, length, 40));
        EXPECT_EQ(ours, CrlfLines(OpensslBase64(data), 76));
        EXPECT_EQ(Python("out = base64.b64decode(data)", ours), data);
        for (const std::string& text : {Python("out = base64.encodebytes(data)", data),
                                        streamtest::OpensslBase64Lines(data)}) {
            int rc = -9;
            EXPECT_EQ(RunStage(new KRUnfilterBase64, text, RandomCuts(rng, text.size(), 30), &rc),
                      data);
            EXPECT_EQ(rc, 0);
        }
    }
}

TEST(Base64Filters, EveryCuttingGivesTheSameOutput) {
    std::mt19937 rng(4);
    for (size_t length : {0, 1, 2, 3, 4, 7, 11, 120}) {
        SCOPED_TRACE(length);
        std::string data = RandomBytes(rng, length);
        std::string text = CrlfLines(OpensslBase64(data), 76);
        streamtest::ExpectEveryCuttingGives<KRFilterBase64>(data, text);
        streamtest::ExpectEveryCuttingGives<KRUnfilterBase64>(text, data);
    }
}

TEST(KRFilterBase64, WhatUpdateAndFinalEachWrite) {
    std::mt19937 rng(8);
    const std::string line = RandomBytes(rng, 57), full = OpensslBase64(line);
    const std::string l56 = line.substr(0, 56), tail = OpensslBase64(line.substr(54, 2)) + "\r\n";
    struct Case {
        std::string input, atUpdate, atFinal;
    } cases[] = {{"abc", "YWJj", ""},       {"a", "", "YQ=="}, {"ab", "", "YWI="},
                 {line, full + "\r\n", ""}, {"", "", ""},      {l56, full.substr(0, 72), tail}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.size());
        Piped piped(new KRFilterBase64);
        EXPECT_EQ(piped.Update(c.input), 0);
        EXPECT_EQ(piped.text, c.atUpdate);
        EXPECT_EQ(piped.chain.Final(), 0);
        EXPECT_EQ(piped.text, c.atUpdate + c.atFinal);
        EXPECT_EQ(piped.pieces, int(!c.atUpdate.empty()) + int(!c.atFinal.empty()));
        EXPECT_EQ(piped.ends, 1);
    }
}

TEST(KRFilterBase64, ResetStartsANewLineAndRefusalsComeBack) {
    Piped piped(new KRFilterBase64);
    piped.Update(std::string(10, 'x'));
    piped.chain.Final();
    EXPECT_EQ(piped.chain.ResetFilters(), 0);
    piped.Update(std::string(57, 'y'));
    EXPECT_EQ(piped.text, OpensslBase64(std::string(10, 'x')) +
                              CrlfLines(OpensslBase64(std::string(57, 'y')), 76));

    piped.refuse = 9;
    EXPECT_EQ(piped.Update("a"), 0);  // nothing complete yet
    EXPECT_EQ(piped.Update("bcd"), 9);
    EXPECT_EQ(piped.chain.Final(), 9);
}

TEST(KRUnfilterBase64, SkipsNoiseAndFailsFinalOnlyOnALoneTrailingCharacter) {
    EXPECT_EQ(RunStage(new KRUnfilterBase64, " Y W\r\nJ j\t", {2, 5}), "abc");
    struct Case {
        const char *text, *bytes;
        int finalResult;
    } cases[] = {{"YQ==", "a", 0}, {"YWI", "ab", 0}, {"YWJjZ", "abc", -1}};
    for (const Case& c : cases) {
        int rc = -9;
        EXPECT_EQ(RunStage(new KRUnfilterBase64, c.text, {}, &rc), c.bytes);
        EXPECT_EQ(rc, c.finalResult) << c.text;
    }

    Piped piped(new KRUnfilterBase64);
    EXPECT_EQ(piped.Update("\r\n=="), 0);  // no alphabet character: an empty piece
    EXPECT_EQ(piped.pieces, 1);
    piped.Update("Z");
    EXPECT_EQ(piped.chain.Final(), -1);
    EXPECT_EQ(piped.ends, 0);
    EXPECT_EQ(piped.chain.GetProcessCount(), 1);
    EXPECT_EQ(piped.chain.ResetFilters(), 0);
    piped.Update("YQ");
    EXPECT_EQ(piped.chain.Final(), 0);
    EXPECT_EQ(piped.text, "a");
}

// Copies and assignments made mid-stream continue the stream on their own.
template <typename Filter>
void ExpectCopiesOwnTheirContext(const std::string& head, const std::string& tail,
                                 const std::string& expected) {
    Piped piped;
    Filter original;
    original.SetContainer(&piped.chain);
    original.Update(head.data(), int(head.size()));
    Filter copy(original), assigned;
    assigned = original;
    const Filter& alias = assigned;
    assigned = alias;
    for (Filter* filter : {&original, &copy, &assigned}) {
        piped.text.clear();
        filter->Update(tail.data(), int(tail.size()));
        EXPECT_EQ(piped.text, expected);
    }
}

TEST(Base64Filters, CopiesOwnTheirCodingContext) {
    ExpectCopiesOwnTheirContext<KRFilterBase64>("ab", "c", "YWJj");
    ExpectCopiesOwnTheirContext<KRUnfilterBase64>("YW", "Jj", "bc");
}

}  // namespace
