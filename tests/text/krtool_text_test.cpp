// krtool crc16 and krtool edc, run as processes.
#include <random>
#include <string>

#include "testutil.h"

namespace {

using testutil::ShellQuote;

const std::string kTool = ShellQuote(KRTOOL_PATH);

std::string RandomFile(const testutil::TempDir& dir, const std::string& name, size_t size) {
    std::mt19937 random(static_cast<unsigned>(size));
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random());
    testutil::WriteFile(dir.File(name), data);
    return dir.File(name);
}

TEST(KrtoolCrc16, CheckValuesFromStandardInput) {
    EXPECT_EQ(testutil::Run("printf 123456789 | " + kTool + " crc16").output, "31C3\n");
    EXPECT_EQ(testutil::Run("printf 123456789 | " + kTool + " crc16 --init 0xFFFF -").output,
              "29B1\n");
    EXPECT_EQ(testutil::Run(kTool + " crc16 /dev/null").output, "0000\n");
}

TEST(KrtoolCrc16, LargeFileAgreesWithPythonCrcHqx) {
    testutil::TempDir dir;
    // Larger than one AccumulateCRC call can take.
    const std::string file = RandomFile(dir, "data", 200001);
    for (const char* init : {"0", "65535"}) {
        const auto ours = testutil::Run(kTool + " crc16 --init " + init + " " + ShellQuote(file));
        const auto python = testutil::Run(
            "python3 -c 'import binascii,sys; print(\"%04X\" % "
            "binascii.crc_hqx(open(sys.argv[1],\"rb\").read(), " +
            std::string(init) + "))' " + ShellQuote(file));
        ASSERT_EQ(python.status, 0);
        EXPECT_EQ(ours.status, 0);
        EXPECT_EQ(ours.output, python.output);
    }
}

TEST(KrtoolCrc16, BadUsageAndMissingFile) {
    EXPECT_EQ(testutil::Run(kTool + " crc16 --init 0x10000 /dev/null 2>/dev/null").status, 2);
    EXPECT_EQ(testutil::Run(kTool + " crc16 --init x /dev/null 2>/dev/null").status, 2);
    EXPECT_EQ(testutil::Run(kTool + " crc16 /nonexistent/file 2>/dev/null").status, 1);
}

TEST(KrtoolEdc, EncodeDecodeRoundTripThroughFiles) {
    testutil::TempDir dir;
    const std::string file = RandomFile(dir, "data", 1000);
    const auto encoded = testutil::Run(kTool + " edc encode " + ShellQuote(file));
    ASSERT_EQ(encoded.status, 0);
    EXPECT_EQ(encoded.output.size(), 1000u + 143u);
    for (unsigned char b : encoded.output) ASSERT_NE(b & 0x40, 0);
    testutil::WriteFile(dir.File("encoded"), encoded.output);
    const auto decoded =
        testutil::Run(kTool + " edc decode - < " + ShellQuote(dir.File("encoded")));
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.output, testutil::ReadFile(file));
}

TEST(KrtoolEdc, ModeIsRequired) {
    EXPECT_EQ(testutil::Run(kTool + " edc 2>/dev/null").status, 2);
    EXPECT_EQ(testutil::Run(kTool + " edc pack /dev/null 2>/dev/null").status, 2);
}

}  // namespace
