// KRFilterQuotedPrintable and KRUnfilterQuotedPrintable against Python's
// quopri and binascii.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "krtools/stream.h"
#include "stream_testutil.h"

namespace {

using namespace std::string_literals;
using streamtest::Piped;
using streamtest::Python;
using streamtest::RandomBytes;
using streamtest::RandomCuts;

std::string Encode(const std::string& data, const std::vector<size_t>& cuts = {}) {
    return streamtest::RunStage(new KRFilterQuotedPrintable, data, cuts);
}

std::string Decode(const std::string& text, const std::vector<size_t>& cuts = {}) {
    return streamtest::RunStage(new KRUnfilterQuotedPrintable, text, cuts);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

struct Case {
    std::string in, out;
};

TEST(KRFilterQuotedPrintable, EscapesAndBreaksAfterTheByteReachingColumn72) {
    const std::string a71(71, 'A'), a72(72, 'A');
    const Case cases[] = {
        {"a=b", "a=3Db"},     {" \t\r\n\xFF", "=20=09=0D=0A=FF"}, {"\0\x7F~!<>"s, "=00=7F~!<>"},
        {a72, a72 + "=\r\n"}, {a71 + '\0', a71 + "=00=\r\n"},     {a72 + "A", a72 + "=\r\nA"}};
    for (const Case& c : cases) EXPECT_EQ(Encode(c.in), c.out);
}

TEST(KRFilterQuotedPrintable, QuotesLikeQuopriAndPythonDecodesIt) {
    std::mt19937 rng(37);
    for (int round = 0; round < 4; ++round) {
        // quopri keeps line feeds as line breaks, so the data has none; its
        // pure-Python encoder quotes exactly the bytes that we quote.
        std::string data = Replace(RandomBytes(rng, 3000), "\n", "n");
        std::string ours = Encode(data, RandomCuts(rng, data.size(), 100));
        EXPECT_EQ(Replace(ours, "=\r\n", ""),
                  Python("quopri.b2a_qp = None\n"
                         "out = quopri.encodestring(data, quotetabs=True).replace(b'=\\n', b'')",
                         data));
        size_t start = 0;  // a break follows the escape or byte that reaches column 72
        for (size_t end; (end = ours.find("=\r\n", start)) != std::string::npos; start = end + 3) {
            ASSERT_TRUE(end - start >= 72 && end - start <= 74) << end - start;
        }
        EXPECT_LT(ours.size() - start, 72u);
    }
    std::string data = RandomBytes(rng, 30000);
    std::string text = Encode(data, RandomCuts(rng, data.size(), 1000));
    EXPECT_EQ(Python("out = quopri.decodestring(data)", text), data);
    EXPECT_EQ(Python("out = binascii.a2b_qp(data)", text), data);
}

TEST(KRFilterQuotedPrintable, EveryCuttingGivesTheSameText) {
    std::mt19937 rng(43);
    std::string data = RandomBytes(rng, 10) + std::string(70, 'x');
    streamtest::ExpectEveryCuttingGives<KRFilterQuotedPrintable>(data, Encode(data));
}

TEST(KRFilterQuotedPrintable, RefusedOutputIsKeptAndResetRestartsTheColumn) {
    Piped piped(new KRFilterQuotedPrintable);
    EXPECT_EQ(piped.Update(""), 0);
    EXPECT_EQ(piped.pieces, 0);
    piped.refuse = 5;
    EXPECT_EQ(piped.Update("a b"), 5);
    EXPECT_EQ(piped.Update("="), 5);
    piped.refuse = 0;
    EXPECT_EQ(piped.Update("c"), 0);
    EXPECT_EQ(piped.pieces, 1);
    EXPECT_EQ(piped.text, "a=20b=3Dc");
    piped.refuse = 6;
    piped.Update("d");
    EXPECT_EQ(piped.chain.Final(), 6);
    piped.refuse = 0;
    EXPECT_EQ(piped.chain.GetFirstProcess()->Final(), 0);
    EXPECT_EQ(piped.text, "a=20b=3Dcd");

    const std::string seventy(70, 'A');
    EXPECT_EQ(piped.chain.ResetFilters(), 0);
    piped.Update(seventy + "BB");
    EXPECT_EQ(piped.text, "a=20b=3Dcd" + seventy + "BB=\r\n");
}

TEST(KRUnfilterQuotedPrintable, DecodesEscapesAndSoftBreaksWithinEachPiece) {
    // Near the end of a piece, blanks after "=" are skipped only while two
    // characters follow them.
    const Case cases[] = {
        {"=41=42", "AB"},        {"=4a=4A", "JJ"},          {"ab=\r\ncd", "abcd"},
        {"ab=  \r\ncd", "abcd"}, {"ab= \t \r\ncd", "abcd"}, {"line\r\nnext", "line\r\nnext"},
        {"=G1", "\0"s},          {"=4G", "\x04"},           {"abc=", "abc"},
        {"abc=4", "abc=4"},      {"abc= ", "abc= "},        {"=", ""},
        {"=  ", "\0"s},          {"=   4", "\0"s},          {"=  41", "A"}};
    for (const Case& c : cases) EXPECT_EQ(Decode(c.in), c.out) << c.in;
    EXPECT_EQ(Decode("ab=41", {3}), "ab41");

    Piped piped(new KRUnfilterQuotedPrintable);
    EXPECT_EQ(piped.Update("=\r\n") + piped.Update(""), 0);
    EXPECT_EQ(piped.pieces, 2);  // empty pieces are passed on
    EXPECT_EQ(piped.chain.Final(), 0);
    EXPECT_EQ(piped.ends, 1);
}

TEST(KRUnfilterQuotedPrintable, ReadsQuopriAndOurOwnOutputLineByLine) {
    std::mt19937 rng(47);
    std::string data = RandomBytes(rng, 20000);
    // quopri's C encoder copies a lone CR; its line feeds become our CR LF.
    std::string noCr = Replace(data, "\r", "r");
    std::string theirs =
        Python("out = quopri.encodestring(data, quotetabs=True).replace(b'\\n', b'\\r\\n')", noCr);
    EXPECT_EQ(Decode(theirs), Replace(noCr, "\n", "\r\n"));

    std::string ours = Encode(data, RandomCuts(rng, data.size(), 2000));
    std::vector<size_t> lineCuts;
    for (size_t at = ours.find("\r\n"); at != std::string::npos; at = ours.find("\r\n", at + 2))
        lineCuts.push_back(at + 2);
    EXPECT_EQ(Decode(ours, lineCuts), data);
}

}  // namespace
