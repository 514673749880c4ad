// krtool's encodings: base64 against coreutils, qp against Python's binascii,
// crc16 (and AccumulateCRC) against the published check values and Python's
// binascii.crc_hqx (the same CRC-16: polynomial 0x1021, MSB first), and edc.
#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "krtool_test_util.h"
#include "krtools/strutil.h"

namespace {

using testutil::ShellQuote;

const std::string kTool = ShellQuote(KRTOOL_PATH);

testutil::CommandResult Shell(const std::string& command) { return testutil::Run(command); }

// AccumulateCRC over |data| from |crc|, fed in calls split at random points.
unsigned short SplitCrc(unsigned short crc, const std::string& data) {
    static std::mt19937 random(4711);
    std::vector<size_t> cuts(random() % 6);
    for (size_t& cut : cuts) cut = random() % (data.size() + 1);
    std::sort(cuts.begin(), cuts.end());
    cuts.push_back(data.size());
    for (size_t at = 0, i = 0; i < cuts.size(); at = cuts[i++]) {
        crc = AccumulateCRC(crc, reinterpret_cast<const unsigned char*>(data.data()) + at,
                            static_cast<unsigned short>(cuts[i] - at));
    }
    return crc;
}

TEST(Crc16, LibraryAndKrtoolAgreeWithCheckValuesAndPythonCrcHqx) {
    for (int round = 0; round < 20; ++round) {
        EXPECT_EQ(SplitCrc(0, "123456789"), 0x31C3);       // CRC-16/XMODEM
        EXPECT_EQ(SplitCrc(0xFFFF, "123456789"), 0x29B1);  // CRC-16/CCITT-FALSE
    }
    EXPECT_EQ(AccumulateCRC(0x1234, nullptr, 0), 0x1234);
    EXPECT_EQ(Shell("printf 123456789 | " + kTool + " crc16").output, "31C3\n");
    EXPECT_EQ(Shell("printf 123456789 | " + kTool + " crc16 --init 0xFFFF -").output, "29B1\n");
    // Python's CRCs of the prefixes; the whole file is more than one AccumulateCRC call takes.
    testutil::TempDir dir;
    const std::string file = ShellQuote(dir.File("data"));
    ASSERT_EQ(Shell("head -c 200001 /dev/urandom > " + file).status, 0);
    const std::string data = testutil::ReadFile(dir.File("data"));
    std::string lengths;
    for (size_t n = 0; n <= 3000; n += 1 + n / 2) lengths += " " + std::to_string(n);
    const auto python = Shell(
        "python3 -c 'import binascii, sys\nd = open(sys.argv[1], \"rb\").read()\n"
        "for n in map(int, sys.argv[2:]): print(binascii.crc_hqx(d[:n], 0), "
        "binascii.crc_hqx(d[:n], 0xFFFF))' " +
        file + lengths + " 200001");
    ASSERT_EQ(python.status, 0);
    std::istringstream expected(python.output), lengthList(lengths);
    unsigned int xmodem = 0, ccittFalse = 0;
    for (size_t n = 0; lengthList >> n && expected >> xmodem >> ccittFalse;) {
        EXPECT_EQ(SplitCrc(0, data.substr(0, n)), xmodem) << n;
        EXPECT_EQ(SplitCrc(0xFFFF, data.substr(0, n)), ccittFalse) << n;
    }
    ASSERT_TRUE(expected >> xmodem >> ccittFalse);  // the whole file
    EXPECT_EQ(std::stoul(Shell(kTool + " crc16 " + file).output, nullptr, 16), xmodem);
    EXPECT_EQ(std::stoul(Shell(kTool + " crc16 --init 65535 " + file).output, nullptr, 16),
              ccittFalse);
    EXPECT_EQ(Shell(kTool + " crc16 --init 0x10000 /dev/null 2>/dev/null").status, 2);
    EXPECT_EQ(Shell(kTool + " crc16 /nonexistent/file 2>/dev/null").status, 1);
}

TEST(KrtoolEdc, EncodeDecodeRoundTripAndModeIsRequired) {
    testutil::TempDir dir;
    const std::string file = ShellQuote(dir.File("data"));
    ASSERT_EQ(Shell("head -c 1000 /dev/urandom > " + file).status, 0);
    const auto encoded = Shell(kTool + " edc encode " + file);
    ASSERT_EQ(encoded.status, 0);
    EXPECT_EQ(encoded.output.size(), 1000u + 143u);
    const auto decoded = Shell(kTool + " edc encode " + file + " | " + kTool + " edc decode -");
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.output, testutil::ReadFile(dir.File("data")));
    EXPECT_EQ(Shell(kTool + " edc 2>/dev/null").status, 2);
    EXPECT_EQ(Shell(kTool + " edc pack /dev/null 2>/dev/null").status, 2);
}

TEST(KrtoolBase64, MatchesCoreutilsBothWaysAndKeepsTheCrLfForm) {
    testutil::TempDir dir;
    const std::string file = ShellQuote(dir.File("data"));
    for (size_t size : {0u, 2u, 57u, 200000u}) {
        SCOPED_TRACE(size);
        ASSERT_EQ(Shell("head -c " + std::to_string(size) + " /dev/urandom > " + file).status, 0);
        for (const char* wrap : {"", " -w 0", " -w 7", " --wrap=76"}) {
            EXPECT_TRUE(Shell(kTool + " base64" + wrap + " " + file).output ==
                        Shell("base64" + std::string(wrap) + " " + file).output)
                << wrap;
        }
        EXPECT_EQ(Shell("base64 " + file + " | " + kTool + " base64 -d | cmp - " + file).status, 0);
        EXPECT_EQ(Shell(kTool + " base64 " + file + " | base64 -d | cmp - " + file).status, 0);
        // The library's form: 76 characters and CR LF per line, no line end after a
        // shorter last line.
        const std::string crlf = Shell(kTool + " base64 --crlf " + file).output;
        std::string expected = Shell("base64 -w 76 " + file).output, joined;
        for (size_t at = 0; (at = expected.find('\n', at)) != std::string::npos; at += 2) {
            expected.replace(at, 1, "\r\n");
        }
        if (expected.size() % 78 != 0) expected.resize(expected.size() - 2);
        EXPECT_TRUE(crlf == expected);
        EXPECT_TRUE(
            Shell(kTool + " base64 --crlf " + file + " | " + kTool + " base64 --decode").output ==
            testutil::ReadFile(dir.File("data")));
    }
    EXPECT_EQ(Shell(kTool + " base64 --crlf -w 5 /dev/null 2>/dev/null").status, 2);
    EXPECT_EQ(Shell(kTool + " base64 -w -1 /dev/null 2>/dev/null").status, 2);
}

// Random quoted-printable text of escapes, soft breaks and invalid escapes,
// without the few spellings where Python's decoder is less careful ("==", a
// final "=", "=" CR without LF, "=" before blanks).
std::string RandomQuotedPrintable(size_t size) {
    static const char* const kTokens[] = {"a",    "Z",  "=41", "=4a",   "=FF",
                                          "=G1",  "=4", "=\n", "=\r\n", "\n",
                                          "\r\n", " ",  "\t",  "\xff",  "=\x00"};
    std::mt19937 random(2045);
    std::string text;
    while (text.size() < size) {
        const std::string token = kTokens[random() % (sizeof kTokens / sizeof *kTokens)];
        text += token == "=\x00" ? std::string("=\0", 2) : token;
        text += 'x';  // keeps tokens from merging into an escape
    }
    return text;
}

TEST(KrtoolQp, DecodesLikePythonAndKeepsWhatIsNoEscape) {
    testutil::TempDir dir;
    const std::string file = ShellQuote(dir.File("qp"));
    testutil::WriteFile(dir.File("qp"), RandomQuotedPrintable(300000));
    const std::string python =
        "python3 -c 'import binascii, sys; "
        "sys.stdout.buffer.write(binascii.a2b_qp(sys.stdin.buffer.read()))' < ";
    const auto decoded = Shell(kTool + " qp -d " + file);
    ASSERT_EQ(decoded.status, 0);
    EXPECT_TRUE(decoded.output == Shell(python + file).output);
    const std::pair<std::string, std::string> cases[] = {
        {"a=\\nb", "ab"}, {"a=\\r\\nb", "ab"}, {"a= \\t\\nb", "ab"}, {"x=G1y", "x=G1y"},
        {"x=", "x="},     {"x==41", "x=A"},    {"=\\rz", "=\rz"}};
    for (const auto& [input, output] : cases) {
        EXPECT_EQ(Shell("printf '" + input + "' | " + kTool + " qp -d").output, output) << input;
    }
    // What the encoder writes, Python decodes back to the input.
    ASSERT_EQ(Shell("head -c 100000 /dev/urandom > " + file).status, 0);
    EXPECT_EQ(Shell(kTool + " qp " + file + " | " + python + "/dev/stdin | cmp - " + file).status,
              0);
}

}  // namespace
