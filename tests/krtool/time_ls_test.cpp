// krtool time and krtool ls, run as a process.
#include <unistd.h>

#include <cstdlib>

#include <string>

#include "krtool_test_util.h"

namespace {

using krtooltest::Krtool;
using krtooltest::OneErrorLine;
using testutil::ShellQuote;

TEST(KrtoolTime, ConversionsBadInputAndUsage) {
    setenv("TZ", "America/New_York", 1);
    const std::pair<std::string, std::string> cases[] = {
        {"--from-seconds 981173106", "2001-02-03 04:05:06\n"},
        {"--from-seconds 981173106 --dash", "2001-02-03-04.05.06\n"},
        {"--from-seconds 981173106 --local", "2001-02-02 23:05:06\n"},
        {"--from-stamp '2001-02-03 04:05:06'", "981173106\n"},
        {"--from-stamp ' 2001-02-02-23.05.06.123456 ' --local", "981173106\n"},
        {"--to-cms '2001-02-03 04:05:06'", "20010203 040506\n"},
        {"--from-cms 20010203 040506", "2001-02-03-04.05.00\n"}};
    for (const auto& [arguments, output] : cases) {
        const auto r = Krtool("time " + arguments);
        EXPECT_EQ(r.status, 0) << arguments << r.err;
        EXPECT_EQ(r.out, output) << arguments;
    }
    // Python's reading of the same stamps as UTC.
    EXPECT_EQ(krtooltest::Shell("python3 -c 'import calendar, time; print(calendar.timegm("
                                "time.strptime(\"2023-11-14 22:13:20\", \"%Y-%m-%d %H:%M:%S\")))'"),
              Krtool("time --from-stamp '2023-11-14 22:13:20'").out);
    for (const char* bad :
         {"--from-seconds 253402300800", "--from-stamp '2001-02-30 25:00:00'",
          "--from-stamp 2023-11-14T22:13:20Z", "--from-stamp 'x'", "--from-stamp ''",
          "--from-stamp '2001-02-03 04:05:06 junk'", "--from-cms 2001023 040506",
          "--from-cms 2001023x 040506", "--to-cms 2001"}) {
        const auto r = Krtool(std::string("time ") + bad);
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_TRUE(OneErrorLine(r.err)) << bad << ": " << r.err;
    }
    for (const char* usage : {"", "--from-seconds 1 --to-cms x", "--from-seconds 1 extra",
                              "--from-seconds 0x10", "--from-seconds 1e9"}) {
        EXPECT_EQ(Krtool(std::string("time ") + usage).status, 2) << usage;
    }
}

TEST(KrtoolLs, LongListingGoesOnPastDanglingLinks) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("b-file"), "12345");
    ASSERT_EQ(symlink("missing-target", dir.File("a-dangling").c_str()), 0);
    testutil::WriteFile(dir.File("c-file"), "");
    const std::string q = ShellQuote(dir.path());
    EXPECT_EQ(Krtool("ls " + q + " | sort").out, ".\n..\na-dangling\nb-file\nc-file\n");
    const auto listed = Krtool("ls " + q + " --long");
    EXPECT_EQ(listed.status, 1);
    EXPECT_EQ(listed.err, "krtool: cannot read the status of '" + dir.File("a-dangling") +
                              "': No such file or directory\n");
    EXPECT_EQ(krtooltest::Shell("printf '%s' " + ShellQuote(listed.out) +
                                " | awk '{print $6, $2}' | grep -v '^[.]' | sort"),
              "a-dangling ?\nb-file 5\nc-file 0\n");
}

}  // namespace
