#include <cerrno>
#include <string>
#include <vector>

#include "config_test_util.h"
#include "krtools/params.h"
#include "params_generator.h"
#include "testutil.h"

namespace {

using configtest::ParamStyle;

// A parser over a file holding `text`, read in one style.
struct ParserOver {
    ParserOver(const std::string& text, ParamStyle style) : style(style) {
        testutil::WriteFile(dir.File("p.txt"), text);
        EXPECT_EQ(parser.Init(dir.File("p.txt").c_str()), 0) << parser.errorText;
    }
    int Next() {
        return style == ParamStyle::kEqual
                   ? parser.ParseEqualStyle()
                   : parser.ParseParenStyle(style == ParamStyle::kParenEscapes);
    }
    // "line:column keyword=value\n" per pair of the current record.
    std::string Pairs() const {
        std::string out;
        for (const auto& e : parser.entries) {
            out += std::to_string(e.lineNumber) + ":" + std::to_string(e.column) + " " + e.keyword +
                   "=" + e.value + "\n";
        }
        EXPECT_EQ(parser.entryCount, static_cast<int>(parser.entries.size()));
        return out;
    }
    testutil::TempDir dir;
    ParamStyle style;
    ParseObj parser;
};

std::string WithCrLf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? "\r\n" : std::string(1, c);
    return out;
}

// Odd seeds read the same text with CR LF line ends.
TEST(ParseObjGenerated, RecordsMatchTheirSourceInEveryStyle) {
    for (auto style : {ParamStyle::kParen, ParamStyle::kParenEscapes, ParamStyle::kEqual}) {
        for (unsigned seed = 1; seed <= 60; ++seed) {
            const auto generated = configtest::ParamsGenerator(seed, style).Generate(12);
            SCOPED_TRACE(generated.text);
            ParserOver p(seed % 2 ? WithCrLf(generated.text) : generated.text, style);
            for (size_t r = 0; r < generated.records.size(); ++r) {
                const bool open = r + 1 == generated.records.size() && !generated.lastRecordClosed;
                ASSERT_EQ(p.Next(), open ? 2 : 1) << "record " << r << ": " << p.parser.errorText;
                ASSERT_EQ(p.Pairs(), generated.records[r]) << "record " << r;
            }
            if (generated.lastRecordClosed) {
                EXPECT_EQ(p.Next(), 2);
                EXPECT_EQ(p.Pairs(), "");
            }
            EXPECT_EQ(p.parser.GetLineNumber(), 0);
            EXPECT_EQ(p.Next(), -1);
            EXPECT_EQ(p.parser.errorText, "Parse object not initialized");
        }
    }
}

TEST(ParseObjCases, ResultsPairsAndErrorTexts) {
    const std::string unbalanced = "Invalid token syntax -- unbalanced parentheses";
    const std::string longKeyword(32767, 'a');  // longer than the working buffer's line
    struct Step {
        int result;
        std::string pairs, error;
    };
    struct Case {
        ParamStyle style;
        std::string text;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {ParamStyle::kParen,
         "k (x)\nnext(1);\n",
         {{-2, "1:0 k=\n", "Invalid token syntax -- leading '('"}, {1, "2:0 next=1\n", ""}}},
        {ParamStyle::kParen, "k(\n", {{-2, "", unbalanced}}},
        {ParamStyle::kParen, "k(abc\n", {{-2, "", unbalanced}}},
        {ParamStyle::kParen, "k(a(b)\n", {{-2, "", unbalanced}}},
        {ParamStyle::kParenEscapes,
         "a(b\\(c) x(\\)\\)) y(\\\\) z(1\\)\n",
         {{-2, "1:0 a=b(c\n1:8 x=))\n1:16 y=\\\n", unbalanced}}},
        {ParamStyle::kParen, "a(b\\(c)) k\n", {{2, "1:0 a=b\\(c)\n1:9 k=\n", ""}}},
        {ParamStyle::kParen,
         longKeyword + " b(1) c\nd\n",
         {{2, "1:0 " + longKeyword + "=\n2:1 b=1\n2:6 c=\n3:0 d=\n", ""}}},
        {ParamStyle::kEqual,
         "ok=1\n =x\n",
         {{-2, "1:0 ok=1\n", "Invalid token syntax -- leading '='"}}},
        {ParamStyle::kEqual,
         "a= b=2 c=\td=4 e=#x\nf=;\nd=\"open\n e=f;g=h\nlast\n",
         {{1, "1:0 a=\n1:3 b=2\n1:7 c=\n1:10 d=4\n1:14 e=\n2:0 f=\n", ""},
          {1, "3:0 d=open\n4:1 e=f\n", ""},
          {2, "5:0 last=\n", ""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        ParserOver p(c.text, c.style);
        for (const auto& step : c.steps) {
            EXPECT_EQ(p.Next(), step.result);
            EXPECT_EQ(p.Pairs(), step.pairs);
            EXPECT_EQ(p.parser.errorText, step.error);
        }
    }
}

TEST(ParseObjLifecycle, InitFailuresReadFailuresAndRestarts) {
    testutil::TempDir dir;
    ParseObj parser;
    EXPECT_EQ(parser.ParseEqualStyle(), -1);
    EXPECT_EQ(parser.errorText, "Parse object not initialized");
    for (const char* name : {static_cast<const char*>(nullptr), ""}) {
        EXPECT_EQ(parser.Init(name), -1);
        EXPECT_EQ(parser.errorText, "Missing or invalid filename");
    }
    const std::string absent = dir.File("absent");
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
        EXPECT_EQ(parser.GetLineNumber(), 0);
        EXPECT_EQ(parser.entries.size(), 0u);
        EXPECT_EQ(parser.ParseParenStyle(false), 1);
        EXPECT_EQ(parser.GetLineNumber(), 2);
        ASSERT_EQ(parser.entries.size(), 2u);
        EXPECT_EQ(parser.entries[1].keyword, "y");
    }
    ParseEntry copy(parser.entries[0]), other;
    other = parser.entries[1];
    EXPECT_EQ(other.lineNumber, 2);
    EXPECT_EQ(other.value, "2");
    copy.value = "changed";
    EXPECT_TRUE(copy == parser.entries[0]);  // keywords only
    EXPECT_FALSE(copy == other);
}

}  // namespace
