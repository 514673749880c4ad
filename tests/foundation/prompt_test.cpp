#include <cstdio>

#include "krtools/console.h"
#include "testutil.h"

namespace {

struct PromptResult {
    std::string answer;
    std::string output;
};

// Runs PromptUser with standard input read from `input`.
PromptResult Prompt(const std::string& input, bool required, int maxLength, bool exactLength,
                    bool upperCase) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("in"), input);
    EXPECT_NE(std::freopen(dir.File("in").c_str(), "r", stdin), nullptr);
    PromptResult result;
    char prompt[] = "Name?";
    result.output = testutil::CaptureStdout(
        [&] { PromptUser(prompt, result.answer, required, maxLength, exactLength, upperCase); });
    return result;
}

TEST(PromptUser, AcceptsAValidLineAndShowsThePrompt) {
    PromptResult r = Prompt("ab1\nrest\n", false, 0, false, true);
    EXPECT_EQ(r.answer, "AB1");
    EXPECT_EQ(r.output, "\nName?\n\t");
}

TEST(PromptUser, EmptyLineIsAcceptedUnlessRequired) {
    EXPECT_EQ(Prompt("\n", false, 8, true, false).answer, "");
    PromptResult r = Prompt("\nok\n", true, 0, false, false);
    EXPECT_EQ(r.answer, "ok");
    EXPECT_EQ(r.output, "\nName?\n\t\nrequired entry\nName?\n\t");
}

TEST(PromptUser, LengthRulesAskAgain) {
    PromptResult exact = Prompt("abc\nabcdefgh\n", true, 8, true, false);
    EXPECT_EQ(exact.answer, "abcdefgh");
    EXPECT_EQ(exact.output, "\nName?\n\t\nlength must be 8\nName?\n\t");

    PromptResult longer = Prompt("abcd\nabc\n", true, 3, false, false);
    EXPECT_EQ(longer.answer, "abc");
    EXPECT_EQ(longer.output, "\nName?\n\t\nvalue entered is too long\nName?\n\t");
}

TEST(PromptUser, LongLineIsCutTo255Characters) {
    std::string line(300, 'x');
    PromptResult r = Prompt(line + "\n", true, 0, false, false);
    EXPECT_EQ(r.answer, std::string(255, 'x'));
}

TEST(PromptUser, EndOfInput) {
    EXPECT_EQ(Prompt("last", true, 0, false, false).answer, "last");
    try {
        Prompt("", false, 0, false, false);
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, -1);
        EXPECT_EQ(e.text, "PromptUser\nEnd of input");
    }
    // A refused last line is followed by end of input: no endless loop.
    EXPECT_THROW(Prompt("abcd", true, 3, false, false), KRException);
}

}  // namespace
