// krtool time, run as a process.
#include <string>

#include "testutil.h"

namespace {

const std::string kTool = testutil::ShellQuote(KRTOOL_PATH);

std::string Output(const std::string& arguments) {
    const auto result = testutil::Run(kTool + " time " + arguments);
    EXPECT_EQ(result.status, 0) << arguments;
    return result.output;
}

TEST(KrtoolTime, FromSecondsStylesAndZones) {
    EXPECT_EQ(Output("--from-seconds 981173106"), "2001-02-03 04:05:06\n");
    EXPECT_EQ(Output("--from-seconds 981173106 --dash"), "2001-02-03-04.05.06\n");
    EXPECT_EQ(
        testutil::Run("TZ=America/New_York " + kTool + " time --from-seconds 981173106 --local")
            .output,
        "2001-02-02 23:05:06\n");
    EXPECT_EQ(
        testutil::Run("TZ=America/New_York " + kTool + " time --from-seconds 0 --local").output,
        "1970-01-01 00:00:00\n");
    EXPECT_EQ(testutil::Run(kTool + " time --from-seconds 253402300800 2>/dev/null").status, 1);
}

TEST(KrtoolTime, FromStampBothStylesAndReservedYears) {
    EXPECT_EQ(Output("--from-stamp '2001-02-03 04:05:06'"), "981173106\n");
    EXPECT_EQ(Output("--from-stamp 2001-02-03-04.05.06.123456"), "981173106\n");
    EXPECT_EQ(testutil::Run("TZ=Europe/Berlin " + kTool +
                            " time --from-stamp 2001-02-03-05.05.06 --local")
                  .output,
              "981173106\n");
    EXPECT_EQ(Output("--from-stamp '2038-06-01 00:00:00'"), "2147483647\n");
    EXPECT_EQ(Output("--from-stamp '1970-06-01 00:00:00'"), "0\n");
    EXPECT_EQ(testutil::Run(kTool + " time --from-stamp '2001-02-30 25:00:00' 2>/dev/null").status,
              1);
}

TEST(KrtoolTime, CmsConversions) {
    EXPECT_EQ(Output("--to-cms '2001-02-03 04:05:06'"), "20010203 040506\n");
    EXPECT_EQ(Output("--from-cms 20010203 040506"), "2001-02-03-04.05.00\n");
    EXPECT_EQ(testutil::Run(kTool + " time --from-cms 2001023 040506 2>/dev/null").status, 1);
    EXPECT_EQ(testutil::Run(kTool + " time --to-cms 2001 2>/dev/null").status, 1);
}

TEST(KrtoolTime, ExactlyOneConversion) {
    EXPECT_EQ(testutil::Run(kTool + " time 2>/dev/null").status, 2);
    EXPECT_EQ(testutil::Run(kTool + " time --from-seconds 1 --to-cms x 2>/dev/null").status, 2);
    EXPECT_EQ(testutil::Run(kTool + " time --from-seconds 1 extra 2>/dev/null").status, 2);
}

}  // namespace
