#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <type_traits>
#include <utility>

#include "fs_test_util.h"
#include "krtools/file.h"

namespace {

namespace fs = std::filesystem;
static_assert(!std::is_copy_constructible_v<PXMFile> && !std::is_copy_assignable_v<PXMFile>);
constexpr int kNone = -1;  // a violated precondition: no system call failed

// Expects the PXMFileException of `file` for `function` and `text`: a failed
// system call has its errno `code` as rc and the system lines appended, a
// precondition keeps the errno found before the call.
void ExpectFailure(PXMFile& file, const char* function, const std::string& text, int code,
                   const std::function<void()>& call) {
    errno = EXDEV;
    fstest::ExpectThrown<PXMFileException>(
        call, code == kNone ? EXDEV : code,
        "Function: " + std::string(function) + ", Filename: " + file.GetFileName() + ", Mode: " +
            file.GetMode() + "\r\n" + text + (code == kNone ? "" : fstest::SystemLines(code)));
}

class PXMFileTest : public ::testing::Test {
protected:
    testutil::TempDir dir;
    std::string path = dir.File("data.txt");
};

TEST_F(PXMFileTest, OpenFailuresAndOpenOnAnOpenObject) {
    PXMFile file, folder(dir.path().c_str(), "w");
    ExpectFailure(file, "Open", "File name not specified", kNone, [&] { file.Open(); });
    file.SetFileName(path.c_str());
    ExpectFailure(file, "Open", "File open mode not specified", kNone, [&] { file.Open(); });
    file.SetMode("r");
    ExpectFailure(file, "Open", "File open failed: ", ENOENT, [&] { file.Open(); });
    ExpectFailure(folder, "Open", "File open failed: ", EISDIR, [&] { folder.Open(); });
    file.Open(path.c_str(), "w");
    FILE* stream = file.GetFileHandle();
    file.Open("/no/such/file", "zz");
    EXPECT_EQ(file.GetFileHandle(), stream);
    EXPECT_EQ(file.GetFileName() + file.GetMode(), "/no/such/filezz");
}

// Reads through small buffers join to the file's bytes; the EOF switch
// latches until Rewind or Open, also when a seek moves away from the end.
TEST_F(PXMFileTest, ReadsJoinToTheFileAndEndOfFileLatches) {
    std::string content = "first line\nsecond\n\nlast without end", lines, blocks;
    testutil::WriteFile(path, content);
    PXMFile file(path.c_str(), "rb");
    file.Open();
    file.AllocateBuffer(5);
    for (int n; (n = file.Fgets()) > 0; lines.append(file.GetBuffer(), n)) EXPECT_LE(n, 4);
    EXPECT_EQ(lines, content);
    char line[64];
    file.Rewind();
    for (int expected : {11, 7, 1, 16, 0, 0}) EXPECT_EQ(file.Fgets(line, sizeof line), expected);
    file.Close();
    file.Open();
    file.AllocateBuffer(10);
    int i = 0;
    for (int expected : {10, 10, 10, 5, 0}) {  // both overloads in turn
        EXPECT_EQ(file.GetEOFSwitch(), expected == 0);
        ASSERT_EQ(++i % 2 ? file.Fread(line, 10) : file.Fread(10), expected);
        blocks.append(i % 2 ? line : file.GetBuffer(), expected);
    }
    EXPECT_EQ(blocks, content);
    file.Rewind();
    file.Fseek(-1L);
    EXPECT_EQ(file.Ftell(), 35);
    file.Fseek(0, 0L);
    EXPECT_EQ(file.Fgets(), 0);
    file.Rewind();
    file.Fseek(12L);
    file.Fseek(1, 1L);
    EXPECT_EQ(file.Ftell(), 13);
    file.Fseek(2, -6L);
    long long position = file.Fgetpos();
    file.Rewind();
    file.Fsetpos(position);
    EXPECT_EQ(file.Fgets(line, 64), 6);
    EXPECT_STREQ(line, "ut end");
}

TEST_F(PXMFileTest, PreconditionsKeepErrnoAndHaveNoSystemText) {
    PXMFile file(path.c_str(), "w+b");
    file.Fflush();
    file.Rewind();
    EXPECT_EQ(file.Fgets() + file.Fread(nullptr, 4), 0);
    ExpectFailure(file, "Ftell", "File not open", kNone, [&] { file.Ftell(); });
    ExpectFailure(file, "Fgetpos", "File not open", kNone, [&] { file.Fgetpos(); });
    ExpectFailure(file, "Fsetpos", "File not open", kNone, [&] { file.Fsetpos(0); });
    ExpectFailure(file, "Fseek", "File not open", kNone, [&] { file.Fseek(0, 0L); });
    ExpectFailure(file, "Fputs", "file not open", kNone, [&] { file.Fputs(); });
    ExpectFailure(file, "Fwrite", "file not open", kNone, [&] { file.Fwrite("x", 1); });
    ExpectFailure(file, "Fprintf", "file not open", kNone, [&] { file.Fprintf("%d", 1); });
    file.Open();
    const char* null = "I/O buffer is NULL";
    ExpectFailure(file, "Fgets", null, kNone, [&] { file.Fgets(); });
    ExpectFailure(file, "Fread", null, kNone, [&] { file.Fread(nullptr, 1); });
    ExpectFailure(file, "Fputs", null, kNone, [&] { file.Fputs(nullptr); });
    ExpectFailure(file, "Fwrite", null, kNone, [&] { file.Fwrite(1); });
    ExpectFailure(file, "Fprintf", null, kNone, [&] { file.Fprintf("x"); });
    ExpectFailure(file, "SetBuffer", null, kNone, [&] { file.SetBuffer("x", 1); });
    file.AllocateBuffer(2);
    char one[1];
    ExpectFailure(file, "Fread", "I/O buffer is too small", kNone, [&] { file.Fread(3); });
    ExpectFailure(file, "Fwrite", "I/O buffer is too small", kNone, [&] { file.Fwrite(3); });
    ExpectFailure(file, "Fgets", "I/O buffer is too small", kNone, [&] { file.Fgets(one, 0); });
    ExpectFailure(file, "Fread", "Negative byte count", kNone, [&] { file.Fread(-1); });
    ExpectFailure(file, "SetBuffer", "set buffer not specified", kNone,
                  [&] { file.SetBuffer(nullptr, 1); });
    ExpectFailure(file, "SetBuffer", "set length greater than bufferSize", kNone,
                  [&] { file.SetBuffer("abc", 3); });
}

TEST_F(PXMFileTest, FailedSystemCallsCarryErrnoAndSystemText) {
    PXMFile writer(path.c_str(), "wb"), reader(path.c_str(), "rb"), full("/dev/full", "w");
    writer.Open();
    writer.AllocateBuffer(16);
    ExpectFailure(writer, "Fgets", "File fgets failed: ", EBADF, [&] { writer.Fgets(); });
    ExpectFailure(writer, "Fread", "File fread failed: ", EBADF, [&] { writer.Fread(4); });
    EXPECT_FALSE(writer.GetEOFSwitch());
    reader.Open();
    reader.AllocateBuffer(16);
    ExpectFailure(reader, "Fwrite", "File fwrite failed: ", EBADF, [&] { reader.Fwrite(5); });
    ExpectFailure(reader, "Fputs", "File fputs failed: ", EBADF, [&] { reader.Fputs("x"); });
    ExpectFailure(reader, "Fseek", "File fseek failed: ", EINVAL, [&] { reader.Fseek(7, 0L); });
    ExpectFailure(reader, "Fsetpos", "File fsetpos failed: ", EINVAL, [&] { reader.Fsetpos(-3); });
    ExpectFailure(reader, "malloc", "Buffer malloc failed: ", ENOMEM,
                  [&] { reader.AllocateBuffer(-5); });
    EXPECT_TRUE(reader.GetBuffer() == nullptr && reader.GetBufferSize() == -5);
    full.Open();
    full.Fputs("some text");
    ExpectFailure(full, "Fflush", "File fflush failed: ", ENOSPC, [&] { full.Fflush(); });
}

// Writes go out whole through moved objects; the destructor closes, or
// removes with the delete-on-destroy switch, and keeps its failures inside.
TEST_F(PXMFileTest, WritesMovesAndDestruction) {
    PXMFile("/nonexistent", "r").SetDeleteOnDestroy(true);
    PXMFile first(path.c_str(), "wb");
    first.AllocateBuffer(6);
    std::memset(first.GetBuffer(), 'Z', 6);
    first.SetBuffer("ab", 2);
    EXPECT_EQ(std::string(first.GetBuffer(), 6), std::string("ab\0\0\0\0", 6));
    first.Open();
    PXMFile second(std::move(first));
    EXPECT_TRUE(first.GetFileHandle() == nullptr && first.GetBuffer() == nullptr);
    EXPECT_GE(second.Fputs(), 0);
    EXPECT_EQ(second.Fwrite(3), 3);
    EXPECT_GE(second.Fputs("|text|"), 0);
    EXPECT_EQ(second.Fwrite("raw\0bytes", 9), 9);
    EXPECT_EQ(second.Fprintf("%s=%d;", "n", -42), 6);
    {
        PXMFile third;
        third = std::move(second);
        third.SetBuffer("abcdef", 6);  // no terminating zero: exactly six bytes go out
        EXPECT_GE(third.Fputs(), 0);
    }
    EXPECT_EQ(testutil::ReadFile(path), std::string("abab\0|text|raw\0bytesn=-42;abcdef", 32));
    {
        PXMFile doomed(path.c_str(), "r");
        doomed.SetDeleteOnDestroy(true);
        doomed.Open();
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(PXMFileTest, CloseRemoveAndRename) {
    PXMFile file(path.c_str(), "w");
    file.SetDeleteOnClose(true);
    file.Open();
    file.Close();
    EXPECT_FALSE(fs::exists(path));
    ExpectFailure(file, "Remove", "File remove failed: ", ENOENT, [&] { file.Close(); });
    std::string target = dir.File("renamed.txt"), bad = dir.File("missing/x");
    file.SetDeleteOnClose(false);
    file.Open();
    file.Fwrite("data", 4);
    file.Rename(target.c_str());
    EXPECT_EQ(file.GetFileName() + testutil::ReadFile(target), path + "data");
    file.Open(target.c_str(), "r");
    ExpectFailure(file, "Rename", "File rename failed, newname = " + bad + ":", ENOENT,
                  [&] { file.Rename(bad.c_str()); });
    EXPECT_EQ(file.GetFileHandle(), nullptr);
    for (const char* empty : {"", static_cast<const char*>(nullptr)}) file.Rename(empty);
    PXMFile().Rename(bad.c_str());
    file.Open();
    file.Remove();
    EXPECT_FALSE(fs::exists(target));
    fs::create_directories(dir.File("sub/inner"));
    file.SetFileName(dir.File("sub").c_str());
    ExpectFailure(file, "Remove", "File remove failed: ", ENOTEMPTY, [&] { file.Remove(); });
}

}  // namespace
