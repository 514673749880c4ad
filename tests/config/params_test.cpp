#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "krtools/params.h"
#include "params_generator.h"
#include "testutil.h"

namespace {

using configtest::ExpectedPair;
using configtest::ParamStyle;

// A parser over a file holding `text`.
class ParserOver {
public:
    explicit ParserOver(const std::string& text) {
        testutil::WriteFile(dir_.File("p.txt"), text);
        EXPECT_EQ(parser.Init(dir_.File("p.txt").c_str()), 0) << parser.errorText;
    }
    int Paren(bool escapes = false) { return parser.ParseParenStyle(escapes); }
    int Equal() { return parser.ParseEqualStyle(); }
    // "line:column keyword=value" per pair of the current record.
    std::string Pairs() const {
        std::string out;
        for (const auto& e : parser.entries) {
            out += std::to_string(e.lineNumber) + ":" + std::to_string(e.column) + " " + e.keyword +
                   "=" + e.value + "\n";
        }
        EXPECT_EQ(parser.entryCount, static_cast<int>(parser.entries.size()));
        return out;
    }

    ParseObj parser;

private:
    testutil::TempDir dir_;
};

std::string Format(const std::vector<ExpectedPair>& pairs) {
    std::string out;
    for (const auto& p : pairs) {
        out += std::to_string(p.line) + ":" + std::to_string(p.column) + " " + p.keyword + "=" +
               p.value + "\n";
    }
    return out;
}

// ---- records from generated files of known content ----

// Replaces every line feed with CR LF.
std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

void CheckGenerated(ParamStyle style, unsigned seed) {
    configtest::ParamsGenerator generator(seed, style);
    const auto generated = generator.Generate(12);
    // Odd seeds read the same text with CR LF line ends.
    ParserOver p(seed % 2 == 0 ? generated.text : WithCrLf(generated.text));
    for (size_t r = 0; r < generated.records.size(); ++r) {
        const bool last = r + 1 == generated.records.size();
        const int expected = last && !generated.lastRecordClosed ? 2 : 1;
        const int result =
            style == ParamStyle::kEqual ? p.Equal() : p.Paren(style == ParamStyle::kParenEscapes);
        ASSERT_EQ(result, expected)
            << "seed " << seed << " record " << r << ": " << p.parser.errorText << "\n"
            << generated.text;
        ASSERT_EQ(p.Pairs(), Format(generated.records[r]))
            << "seed " << seed << " record " << r << "\n"
            << generated.text;
    }
    if (generated.lastRecordClosed) {
        EXPECT_EQ(style == ParamStyle::kEqual ? p.Equal() : p.Paren(), 2);
        EXPECT_EQ(p.Pairs(), "");
    }
    EXPECT_EQ(p.parser.GetLineNumber(), 0);
    EXPECT_EQ(p.Paren(), -1);
    EXPECT_EQ(p.parser.errorText, "Parse object not initialized");
}

TEST(ParseObjGenerated, ParenStyleRecordsMatchTheirSource) {
    for (unsigned seed = 1; seed <= 60; ++seed) CheckGenerated(ParamStyle::kParen, seed);
}

TEST(ParseObjGenerated, ParenStyleWithEscapesKeepsColumnsOfTheFile) {
    for (unsigned seed = 1; seed <= 60; ++seed) CheckGenerated(ParamStyle::kParenEscapes, seed);
}

TEST(ParseObjGenerated, EqualStyleRecordsMatchTheirSource) {
    for (unsigned seed = 1; seed <= 60; ++seed) CheckGenerated(ParamStyle::kEqual, seed);
}

// ---- the parenthesis style ----

TEST(ParseObjParen, PairsNestingAndEmptyValues) {
    ParserOver p("name(a b) size(10);\n  x(a(b(c)d)) y() z\n");
    EXPECT_EQ(p.Paren(), 1);
    EXPECT_EQ(p.Pairs(), "1:0 name=a b\n1:10 size=10\n");
    EXPECT_EQ(p.Paren(), 2);
    EXPECT_EQ(p.Pairs(), "2:2 x=a(b(c)d)\n2:14 y=\n2:18 z=\n");
}

TEST(ParseObjParen, EscapedParenthesesDoNotCountAndColumnsFollowTheFile) {
    ParserOver p("a(b\\(c) x(\\)\\)) y(\\\\) z(1\\)\n");
    EXPECT_EQ(p.Paren(true), -2);
    EXPECT_EQ(p.parser.errorText, "Invalid token syntax -- unbalanced parentheses");
    EXPECT_EQ(p.Pairs(), "1:0 a=b(c\n1:8 x=))\n1:16 y=\\\n");

    ParserOver q("a(b\\(c)) k\n");  // without escapes the backslash is plain
    EXPECT_EQ(q.Paren(false), 2);
    EXPECT_EQ(q.Pairs(), "1:0 a=b\\(c)\n1:9 k=\n");
}

TEST(ParseObjParen, BlankBeforeParenthesisFailsAfterStoringTheKeyword) {
    ParserOver p("k (x)\nnext(1);\n");
    EXPECT_EQ(p.Paren(), -2);
    EXPECT_EQ(p.parser.errorText, "Invalid token syntax -- leading '('");
    EXPECT_EQ(p.Pairs(), "1:0 k=\n");
    // The next call starts on a fresh line with a fresh record.
    EXPECT_EQ(p.Paren(), 1);
    EXPECT_EQ(p.parser.errorText, "");
    EXPECT_EQ(p.Pairs(), "2:0 next=1\n");
}

TEST(ParseObjParen, UnbalancedValuesFail) {
    for (const char* text : {"k(\n", "k(abc\n", "k(a(b)\n"}) {
        ParserOver p(text);
        EXPECT_EQ(p.Paren(), -2) << text;
        EXPECT_EQ(p.parser.errorText, "Invalid token syntax -- unbalanced parentheses");
        EXPECT_EQ(p.Pairs(), "");
    }
}

TEST(ParseObjParen, CommentsBlankLinesAndMissingSemicolons) {
    ParserOver p("# only a comment ; (\n\t  \n\na(1) # b(2) ;\n  c\n");
    EXPECT_EQ(p.Paren(), 2);
    EXPECT_EQ(p.Pairs(), "4:0 a=1\n5:2 c=\n");
}

TEST(ParseObjParen, LinesLongerThanTheBufferArriveInPieces) {
    const std::string longKeyword(32767, 'a');
    ParserOver p(longKeyword + " b(1) c\nd\n");
    EXPECT_EQ(p.Paren(), 2);
    EXPECT_EQ(p.Pairs(), "1:0 " + longKeyword + "=\n2:1 b=1\n2:6 c=\n3:0 d=\n");
}

// ---- the equal style ----

TEST(ParseObjEqual, QuotedValuesKeepBlanksAndSemicolons) {
    ParserOver p("a=1 b=\"x; y\" c='p # q' d=\"open\n e=f;g=h\nlast\n");
    EXPECT_EQ(p.Equal(), 1);
    EXPECT_EQ(p.Pairs(), "1:0 a=1\n1:4 b=x; y\n1:13 c=p # q\n1:23 d=open\n2:1 e=f\n");
    EXPECT_EQ(p.Equal(), 2);
    EXPECT_EQ(p.Pairs(), "3:0 last=\n");
}

TEST(ParseObjEqual, KeywordWithEqualsAndNoValueIsAPairWithoutValue) {
    ParserOver p("a= b=2 c=\td=4 e=#x\nf=;\n");
    EXPECT_EQ(p.Equal(), 1);
    EXPECT_EQ(p.Pairs(), "1:0 a=\n1:3 b=2\n1:7 c=\n1:10 d=4\n1:14 e=\n2:0 f=\n");
}

TEST(ParseObjEqual, LeadingEqualsFails) {
    ParserOver p("ok=1\n =x\n");
    EXPECT_EQ(p.Equal(), -2);
    EXPECT_EQ(p.parser.errorText, "Invalid token syntax -- leading '='");
    EXPECT_EQ(p.Pairs(), "1:0 ok=1\n");
}

// ---- lifecycle and failures ----

TEST(ParseObjLifecycle, InitFailures) {
    ParseObj parser;
    EXPECT_EQ(parser.ParseEqualStyle(), -1);
    EXPECT_EQ(parser.errorText, "Parse object not initialized");
    EXPECT_EQ(parser.Init(nullptr), -1);
    EXPECT_EQ(parser.errorText, "Missing or invalid filename");
    EXPECT_EQ(parser.Init(""), -1);
    EXPECT_EQ(parser.errorText, "Missing or invalid filename");

    testutil::TempDir dir;
    const std::string path = dir.File("absent");
    EXPECT_EQ(parser.Init(path.c_str()), ENOENT);
    EXPECT_EQ(parser.errorText, "Function: Open, Filename: " + path +
                                    ", Mode: r\r\nFile open failed: \nWindows rc: 0x00000002\n" +
                                    std::strerror(ENOENT) + "\n");
    EXPECT_EQ(parser.ParseParenStyle(false), -1);
}

TEST(ParseObjLifecycle, ReadFailureReturnsTheSystemCode) {
    testutil::TempDir dir;
    ParseObj parser;
    ASSERT_EQ(parser.Init(dir.path().c_str()), 0);  // a directory opens, reads fail
    EXPECT_EQ(parser.ParseParenStyle(false), EISDIR);
    EXPECT_EQ(parser.errorText.rfind("Function: Fgets, Filename: " + dir.path(), 0), 0u)
        << parser.errorText;
}

TEST(ParseObjLifecycle, InitStartsOverAndLineNumbersFollow) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("a"), "x(1)\ny(2);\nz(3);\n");
    ParseObj parser;
    ASSERT_EQ(parser.Init(dir.File("a").c_str()), 0);
    EXPECT_EQ(parser.GetLineNumber(), 0);
    EXPECT_EQ(parser.ParseParenStyle(false), 1);
    EXPECT_EQ(parser.GetLineNumber(), 2);
    ASSERT_EQ(parser.Init(dir.File("a").c_str()), 0);
    EXPECT_EQ(parser.entries.size(), 0u);
    EXPECT_EQ(parser.ParseParenStyle(false), 1);
    ASSERT_EQ(parser.entries.size(), 2u);
    EXPECT_EQ(parser.entries[0].keyword, "x");
}

TEST(ParseEntryValue, CopiesAllFieldsComparesKeywordsOnly) {
    ParseEntry a;
    a.lineNumber = 3;
    a.column = 4;
    a.keyword = "k";
    a.value = "v";
    ParseEntry b(a);
    ParseEntry c;
    c = a;
    EXPECT_EQ(c.lineNumber, 3);
    EXPECT_EQ(c.column, 4);
    EXPECT_EQ(c.value, "v");
    b.value = "other";
    EXPECT_TRUE(a == b);
    b.keyword = "K";
    EXPECT_FALSE(a == b);
}

}  // namespace
