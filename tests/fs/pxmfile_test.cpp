#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

#include "fs_test_util.h"
#include "krtools/file.h"
#include "testutil.h"

namespace {

using fstest::FileMessage;
using fstest::SystemLines;

// Runs `body`, which must throw PXMFileException; returns it.
PXMFileException Catch(const std::function<void()>& body) {
    try {
        body();
    } catch (const PXMFileException& e) {
        return e;
    }
    ADD_FAILURE() << "no PXMFileException";
    return PXMFileException("", "", "", "");
}

constexpr int kNoSystemText = -1;

// Expects `body` to throw the exception `file` builds for `function` and
// `text`; given an errno `code`, also that code as rc and its system lines.
void ExpectFailure(PXMFile& file, const char* function, const std::string& text,
                   const std::function<void()>& body, int code = kNoSystemText) {
    PXMFileException e = Catch(body);
    std::string expected = FileMessage(function, file.GetFileName(), file.GetMode(), text);
    if (code != kNoSystemText) {
        EXPECT_EQ(e.rc, code);
        expected += SystemLines(code);
    }
    EXPECT_EQ(e.text, expected);
}

static_assert(!std::is_copy_constructible_v<PXMFile>);
static_assert(!std::is_copy_assignable_v<PXMFile>);
static_assert(std::is_base_of_v<KRException, PXMFileException>);

class PXMFileTest : public ::testing::Test {
protected:
    testutil::TempDir dir;
    std::string path = dir.File("data.txt");
};

TEST_F(PXMFileTest, OpenPreconditionsUseErrnoAndNoSystemText) {
    PXMFile file;
    errno = EXDEV;
    auto e = Catch([&] { file.Open(); });
    EXPECT_EQ(e.text, FileMessage("Open", "", "", "File name not specified"));
    EXPECT_EQ(e.rc, EXDEV);

    file.SetFileName(path.c_str());
    errno = 0;
    e = Catch([&] { file.Open(); });
    EXPECT_EQ(e.text, FileMessage("Open", path, "", "File open mode not specified"));
    EXPECT_EQ(e.rc, 0);
    EXPECT_EQ(file.GetFileHandle(), nullptr);
}

TEST_F(PXMFileTest, FailedFopenReportsErrnoAndSystemText) {
    std::string missing = dir.File("no/such/file");
    PXMFile file(missing.c_str(), "rb");
    ExpectFailure(
        file, "Open", "File open failed: ", [&] { file.Open(); }, ENOENT);
    ExpectFailure(
        file, "Open", "File open failed: ", [&] { file.Open(dir.path().c_str(), "w"); }, EISDIR);
    EXPECT_EQ(file.GetFileName(), dir.path());
    EXPECT_EQ(file.GetFileHandle(), nullptr);
}

TEST_F(PXMFileTest, OpenOnOpenObjectKeepsStreamButReplacesTexts) {
    testutil::WriteFile(path, "abc");
    PXMFile file(path.c_str(), "rb");
    file.Open();
    FILE* stream = file.GetFileHandle();
    ASSERT_NE(stream, nullptr);
    file.Open();
    EXPECT_EQ(file.GetFileHandle(), stream);
    file.Open("/no/such/file", "zz");
    EXPECT_EQ(file.GetFileHandle(), stream);
    EXPECT_EQ(file.GetFileName(), "/no/such/file");
    EXPECT_EQ(file.GetMode(), "zz");
}

// Reading in pieces through a small working buffer gives back the file's
// bytes exactly, and the EOF switch behaves as a latch.
TEST_F(PXMFileTest, FgetsReadsLinesAndLatchesEndOfFile) {
    std::string content = "first line\nsecond\n\nlast without end";
    testutil::WriteFile(path, content);
    PXMFile file(path.c_str(), "rb");
    file.Open();
    file.AllocateBuffer(5);
    std::string joined;
    int pieces = 0;
    for (int n; (n = file.Fgets()) > 0; ++pieces) {
        EXPECT_LE(n, 4);
        EXPECT_EQ(static_cast<size_t>(n), std::strlen(file.GetBuffer()));
        joined.append(file.GetBuffer(), static_cast<size_t>(n));
    }
    EXPECT_EQ(joined, content);
    EXPECT_GT(pieces, 8);
    EXPECT_TRUE(file.GetEOFSwitch());
    EXPECT_EQ(file.Fgets(), 0);

    file.Rewind();
    EXPECT_FALSE(file.GetEOFSwitch());
    char line[64];
    EXPECT_EQ(file.Fgets(line, sizeof line), 11);
    EXPECT_STREQ(line, "first line\n");
    EXPECT_EQ(file.Fgets(line, sizeof line), 7);
    EXPECT_EQ(file.Fgets(line, sizeof line), 1);
    // The last line has no line end: its length, then 0 with the switch set.
    EXPECT_EQ(file.Fgets(line, sizeof line), 16);
    EXPECT_FALSE(file.GetEOFSwitch());
    EXPECT_EQ(file.Fgets(line, sizeof line), 0);
    EXPECT_TRUE(file.GetEOFSwitch());
    // A new Open clears the switch as well.
    file.Close();
    file.Open();
    EXPECT_FALSE(file.GetEOFSwitch());
    EXPECT_EQ(file.Fgets(line, sizeof line), 11);
}

TEST_F(PXMFileTest, FreadShortCountAtEndSetsEofSwitch) {
    std::string content;
    for (int i = 0; i < 1000; ++i) content += static_cast<char>(i * 7);
    testutil::WriteFile(path, content);
    PXMFile file(path.c_str(), "rb");
    file.Open();
    file.AllocateBuffer(300);
    std::string joined;
    EXPECT_EQ(file.Fread(300), 300);
    joined.append(file.GetBuffer(), 300);
    EXPECT_EQ(file.Fread(300), 300);
    joined.append(file.GetBuffer(), 300);
    EXPECT_EQ(file.Fread(300), 300);
    joined.append(file.GetBuffer(), 300);
    EXPECT_FALSE(file.GetEOFSwitch());
    EXPECT_EQ(file.Fread(300), 100);
    joined.append(file.GetBuffer(), 100);
    EXPECT_TRUE(file.GetEOFSwitch());
    EXPECT_EQ(file.Fread(300), 0);
    EXPECT_EQ(joined, content);

    file.Rewind();
    char own[10];
    EXPECT_EQ(file.Fread(own, 10), 10);
    EXPECT_EQ(std::string(own, 10), content.substr(0, 10));
}

TEST_F(PXMFileTest, ReadPreconditions) {
    testutil::WriteFile(path, "abc");
    PXMFile file(path.c_str(), "rb");
    file.Open();
    ExpectFailure(file, "Fgets", "I/O buffer is NULL", [&] { file.Fgets(); });
    ExpectFailure(file, "Fgets", "I/O buffer is NULL", [&] { file.Fgets(nullptr, 10); });
    ExpectFailure(file, "Fread", "I/O buffer is NULL", [&] { file.Fread(1); });
    ExpectFailure(file, "Fread", "I/O buffer is NULL", [&] { file.Fread(nullptr, 1); });
    file.AllocateBuffer(2);
    ExpectFailure(file, "Fread", "I/O buffer is too small", [&] { file.Fread(3); });
    ExpectFailure(file, "Fread", "Negative byte count", [&] { file.Fread(-1); });
    char one[1];
    ExpectFailure(file, "Fgets", "I/O buffer is too small", [&] { file.Fgets(one, 0); });
    EXPECT_FALSE(file.GetEOFSwitch());
    EXPECT_EQ(file.Fread(2), 2);
}

TEST_F(PXMFileTest, StreamErrorsOnReadAndWriteCarrySystemText) {
    PXMFile writer(path.c_str(), "wb");
    writer.Open();
    writer.AllocateBuffer(16);
    ExpectFailure(
        writer, "Fgets", "File fgets failed: ", [&] { writer.Fgets(); }, EBADF);
    EXPECT_FALSE(writer.GetEOFSwitch());
    ExpectFailure(
        writer, "Fread", "File fread failed: ", [&] { writer.Fread(4); }, EBADF);
    writer.Close();

    PXMFile reader(path.c_str(), "rb");
    reader.Open();
    reader.AllocateBuffer(16);
    reader.SetBuffer("hello", 5);
    ExpectFailure(
        reader, "Fwrite", "File fwrite failed: ", [&] { reader.Fwrite(5); }, EBADF);
    ExpectFailure(
        reader, "Fputs", "File fputs failed: ", [&] { reader.Fputs("x"); }, EBADF);
}

TEST_F(PXMFileTest, FflushFailureOnFullDevice) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    PXMFile file("/dev/full", "w");
    file.Open();
    file.Fputs("some text");
    ExpectFailure(
        file, "Fflush", "File fflush failed: ", [&] { file.Fflush(); }, ENOSPC);
    // The stream's buffered data is gone with the failure; closing succeeds
    // or reports the same error, and the stream is released either way.
    try {
        file.Close();
    } catch (const PXMFileException& close) {
        EXPECT_NE(close.text.find("File close failed: "), std::string::npos);
    }
    EXPECT_EQ(file.GetFileHandle(), nullptr);
}

TEST_F(PXMFileTest, ClosedObjectBehaviour) {
    PXMFile file(path.c_str(), "rb");
    file.Fflush();
    file.Rewind();
    file.AllocateBuffer(8);
    EXPECT_EQ(file.Fgets(), 0);
    EXPECT_EQ(file.Fread(4), 0);
    EXPECT_FALSE(file.GetEOFSwitch());
    // Positioning and writing use two different texts.
    ExpectFailure(file, "Ftell", "File not open", [&] { file.Ftell(); });
    ExpectFailure(file, "Fgetpos", "File not open", [&] { file.Fgetpos(); });
    ExpectFailure(file, "Fsetpos", "File not open", [&] { file.Fsetpos(0); });
    ExpectFailure(file, "Fseek", "File not open", [&] { file.Fseek(1L); });
    ExpectFailure(file, "Fseek", "File not open", [&] { file.Fseek(0, 0L); });
    ExpectFailure(file, "Fputs", "file not open", [&] { file.Fputs(); });
    ExpectFailure(file, "Fputs", "file not open", [&] { file.Fputs("x"); });
    ExpectFailure(file, "Fwrite", "file not open", [&] { file.Fwrite(1); });
    ExpectFailure(file, "Fwrite", "file not open", [&] { file.Fwrite("x", 1); });
    ExpectFailure(file, "Fprintf", "file not open", [&] { file.Fprintf("%d", 1); });
    file.Close();
}

TEST_F(PXMFileTest, SeekToEndLatchesEofUntilRewind) {
    std::string content = "line one\nline two\n";
    testutil::WriteFile(path, content);
    PXMFile file(path.c_str(), "rb");
    file.Open();
    file.AllocateBuffer(64);
    file.Fseek(-1L);
    EXPECT_TRUE(file.GetEOFSwitch());
    EXPECT_EQ(file.Ftell(), static_cast<long>(std::filesystem::file_size(path)));
    file.Fseek(0, 0L);
    EXPECT_EQ(file.Ftell(), 0);
    EXPECT_EQ(file.Fgets(), 0);
    file.Fsetpos(0);
    EXPECT_TRUE(file.GetEOFSwitch());
    file.Rewind();
    EXPECT_FALSE(file.GetEOFSwitch());
    EXPECT_EQ(file.Fgets(), 9);

    file.Fseek(2L);
    EXPECT_EQ(file.Ftell(), 11);
    file.Fseek(2, -4L);
    EXPECT_EQ(file.Ftell(), static_cast<long>(content.size()) - 4);
    EXPECT_FALSE(file.GetEOFSwitch());
    long long position = file.Fgetpos();
    EXPECT_EQ(position, static_cast<long long>(content.size()) - 4);
    file.Rewind();
    file.Fsetpos(position);
    EXPECT_EQ(file.Fgets(), 4);
    EXPECT_STREQ(file.GetBuffer(), "two\n");

    ExpectFailure(
        file, "Fseek", "File fseek failed: ", [&] { file.Fseek(7, 0L); }, EINVAL);
    ExpectFailure(
        file, "Fseek", "File fseek failed: ", [&] { file.Fseek(0, -5L); }, EINVAL);
    ExpectFailure(
        file, "Fsetpos", "File fsetpos failed: ", [&] { file.Fsetpos(-3); }, EINVAL);
}

TEST_F(PXMFileTest, WritesReachTheFile) {
    PXMFile file(path.c_str(), "wb");
    file.Open();
    file.AllocateBuffer(8);
    file.SetBuffer("buf", 3);
    EXPECT_GE(file.Fputs(), 0);
    EXPECT_EQ(file.Fwrite(2), 2);
    EXPECT_GE(file.Fputs("|text|"), 0);
    EXPECT_EQ(file.Fwrite("raw\0bytes", 9), 9);
    EXPECT_EQ(file.Fprintf("%s=%d;", "n", -42), 6);
    file.Fflush();
    EXPECT_EQ(testutil::ReadFile(path), std::string("bufbu|text|raw\0bytesn=-42;", 26));
    file.Close();
}

TEST_F(PXMFileTest, WritePreconditions) {
    PXMFile file(path.c_str(), "wb");
    file.Open();
    ExpectFailure(file, "Fputs", "I/O buffer is NULL", [&] { file.Fputs(); });
    ExpectFailure(file, "Fputs", "I/O buffer is NULL", [&] { file.Fputs(nullptr); });
    ExpectFailure(file, "Fwrite", "I/O buffer is NULL", [&] { file.Fwrite(1); });
    ExpectFailure(file, "Fwrite", "I/O buffer is NULL", [&] { file.Fwrite(nullptr, 1); });
    // The formatted text does not pass through the buffer, yet it is required.
    ExpectFailure(file, "Fprintf", "I/O buffer is NULL", [&] { file.Fprintf("x"); });
    file.AllocateBuffer(4);
    ExpectFailure(file, "Fwrite", "I/O buffer is too small", [&] { file.Fwrite(5); });
    ExpectFailure(file, "Fwrite", "Negative byte count", [&] { file.Fwrite("x", -1); });
    file.Close();
    EXPECT_EQ(testutil::ReadFile(path), "");
}

TEST_F(PXMFileTest, SetBufferZeroFillsAndFullBufferIsWrittenWhole) {
    PXMFile file(path.c_str(), "wb");
    file.AllocateBuffer(6);
    std::memset(file.GetBuffer(), 'Z', 6);
    file.SetBuffer("ab", 2);
    EXPECT_EQ(std::string(file.GetBuffer(), 6), std::string("ab\0\0\0\0", 6));
    file.SetBuffer("abcdef", 6);
    EXPECT_EQ(std::string(file.GetBuffer(), 6), "abcdef");
    file.Open();
    // No terminating zero inside the buffer: exactly its six bytes go out.
    EXPECT_GE(file.Fputs(), 0);
    file.Close();
    EXPECT_EQ(testutil::ReadFile(path), "abcdef");

    ExpectFailure(file, "SetBuffer", "set buffer not specified",
                  [&] { file.SetBuffer(nullptr, 1); });
    ExpectFailure(file, "SetBuffer", "set length greater than bufferSize",
                  [&] { file.SetBuffer("1234567", 7); });
    ExpectFailure(file, "SetBuffer", "set length is negative", [&] { file.SetBuffer("x", -1); });
    PXMFile empty;
    ExpectFailure(empty, "SetBuffer", "I/O buffer is NULL", [&] { empty.SetBuffer("x", 1); });
}

TEST_F(PXMFileTest, FailedAllocationLeavesNullBufferAndRequestedSize) {
    PXMFile file;
    file.AllocateBuffer(16);
    ExpectFailure(
        file, "malloc", "Buffer malloc failed: ", [&] { file.AllocateBuffer(-5); }, ENOMEM);
    EXPECT_EQ(file.GetBuffer(), nullptr);
    EXPECT_EQ(file.GetBufferSize(), -5);
    file.AllocateBuffer(0);
    EXPECT_NE(file.GetBuffer(), nullptr);
    EXPECT_EQ(file.GetBufferSize(), 0);
}

TEST_F(PXMFileTest, DeleteOnCloseRemovesAndRepeatsRemoval) {
    PXMFile file(path.c_str(), "w");
    file.SetDeleteOnClose(true);
    file.Open();
    ASSERT_TRUE(std::filesystem::exists(path));
    file.Close();
    EXPECT_FALSE(std::filesystem::exists(path));
    ExpectFailure(
        file, "Remove", "File remove failed: ", [&] { file.Close(); }, ENOENT);
}

TEST_F(PXMFileTest, RenameKeepsOldNameAndReportsFailure) {
    std::string target = dir.File("renamed.txt");
    PXMFile file(path.c_str(), "w");
    file.Open();
    file.AllocateBuffer(4);
    file.Fputs("data");
    file.Rename(target.c_str());
    EXPECT_EQ(file.GetFileHandle(), nullptr);
    EXPECT_EQ(file.GetFileName(), path);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(testutil::ReadFile(target), "data");

    std::string badTarget = dir.File("missing/dir/x");
    file.SetFileName(target.c_str());
    ExpectFailure(
        file, "Rename", "File rename failed, newname = " + badTarget + ":",
        [&] { file.Rename(badTarget.c_str()); }, ENOENT);
    // Without a new name or a stored name only the closing happens.
    file.Rename("");
    file.Rename(nullptr);
    PXMFile nameless;
    nameless.Rename(badTarget.c_str());
    EXPECT_TRUE(std::filesystem::exists(target));
}

TEST_F(PXMFileTest, RemoveDeletesClosedOrOpenFile) {
    testutil::WriteFile(path, "x");
    PXMFile file(path.c_str(), "r");
    file.Open();
    file.Remove();
    EXPECT_EQ(file.GetFileHandle(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(path));
    ExpectFailure(
        file, "Remove", "File remove failed: ", [&] { file.Remove(); }, ENOENT);
    // ENOTEMPTY from remove(3) on a directory with contents.
    std::string sub = dir.File("sub");
    std::filesystem::create_directory(sub);
    testutil::WriteFile(sub + "/inner", "x");
    PXMFile directory(sub.c_str(), "r");
    ExpectFailure(
        directory, "Remove", "File remove failed: ", [&] { directory.Remove(); }, ENOTEMPTY);
    PXMFile nameless;
    nameless.Remove();
}

TEST_F(PXMFileTest, DestructorClosesOrRemoves) {
    {
        PXMFile file(path.c_str(), "w");
        file.Open();
        file.Fwrite("kept", 4);
    }
    EXPECT_EQ(testutil::ReadFile(path), "kept");
    {
        PXMFile file(path.c_str(), "a");
        file.SetDeleteOnDestroy(true);
        file.Open();
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    {
        // Removing a file that is gone fails inside the destructor; the
        // failure stays there.
        PXMFile file(path.c_str(), "r");
        file.SetDeleteOnDestroy(true);
    }
}

TEST_F(PXMFileTest, MoveHandsOverStreamAndBuffer) {
    testutil::WriteFile(path, "moved\n");
    PXMFile first(path.c_str(), "r");
    first.Open();
    first.AllocateBuffer(10);
    FILE* stream = first.GetFileHandle();
    PXMFile second(std::move(first));
    EXPECT_EQ(first.GetFileHandle(), nullptr);
    EXPECT_EQ(first.GetBuffer(), nullptr);
    EXPECT_EQ(first.GetFileName(), "");
    EXPECT_EQ(second.GetFileHandle(), stream);
    EXPECT_EQ(second.Fgets(), 6);

    PXMFile third;
    third = std::move(second);
    EXPECT_EQ(third.GetFileHandle(), stream);
    EXPECT_EQ(third.GetFileName(), path);
    EXPECT_EQ(second.GetFileHandle(), nullptr);
}

}  // namespace
