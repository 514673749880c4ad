#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "config_test_util.h"
#include "krtools/params.h"
#include "testutil.h"

namespace {

using configtest::ParamStyle;

// "line:column keyword=value\n" per pair of the current record.
std::string Pairs(const ParseObj& parser) {
    std::string out;
    for (const auto& e : parser.entries) {
        out += std::to_string(e.lineNumber) + ":" + std::to_string(e.column) + " " + e.keyword +
               "=" + e.value + "\n";
    }
    EXPECT_EQ(parser.entryCount, static_cast<int>(parser.entries.size()));
    return out;
}

int Next(ParseObj& parser, ParamStyle style) {
    if (style == ParamStyle::kEqual) return parser.ParseEqualStyle();
    return parser.ParseParenStyle(style == ParamStyle::kParenEscapes);
}

// A parser over a new file holding `text`.
void Open(ParseObj& parser, const testutil::TempDir& dir, const std::string& text) {
    testutil::WriteFile(dir.File("p.txt"), text);
    ASSERT_EQ(parser.Init(dir.File("p.txt").c_str()), 0) << parser.errorText;
}

// Odd seeds read the same text with CR LF line ends.
TEST(ParseObjGenerated, RecordsMatchTheirSourceInEveryStyle) {
    testutil::TempDir dir;
    ParseObj parser;
    for (auto style : {ParamStyle::kParen, ParamStyle::kParenEscapes, ParamStyle::kEqual}) {
        for (unsigned seed = 1; seed <= 60; ++seed) {
            const auto generated = configtest::ParamsGenerator(seed, style).Generate(12);
            SCOPED_TRACE(generated.text);
            std::string text;
            for (char c : generated.text)
                text += c == '\n' && seed % 2 ? "\r\n" : std::string(1, c);
            Open(parser, dir, text);
            for (size_t r = 0; r < generated.records.size(); ++r) {
                const bool open = r + 1 == generated.records.size() && !generated.lastRecordClosed;
                ASSERT_EQ(Next(parser, style), open ? 2 : 1)
                    << "record " << r << ": " << parser.errorText;
                ASSERT_EQ(Pairs(parser), generated.records[r]) << "record " << r;
            }
            if (generated.lastRecordClosed) {
                EXPECT_EQ(Next(parser, style), 2);
                EXPECT_EQ(Pairs(parser), "");
            }
            EXPECT_EQ(parser.GetLineNumber(), 0);
            EXPECT_EQ(Next(parser, style), -1);
            EXPECT_EQ(parser.errorText, "Parse object not initialized");
        }
    }
}

// A failed call keeps the pairs stored so far; the next call starts on a
// fresh line.
TEST(ParseObjCases, ResultsPairsAndErrorTexts) {
    const std::string unbalanced = "Invalid token syntax -- unbalanced parentheses";
    const std::string longKeyword(32767, 'a');  // longer than the working buffer's line
    using Steps = std::vector<std::tuple<int, std::string, std::string>>;
    const std::vector<std::tuple<ParamStyle, std::string, Steps>> cases = {
        {ParamStyle::kParen,
         "k (x)\nnext(1);\nk(\nk(abc\nk(a(b)\na(b\\(c)) k\n" + longKeyword + " b(1) c\nd\n",
         {{-2, "1:0 k=\n", "Invalid token syntax -- leading '('"},
          {1, "2:0 next=1\n", ""},
          {-2, "", unbalanced},
          {-2, "", unbalanced},
          {-2, "", unbalanced},
          {2, "6:0 a=b\\(c)\n6:9 k=\n7:0 " + longKeyword + "=\n8:1 b=1\n8:6 c=\n9:0 d=\n", ""}}},
        {ParamStyle::kParenEscapes,
         "a(b\\(c) x(\\)\\)) y(\\\\) z(1\\)\n",
         {{-2, "1:0 a=b(c\n1:8 x=))\n1:16 y=\\\n", unbalanced}}},
        {ParamStyle::kEqual,
         "ok=1\n =x\na= b=2 c=\td=4 e=#x\nf=;\nd=\"open\n e=f;g=h\nlast\n",
         {{-2, "1:0 ok=1\n", "Invalid token syntax -- leading '='"},
          {1, "3:0 a=\n3:3 b=2\n3:7 c=\n3:10 d=4\n3:14 e=\n4:0 f=\n", ""},
          {1, "5:0 d=open\n6:1 e=f\n", ""},
          {2, "7:0 last=\n", ""}}},
    };
    testutil::TempDir dir;
    for (const auto& [style, text, steps] : cases) {
        SCOPED_TRACE(text.substr(0, 60));
        ParseObj parser;
        Open(parser, dir, text);
        for (const auto& [result, pairs, error] : steps) {
            EXPECT_EQ(Next(parser, style), result);
            EXPECT_EQ(Pairs(parser), pairs);
            EXPECT_EQ(parser.errorText, error);
        }
    }
}

TEST(ParseObjLifecycle, InitFailuresReadFailuresAndRestarts) {
    testutil::TempDir dir;
    const std::string absent = dir.File("absent");
    ParseObj parser;
    EXPECT_EQ(parser.ParseEqualStyle(), -1);
    EXPECT_EQ(parser.errorText, "Parse object not initialized");
    for (const char* name : {static_cast<const char*>(nullptr), ""}) {
        EXPECT_EQ(parser.Init(name), -1);
        EXPECT_EQ(parser.errorText, "Missing or invalid filename");
    }
    EXPECT_EQ(parser.Init(absent.c_str()), ENOENT);
    EXPECT_EQ(parser.errorText,
              configtest::FileErrorText("Open", absent, "r", "File open failed: ", ENOENT));
    EXPECT_EQ(parser.ParseParenStyle(false), -1);
    ASSERT_EQ(parser.Init(dir.path().c_str()), 0);  // a directory opens, reads fail
    EXPECT_EQ(parser.ParseParenStyle(false), EISDIR);
    EXPECT_EQ(parser.errorText,
              configtest::FileErrorText("Fgets", dir.path(), "r", "File fgets failed: ", EISDIR));

    testutil::WriteFile(dir.File("a"), "x(1)\ny(2);\nz(3);\n");
    for (int round = 0; round < 2; ++round) {  // a new Init starts over
        ASSERT_EQ(parser.Init(dir.File("a").c_str()), 0);
        EXPECT_EQ(parser.ParseParenStyle(false), 1);
        EXPECT_EQ(parser.GetLineNumber(), 2);
        ASSERT_EQ(Pairs(parser), "1:0 x=1\n2:0 y=2\n");
    }
    ParseEntry copy(parser.entries[0]);
    copy.value = "changed";
    EXPECT_TRUE(copy == parser.entries[0]);  // keywords only
    EXPECT_FALSE(copy == parser.entries[1]);
}

}  // namespace
