#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "fs_test_util.h"
#include "krtools/file.h"

namespace {

namespace fs = std::filesystem;
using fstest::ExpectThrown;
static_assert(!std::is_copy_constructible_v<KRDIR> && !std::is_copy_assignable_v<KRDIR>);

std::multiset<std::string> Walk(KRDIR& walker) {
    std::multiset<std::string> names;
    while (const char* name = walker.Next()) names.insert(name);
    return names;
}

// The attributes in the order of fstest::PythonStat's arguments.
std::string Attributes(KRDIR& w) {
    w.RetrieveAttributes();
    return std::to_string(w.GetMode()) + " " + std::to_string(w.GetOwner()) + " " +
           std::to_string(w.GetGroup()) + " " + std::to_string(w.GetSize()) + " " +
           std::to_string(w.GetCreateTime()) + " " + std::to_string(w.GetModifyTime()) + " " +
           std::to_string(w.GetAccessTime());
}

// Counts the calls of the virtual Open.
struct CountingWalker : KRDIR {
    using KRDIR::KRDIR;
    using KRDIR::Open;
    void Open() override {
        ++opens;
        KRDIR::Open();
    }
    int opens = 0;
};

// Names and attributes as Python's os.listdir and os.stat see them, with a
// sparse file beyond 4 GiB, set-uid mode bits and ids beyond 16 bits where
// chown is allowed.
TEST(KRDIR, WalkAndAttributesMatchPython) {
    testutil::TempDir temp;
    KRDIR walker(temp.path().c_str());
    EXPECT_EQ(Walk(walker), (std::multiset<std::string>{".", ".."}));
    EXPECT_EQ(walker.Next(), nullptr);
    EXPECT_STREQ(walker.GetFileName(), "");
    for (int i = 0; i < 300; ++i) testutil::WriteFile(temp.File("f" + std::to_string(i)), "x");
    fs::create_directories(temp.File("sub/inner"));
    fs::create_symlink("f1", temp.File(".link"));
    testutil::WriteFile(temp.File("big"), "");
    fs::resize_file(temp.File("big"), 5LL << 30);
    fs::permissions(temp.File("f0"), static_cast<fs::perms>(04751));
    (void)testutil::Run("chown 70000:70001 " + temp.File("big") + " 2>/dev/null");

    auto python = fstest::PythonStat(temp.path(), "{0} {1} {2} {3} {4} {5} {6}");
    ASSERT_EQ(python.size(), 305u);
    // Before the first entry the path is the directory and a separator.
    walker.Rewind();
    EXPECT_EQ(Attributes(walker), python["."]);
    std::multiset<std::string> names, expected;
    while (const char* name = walker.Next()) {
        // ".." is the shared temporary folder, which other processes change.
        if (names.insert(name) != names.end() && std::string(name) != "..") {
            EXPECT_EQ(Attributes(walker), python[name]) << name;
        }
    }
    for (const auto& entry : python) expected.insert(entry.first);
    EXPECT_EQ(names, expected);
}

TEST(KRDIR, FailuresCarryWhereWhatAndCode) {
    CountingWalker unnamed;
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { unnamed.Next(); }, [&] { unnamed.Rewind(); }, [&] { unnamed.Open(nullptr); },
             [] { KRDIR walker(""); }, [] { KRDIR walker(nullptr); }}) {
        ExpectThrown(call, -1, "KRDIR::Open\nEmpty directory name");
    }
    EXPECT_EQ(unnamed.opens, 3);
    unnamed.Remove();

    testutil::TempDir temp;
    std::string later = temp.File("later");
    KRDIR walker(later.c_str());
    ExpectThrown([&] { walker.Next(); }, ENOENT, "KRDIR::Next", later);
    ExpectThrown([&] { walker.RetrieveAttributes(); }, ENOENT, "KRDIR::RetrieveAttributes",
                 later + "/");
    EXPECT_STREQ(walker.GetFileName(), "");
    // The failed first step is tried again; a vanished entry leaves zeros.
    fs::create_directory(later);
    testutil::WriteFile(later + "/x", "12345");
    while (walker.Next() != nullptr && std::string(walker.GetFileName()) != "x") {
    }
    walker.RetrieveAttributes();
    EXPECT_EQ(walker.GetSize(), 5);
    fs::remove(later + "/x");
    ExpectThrown([&] { walker.RetrieveAttributes(); }, ENOENT, "KRDIR::RetrieveAttributes",
                 later + "/x");
    EXPECT_EQ(walker.GetSize() + walker.GetMode() + walker.GetModifyTime(), 0);

    testutil::WriteFile(later + "/y", "");
    ExpectThrown([&] { walker.Remove(); }, ENOTEMPTY, "KRDIR::Remove", later);
    fs::remove(later + "/y");
    walker.Remove();
    EXPECT_FALSE(fs::exists(later));
    ExpectThrown([&] { walker.Remove(); }, ENOENT, "KRDIR::Remove", later);
    std::string plain = temp.File("plain");
    testutil::WriteFile(plain, "");
    ExpectThrown([&] { KRDIR(plain.c_str()).Next(); }, ENOTDIR, "KRDIR::Next", plain);
}

TEST(KRDIR, RewindOpenAndRemoveRestartTheWalkThroughTheVirtualOpen) {
    testutil::TempDir temp;
    for (const char* n : {"a", "b", "c"}) testutil::WriteFile(temp.File(n), "");
    CountingWalker walker;
    walker.Open(temp.path().c_str());
    walker.Close();
    std::multiset<std::string> all = Walk(walker);
    EXPECT_EQ(all, (std::multiset<std::string>{".", "..", "a", "b", "c"}));
    walker.Rewind();
    std::string first = walker.Next();
    walker.Next();
    walker.Rewind();
    EXPECT_EQ(walker.Next(), first);
    walker.Open();
    EXPECT_EQ(Walk(walker), all);
    EXPECT_EQ(walker.opens, 5);
    EXPECT_THROW(walker.Remove(), KRException);
    walker.Next();  // Remove closed the walker: Next opens it again
    EXPECT_EQ(walker.opens, 6);

    KRDIR moved;
    moved = KRDIR(std::move(walker));
    EXPECT_EQ(Walk(moved).size() + 1, all.size());
}

}  // namespace
