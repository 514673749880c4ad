// krtool time, run as a process.
#include <string>

#include "testutil.h"

namespace {

TEST(KrtoolTime, ConversionsBadInputAndUsage) {
    const std::string tool = testutil::ShellQuote(KRTOOL_PATH) + " time ";
    const std::pair<std::string, std::string> cases[] = {
        {"--from-seconds 981173106", "2001-02-03 04:05:06\n"},
        {"--from-seconds 981173106 --dash", "2001-02-03-04.05.06\n"},
        {"--from-seconds 981173106 --local", "2001-02-02 23:05:06\n"},
        {"--from-stamp '2001-02-03 04:05:06'", "981173106\n"},
        {"--from-stamp 2001-02-02-23.05.06 --local", "981173106\n"},
        {"--to-cms '2001-02-03 04:05:06'", "20010203 040506\n"},
        {"--from-cms 20010203 040506", "2001-02-03-04.05.00\n"}};
    for (const auto& [arguments, output] : cases) {
        const auto result = testutil::Run("TZ=America/New_York " + tool + arguments);
        EXPECT_EQ(result.status, 0) << arguments;
        EXPECT_EQ(result.output, output) << arguments;
    }
    for (const char* bad : {"--from-seconds 253402300800", "--from-stamp '2001-02-30 25:00:00'",
                            "--from-cms 2001023 040506", "--to-cms 2001"}) {
        EXPECT_EQ(testutil::Run(tool + bad + " 2>/dev/null").status, 1) << bad;
    }
    for (const char* usage : {"", "--from-seconds 1 --to-cms x", "--from-seconds 1 extra"}) {
        EXPECT_EQ(testutil::Run(tool + usage + " 2>/dev/null").status, 2) << usage;
    }
}

}  // namespace
