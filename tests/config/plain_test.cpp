#include <random>
#include <string>
#include <utility>
#include <vector>

#include "config_test_util.h"
#include "krtools/params.h"
#include "testutil.h"

namespace {

// "keyword|value" of a reader result, the keyword cut to keywordLength and
// the value "-" when null.
std::string Pair(const ParseContext& c) {
    return std::string(c.keyword, static_cast<size_t>(c.keywordLength)) + "|" +
           (c.value ? std::string(c.value, static_cast<size_t>(c.valueLength)) : "-");
}

TEST(PlainReaders, ResultsAndPairsOfEachCall) {
    struct Case {
        bool paren;
        std::string text;
        std::vector<std::pair<int, std::string>> steps;
    };
    const std::vector<Case> cases = {
        {true,
         "name(a b) size(3)\r\n next( spaced\t)\n",
         {{0, "name(|a b"}, {0, "size(|3"}, {0, "next(|spaced"}, {2, ""}}},
        {true,
         "# comment (x)\n\n  alone;ignored(1)\nk(a(b)c) #x\n;\nopen(ab\nk2()\n",
         {{0, "alone|-"},
          {1, "|-"},
          {0, "k(|a(b)c"},
          {1, "|-"},
          {0, "open(|"},
          {0, "k2(|-"},
          {2, ""}}},
        {true,
         std::string(1030, 'x') + "\n",  // read in pieces of 1023
         {{0, std::string(1023, 'x') + "|-"}, {0, "xxxxxxx|-"}, {2, ""}}},
        {false,
         "a=1 b=\"x y\"\na\tb=1\t2   \n\n   \nk=v;w # c=d\nlast\n",
         {{0, "a|1"}, {0, "b|x y"}, {0, "a\tb|1\t2"}, {0, "k|v;w"}, {0, "last|-"}, {2, ""}}},
    };
    testutil::TempDir dir;
    const std::string path = dir.File("plain.txt");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        testutil::WriteFile(path, c.text);
        ParseContext context{};
        context.fileName = path.c_str();
        for (const auto& [result, pair] : c.steps) {
            ASSERT_EQ(c.paren ? ParseParenStyle(&context) : ParseEqualStyle(&context), result);
            if (result == 2) {
                EXPECT_EQ(context.keyword, nullptr);
            } else {
                EXPECT_EQ(Pair(context), pair);
                EXPECT_EQ(*context.keyword, result == 1 ? ';' : pair[0]);
                // The equal reader zero-terminates keyword and value in place.
                EXPECT_TRUE(c.paren || context.keyword[context.keywordLength] == '\0');
            }
        }
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
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
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
        std::vector<char> buffer(record.begin(), record.end());
        buffer.push_back('\0');
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
        EXPECT_EQ(cursor, buffer.data() + buffer.size());
    }
    // NUL is copied unless it is a stop; a terminator ends the skip early.
    const char nul[] = {'a', '\0', 'b', ';'};
    char out[8];
    EXPECT_EQ(GetElement(nul, out, 8, '\\', ';', ',', ','), 3);
    char semicolon[] = "a;b";
    char* cursor = semicolon;
    EXPECT_EQ(SkipElements(&cursor, 2, '\\', ',', ';'), 0);
    EXPECT_EQ(cursor, semicolon + 2);
    char escapedEnd[] = "a\\";  // an escaped terminator still ends the record
    cursor = escapedEnd;
    EXPECT_EQ(SkipElements(&cursor, 3, '\\', ',', '\0'), 0);
    EXPECT_EQ(cursor, escapedEnd + 3);
}

}  // namespace
