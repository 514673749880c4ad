#include <cerrno>
#include <cstring>
#include <utility>

#include "krtools/console.h"
#include "testutil.h"

namespace {

TEST(KR_FILE_PTR, OpenFailureThrowsErrnoWithSystemText) {
    KR_FILE_PTR file;
    try {
        file.Open("/nonexistent-dir/file", "rb");
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, ENOENT);
        EXPECT_EQ(e.text, std::string("Open failed: \nWindows rc: 0x00000002\n") +
                              std::strerror(ENOENT) + "\n");
    }
    EXPECT_EQ(file.fp, nullptr);
}

TEST(KR_FILE_PTR, OpenOnHeldStreamKeepsItAndCloseEmpties) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("a"), "abc");
    KR_FILE_PTR file;
    file.Open(dir.File("a").c_str(), "rb");
    FILE* held = file.fp;
    ASSERT_NE(held, nullptr);
    file.Open("/nonexistent-dir/file", "rb");
    EXPECT_EQ(file.fp, held);

    KR_FILE_PTR moved(std::move(file));
    EXPECT_EQ(file.fp, nullptr);
    EXPECT_EQ(moved.fp, held);
    moved.Close();
    EXPECT_EQ(moved.fp, nullptr);
    moved.Close();
}

TEST(KR_DYNAMIC_PTR, MallocReplacesAndFreeEmpties) {
    KR_DYNAMIC_PTR block;
    block.Malloc(0);
    EXPECT_EQ(block.size, 0);
    block.Malloc(100);
    ASSERT_NE(block.ptr, nullptr);
    EXPECT_EQ(block.size, 100);
    std::memset(block.ptr, 0xAB, 100);

    KR_DYNAMIC_PTR other;
    other = std::move(block);
    EXPECT_EQ(block.ptr, nullptr);
    EXPECT_EQ(block.size, 0);
    EXPECT_EQ(other.size, 100);
    other.Free();
    EXPECT_EQ(other.ptr, nullptr);
    EXPECT_EQ(other.size, 0);
}

TEST(KR_DYNAMIC_PTR, FailedMallocKeepsRequestedSizeAndNullPointer) {
    KR_DYNAMIC_PTR block;
    block.Malloc(16);
    try {
        block.Malloc(-1);
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, ENOMEM);
        EXPECT_EQ(e.text.rfind("Malloc failed: \nWindows rc: 0x0000000C\n", 0), 0u) << e.text;
    }
    EXPECT_EQ(block.ptr, nullptr);
    EXPECT_EQ(block.size, -1);
}

TEST(Console, PrintfAndPerrorWithStatus) {
    std::string out = testutil::CaptureStdout([] { EXPECT_EQ(Printf("%d-%s", 42, "x"), 4); });
    EXPECT_EQ(out, "42-x");

    std::string err;
    out = testutil::CaptureStdout([&] {
        err = testutil::CaptureStderr([] {
            errno = ENOENT;
            PerrorWithStatus("word%s", 3);
        });
    });
    EXPECT_EQ(out, "word%s");
    EXPECT_EQ(err, std::string(" status=3\n: ") + std::strerror(ENOENT) + "\n");

    err = testutil::CaptureStderr([] {
        errno = EACCES;
        Perror("ctx");
    });
    EXPECT_EQ(err, std::string("ctx: ") + std::strerror(EACCES) + "\n");
    EXPECT_EQ(CCATest(), 0);
}

}  // namespace
