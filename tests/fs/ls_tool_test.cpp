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
    std::string dir = testutil::ShellQuote(temp.path());
    std::set<std::string> names, lines = Ls(dir + " --long", 0);
    for (const auto& [name, line] :
         fstest::PythonStat(temp.path(), "{0:06o} {3} {4} {5} {6} {7}")) {
        names.insert(name);
        // ".." is the shared temporary folder, which other processes change.
        EXPECT_TRUE(name == ".." || lines.count(line) == 1) << line;
    }
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(Ls(dir, 0), names);
    EXPECT_EQ(Ls("/none", 1), std::set<std::string>{"krtool: KRDIR::Next; /none; Windows rc: "
                                                    "0x00000002; No such file or directory"});
    EXPECT_EQ(Ls("''", 1), std::set<std::string>{"krtool: KRDIR::Open; Empty directory name"});
    for (const char* bad : {"", "a b", "--wide ."}) Ls(bad, 2);
    EXPECT_EQ(Ls("--help", 0).count("usage: krtool ls DIR [--long]"), 1u);
}

}  // namespace
