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

Tokens Walk(KRStringTokenizer& tokenizer) {
    Tokens tokens;
    tokenizer.GoToBeforeFirstToken();
    std::string token;
    while (tokenizer.GetNextToken(token)) {
        tokens.push_back(token);
    }
    return tokens;
}

Tokens WalkBackwards(KRStringTokenizer& tokenizer) {
    Tokens tokens;
    tokenizer.GoToAfterLastToken();
    std::string token;
    while (tokenizer.GetPreviousToken(token)) {
        tokens.push_back(token);
    }
    return tokens;
}

void ExpectException(const std::function<void()>& body, const std::string& text) {
    try {
        body();
        ADD_FAILURE() << "no exception, expected " << text;
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, -1);
        EXPECT_EQ(e.text, text);
    }
}

// ------------------------------------------------------------- splitting

TEST(KRStringTokenizerSplit, DefaultConstructorHasNoTokens) {
    KRStringTokenizer tokenizer;
    std::string token = "unchanged";
    EXPECT_FALSE(tokenizer.GetNextToken(token));
    EXPECT_EQ(token, "unchanged");
    EXPECT_FALSE(tokenizer.GoToBeforeFirstToken());
    EXPECT_FALSE(tokenizer.GoToAfterLastToken());
}

TEST(KRStringTokenizerSplit, BlanksWithAndWithoutDelimiters) {
    const std::string text = "  a  b ";
    KRStringTokenizer plain(text, false);
    EXPECT_EQ(Walk(plain), (Tokens{"a", "b"}));
    KRStringTokenizer with(text, true);
    EXPECT_EQ(Walk(with), (Tokens{" ", " ", "a", " ", " ", "b", " "}));
    KRStringTokenizer fromPointer(text.data(), static_cast<int>(text.size()), true);
    EXPECT_EQ(Walk(fromPointer), Walk(with));
}

TEST(KRStringTokenizerSplit, MultiCharacterDelimiterMatchesWhole) {
    KRStringTokenizer tokenizer(std::string("x, y,z"), std::string(", "), false);
    EXPECT_EQ(Walk(tokenizer), (Tokens{"x", "y,z"}));
}

TEST(KRStringTokenizerSplit, TieAtSamePositionShortestOrLongest) {
    Tokens delimiters{",", ",,"};
    KRStringTokenizer plain(std::string("a,,b"), delimiters, false);
    EXPECT_EQ(Walk(plain), (Tokens{"a", "b"}));
    KRStringTokenizer with(std::string("a,,b"), delimiters, true);
    EXPECT_EQ(Walk(with), (Tokens{"a", ",,", "b"}));

    // Equal length and same start: the earlier delimiter in the list wins,
    // which only shows when the two are the same string.
    Tokens same{"--", "--"};
    KRStringTokenizer twins(std::string("--x--"), same, true);
    EXPECT_EQ(Walk(twins), (Tokens{"--", "x", "--"}));
}

TEST(KRStringTokenizerSplit, EarliestStartBeatsListOrder) {
    Tokens delimiters{"bc", "ab"};
    KRStringTokenizer tokenizer(std::string("xabcx"), delimiters, true);
    EXPECT_EQ(Walk(tokenizer), (Tokens{"x", "ab", "cx"}));
}

TEST(KRStringTokenizerSplit, OnlyDelimitersAndNulBytes) {
    KRStringTokenizer none(std::string(";;;"), std::string(";"), false);
    EXPECT_EQ(Walk(none), Tokens{});
    KRStringTokenizer onlyDelimiters(std::string(";;"), std::string(";"), true);
    EXPECT_EQ(Walk(onlyDelimiters), (Tokens{";", ";"}));

    const char text[] = {'a', '\0', 'b', ';', '\0'};
    KRStringTokenizer withNul(text, 5, std::string(";"), false);
    EXPECT_EQ(Walk(withNul), (Tokens{std::string("a\0b", 3), std::string(1, '\0')}));
    Tokens nulDelimiter{std::string(1, '\0')};
    KRStringTokenizer splitAtNul(text, 5, nulDelimiter, true);
    EXPECT_EQ(Walk(splitAtNul), (Tokens{"a", std::string(1, '\0'), "b;", std::string(1, '\0')}));
}

TEST(KRStringTokenizerSplit, EmptyDelimitersAreIgnored) {
    Tokens delimiters{"", ",", ""};
    KRStringTokenizer tokenizer(std::string("a,b"), delimiters, true);
    EXPECT_EQ(Walk(tokenizer), (Tokens{"a", ",", "b"}));
    KRStringTokenizer onlyEmpty(std::string("a b"), std::string(), false);
    EXPECT_EQ(Walk(onlyEmpty), (Tokens{"a b"}));
    Tokens noDelimiters;
    KRStringTokenizer emptyList(std::string("abc"), noDelimiters, true);
    EXPECT_EQ(Walk(emptyList), (Tokens{"abc"}));
}

TEST(KRStringTokenizerSplit, NegativeLengthIsEmptyText) {
    KRStringTokenizer tokenizer("abc", -3, false);
    EXPECT_FALSE(tokenizer.GoToBeforeFirstToken());
    const Tokens* tokens = tokenizer.Tokenize("a b", -1, std::string(" "), true);
    EXPECT_TRUE(tokens->empty());
}

TEST(KRStringTokenizerSplit, TokenizeReturnsSamePointerAndReplaces) {
    KRStringTokenizer tokenizer(std::string("p q"), false);
    const Tokens* first = tokenizer.Tokenize(std::string("a;b"), std::string(";"), false);
    EXPECT_EQ(*first, (Tokens{"a", "b"}));
    Tokens delimiters{"|", "/"};
    const Tokens* second = tokenizer.Tokenize("x|y/z", 5, delimiters, true);
    EXPECT_EQ(first, second);
    EXPECT_EQ(*second, (Tokens{"x", "|", "y", "/", "z"}));
    const Tokens* third = tokenizer.Tokenize("k l", 3, std::string(" "), false);
    EXPECT_EQ(third, first);
    EXPECT_EQ(*third, (Tokens{"k", "l"}));
    const Tokens* fourth = tokenizer.Tokenize(std::string("m.n"), delimiters, false);
    EXPECT_EQ(fourth, first);
    EXPECT_EQ(*fourth, (Tokens{"m.n"}));
}

TEST(KRStringTokenizerSplit, TokenizeWithOwnTokenAsText) {
    KRStringTokenizer tokenizer(std::string("a-b c-d"), false);
    const Tokens* tokens = tokenizer.Tokenize(
        tokenizer.Tokenize(std::string("a-b c-d"), std::string(" "), false)->at(1),
        std::string("-"), false);
    EXPECT_EQ(*tokens, (Tokens{"c", "d"}));
}

// Oracle: ECMAScript regular expressions take the leftmost match and, at that
// position, the first alternative that matches. Ordering the alternatives by
// length (stable, so list order breaks ties) gives the tokenizer's rule.
Tokens RegexSplit(const std::string& text, const Tokens& delimiters, bool include) {
    Tokens ordered;
    for (const auto& d : delimiters) {
        if (!d.empty()) ordered.push_back(d);
    }
    std::stable_sort(ordered.begin(), ordered.end(), [&](const auto& a, const auto& b) {
        return include ? a.size() > b.size() : a.size() < b.size();
    });
    if (ordered.empty()) {
        return text.empty() ? Tokens{} : Tokens{text};
    }
    std::string pattern;
    for (const auto& d : ordered) {
        if (!pattern.empty()) pattern += '|';
        for (char c : d) {
            // Escape punctuation only: an escaped letter can mean a class or
            // an assertion ("\\b").
            if (!std::isalnum(static_cast<unsigned char>(c))) pattern += '\\';
            pattern += c;
        }
    }
    const std::regex re(pattern);
    Tokens tokens;
    auto position = text.cbegin();
    std::smatch match;
    while (std::regex_search(position, text.cend(), match, re)) {
        if (match.position(0) > 0) tokens.emplace_back(position, match[0].first);
        if (include) tokens.push_back(match.str(0));
        position = match[0].second;
    }
    if (position != text.cend()) tokens.emplace_back(position, text.cend());
    return tokens;
}

TEST(KRStringTokenizerSplit, AgreesWithRegexSplitOnRandomTexts) {
    std::mt19937 random(77);
    const std::string alphabet = "ab,;";
    std::uniform_int_distribution<size_t> letter(0, alphabet.size() - 1);
    auto word = [&](size_t maxLength) {
        std::string w(std::uniform_int_distribution<size_t>(0, maxLength)(random), ' ');
        for (char& c : w) c = alphabet[letter(random)];
        return w;
    };
    KRStringTokenizer tokenizer;
    for (int round = 0; round < 2000; ++round) {
        const std::string text = word(24);
        Tokens delimiters;
        for (int n = round % 4 + 1; n > 0; --n) delimiters.push_back(word(3));
        const bool include = round % 2 == 1;
        const Tokens* tokens = tokenizer.Tokenize(text, delimiters, include);
        ASSERT_EQ(*tokens, RegexSplit(text, delimiters, include))
            << "text '" << text << "' include " << include;
    }
}

// ---------------------------------------------------------------- cursor

TEST(KRStringTokenizerCursor, ForwardAndBackwardVisitSameTokens) {
    KRStringTokenizer tokenizer(std::string("one two three four"), false);
    Tokens forward = Walk(tokenizer);
    Tokens backward = WalkBackwards(tokenizer);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(forward.size(), 4u);

    std::string token;
    tokenizer.GoToBeforeFirstToken();
    EXPECT_FALSE(tokenizer.GetPreviousToken(token));
    EXPECT_TRUE(tokenizer.GoToAfterLastToken());
    EXPECT_FALSE(tokenizer.GetNextToken(token));
}

TEST(KRStringTokenizerCursor, CursorKeepsMovingPastTheEnds) {
    KRStringTokenizer tokenizer(std::string("a b"), false);
    std::string token;
    EXPECT_TRUE(tokenizer.GetNextToken(token));
    EXPECT_TRUE(tokenizer.GetNextToken(token));
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

TEST(KRStringTokenizerCursor, BufferOfExactLengthGetsNoTerminator) {
    KRStringTokenizer tokenizer(std::string("abcd xy"), false);
    char buffer[8];
    std::fill(buffer, buffer + 8, '#');
    int length = -7;
    EXPECT_TRUE(tokenizer.GetNextToken(buffer, &length, 4));
    EXPECT_EQ(length, 4);
    EXPECT_EQ(std::string(buffer, 8), "abcd####");

    std::fill(buffer, buffer + 8, '#');
    EXPECT_TRUE(tokenizer.GetNextToken(buffer, &length, 6));
    EXPECT_EQ(length, 2);
    EXPECT_EQ(std::string(buffer, 8), std::string("xy\0\0\0\0##", 8));

    EXPECT_FALSE(tokenizer.GetNextToken(buffer, &length, 6));
    EXPECT_EQ(length, 2);
}

TEST(KRStringTokenizerCursor, BufferTooSmallThrowsAfterMoving) {
    KRStringTokenizer tokenizer(std::string("abcd xy"), false);
    char buffer[4] = {'#', '#', '#', '#'};
    int length = -7;
    ExpectException([&] { tokenizer.GetNextToken(buffer, &length, 3); },
                    "KRStringTokenizer::GetNextToken\nNot enough room to store token in buffer");
    EXPECT_EQ(std::string(buffer, 4), "####");
    EXPECT_EQ(length, -7);
    // The cursor stands on "abcd": the next token is "xy".
    EXPECT_TRUE(tokenizer.GetNextToken(buffer, &length, 2));
    EXPECT_EQ(std::string(buffer, 2), "xy");

    ExpectException([&] { tokenizer.GetPreviousToken(buffer, &length, -1); },
                    "KRStringTokenizer::GetPreviousToken\nNot enough room to store token in "
                    "buffer");
    EXPECT_TRUE(tokenizer.GetPreviousToken(buffer, &length, 0) == false);
}

TEST(KRStringTokenizerCursor, BackwardBufferForm) {
    KRStringTokenizer tokenizer(std::string("k;lm"), std::string(";"), true);
    char buffer[3];
    int length = 0;
    EXPECT_TRUE(tokenizer.GoToAfterLastToken());
    EXPECT_TRUE(tokenizer.GetPreviousToken(buffer, &length, 3));
    EXPECT_EQ(std::string(buffer, 3), std::string("lm\0", 3));
    EXPECT_TRUE(tokenizer.GetPreviousToken(buffer, &length, 3));
    EXPECT_EQ(std::string(buffer, 3), std::string(";\0\0", 3));
    EXPECT_EQ(length, 1);
}

// Exposes the protected state so that the not-tokenized path can be reached.
class HalfSetUpTokenizer : public KRStringTokenizer {
public:
    void ForgetSplit() { tokenized = false; }
};

TEST(KRStringTokenizerCursor, EveryCursorOperationRequiresASplit) {
    HalfSetUpTokenizer tokenizer;
    tokenizer.ForgetSplit();
    const std::string message = "\nString has not yet been tokenized";
    std::string token;
    char buffer[4];
    int length = 0;
    ExpectException([&] { tokenizer.GoToBeforeFirstToken(); },
                    "KRStringTokenizer::GoToBeforeFirstToken" + message);
    ExpectException([&] { tokenizer.GoToAfterLastToken(); },
                    "KRStringTokenizer::GoToAfterLastToken" + message);
    ExpectException([&] { tokenizer.GetNextToken(token); },
                    "KRStringTokenizer::GetNextToken" + message);
    ExpectException([&] { tokenizer.GetNextToken(buffer, &length, 4); },
                    "KRStringTokenizer::GetNextToken" + message);
    ExpectException([&] { tokenizer.GetPreviousToken(token); },
                    "KRStringTokenizer::GetPreviousToken" + message);
    ExpectException([&] { tokenizer.GetPreviousToken(buffer, &length, 4); },
                    "KRStringTokenizer::GetPreviousToken" + message);
}

TEST(KRStringTokenizerCursor, CopiesAreDeepAndKeepTheCursor) {
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
    EXPECT_EQ(Walk(original), (Tokens{"x"}));
}

}  // namespace
