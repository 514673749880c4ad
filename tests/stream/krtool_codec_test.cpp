// krtool base64, qp and hex: whole files through the built tool, larger than
// its 64 KiB pieces, checked against Python and the library.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "krtools/stream.h"
#include "stream_testutil.h"
#include "testutil.h"

namespace {

using streamtest::Python;
using streamtest::RandomBytes;
using streamtest::RunStage;

class KrtoolCodec : public ::testing::Test {
protected:
    // Runs "krtool ARGS FILE" with `input` in FILE; returns the result.
    testutil::CommandResult Tool(const std::string& args, const std::string& input,
                                 bool viaStdin = false) {
        testutil::WriteFile(dir.File("input"), input);
        std::string file = testutil::ShellQuote(dir.File("input"));
        std::string command = std::string(KRTOOL_PATH) + " " + args +
                              (viaStdin ? " - < " + file : " " + file) + " 2>" +
                              testutil::ShellQuote(dir.File("stderr"));
        return testutil::Run(command);
    }
    std::string Stderr() { return testutil::ReadFile(dir.File("stderr")); }

    testutil::TempDir dir;
    std::mt19937 rng{61};
};

TEST_F(KrtoolCodec, Base64RoundTripsLargeInputAgainstPython) {
    std::string data = RandomBytes(rng, 300000);
    testutil::CommandResult encoded = Tool("base64", data);
    ASSERT_EQ(encoded.status, 0);
    EXPECT_EQ(encoded.output, RunStage(new KRFilterBase64, data, {}));
    EXPECT_EQ(Python("out = base64.b64decode(data.replace(b'\\r\\n', b''), validate=True)",
                     encoded.output),
              data);

    testutil::CommandResult decoded = Tool("base64 -d", encoded.output, true);
    ASSERT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.output, data);
    std::string pythonText = Python("out = base64.encodebytes(data)", data);
    EXPECT_EQ(Tool("base64 -d", pythonText).output, data);
}

TEST_F(KrtoolCodec, Base64ReportsALoneTrailingCharacter) {
    testutil::CommandResult result = Tool("base64 -d", "YWJjZ");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "abc");
    EXPECT_EQ(Stderr(),
              "krtool: the Base64 text ends with a lone character after its last group\n");
}

TEST_F(KrtoolCodec, QuotedPrintableRoundTripsLargeInput) {
    std::string data = RandomBytes(rng, 200000);
    testutil::CommandResult encoded = Tool("qp", data);
    ASSERT_EQ(encoded.status, 0);
    EXPECT_EQ(encoded.output, RunStage(new KRFilterQuotedPrintable, data, {}));
    EXPECT_EQ(Python("out = quopri.decodestring(data)", encoded.output), data);
    testutil::CommandResult decoded = Tool("qp -d", encoded.output, true);
    ASSERT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.output, data);
}

TEST_F(KrtoolCodec, QuotedPrintableDecodingIgnoresWherePiecesEnd) {
    // Escapes and soft breaks placed across the 64 KiB read boundary.
    for (size_t before : {65533, 65534, 65535, 65536}) {
        for (const char* escape : {"=41", "=\r\n", "=  \r\n", "= \t 4a", "==41"}) {
            std::string text = std::string(before, 'a') + escape + "z";
            std::string whole = RunStage(new KRUnfilterQuotedPrintable, text, {});
            testutil::CommandResult decoded = Tool("qp -d", text);
            ASSERT_EQ(decoded.status, 0);
            // Compared as a truth value: the texts are too long to print.
            ASSERT_TRUE(decoded.output == whole) << before << " " << testutil::ShellQuote(escape);
        }
    }
    // Text dense with escapes, blanks and line breaks decodes as one piece would.
    std::string noisy(300000, ' ');
    for (char& c : noisy) c = "=  \t\r\n4Ax"[rng() % 9];
    testutil::CommandResult decoded = Tool("qp -d", noisy);
    EXPECT_TRUE(decoded.output == RunStage(new KRUnfilterQuotedPrintable, noisy, {}));

    // A run of blanks longer than a piece is not held back for ever.
    std::string blanks = "=" + std::string(200000, ' ') + "41";
    testutil::CommandResult result = Tool("qp -d", blanks);
    EXPECT_EQ(result.status, 0);
    EXPECT_GT(result.output.size(), 65536u);
    EXPECT_LT(result.output.size(), blanks.size());
}

TEST_F(KrtoolCodec, HexMatchesPythonAndRejectsAnOddDigit) {
    std::string data = RandomBytes(rng, 150000);
    testutil::CommandResult encoded = Tool("hex", data);
    ASSERT_EQ(encoded.status, 0);
    EXPECT_EQ(encoded.output, Python("out = binascii.hexlify(data).upper()", data));
    EXPECT_EQ(Tool("hex -d", encoded.output, true).output, data);

    testutil::CommandResult odd = Tool("hex -d", "00ABF");
    EXPECT_EQ(odd.status, 1);
    EXPECT_EQ(odd.output, std::string("\x00\xAB", 2));
    EXPECT_EQ(Stderr(), "krtool: odd number of hexadecimal digits\n");
}

TEST_F(KrtoolCodec, BadUsageExitsWithTwo) {
    for (const char* args : {"base64 --bogus", "qp -x", "hex a b"}) {
        testutil::CommandResult result = Tool(args, "");
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_EQ(Stderr().rfind("krtool: ", 0), 0u) << args;
    }
}

}  // namespace
