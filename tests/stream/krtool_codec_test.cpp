// krtool base64, qp and hex on inputs larger than the tool's 64 KiB pieces,
// against Python and the library's filters.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "krtools/stream.h"
#include "stream_testutil.h"
#include "testutil.h"

namespace {

using streamtest::Python;
using streamtest::RunStage;

class KrtoolCodec : public ::testing::Test {
protected:
    // Runs "krtool ARGS < input" in a directory whose file "input" holds `input`.
    testutil::CommandResult Tool(const std::string& args, const std::string& input) {
        testutil::WriteFile(dir.File("input"), input);
        return testutil::Run("cd " + testutil::ShellQuote(dir.path()) + " && " + KRTOOL_PATH + " " +
                             args + " < input 2> stderr");
    }
    // Expects exit status `status` and one line starting "krtool: `message`".
    void ExpectFailure(const std::string& args, const std::string& input, int status,
                       const std::string& message) {
        EXPECT_EQ(Tool(args, input).status, status) << args;
        std::string text = testutil::ReadFile(dir.File("stderr"));
        EXPECT_EQ(text.rfind("krtool: " + message, 0), 0u) << text;
        EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
    }

    testutil::TempDir dir;
    std::mt19937 rng{61};
};

TEST_F(KrtoolCodec, Base64) {
    std::string data = streamtest::RandomBytes(rng, 300000);
    testutil::CommandResult encoded = Tool("base64 input", data);
    ASSERT_EQ(encoded.status, 0);
    EXPECT_TRUE(encoded.output == RunStage(new KRFilterBase64, data, {}));
    EXPECT_TRUE(Python("out = base64.b64decode(data.replace(b'\\r\\n', b''), validate=True)",
                       encoded.output) == data);
    EXPECT_TRUE(Tool("base64 -d -", encoded.output).output == data);
    EXPECT_TRUE(Tool("base64 -d", Python("out = base64.encodebytes(data)", data)).output == data);

    EXPECT_EQ(Tool("base64 -d", "YWJjZ").output, "abc");
    ExpectFailure("base64 -d", "YWJjZ", 1,
                  "the Base64 text ends with a lone character after its last group\n");
    ExpectFailure("base64 --bogus", "", 2, "");
}

TEST_F(KrtoolCodec, QuotedPrintable) {
    std::string data = streamtest::RandomBytes(rng, 200000);
    testutil::CommandResult encoded = Tool("qp input", data);
    ASSERT_EQ(encoded.status, 0);
    EXPECT_TRUE(encoded.output == RunStage(new KRFilterQuotedPrintable, data, {}));
    EXPECT_TRUE(Python("out = quopri.decodestring(data)", encoded.output) == data);
    EXPECT_TRUE(Tool("qp -d", encoded.output).output == data);

    // The decoder keeps nothing between pieces: the tool must not cut an
    // escape, a soft break or a run of blanks at its 64 KiB read boundary.
    for (size_t before : {65533, 65534, 65535, 65536}) {
        for (const char* escape : {"=41", "=\r\n", "=  \r\n", "= \t 4a", "==41"}) {
            std::string text = std::string(before, 'a') + escape + "z";
            ASSERT_TRUE(Tool("qp -d", text).output ==
                        RunStage(new KRUnfilterQuotedPrintable, text, {}))
                << before << " " << testutil::ShellQuote(escape);
        }
    }
    std::string noisy(300000, ' ');
    for (char& c : noisy) c = "=  \t\r\n4Ax"[rng() % 9];
    EXPECT_TRUE(Tool("qp -d", noisy).output == RunStage(new KRUnfilterQuotedPrintable, noisy, {}));
    // A run of blanks longer than a piece is not held back for ever.
    testutil::CommandResult blanks = Tool("qp -d", "=" + std::string(200000, ' ') + "41");
    EXPECT_EQ(blanks.status, 0);
    EXPECT_GT(blanks.output.size(), 65536u);
    EXPECT_LT(blanks.output.size(), 200003u);

    ExpectFailure("qp -d missing", "", 1, "cannot open missing");
    ExpectFailure("qp -x", "", 2, "");
}

TEST_F(KrtoolCodec, Hex) {
    std::string data = streamtest::RandomBytes(rng, 150000);
    testutil::CommandResult encoded = Tool("hex input", data);
    ASSERT_EQ(encoded.status, 0);
    EXPECT_TRUE(encoded.output == Python("out = binascii.hexlify(data).upper()", data));
    EXPECT_TRUE(Tool("hex -d", encoded.output).output == data);

    EXPECT_EQ(Tool("hex -d", "00ABF").output, std::string("\x00\xAB", 2));
    ExpectFailure("hex -d", "00ABF", 1, "odd number of hexadecimal digits\n");
    ExpectFailure("hex a b", "", 2, "");
}

}  // namespace
