#include <random>
#include <string>
#include <vector>

#include "config_test_util.h"
#include "krtools/params.h"
#include "testutil.h"

namespace {

// A reader context over a file holding `text`.
class ContextOver {
public:
    explicit ContextOver(const std::string& text) : path_(dir_.File("plain.txt")) {
        testutil::WriteFile(path_, text);
        context = ParseContext{};
        context.fileName = path_.c_str();
    }
    // "keyword|value" of the last result (value "-" when null).
    std::string Pair() const {
        std::string out(context.keyword, static_cast<size_t>(context.keywordLength));
        out += "|";
        out += context.value == nullptr
                   ? std::string("-")
                   : std::string(context.value, static_cast<size_t>(context.valueLength));
        return out;
    }

    ParseContext context;

private:
    testutil::TempDir dir_;
    std::string path_;
};

// ---- ParseParenStyle ----

TEST(PlainParen, PairsCountTheParenthesisInTheKeywordLength) {
    ContextOver c("name(a b) size(3)\r\n next( spaced\t)\n");
    ASSERT_EQ(ParseParenStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "name(|a b");
    EXPECT_EQ(c.context.valueLength, 3);
    ASSERT_EQ(ParseParenStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "size(|3");
    EXPECT_EQ(c.context.cursor, nullptr);  // the line is used up
    ASSERT_EQ(ParseParenStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "next(|spaced");
    EXPECT_EQ(ParseParenStyle(&c.context), 2);
    EXPECT_EQ(c.context.keyword, nullptr);
    EXPECT_EQ(c.context.fp, nullptr);
    EXPECT_EQ(c.context.buffer, nullptr);
}

TEST(PlainParen, SemicolonsCommentsAndKeywordsAlone) {
    ContextOver c("# comment (x)\n\n  alone;ignored(1)\nk(a(b)c) #x\n;\nopen(ab\nk2()\n");
    ASSERT_EQ(ParseParenStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "alone|-");
    ASSERT_EQ(ParseParenStyle(&c.context), 1);
    EXPECT_EQ(*c.context.keyword, ';');
    EXPECT_EQ(c.context.keywordLength, 0);
    ASSERT_EQ(ParseParenStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "k(|a(b)c");
    ASSERT_EQ(ParseParenStyle(&c.context), 1);  // the comment is skipped first
    // A parenthesis still open at the end of the line ends the pair there.
    ASSERT_EQ(ParseParenStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "open(|");
    ASSERT_NE(c.context.value, nullptr);
    EXPECT_EQ(*c.context.value, 'a');
    ASSERT_EQ(ParseParenStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "k2(|-");
    EXPECT_EQ(ParseParenStyle(&c.context), 2);
}

TEST(PlainParen, LongLinesArriveInPiecesAndMissingFilesGive60) {
    ContextOver c(std::string(1030, 'x') + "\n");
    ASSERT_EQ(ParseParenStyle(&c.context), 0);
    EXPECT_EQ(c.context.keywordLength, 1023);
    ASSERT_EQ(ParseParenStyle(&c.context), 0);
    EXPECT_EQ(c.context.keywordLength, 7);
    EXPECT_EQ(ParseParenStyle(&c.context), 2);

    ParseContext missing{};
    missing.fileName = "/nonexistent/plain.txt";
    EXPECT_EQ(ParseParenStyle(&missing), 60);
    EXPECT_EQ(ParseEqualStyle(&missing), 60);
    EXPECT_EQ(missing.fp, nullptr);
    EXPECT_EQ(missing.buffer, nullptr);
}

// ---- ParseEqualStyle ----

TEST(PlainEqual, QuotedValuesLoseTheirQuotes) {
    ContextOver c("a=1 b=\"x y\"\n");
    ASSERT_EQ(ParseEqualStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "a|1");
    EXPECT_EQ(c.context.keyword[1], '\0');  // zero-terminated in place
    ASSERT_EQ(ParseEqualStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "b|x y");
    EXPECT_EQ(c.context.valueLength, 3);
    EXPECT_EQ(ParseEqualStyle(&c.context), 2);
}

TEST(PlainEqual, TabsBelongToTokensEmptyLinesAndTrailingSpacesAreSkipped) {
    ContextOver c("a\tb=1\t2   \n\n   \nk=v;w # c=d\nlast\n");
    ASSERT_EQ(ParseEqualStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "a\tb|1\t2");
    ASSERT_EQ(ParseEqualStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "k|v;w");
    ASSERT_EQ(ParseEqualStyle(&c.context), 0);
    EXPECT_EQ(c.Pair(), "last|-");
    EXPECT_EQ(ParseEqualStyle(&c.context), 2);
}

// ---- GetToken ----

TEST(GetTokenSplit, SeparatorsOutsideParentheses) {
    char text[] = "a(b, c),d e";
    char* cursor = text;
    std::vector<std::string> tokens;
    while (char* token = GetToken(&cursor)) tokens.push_back(token);
    EXPECT_EQ(tokens, (std::vector<std::string>{"a(b, c)", "d", "e"}));
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(GetToken(&cursor), nullptr);
    EXPECT_EQ(GetToken(nullptr), nullptr);

    char separators[] = " ,, ";
    cursor = separators;
    EXPECT_EQ(GetToken(&cursor), nullptr);
    char empty[] = "";
    cursor = empty;
    EXPECT_EQ(GetToken(&cursor), nullptr);
    EXPECT_EQ(cursor, nullptr);
}

TEST(GetTokenSplit, GeneratedTokensComeBackInOrder) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> tokens;
        std::string text = configtest::RandomText(rng, " ,", 0, 3);
        for (int n = static_cast<int>(rng() % 6); n > 0; --n) {
            std::string token = configtest::RandomText(rng, "abc()", 1, 6);
            // Close every parenthesis the token opened, with separators inside.
            int depth = 0;
            for (char ch : token) {
                if (ch == '(') ++depth;
                if (ch == ')' && depth > 0) --depth;
            }
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
    }
}

// ---- GetElement and SkipElements ----

TEST(Elements, EscapesStopsAndTerminators) {
    const char text[] = "a\\,b,c";
    char out[16] = {};
    EXPECT_EQ(GetElement(text, out, 16, '\\', ',', '\0', '\0'), 3);
    EXPECT_EQ(std::string(out, 3), "a,b");
    EXPECT_EQ(GetElement(text, out, 0, '\\', ',', '\0', '\0'), 0);
    EXPECT_EQ(GetElement(text, out, 2, '\\', ',', '\0', '\0'), 2);
    // Without NUL as a stop character the copy goes on past it.
    const char nul[] = {'a', '\0', 'b', ';'};
    EXPECT_EQ(GetElement(nul, out, 16, '\\', ';', ',', ','), 3);

    char record[] = "a,b,c";
    char* cursor = record;
    EXPECT_EQ(SkipElements(&cursor, 2, '\\', ',', '\0'), 2);
    EXPECT_EQ(*cursor, 'c');
    char semicolon[] = "a;b";
    cursor = semicolon;
    EXPECT_EQ(SkipElements(&cursor, 2, '\\', ',', ';'), 0);
    EXPECT_EQ(*cursor, 'b');
    cursor = semicolon;
    EXPECT_EQ(SkipElements(&cursor, 0, '\\', ',', ';'), 0);
    EXPECT_EQ(cursor, semicolon);
    char escapedEnd[] = "a\\";
    cursor = escapedEnd;
    EXPECT_EQ(SkipElements(&cursor, 3, '\\', ',', '\0'), 0);
    EXPECT_EQ(cursor, escapedEnd + 3);
}

TEST(Elements, GeneratedRecordsSkipAndCopyEachField) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> fields;
        std::string record;
        const int count = 1 + static_cast<int>(rng() % 6);
        for (int f = 0; f < count; ++f) {
            const std::string field = configtest::RandomText(rng, "ab,\\;x", 0, 8);
            fields.push_back(field);
            for (char ch : field) {
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
            if (f == 0) {
                ASSERT_EQ(cursor, buffer.data());
            }
            char out[64];
            const int copied = GetElement(cursor, out, 64, '\\', ',', '\0', '\0');
            ASSERT_EQ(std::string(out, static_cast<size_t>(copied)), fields[f]) << record;
        }
        char* cursor = buffer.data();
        EXPECT_EQ(SkipElements(&cursor, count, '\\', ',', '\0'), 0) << record;
        EXPECT_EQ(cursor, buffer.data() + buffer.size());
    }
}

}  // namespace
