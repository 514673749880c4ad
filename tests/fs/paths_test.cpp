#include <cerrno>
#include <filesystem>
#include <string>

#include "fs_test_util.h"
#include "krtools/file.h"

namespace {

namespace fs = std::filesystem;
using fstest::ExpectThrown;

TEST(BuildFullyQualifiedFilename, JoinsWithOneSeparator) {
    const char* cases[][3] = {{"dir", "x", "dir/x"}, {"dir/", "x", "dir/x"}, {"/", "etc", "/etc"},
                              {"", "x", "./x"},      {nullptr, "x", "./x"},  {"a\\b", "", "a\\b/"}};
    for (const auto& c : cases) {
        std::string result = "previous";
        BuildFullyQualifiedFilename(c[0], c[1], result);
        EXPECT_EQ(result, c[2]);
    }
}

TEST(Directories, CreateAndChangeWithExactFailures) {
    testutil::TempDir temp;
    fs::path saved = fs::current_path();
    fs::current_path(temp.path());
    BuildDirectory((temp.path() + "/a/b/c").c_str());
    testutil::WriteFile("a/b/c/marker", "m");
    for (const char* path : {"a/b/c", "a/b/c/", "rel//x/y/", "d:/e", "/", ""}) {
        BuildDirectory(path);  // "d:" is an ordinary level: no drive prefixes
    }
    BuildDirectory(nullptr);
    EXPECT_EQ(testutil::ReadFile("a/b/c/marker"), "m");
    EXPECT_TRUE(fs::is_directory("rel/x/y") && fs::is_directory("d:/e"));

    testutil::WriteFile("plain", "contents");
    const char* exists = "\nFilename already exists";
    ExpectThrown([] { BuildDirectoryNode("plain"); }, -1, "BuildDirectoryNode",
                 std::string("Error creating directory: plain") + exists);
    // The walk creates "made", passes "made/..", stops at the file.
    ExpectThrown([] { BuildDirectory("made/../plain/deeper"); }, -1, "BuildDirectoryNode",
                 std::string("Error creating directory: made/../plain") + exists);
    EXPECT_TRUE(fs::is_directory("made") && fs::is_regular_file("plain"));
    ExpectThrown([] { BuildDirectoryNode("missing/level"); }, ENOENT, "BuildDirectoryNode",
                 "Error creating directory: missing/level");
    ExpectThrown([] { BuildDirectoryNode("plain/x"); }, ENOTDIR, "BuildDirectoryNode",
                 "Error creating directory: plain/x");
    ExpectThrown([] { KRChangeDirectory("nowhere"); }, ENOENT, "KRChangeDirectory",
                 "Error changing to directory: nowhere");
    ExpectThrown([] { KRChangeDirectory("plain"); }, ENOTDIR, "KRChangeDirectory",
                 "Error changing to directory: plain");

    KRChangeDirectory("");
    KRChangeDirectory(nullptr);
    KRChangeDirectory("a/b");
    EXPECT_EQ(fs::current_path(), fs::canonical(temp.File("a/b")));
    fs::current_path(saved);
}

}  // namespace
