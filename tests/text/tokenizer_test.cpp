#include "krtools/tokenizer.h"

#include <algorithm>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

using Tokens = std::vector<std::string>;

// Every token, read forwards, or backwards from the end.
Tokens Walk(KRStringTokenizer& t, bool backwards = false) {
    Tokens tokens;
    backwards ? t.GoToAfterLastToken() : t.GoToBeforeFirstToken();
    for (std::string token; backwards ? t.GetPreviousToken(token) : t.GetNextToken(token);) {
        tokens.insert(backwards ? tokens.begin() : tokens.end(), token);
    }
    return tokens;
}

// Tokens found by each of |moves| ('+' next, '-' previous), "." when none.
std::string Moves(KRStringTokenizer& t, const std::string& moves) {
    std::string found, token;
    for (char move : moves) {
        const bool hit = move == '+' ? t.GetNextToken(token) : t.GetPreviousToken(token);
        found += (found.empty() ? "" : " ") + (hit ? token : ".");
    }
    return found;
}

// "<rc> <text>" of the KRException that |body| throws, "" when none.
std::string Thrown(const std::function<void()>& body) {
    try {
        body();
    } catch (const KRException& e) {
        return std::to_string(e.rc) + " " + e.text;
    }
    return "";
}

TEST(TokenizerSplit, NulBytesAndDegenerateInputs) {
    const std::string nul(1, '\0');
    KRStringTokenizer inText(std::string("a\0b;\0", 5), std::string(";"), false);
    EXPECT_EQ(Walk(inText), (Tokens{std::string("a\0b", 3), nul}));
    KRStringTokenizer asDelimiter("a\0b", 3, nul, true);
    EXPECT_EQ(Walk(asDelimiter, true), (Tokens{"a", nul, "b"}));
    KRStringTokenizer none, negative("abc", -3, false);
    EXPECT_FALSE(none.GoToBeforeFirstToken() || none.GoToAfterLastToken());
    EXPECT_FALSE(negative.GoToBeforeFirstToken());
    const Tokens* tokens = none.Tokenize("k l", 3, std::string(" "), false);
    EXPECT_EQ(*tokens, (Tokens{"k", "l"}));
    EXPECT_EQ(none.Tokenize(tokens->at(1), std::string(";"), false), tokens);  // own token as text
    EXPECT_EQ(*tokens, Tokens{"l"});
}

// Oracle: an ECMAScript regex takes the leftmost match and there the first alternative
// that matches; alternatives ordered by length (stably) give the tokenizer's rule.
Tokens RegexSplit(const std::string& text, Tokens delimiters, bool include) {
    delimiters.erase(std::remove(delimiters.begin(), delimiters.end(), ""), delimiters.end());
    if (delimiters.empty()) return text.empty() ? Tokens{} : Tokens{text};
    std::stable_sort(delimiters.begin(), delimiters.end(), [&](const auto& a, const auto& b) {
        return include ? a.size() > b.size() : a.size() < b.size();
    });
    std::string pattern;
    for (const auto& d : delimiters) {
        if (!pattern.empty()) pattern += '|';
        // Escape punctuation only: an escaped letter may be an assertion.
        pattern += std::regex_replace(d, std::regex("[^A-Za-z0-9]"), "\\$&");
    }
    const std::regex re(pattern);
    Tokens tokens;
    auto at = text.cbegin();
    for (std::smatch m; std::regex_search(at, text.cend(), m, re); at = m[0].second) {
        if (m.position(0) > 0) tokens.emplace_back(at, m[0].first);
        if (include) tokens.push_back(m.str(0));
    }
    if (at != text.cend()) tokens.emplace_back(at, text.cend());
    return tokens;
}

TEST(TokenizerSplit, AgreesWithRegexSplitOnRandomTexts) {
    std::mt19937 random(77);
    auto word = [&](size_t maxLength) {
        std::string w(random() % (maxLength + 1), ' ');
        for (char& c : w) c = "ab,;"[random() % 4];
        return w;
    };
    KRStringTokenizer tokenizer;
    const Tokens* tokens = tokenizer.Tokenize(std::string(), std::string(), false);
    for (int round = 0; round < 2000; ++round) {
        const std::string text = word(24);
        Tokens delimiters;
        for (int n = round % 4 + 1; n > 0; --n) delimiters.push_back(word(3));
        const bool include = round % 2 == 1;
        const Tokens expected = RegexSplit(text, delimiters, include);
        ASSERT_EQ(round % 3 ? tokenizer.Tokenize(text, delimiters, include)
                            : tokenizer.Tokenize(text.data(), static_cast<int>(text.size()),
                                                 delimiters, include),
                  tokens);  // the same vector, refilled
        ASSERT_EQ(*tokens, expected) << "text '" << text << "' include " << include;
        KRStringTokenizer fromPointer(text.data(), static_cast<int>(text.size()), delimiters,
                                      include);
        ASSERT_EQ(Walk(fromPointer, round % 3 == 0), expected);
    }
}

TEST(TokenizerCursor, CursorKeepsMovingPastBothEnds) {
    KRStringTokenizer tokenizer(std::string("a b"), false);
    EXPECT_EQ(Moves(tokenizer, "++++--"), "a b . . . b");  // cursor 0 1 2 3 2 1
    tokenizer.GoToBeforeFirstToken();
    EXPECT_EQ(Moves(tokenizer, "-++"), ". . a");  // cursor -2 -1 0
}

TEST(TokenizerCursor, BufferFormsKeepToTheBuffer) {
    KRStringTokenizer tokenizer(std::string("abcd xy"), false);
    char buffer[9] = "########";
    int length = -7;
    const std::string noRoom = "\nNot enough room to store token in buffer";
    EXPECT_EQ(Thrown([&] { tokenizer.GetNextToken(buffer, &length, 3); }),
              "-1 KRStringTokenizer::GetNextToken" + noRoom);
    EXPECT_EQ(std::string(buffer, 8), "########");
    EXPECT_EQ(length, -7);
    // The cursor moved onto "abcd"; one back and forward again with room.
    EXPECT_FALSE(tokenizer.GetPreviousToken(buffer, &length, 8));
    EXPECT_TRUE(tokenizer.GetNextToken(buffer, &length, 4));
    EXPECT_EQ(length, 4);
    EXPECT_EQ(std::string(buffer, 8), "abcd####");  // exact fit: no NUL
    EXPECT_TRUE(tokenizer.GetNextToken(buffer, &length, 6));
    EXPECT_EQ(length, 2);
    EXPECT_EQ(std::string(buffer, 8), std::string("xy\0\0\0\0##", 8));
    EXPECT_FALSE(tokenizer.GetNextToken(buffer, &length, 6));
    EXPECT_EQ(Thrown([&] { tokenizer.GetPreviousToken(buffer, &length, -1); }),
              "-1 KRStringTokenizer::GetPreviousToken" + noRoom);
    EXPECT_TRUE(tokenizer.GetPreviousToken(buffer, &length, 4));
    EXPECT_EQ(std::string(buffer, 4), "abcd");
}

// Reaches the protected state that no public call leaves behind.
struct NotTokenized : KRStringTokenizer {
    NotTokenized() { tokenized = false; }
};

TEST(TokenizerCursor, EveryCursorOperationRequiresASplit) {
    NotTokenized t;
    std::string token;
    char buffer[4];
    int length = 0;
    const std::pair<std::string, std::function<void()>> calls[] = {
        {"GoToBeforeFirstToken", [&] { t.GoToBeforeFirstToken(); }},
        {"GoToAfterLastToken", [&] { t.GoToAfterLastToken(); }},
        {"GetNextToken", [&] { t.GetNextToken(token); }},
        {"GetPreviousToken", [&] { t.GetPreviousToken(buffer, &length, 4); }}};
    for (const auto& [name, call] : calls) {
        EXPECT_EQ(Thrown(call),
                  "-1 KRStringTokenizer::" + name + "\nString has not yet been tokenized");
    }
}

}  // namespace
