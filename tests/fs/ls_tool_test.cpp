#include <filesystem>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "krtools/file.h"
#include "testutil.h"

namespace {

std::string Ls(const std::string& arguments) {
    return std::string(KRTOOL_PATH) + " ls " + arguments;
}

std::set<std::string> Lines(const std::string& text) {
    std::set<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
}

class LsTool : public ::testing::Test {
protected:
    void SetUp() override {
        testutil::WriteFile(temp.File("one.txt"), "12345");
        testutil::WriteFile(temp.File("name with blanks"), std::string(70000, 'z'));
        std::filesystem::create_directory(temp.File("sub"));
    }
    testutil::TempDir temp;
};

TEST_F(LsTool, ListsTheSameNamesAsPython) {
    auto ours = testutil::Run(Ls(testutil::ShellQuote(temp.path())));
    ASSERT_EQ(ours.status, 0);
    auto python = testutil::Run(
        "python3 -c 'import os,sys; print(\"\\n\".join([\".\",\"..\"]+os.listdir(sys.argv[1])))' " +
        testutil::ShellQuote(temp.path()));
    ASSERT_EQ(python.status, 0);
    EXPECT_EQ(Lines(ours.output), Lines(python.output));
    EXPECT_EQ(Lines(ours.output).size(), 5u);
}

TEST_F(LsTool, LongFormatMatchesPythonStat) {
    auto ours = testutil::Run(Ls(testutil::ShellQuote(temp.path()) + " --long"));
    ASSERT_EQ(ours.status, 0);
    std::string script =
        "import os,sys\n"
        "d=sys.argv[1]\n"
        "for n in ['.','..']+os.listdir(d):\n"
        "    s=os.stat(os.path.join(d,n))\n"
        "    print('%06o %d %d %d %d %s'%(s.st_mode&0xFFFF,s.st_size,int(s.st_ctime),"
        "int(s.st_mtime),int(s.st_atime),n))\n";
    auto python = testutil::Run("python3 -c " + testutil::ShellQuote(script) + " " +
                                testutil::ShellQuote(temp.path()));
    ASSERT_EQ(python.status, 0);
    // ".." is the shared temporary folder, which other processes change.
    auto withoutParent = [](const std::string& text) {
        std::set<std::string> lines = Lines(text);
        size_t parents = 0;
        for (auto it = lines.begin(); it != lines.end();) {
            bool parent = it->size() > 3 && it->compare(it->size() - 3, 3, " ..") == 0;
            parents += parent;
            it = parent ? lines.erase(it) : std::next(it);
        }
        EXPECT_EQ(parents, 1u);
        return lines;
    };
    EXPECT_EQ(withoutParent(ours.output), withoutParent(python.output));
    EXPECT_NE(ours.output.find(" 70000 "), std::string::npos);
}

TEST_F(LsTool, FailuresAndUsage) {
    std::string missing = temp.File("missing");
    auto result = testutil::Run(Ls(testutil::ShellQuote(missing)) + " 2>&1");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(
        result.output.rfind("krtool: KRDIR::Next; " + missing + "; Windows rc: 0x00000002; ", 0),
        0u)
        << result.output;
    EXPECT_EQ(testutil::Run(Ls("") + " 2>/dev/null").status, 2);
    EXPECT_EQ(testutil::Run(Ls("a b") + " 2>/dev/null").status, 2);
    EXPECT_EQ(testutil::Run(Ls("--wide .") + " 2>/dev/null").status, 2);
    auto empty = testutil::Run(Ls("''") + " 2>&1");
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.output, "krtool: KRDIR::Open; Empty directory name\n");
    auto help = testutil::Run(Ls("--help"));
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("usage: krtool ls DIR [--long]\n", 0), 0u);
}

}  // namespace
