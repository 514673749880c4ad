// KRFilterQuotedPrintable and KRUnfilterQuotedPrintable, with Python's quopri
// and binascii modules as oracles.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "krtools/stream.h"
#include "stream_testutil.h"

namespace {

using streamtest::Piped;
using streamtest::Python;
using streamtest::RandomBytes;
using streamtest::RandomCuts;
using streamtest::RunStage;

std::string Encode(const std::string& data, const std::vector<size_t>& cuts = {}) {
    return RunStage(new KRFilterQuotedPrintable, data, cuts);
}

std::string Decode(const std::string& text, const std::vector<size_t>& cuts = {}) {
    return RunStage(new KRUnfilterQuotedPrintable, text, cuts);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

TEST(KRFilterQuotedPrintable, EscapesEverythingButPrintables) {
    EXPECT_EQ(Encode("a=b"), "a=3Db");
    EXPECT_EQ(Encode(" \t\r\n\xFF"), "=20=09=0D=0A=FF");
    EXPECT_EQ(Encode(std::string("\0\x7F~!<>", 6)), "=00=7F~!<>");
}

TEST(KRFilterQuotedPrintable, SoftBreakFollowsTheByteThatReachesColumn72) {
    EXPECT_EQ(Encode(std::string(72, 'A')), std::string(72, 'A') + "=\r\n");
    EXPECT_EQ(Encode(std::string(71, 'A') + std::string(1, '\0')),
              std::string(71, 'A') + "=00=\r\n");
    EXPECT_EQ(Encode(std::string(73, 'A')), std::string(72, 'A') + "=\r\nA");

    std::mt19937 rng(31);
    std::string text = Encode(RandomBytes(rng, 20000));
    size_t start = 0;
    for (size_t end = text.find("=\r\n"); end != std::string::npos;
         start = end + 3, end = text.find("=\r\n", start)) {
        ASSERT_GE(end - start, 72u);
        ASSERT_LE(end - start, 74u);
    }
    EXPECT_LT(text.size() - start, 72u);
}

TEST(KRFilterQuotedPrintable, MatchesQuopriOutsideTheLineLayout) {
    std::mt19937 rng(37);
    for (int round = 0; round < 4; ++round) {
        std::string data = RandomBytes(rng, 3000);
        // quopri keeps line feeds as line breaks; the escapes are compared.
        // Its pure-Python encoder quotes exactly the bytes that we quote.
        for (char& c : data) {
            if (c == '\n') c = 'n';
        }
        std::string ours = Replace(Encode(data, RandomCuts(rng, data.size(), 100)), "=\r\n", "");
        std::string theirs = Python(
            "quopri.b2a_qp = None\n"
            "out = quopri.encodestring(data, quotetabs=True).replace(b'=\\n', b'')",
            data);
        EXPECT_EQ(ours, theirs);
    }
}

TEST(KRFilterQuotedPrintable, PythonDecodersReadTheOutputBack) {
    std::mt19937 rng(41);
    std::string data = RandomBytes(rng, 30000);
    std::string text = Encode(data, RandomCuts(rng, data.size(), 1000));
    EXPECT_EQ(Python("out = quopri.decodestring(data)", text), data);
    EXPECT_EQ(Python("out = binascii.a2b_qp(data)", text), data);
}

TEST(KRFilterQuotedPrintable, EveryCuttingGivesTheSameText) {
    std::mt19937 rng(43);
    std::string data = RandomBytes(rng, 10) + std::string(70, 'x');
    std::string whole = Encode(data);
    for (size_t a = 0; a <= data.size(); ++a) {
        for (size_t b = a; b <= data.size(); b += 3) {
            ASSERT_EQ(Encode(data, {a, b}), whole) << a << "," << b;
        }
    }
    std::vector<size_t> everyByte;
    for (size_t i = 1; i < data.size(); ++i) everyByte.push_back(i);
    EXPECT_EQ(Encode(data, everyByte), whole);
}

TEST(KRFilterQuotedPrintable, RefusedOutputIsKeptAndSentFirst) {
    Piped piped(new KRFilterQuotedPrintable);
    EXPECT_EQ(piped.Update(""), 0);
    EXPECT_EQ(piped.sink.pieces, 0);
    piped.sink.refuse = 5;
    EXPECT_EQ(piped.Update("a b"), 5);
    EXPECT_EQ(piped.Update("="), 5);
    piped.sink.refuse = 0;
    EXPECT_EQ(piped.Update("c"), 0);
    EXPECT_EQ(piped.sink.pieces, 1);
    EXPECT_EQ(piped.sink.text, "a=20b=3Dc");
    piped.sink.refuse = 6;
    piped.Update("d");
    EXPECT_EQ(piped.chain.Final(), 6);
    piped.sink.refuse = 0;
    EXPECT_EQ(piped.chain.GetFirstProcess()->Final(), 0);
    EXPECT_EQ(piped.sink.text, "a=20b=3Dcd");
}

TEST(KRFilterQuotedPrintable, ResetRestartsTheColumn) {
    Piped piped(new KRFilterQuotedPrintable);
    const std::string seventy(70, 'A');
    piped.Update(seventy);
    piped.chain.Final();
    EXPECT_EQ(piped.chain.ResetFilters(), 0);
    piped.Update(seventy);
    EXPECT_EQ(piped.sink.text, seventy + seventy);
    piped.Update("BB");
    EXPECT_EQ(piped.sink.text, seventy + seventy + "BB=\r\n");
}

TEST(KRUnfilterQuotedPrintable, DecodesEscapesAndSoftBreaks) {
    EXPECT_EQ(Decode("=41=42"), "AB");
    EXPECT_EQ(Decode("=4a=4A"), "\x4A\x4A");
    EXPECT_EQ(Decode("ab=\r\ncd"), "abcd");
    EXPECT_EQ(Decode("ab=  \r\ncd"), "abcd");
    EXPECT_EQ(Decode("ab= \t \r\ncd"), "abcd");
    EXPECT_EQ(Decode("line\r\nnext"), "line\r\nnext");
    EXPECT_EQ(Decode("=G1"), std::string(1, '\0'));
    EXPECT_EQ(Decode("=4G"), "\x04");
    EXPECT_EQ(Decode("plain text, no escapes"), "plain text, no escapes");
}

TEST(KRUnfilterQuotedPrintable, CutOffEscapesAtThePieceEnd) {
    EXPECT_EQ(Decode("abc="), "abc");
    EXPECT_EQ(Decode("abc=4"), "abc=4");
    EXPECT_EQ(Decode("abc= "), "abc= ");
    EXPECT_EQ(Decode("="), "");
    // Blanks are skipped only while two characters follow them.
    EXPECT_EQ(Decode("=  "), std::string(1, '\0'));
    EXPECT_EQ(Decode("=   4"), std::string(1, '\0'));
    EXPECT_EQ(Decode("=  41"), "A");
    // Pieces are decoded on their own.
    EXPECT_EQ(Decode("ab=41", {3}), "ab41");
}

TEST(KRUnfilterQuotedPrintable, PassesEmptyPiecesOn) {
    Piped piped(new KRUnfilterQuotedPrintable);
    EXPECT_EQ(piped.Update("=\r\n"), 0);
    EXPECT_EQ(piped.Update(""), 0);
    EXPECT_EQ(piped.sink.pieces, 2);
    EXPECT_EQ(piped.sink.text, "");
    EXPECT_EQ(piped.chain.Final(), 0);
    EXPECT_EQ(piped.sink.ends, 1);
}

TEST(KRUnfilterQuotedPrintable, ReadsQuopriAndOurOwnOutput) {
    std::mt19937 rng(47);
    std::string data = RandomBytes(rng, 20000);
    // The C encoder behind quopri copies a lone CR; line feeds become line
    // breaks, which are CR LF for us.
    std::string noCr = Replace(data, "\r", "r");
    std::string theirs =
        Python("out = quopri.encodestring(data, quotetabs=True).replace(b'\\n', b'\\r\\n')", noCr);
    EXPECT_EQ(Decode(theirs), Replace(noCr, "\n", "\r\n"));

    std::string ours = Encode(data, RandomCuts(rng, data.size(), 2000));
    EXPECT_EQ(Decode(ours), data);
    // Whole lines as pieces decode the same as the whole text.
    std::vector<size_t> lineCuts;
    for (size_t at = ours.find("\r\n"); at != std::string::npos; at = ours.find("\r\n", at + 2))
        lineCuts.push_back(at + 2);
    EXPECT_EQ(Decode(ours, lineCuts), data);
}

TEST(QuotedPrintableFilters, DescribeThemselves) {
    KRFilterQuotedPrintable encoder;
    KRUnfilterQuotedPrintable decoder;
    for (KRFilter* filter : {static_cast<KRFilter*>(&encoder), static_cast<KRFilter*>(&decoder)}) {
        EXPECT_EQ(filter->GetDescription(), "Quoted Printable");
        EXPECT_EQ(filter->GetFilterType(), 4u);
        EXPECT_EQ(filter->Reset(), 0);
    }
}

}  // namespace
