#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "fs_test_util.h"
#include "krtools/file.h"
#include "testutil.h"

namespace {

using fstest::SystemLines;
using fstest::Where;

static_assert(!std::is_copy_constructible_v<KRDIR>);
static_assert(!std::is_copy_assignable_v<KRDIR>);
static_assert(std::is_polymorphic_v<KRDIR>);

std::vector<std::string> Walk(KRDIR& walker) {
    std::vector<std::string> names;
    while (const char* name = walker.Next()) names.push_back(name);
    return names;
}

std::multiset<std::string> Sorted(const std::vector<std::string>& names) {
    return std::multiset<std::string>(names.begin(), names.end());
}

// Python's view of a directory: every name os.listdir gives, plus "." and
// "..", each with its os.stat fields.
struct PyStat {
    long mode, uid, gid, size, ctime, mtime, atime;
};

std::map<std::string, PyStat> PythonListing(const std::string& dir) {
    std::string script =
        "import os,sys\n"
        "d=sys.argv[1]\n"
        "for n in ['.','..']+os.listdir(d):\n"
        "    s=os.stat(os.path.join(d,n))\n"
        "    print(s.st_mode&0xFFFF,s.st_uid,s.st_gid,s.st_size,int(s.st_ctime),"
        "int(s.st_mtime),int(s.st_atime),n)\n";
    auto result = testutil::Run("python3 -c " + testutil::ShellQuote(script) + " " +
                                testutil::ShellQuote(dir));
    EXPECT_EQ(result.status, 0);
    std::map<std::string, PyStat> listing;
    std::istringstream lines(result.output);
    PyStat s;
    std::string name;
    while (lines >> s.mode >> s.uid >> s.gid >> s.size >> s.ctime >> s.mtime >> s.atime &&
           std::getline(lines >> std::ws, name)) {
        listing[name] = s;
    }
    return listing;
}

class KRDIRTest : public ::testing::Test {
protected:
    testutil::TempDir temp;
};

// Exposes the protected switches and overrides Open to count calls.
class InspectingWalker : public KRDIR {
public:
    using KRDIR::KRDIR;
    int opens = 0;
    void Open() override {
        ++opens;
        KRDIR::Open();
    }
    using KRDIR::Open;
    bool IsOpen() const { return openSwitch != 0; }
    bool Searching() const { return searchStarted != 0; }
};

TEST_F(KRDIRTest, EmptyDirectoryYieldsDotEntriesThenNull) {
    KRDIR walker(temp.path().c_str());
    EXPECT_STREQ(walker.GetFileName(), "");
    EXPECT_EQ(Sorted(Walk(walker)), (std::multiset<std::string>{".", ".."}));
    EXPECT_EQ(walker.Next(), nullptr);
    EXPECT_EQ(walker.Next(), nullptr);
    EXPECT_STREQ(walker.GetFileName(), "");
    EXPECT_STREQ(walker.GetDirName(), temp.path().c_str());
}

TEST_F(KRDIRTest, EveryEntryOnceAsPythonListsThem) {
    for (int i = 0; i < 300; ++i) testutil::WriteFile(temp.File("f" + std::to_string(i)), "x");
    std::filesystem::create_directory(temp.File("sub"));
    std::filesystem::create_directory(temp.File("sub/inner"));
    testutil::WriteFile(temp.File(".hidden"), "");
    KRDIR walker;
    walker.Open(temp.path().c_str());
    std::vector<std::string> names = Walk(walker);
    std::multiset<std::string> expected;
    for (const auto& [name, stat] : PythonListing(temp.path())) expected.insert(name);
    EXPECT_EQ(Sorted(names), expected);
    EXPECT_EQ(names.size(), 304u);  // 300 files, sub, .hidden, "." and ".."
}

TEST_F(KRDIRTest, AttributesMatchPythonStat) {
    testutil::WriteFile(temp.File("small"), std::string(1234, 'a'));
    std::filesystem::create_directory(temp.File("dir"));
    std::filesystem::create_symlink("small", temp.File("link"));
    // A sparse file beyond 4 GiB and ids beyond 16 bits, where possible.
    std::filesystem::resize_file(temp.File("small"), 1234);
    testutil::WriteFile(temp.File("big"), "");
    std::filesystem::resize_file(temp.File("big"), 5LL << 30);
    bool chowned = chown(temp.File("big").c_str(), 70000, 70001) == 0;
    chmod(temp.File("small").c_str(), 04751);

    auto expected = PythonListing(temp.path());
    ASSERT_EQ(expected.size(), 6u);
    KRDIR walker(temp.path().c_str());
    int seen = 0;
    while (const char* name = walker.Next()) {
        walker.RetrieveAttributes();
        ++seen;
        // ".." is the shared temporary folder, which other processes change.
        if (std::string(name) == "..") continue;
        const PyStat& s = expected.at(name);
        SCOPED_TRACE(name);
        EXPECT_EQ(walker.GetMode(), s.mode);
        EXPECT_EQ(walker.GetOwner(), s.uid);
        EXPECT_EQ(walker.GetGroup(), s.gid);
        EXPECT_EQ(walker.GetSize(), s.size);
        EXPECT_EQ(walker.GetCreateTime(), s.ctime);
        EXPECT_EQ(walker.GetModifyTime(), s.mtime);
        EXPECT_EQ(walker.GetAccessTime(), s.atime);
    }
    EXPECT_EQ(seen, 6);
    EXPECT_EQ(expected.at("big").size, 5LL << 30);
    EXPECT_EQ(expected.at("small").mode & 07777, 04751);
    if (chowned) {
        EXPECT_EQ(expected.at("big").uid, 70000);
        EXPECT_EQ(expected.at("big").gid, 70001);
    }
}

TEST_F(KRDIRTest, AttributesBeforeFirstNextStatTheDirectoryWithSeparator) {
    KRDIR walker(temp.path().c_str());
    walker.RetrieveAttributes();
    struct stat st;
    ASSERT_EQ(stat((temp.path() + "/").c_str(), &st), 0);
    EXPECT_EQ(walker.GetMode(), static_cast<int>(st.st_mode & 0xFFFF));
    EXPECT_TRUE(S_ISDIR(static_cast<mode_t>(walker.GetMode())));
    EXPECT_EQ(walker.GetModifyTime(), st.st_mtime);

    std::string missing = temp.File("gone");
    KRDIR absent(missing.c_str());
    try {
        absent.RetrieveAttributes();
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, ENOENT);
        EXPECT_EQ(e.text, Where("KRDIR::RetrieveAttributes", missing + "/") + SystemLines(ENOENT));
    }
}

TEST_F(KRDIRTest, FailedRetrievalClearsAttributes) {
    testutil::WriteFile(temp.File("only"), "12345");
    KRDIR walker(temp.path().c_str());
    const char* name;
    while ((name = walker.Next()) != nullptr && std::string(name) != "only") {
    }
    ASSERT_NE(name, nullptr);
    walker.RetrieveAttributes();
    EXPECT_EQ(walker.GetSize(), 5);
    std::filesystem::remove(temp.File("only"));
    try {
        walker.RetrieveAttributes();
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, ENOENT);
        EXPECT_EQ(e.text,
                  Where("KRDIR::RetrieveAttributes", temp.File("only")) + SystemLines(ENOENT));
    }
    EXPECT_EQ(walker.GetSize(), 0);
    EXPECT_EQ(walker.GetMode(), 0);
    EXPECT_EQ(walker.GetModifyTime(), 0);
}

TEST_F(KRDIRTest, EmptyNameThrowsFromOpenWhereverItIsReached) {
    auto expectEmptyName = [](const std::function<void()>& body) {
        try {
            body();
            ADD_FAILURE() << "no exception";
        } catch (const KRException& e) {
            EXPECT_EQ(e.rc, -1);
            EXPECT_EQ(e.text, "KRDIR::Open\nEmpty directory name");
        }
    };
    KRDIR unnamed;
    expectEmptyName([&] { unnamed.Next(); });
    expectEmptyName([&] { unnamed.Rewind(); });
    expectEmptyName([&] { unnamed.Open(nullptr); });
    expectEmptyName([] { KRDIR walker(""); });
    expectEmptyName([] { KRDIR walker(nullptr); });
    unnamed.Remove();
}

TEST_F(KRDIRTest, ListingFailureCarriesErrnoAndRetriesTheFirstStep) {
    std::string missing = temp.File("later");
    InspectingWalker walker(missing.c_str());
    try {
        walker.Next();
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, ENOENT);
        EXPECT_EQ(e.text, Where("KRDIR::Next", missing) + SystemLines(ENOENT));
    }
    EXPECT_STREQ(walker.GetFileName(), "");
    EXPECT_FALSE(walker.Searching());
    std::filesystem::create_directory(missing);
    testutil::WriteFile(missing + "/x", "");
    EXPECT_EQ(Sorted(Walk(walker)), (std::multiset<std::string>{".", "..", "x"}));

    testutil::WriteFile(temp.File("plain"), "");
    KRDIR onFile(temp.File("plain").c_str());
    try {
        onFile.Next();
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, ENOTDIR);
        EXPECT_EQ(e.text, Where("KRDIR::Next", temp.File("plain")) + SystemLines(ENOTDIR));
    }
}

TEST_F(KRDIRTest, RewindRestartsFromTheFirstEntry) {
    for (const char* n : {"a", "b", "c", "d"}) testutil::WriteFile(temp.File(n), "");
    KRDIR walker(temp.path().c_str());
    std::vector<std::string> first = Walk(walker);
    ASSERT_EQ(first.size(), 6u);
    walker.Rewind();
    EXPECT_STREQ(walker.GetFileName(), "");
    EXPECT_EQ(Walk(walker), first);

    walker.Rewind();
    walker.Next();
    walker.Next();
    walker.Rewind();
    EXPECT_EQ(std::string(walker.Next()), first[0]);
    walker.Open();
    EXPECT_EQ(Walk(walker), first);
}

TEST_F(KRDIRTest, VirtualOpenIsUsedByNextRewindAndOpenWithName) {
    testutil::WriteFile(temp.File("e"), "");
    InspectingWalker walker;
    walker.Open(temp.path().c_str());
    EXPECT_EQ(walker.opens, 1);
    EXPECT_TRUE(walker.IsOpen());
    walker.Close();
    EXPECT_FALSE(walker.IsOpen());
    EXPECT_NE(walker.Next(), nullptr);
    EXPECT_EQ(walker.opens, 2);
    EXPECT_TRUE(walker.Searching());
    walker.Rewind();
    EXPECT_EQ(walker.opens, 3);
    EXPECT_FALSE(walker.Searching());
}

TEST_F(KRDIRTest, RemoveDeletesAnEmptyDirectoryAndRefusesAFullOne) {
    std::string full = temp.File("full");
    std::filesystem::create_directory(full);
    testutil::WriteFile(full + "/x", "");
    InspectingWalker walker(full.c_str());
    walker.Next();
    try {
        walker.Remove();
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, ENOTEMPTY);
        EXPECT_EQ(e.text, Where("KRDIR::Remove", full) + SystemLines(ENOTEMPTY));
    }
    EXPECT_FALSE(walker.IsOpen());
    EXPECT_TRUE(std::filesystem::exists(full));

    std::filesystem::remove(full + "/x");
    walker.Remove();
    EXPECT_FALSE(std::filesystem::exists(full));
    EXPECT_THROW(walker.Remove(), KRException);
}

TEST_F(KRDIRTest, MoveHandsOverTheWalk) {
    for (const char* n : {"a", "b"}) testutil::WriteFile(temp.File(n), "");
    KRDIR first(temp.path().c_str());
    std::vector<std::string> names;
    names.push_back(first.Next());
    KRDIR second(std::move(first));
    EXPECT_STREQ(first.GetDirName(), "");
    while (const char* name = second.Next()) names.push_back(name);
    EXPECT_EQ(Sorted(names), (std::multiset<std::string>{".", "..", "a", "b"}));
    KRDIR third;
    third = std::move(second);
    EXPECT_EQ(third.Next(), nullptr);
    third.Rewind();
    EXPECT_EQ(Walk(third).size(), 4u);
}

}  // namespace
