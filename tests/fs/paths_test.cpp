#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>

#include "fs_test_util.h"
#include "krtools/file.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using fstest::SystemLines;
using fstest::Where;

KRException CatchKR(const std::function<void()>& body) {
    try {
        body();
    } catch (const KRException& e) {
        return e;
    }
    ADD_FAILURE() << "no KRException";
    return KRException(0, "");
}

// Runs each test inside a fresh temporary folder as the current directory,
// restoring the previous one afterwards.
class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = fs::current_path();
        fs::current_path(temp.path());
    }
    void TearDown() override { fs::current_path(saved); }

    testutil::TempDir temp;
    fs::path saved;
};

TEST(BuildFullyQualifiedFilename, JoinsWithOneSeparator) {
    std::string result = "previous";
    BuildFullyQualifiedFilename("dir", "x", result);
    EXPECT_EQ(result, "dir/x");
    BuildFullyQualifiedFilename("dir/", "x", result);
    EXPECT_EQ(result, "dir/x");
    BuildFullyQualifiedFilename("/", "etc", result);
    EXPECT_EQ(result, "/etc");
    BuildFullyQualifiedFilename("", "x", result);
    EXPECT_EQ(result, "./x");
    BuildFullyQualifiedFilename(nullptr, "x", result);
    EXPECT_EQ(result, "./x");
    BuildFullyQualifiedFilename("a\\b", "", result);
    EXPECT_EQ(result, "a\\b/");
    BuildFullyQualifiedFilename("dir", nullptr, result);
    EXPECT_EQ(result, "dir/");
}

TEST_F(PathsTest, BuildDirectoryCreatesEveryLevel) {
    std::string deep = temp.File("a/b/c");
    BuildDirectory(deep.c_str());
    EXPECT_TRUE(fs::is_directory(temp.File("a")));
    EXPECT_TRUE(fs::is_directory(temp.File("a/b")));
    EXPECT_TRUE(fs::is_directory(deep));
    // Existing levels and a trailing separator change nothing.
    testutil::WriteFile(deep + "/marker", "m");
    BuildDirectory(deep.c_str());
    BuildDirectory((deep + "/").c_str());
    EXPECT_EQ(testutil::ReadFile(deep + "/marker"), "m");

    BuildDirectory("rel//x/y/");
    EXPECT_TRUE(fs::is_directory(temp.File("rel/x/y")));
    // No drive prefixes: "d:" is an ordinary first level.
    BuildDirectory("d:/e");
    EXPECT_TRUE(fs::is_directory(temp.File("d:/e")));
    BuildDirectory("/");
    BuildDirectory("");
    BuildDirectory(nullptr);
}

TEST_F(PathsTest, BuildDirectoryNodeOnAnExistingFile) {
    std::string file = temp.File("plain");
    testutil::WriteFile(file, "contents");
    auto e = CatchKR([&] { BuildDirectoryNode(file.c_str()); });
    EXPECT_EQ(e.rc, -1);
    EXPECT_EQ(e.text, Where("BuildDirectoryNode",
                            "Error creating directory: " + file + "\nFilename already exists"));
    EXPECT_EQ(testutil::ReadFile(file), "contents");

    // The walk creates "made", passes "made/..", stops at the file and never
    // reaches "deeper".
    std::string through = temp.File("made/../plain/deeper");
    e = CatchKR([&] { BuildDirectory(through.c_str()); });
    EXPECT_EQ(e.rc, -1);
    EXPECT_EQ(e.text, Where("BuildDirectoryNode",
                            "Error creating directory: " + temp.File("made/../plain") +
                                "\nFilename already exists"));
    EXPECT_TRUE(fs::is_directory(temp.File("made")));
    EXPECT_TRUE(fs::is_regular_file(file));
}

TEST_F(PathsTest, BuildDirectoryNodeCreationFailuresCarryErrno) {
    std::string under = temp.File("missing/level");
    auto e = CatchKR([&] { BuildDirectoryNode(under.c_str()); });
    EXPECT_EQ(e.rc, ENOENT);
    EXPECT_EQ(e.text, Where("BuildDirectoryNode", "Error creating directory: " + under) +
                          SystemLines(ENOENT));
    EXPECT_FALSE(fs::exists(temp.File("missing")));

    testutil::WriteFile(temp.File("f"), "");
    std::string belowFile = temp.File("f/x");
    e = CatchKR([&] { BuildDirectoryNode(belowFile.c_str()); });
    EXPECT_EQ(e.rc, ENOTDIR);
    EXPECT_EQ(e.text, Where("BuildDirectoryNode", "Error creating directory: " + belowFile) +
                          SystemLines(ENOTDIR));

    BuildDirectoryNode(temp.path().c_str());
    BuildDirectoryNode("one");
    EXPECT_TRUE(fs::is_directory(temp.File("one")));
}

TEST_F(PathsTest, ChangeDirectory) {
    fs::path before = fs::current_path();
    KRChangeDirectory("");
    KRChangeDirectory(nullptr);
    EXPECT_EQ(fs::current_path(), before);

    fs::create_directory(temp.File("into"));
    KRChangeDirectory("into");
    EXPECT_EQ(fs::current_path(), fs::canonical(temp.File("into")));
    KRChangeDirectory("..");
    EXPECT_EQ(fs::current_path(), fs::canonical(temp.path()));

    auto e = CatchKR([] { KRChangeDirectory("nowhere"); });
    EXPECT_EQ(e.rc, ENOENT);
    EXPECT_EQ(e.text, Where("KRChangeDirectory", "Error changing to directory: nowhere") +
                          SystemLines(ENOENT));
    testutil::WriteFile(temp.File("file"), "");
    e = CatchKR([] { KRChangeDirectory("file"); });
    EXPECT_EQ(e.rc, ENOTDIR);
    EXPECT_EQ(fs::current_path(), fs::canonical(temp.path()));
}

}  // namespace
