// Injected failures of the directory calls: listings failing at the start
// and midway, status, creation, removal and changing directory.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "fault_plan.h"
#include "krtools/file.h"
#include "testutil.h"

namespace {

// (rc, text) of what `body` throws; (0, "none") when nothing.
std::pair<int, std::string> Thrown(const std::function<void()>& body) {
    try {
        body();
    } catch (const KRException& e) {
        return {e.rc, e.text};
    }
    return {0, "none"};
}

// "where\nwhat\nWindows rc: 0x...\n<system text>\n".
std::string SystemText(const std::string& where, const std::string& what, int code) {
    char rcLine[40];
    std::snprintf(rcLine, sizeof rcLine, "Windows rc: 0x%08X\n", static_cast<unsigned>(code));
    return where + "\n" + what + "\n" + rcLine + std::strerror(code) + "\n";
}

TEST(DirFaults, ListingFailsAtTheStartOrMidwayAndCanStartAgain) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("a"), "");
    testutil::WriteFile(dir.File("b"), "");
    for (const auto& [call, skip] : {std::pair<const char*, int>{"opendir", 0}, {"readdir", 2}}) {
        faults::Scope scope;
        KRDIR walker(dir.path().c_str());
        int delivered = 0;
        for (; delivered < skip; ++delivered) ASSERT_NE(walker.Next(), nullptr);
        faults::Fail(call, EIO);
        EXPECT_EQ(Thrown([&] { walker.Next(); }),
                  std::make_pair(EIO, SystemText("KRDIR::Next", dir.path(), EIO)));
        EXPECT_STREQ(walker.GetFileName(), "");
        // The next Next goes on: after a failed start it starts the listing.
        int rest = 0;
        while (walker.Next() != nullptr) ++rest;
        EXPECT_EQ(delivered + rest, 4) << call;
    }
}

TEST(DirFaults, StatusRemovalCreationAndChangeCarryErrno) {
    testutil::TempDir dir;
    const std::string sub = dir.File("sub");
    faults::Scope scope;
    KRDIR walker(dir.path().c_str());
    faults::Fail("stat", EACCES);
    EXPECT_EQ(
        Thrown([&] { walker.RetrieveAttributes(); }),
        std::make_pair(EACCES, SystemText("KRDIR::RetrieveAttributes", dir.path() + "/", EACCES)));
    EXPECT_EQ(walker.GetSize(), 0);

    faults::Fail("mkdir", ENOSPC);
    EXPECT_EQ(Thrown([&] { BuildDirectoryNode(sub.c_str()); }),
              std::make_pair(ENOSPC, SystemText("BuildDirectoryNode",
                                                "Error creating directory: " + sub, ENOSPC)));
    faults::Fail("mkdir", EACCES, 1);  // the second level fails, the first stays
    EXPECT_EQ(Thrown([&] { BuildDirectory((sub + "/deeper").c_str()); }).first, EACCES);
    EXPECT_EQ(Thrown([&] { KRDIR(sub.c_str()).RetrieveAttributes(); }).first, 0);

    KRDIR removable(sub.c_str());
    faults::Fail("rmdir", EBUSY);
    EXPECT_EQ(Thrown([&] { removable.Remove(); }),
              std::make_pair(EBUSY, SystemText("KRDIR::Remove", sub, EBUSY)));
    faults::Fail("chdir", ENOENT);
    EXPECT_EQ(Thrown([&] { KRChangeDirectory(sub.c_str()); }),
              std::make_pair(ENOENT, SystemText("KRChangeDirectory",
                                                "Error changing to directory: " + sub, ENOENT)));
    faults::Reset();
    removable.Remove();
}

}  // namespace
