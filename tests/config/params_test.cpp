#include <cerrno>
#include <random>
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

void InitOn(ParseObj& parser, const testutil::TempDir& dir, const std::string& text) {
    testutil::WriteFile(dir.File("p.txt"), text);
    ASSERT_EQ(parser.Init(dir.File("p.txt").c_str()), 0) << parser.errorText;
}

// Odd seeds read the same text with CR LF line ends.
TEST(ParseObjGenerated, RecordsMatchTheirSourceInEveryStyle) {
    testutil::TempDir dir;
    ParseObj parser;
    for (auto style : {ParamStyle::kParen, ParamStyle::kParenEscapes, ParamStyle::kEqual}) {
        for (unsigned seed = 1; seed <= 60; ++seed) {
            const auto generated = configtest::ParamsGenerator(seed, style).Generate(11);
            SCOPED_TRACE(generated.text);
            std::string text;
            for (char c : generated.text)
                text += c == '\n' && seed % 2 ? "\r\n" : std::string(1, c);
            InitOn(parser, dir, text);
            if (seed % 3 == 0) {  // a new Init in the middle of a file starts over
                Next(parser, style);
                InitOn(parser, dir, text);
            }
            for (size_t r = 0; r < generated.records.size(); ++r) {
                const bool last = r + 1 == generated.records.size();
                ASSERT_EQ(Next(parser, style), last ? 2 : 1) << r << ": " << parser.errorText;
                ASSERT_EQ(Pairs(parser), generated.records[r]) << "record " << r;
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
        InitOn(parser, dir, text);
        for (const auto& [result, pairs, error] : steps) {
            EXPECT_EQ(Next(parser, style), result);
            EXPECT_EQ(Pairs(parser), pairs);
            EXPECT_EQ(parser.errorText, error);
        }
    }
}

TEST(ParseObjLifecycle, InitAndReadFailuresThenEntryCopies) {
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
    ASSERT_EQ(parser.Init(dir.path().c_str()), 0);  // a directory opens, reads fail
    EXPECT_EQ(parser.ParseParenStyle(false), EISDIR);
    EXPECT_EQ(parser.errorText,
              configtest::FileErrorText("Fgets", dir.path(), "r", "File fgets failed: ", EISDIR));
    InitOn(parser, dir, "x(1)\n y(2);\nz(3);\n");
    EXPECT_EQ(parser.ParseParenStyle(false), 1);
    EXPECT_EQ(parser.GetLineNumber(), 2);
    ASSERT_EQ(parser.entries.size(), 2u);
    ParseEntry copy(parser.entries[0]);
    copy.value = "changed";
    EXPECT_TRUE(copy == parser.entries[0] && !(copy == parser.entries[1]));  // keywords only
    parser.entries[0] = parser.entries[1];
    EXPECT_EQ(Pairs(parser), "2:1 y=2\n2:1 y=2\n");
}

// Each case lists the result of every call up to the end of the file, with
// the keyword (cut to keywordLength) and the value ("-" when null) after it.
TEST(PlainReaders, ResultsAndPairsOfEachCall) {
    const std::vector<std::tuple<bool, std::string, std::string>> cases = {
        {true, "name(a b) size(3)\r\n next( spaced\t)\n",
         "0 name(|a b\n0 size(|3\n0 next(|spaced\n2\n"},
        {true, "# comment (x)\n\n  alone;ignored(1)\nk(a(b)c) #x\n;\nopen(ab\nk2()\n",
         "0 alone|-\n1 ;\n0 k(|a(b)c\n1 ;\n0 open(|\n0 k2(|-\n2\n"},
        {true, std::string(1030, 'x') + "\n",  // read in pieces of 1023
         "0 " + std::string(1023, 'x') + "|-\n0 xxxxxxx|-\n2\n"},
        {false, "a=1 b=\"x y\"\na\tb=1\t2   \n\n   \nk=v;w # c=d\nlast\n",
         "0 a|1\n0 b|x y\n0 a\tb|1\t2\n0 k|v;w\n0 last|-\n2\n"},
    };
    testutil::TempDir dir;
    const std::string path = dir.File("plain.txt");
    for (const auto& [paren, text, expected] : cases) {
        SCOPED_TRACE(text.substr(0, 40));
        testutil::WriteFile(path, text);
        ParseContext c{};
        c.fileName = path.c_str();
        std::string got;
        for (int result = 0, calls = 0; result != 2 && calls < 20; ++calls) {
            result = paren ? ParseParenStyle(&c) : ParseEqualStyle(&c);
            got += std::to_string(result);
            if (result == 1) got += std::string(" ") + *c.keyword;
            if (result == 0) {
                got += " " + std::string(c.keyword, static_cast<size_t>(c.keywordLength)) + "|" +
                       (c.value ? std::string(c.value, static_cast<size_t>(c.valueLength)) : "-");
                // The equal reader zero-terminates the keyword in place.
                EXPECT_TRUE(paren || c.keyword[c.keywordLength] == '\0');
            }
            got += "\n";
        }
        EXPECT_EQ(got, expected);
        EXPECT_EQ(c.keyword, nullptr);
    }
    ParseContext missing{};
    missing.fileName = "/nonexistent/plain.txt";
    EXPECT_EQ(ParseParenStyle(&missing), 60);
    EXPECT_EQ(ParseEqualStyle(&missing), 60);
    EXPECT_EQ(missing.buffer, nullptr);
}

// Random tokens, with separators nested in parentheses, come back in order.
TEST(GetTokenSplit, GeneratedTextsGiveBackTheirTokens) {
    EXPECT_EQ(GetToken(nullptr), nullptr);
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> tokens;
        std::string text = configtest::RandomText(rng, " ,", 0, 3);
        for (int n = static_cast<int>(rng() % 6); n > 0; --n) {
            std::string token = configtest::RandomText(rng, "abc()", 1, 6);
            int depth = 0;
            for (char ch : token) depth += ch == '(' ? 1 : ch == ')' && depth > 0 ? -1 : 0;
            for (; depth > 0; --depth) token += configtest::RandomText(rng, "x ,", 0, 3) + ")";
            tokens.push_back(token);
            text += token + configtest::RandomText(rng, " ,", 1, 3);
        }
        std::string buffer = text;
        char* cursor = buffer.data();
        std::vector<std::string> got;
        while (char* token = GetToken(&cursor)) got.push_back(token);
        ASSERT_EQ(got, tokens) << text;
        EXPECT_TRUE(!text.empty() || cursor == nullptr);
        EXPECT_EQ(GetToken(&cursor), nullptr);
    }
}

TEST(Elements, GeneratedRecordsSkipAndCopyEachField) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> fields;
        std::string record;
        const int count = 1 + static_cast<int>(rng() % 6);
        for (int f = 0; f < count; ++f) {
            fields.push_back(configtest::RandomText(rng, "ab,\\;x", 0, 8));
            for (char ch : fields.back()) {
                if (ch == ',' || ch == '\\' || (ch == 'x' && rng() % 2 == 0)) record += '\\';
                record += ch;
            }
            if (f + 1 < count) record += ',';
        }
        std::string buffer = record;
        for (int f = 0; f < count; ++f) {
            char* cursor = buffer.data();
            ASSERT_EQ(SkipElements(&cursor, f, '\\', ',', '\0'), f) << record;
            char out[64];
            const int copied = GetElement(cursor, out, 64, '\\', ',', '\0', '\0');
            ASSERT_EQ(std::string(out, static_cast<size_t>(copied)), fields[f]) << record;
            EXPECT_EQ(GetElement(cursor, out, copied > 1 ? 1 : 0, '\\', ',', '\0', '\0'),
                      copied > 1 ? 1 : 0);
        }
        char* cursor = buffer.data();
        EXPECT_EQ(SkipElements(&cursor, count, '\\', ',', '\0'), 0) << record;
        EXPECT_EQ(cursor, buffer.data() + buffer.size() + 1);  // past the terminating NUL
    }
    const char nul[] = {'a', '\0', 'b', ';'};
    char out[8];
    EXPECT_EQ(GetElement(nul, out, 8, '\\', ';', ',', ','), 3);  // NUL is no stop here
    char escapedEnd[] = "a\\";  // an escape never carries a scan past the final NUL
    EXPECT_EQ(GetElement(escapedEnd, out, 8, '\\', ',', '\0', '\0'), 1);
    char* cursor = escapedEnd;
    EXPECT_EQ(SkipElements(&cursor, 3, '\\', ',', '\0'), 0);
    EXPECT_EQ(cursor, escapedEnd + 3);
}

}  // namespace
