#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "config_test_util.h"
#include "krtools/params.h"
#include "testutil.h"

namespace {

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
