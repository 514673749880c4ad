#include <set>
#include <sstream>
#include <string>

#include "fs_test_util.h"

namespace {

std::set<std::string> Ls(const std::string& arguments, int status) {
    auto result = testutil::Run(std::string(KRTOOL_PATH) + " ls " + arguments + " 2>&1");
    EXPECT_EQ(result.status, status) << arguments;
    std::set<std::string> lines;
    std::istringstream in(result.output);
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
}

TEST(LsTool, ListingsMatchPythonAndFailuresAreReported) {
    testutil::TempDir temp;
    testutil::WriteFile(temp.File("name with blanks"), std::string(70000, 'z'));
    auto python = fstest::PythonStat(temp.path(), "{0:06o} {3} {4} {5} {6} {7}");
    std::set<std::string> names, lines = Ls(testutil::ShellQuote(temp.path()) + " --long", 0);
    for (const auto& [name, line] : python) {
        names.insert(name);
        // ".." is the shared temporary folder, which other processes change.
        if (name != "..") {
            EXPECT_EQ(lines.count(line), 1u) << line;
        }
    }
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(Ls(testutil::ShellQuote(temp.path()), 0), names);

    EXPECT_EQ(Ls("/nonexistent", 1)
                  .begin()
                  ->rfind("krtool: KRDIR::Next; /nonexistent; Windows rc: 0x00000002; ", 0),
              0u);
    EXPECT_EQ(Ls("''", 1), std::set<std::string>{"krtool: KRDIR::Open; Empty directory name"});
    for (const char* bad : {"", "a b", "--wide ."}) Ls(bad, 2);
    EXPECT_EQ(Ls("--help", 0).count("usage: krtool ls DIR [--long]"), 1u);
}

}  // namespace
