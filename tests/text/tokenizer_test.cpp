#include "krtools/tokenizer.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

using Tokens = std::vector<std::string>;

Tokens Walk(KRStringTokenizer& tokenizer, bool backwards = false) {
    Tokens tokens;
    std::string token;
    if (backwards) {
        tokenizer.GoToAfterLastToken();
        while (tokenizer.GetPreviousToken(token)) tokens.insert(tokens.begin(), token);
    } else {
        tokenizer.GoToBeforeFirstToken();
        while (tokenizer.GetNextToken(token)) tokens.push_back(token);
    }
    return tokens;
}

void ExpectThrow(const std::function<void()>& body, const std::string& text) {
    try {
        body();
        ADD_FAILURE() << "no exception, expected " << text;
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, -1);
        EXPECT_EQ(e.text, text);
    }
}

TEST(TokenizerSplit, DelimiterRules) {
    struct Case {
        std::string text;
        Tokens delimiters;
        bool include;
        Tokens expected;
    } cases[] = {
        {"  a  b ", {" "}, false, {"a", "b"}},
        {"  a  b ", {" "}, true, {" ", " ", "a", " ", " ", "b", " "}},
        {"x, y,z", {", "}, false, {"x", "y,z"}},           // matched whole
        {"a,,b", {",", ",,"}, false, {"a", "b"}},          // shortest at a tie
        {"a,,b", {",", ",,"}, true, {"a", ",,", "b"}},     // longest at a tie
        {"xabcx", {"bc", "ab"}, true, {"x", "ab", "cx"}},  // earliest start first
        {";;;", {";"}, false, {}},
        {";;", {";"}, true, {";", ";"}},
        {"a,b", {"", ",", ""}, true, {"a", ",", "b"}},  // empty delimiters ignored
        {"a b", {""}, false, {"a b"}},
        {"abc", {}, true, {"abc"}},
        {std::string("a\0b;\0", 5), {";"}, false, {std::string("a\0b", 3), std::string(1, '\0')}},
        {std::string("a\0b", 3), {std::string(1, '\0')}, true, {"a", std::string(1, '\0'), "b"}},
    };
    for (Case& c : cases) {
        KRStringTokenizer fromString(c.text, c.delimiters, c.include);
        EXPECT_EQ(Walk(fromString), c.expected) << c.text;
        KRStringTokenizer fromPointer(c.text.data(), static_cast<int>(c.text.size()), c.delimiters,
                                      c.include);
        EXPECT_EQ(Walk(fromPointer, true), c.expected) << c.text;
    }
    KRStringTokenizer none;
    std::string token = "unchanged";
    EXPECT_FALSE(none.GetNextToken(token));
    EXPECT_EQ(token, "unchanged");
    EXPECT_FALSE(none.GoToBeforeFirstToken());
    EXPECT_FALSE(none.GoToAfterLastToken());
    KRStringTokenizer negative("abc", -3, false);
    EXPECT_FALSE(negative.GoToBeforeFirstToken());
}

TEST(TokenizerSplit, TokenizeReplacesAndReturnsTheSameVector) {
    KRStringTokenizer tokenizer(std::string("p q"), false);
    Tokens delimiters{"|", "/"};
    const Tokens* first = tokenizer.Tokenize(std::string("a;b"), std::string(";"), false);
    EXPECT_EQ(*first, (Tokens{"a", "b"}));
    EXPECT_EQ(tokenizer.Tokenize("x|y/z", 5, delimiters, true), first);
    EXPECT_EQ(*first, (Tokens{"x", "|", "y", "/", "z"}));
    EXPECT_EQ(tokenizer.Tokenize("k l", 3, std::string(" "), false), first);
    EXPECT_EQ(*first, (Tokens{"k", "l"}));
    // The tokenizer's own token as the next text.
    EXPECT_EQ(*tokenizer.Tokenize(first->at(1), delimiters, false), Tokens{"l"});
}

// Oracle: ECMAScript regular expressions take the leftmost match and, at that
// position, the first alternative that matches. Ordering the alternatives by
// length (stable, so list order breaks ties) gives the tokenizer's rule.
Tokens RegexSplit(const std::string& text, Tokens delimiters, bool include) {
    delimiters.erase(std::remove(delimiters.begin(), delimiters.end(), ""), delimiters.end());
    if (delimiters.empty()) return text.empty() ? Tokens{} : Tokens{text};
    std::stable_sort(delimiters.begin(), delimiters.end(), [&](const auto& a, const auto& b) {
        return include ? a.size() > b.size() : a.size() < b.size();
    });
    std::string pattern;
    for (const auto& d : delimiters) {
        if (!pattern.empty()) pattern += '|';
        for (char c : d) {
            // Escape punctuation only: an escaped letter may be an assertion.
            if (!std::isalnum(static_cast<unsigned char>(c))) pattern += '\\';
            pattern += c;
        }
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
    for (int round = 0; round < 2000; ++round) {
        const std::string text = word(24);
        Tokens delimiters;
        for (int n = round % 4 + 1; n > 0; --n) delimiters.push_back(word(3));
        const bool include = round % 2 == 1;
        ASSERT_EQ(*tokenizer.Tokenize(text, delimiters, include),
                  RegexSplit(text, delimiters, include))
            << "text '" << text << "' include " << include;
    }
}

TEST(TokenizerCursor, CursorKeepsMovingPastBothEnds) {
    KRStringTokenizer tokenizer(std::string("a b"), false);
    std::string token;
    EXPECT_TRUE(tokenizer.GetNextToken(token) && tokenizer.GetNextToken(token));
    EXPECT_FALSE(tokenizer.GetNextToken(token));      // cursor 2
    EXPECT_FALSE(tokenizer.GetNextToken(token));      // cursor 3
    EXPECT_FALSE(tokenizer.GetPreviousToken(token));  // cursor 2
    EXPECT_TRUE(tokenizer.GetPreviousToken(token));   // cursor 1
    EXPECT_EQ(token, "b");
    tokenizer.GoToBeforeFirstToken();
    EXPECT_FALSE(tokenizer.GetPreviousToken(token));  // cursor -2
    EXPECT_FALSE(tokenizer.GetNextToken(token));      // cursor -1
    EXPECT_TRUE(tokenizer.GetNextToken(token));
    EXPECT_EQ(token, "a");
}

TEST(TokenizerCursor, BufferForms) {
    KRStringTokenizer tokenizer(std::string("abcd xy"), false);
    char buffer[8];
    std::fill(buffer, buffer + 8, '#');
    int length = -7;
    const std::string noRoom = "\nNot enough room to store token in buffer";
    ExpectThrow([&] { tokenizer.GetNextToken(buffer, &length, 3); },
                "KRStringTokenizer::GetNextToken" + noRoom);
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
    ExpectThrow([&] { tokenizer.GetPreviousToken(buffer, &length, -1); },
                "KRStringTokenizer::GetPreviousToken" + noRoom);
    EXPECT_TRUE(tokenizer.GetPreviousToken(buffer, &length, 4));
    EXPECT_EQ(std::string(buffer, 4), "abcd");
}

// Exposes the protected state so that the not-tokenized path can be reached.
struct HalfSetUpTokenizer : KRStringTokenizer {
    void ForgetSplit() { tokenized = false; }
};

TEST(TokenizerCursor, EveryCursorOperationRequiresASplit) {
    HalfSetUpTokenizer t;
    t.ForgetSplit();
    const std::string message = "\nString has not yet been tokenized";
    const std::string prefix = "KRStringTokenizer::";
    std::string token;
    char buffer[4];
    int length = 0;
    ExpectThrow([&] { t.GoToBeforeFirstToken(); }, prefix + "GoToBeforeFirstToken" + message);
    ExpectThrow([&] { t.GoToAfterLastToken(); }, prefix + "GoToAfterLastToken" + message);
    ExpectThrow([&] { t.GetNextToken(token); }, prefix + "GetNextToken" + message);
    ExpectThrow([&] { t.GetNextToken(buffer, &length, 4); }, prefix + "GetNextToken" + message);
    ExpectThrow([&] { t.GetPreviousToken(token); }, prefix + "GetPreviousToken" + message);
    ExpectThrow([&] { t.GetPreviousToken(buffer, &length, 4); },
                prefix + "GetPreviousToken" + message);
}

TEST(TokenizerCursor, CopiesAreDeepAndKeepTheCursor) {
    KRStringTokenizer original(std::string("a b c"), false);
    std::string token;
    original.GetNextToken(token);
    KRStringTokenizer copy(original);
    original.Tokenize(std::string("x"), std::string(" "), false);
    EXPECT_TRUE(copy.GetNextToken(token));
    EXPECT_EQ(token, "b");
    KRStringTokenizer assigned;
    assigned = copy;
    EXPECT_TRUE(assigned.GetNextToken(token));
    EXPECT_EQ(token, "c");
    EXPECT_EQ(Walk(original), Tokens{"x"});
}

}  // namespace
