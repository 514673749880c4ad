// The file object, directory walks, directory and path functions, krtool ls.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "krtools/file.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;

// The lines FormatSystemErrorMsg appends for an errno value.
std::string SystemLines(int code) {
    char line[32];
    std::snprintf(line, sizeof line, "Windows rc: 0x%08X\n", static_cast<unsigned>(code));
    return std::string("\n") + line + std::strerror(code) + "\n";
}

// Expects `call` to throw E with `rc` and `text`.
template <class E = KRException>
void ExpectThrown(const std::function<void()>& call, int rc, const std::string& text) {
    std::string thrown = "(nothing thrown)";
    try {
        call();
    } catch (const E& e) {
        thrown = std::to_string(e.rc) + " " + e.text;
    }
    EXPECT_EQ(thrown, std::to_string(rc) + " " + text);
}

// Expects KRException(rc, where, what), with the system lines for an errno.
void ExpectThrown(const std::function<void()>& call, int rc, const std::string& where,
                  const std::string& what) {
    ExpectThrown(call, rc, where + "\n" + what + (rc >= 0 ? SystemLines(rc) : ""));
}

// Python's os.stat of every entry of `dir`, "." and ".." included: name ->
// str.format(format, mode, uid, gid, size, ctime, mtime, atime, name).
std::map<std::string, std::string> PythonStat(const std::string& dir, const std::string& format) {
    const char* script =
        "import os,sys\nd,f=sys.argv[1:]\nfor n in ['.','..']+os.listdir(d):\n"
        "  s=os.stat(os.path.join(d,n))\n  print(n+'\\t'+f.format(s.st_mode&0xFFFF,s.st_uid,"
        "s.st_gid,s.st_size,int(s.st_ctime),int(s.st_mtime),int(s.st_atime),n))\n";
    std::string command = "python3 -c " + testutil::ShellQuote(script);
    for (const std::string& arg : {dir, format}) command += " " + testutil::ShellQuote(arg);
    std::istringstream lines(testutil::Run(command).output);
    std::map<std::string, std::string> listing;
    for (std::string name, line; std::getline(lines, name, '\t') && std::getline(lines, line);) {
        listing[name] = line;
    }
    return listing;
}

static_assert(!std::is_copy_constructible_v<PXMFile> && !std::is_copy_assignable_v<PXMFile>);
static_assert(!std::is_copy_constructible_v<KRDIR> && !std::is_copy_assignable_v<KRDIR>);
constexpr int kNone = -1;  // a violated precondition: no system call failed

// Expects the PXMFileException of `file`: a failed system call carries errno
// `code` and the system lines, a precondition the errno found before it.
void Fails(PXMFile& file, const char* function, const std::string& text,
           std::initializer_list<std::function<void()>> calls, int code = kNone) {
    std::string message = "Function: " + std::string(function) +
                          ", Filename: " + file.GetFileName() + ", Mode: " + file.GetMode() +
                          "\r\n" + text;
    for (const auto& call : calls) {
        errno = EXDEV;
        ExpectThrown<PXMFileException>(call, code == kNone ? EXDEV : code,
                                       message + (code == kNone ? "" : SystemLines(code)));
    }
}

class PXMFileTest : public ::testing::Test {
protected:
    testutil::TempDir dir;
    std::string path = dir.File("data.txt");
};

// Reads join to the file; the EOF switch latches until Rewind or Open.
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

TEST_F(PXMFileTest, OpenAndPreconditionFailures) {
    PXMFile opener, folder(dir.path().c_str(), "w");
    Fails(opener, "Open", "File name not specified", {[&] { opener.Open(); }});
    opener.SetFileName(path.c_str());
    Fails(opener, "Open", "File open mode not specified", {[&] { opener.Open(); }});
    opener.SetMode("r");
    Fails(opener, "Open", "File open failed: ", {[&] { opener.Open(); }}, ENOENT);
    Fails(folder, "Open", "File open failed: ", {[&] { folder.Open(); }}, EISDIR);
    opener.Open(path.c_str(), "w");
    FILE* stream = opener.GetFileHandle();
    opener.Open("/no/such/file", "zz");
    EXPECT_EQ(opener.GetFileHandle(), stream);
    EXPECT_EQ(opener.GetFileName() + opener.GetMode(), "/no/such/filezz");
    PXMFile file(path.c_str(), "w+b");
    file.Fflush();
    file.Rewind();
    EXPECT_EQ(file.Fgets() + file.Fread(nullptr, 4), 0);
    const char* closed = "File not open";
    Fails(file, "Ftell", closed, {[&] { file.Ftell(); }});
    Fails(file, "Fgetpos", closed, {[&] { file.Fgetpos(); }});
    Fails(file, "Fsetpos", closed, {[&] { file.Fsetpos(0); }});
    Fails(file, "Fseek", closed, {[&] { file.Fseek(1L); }, [&] { file.Fseek(0, 0L); }});
    Fails(file, "Fputs", "file not open", {[&] { file.Fputs(); }, [&] { file.Fputs("x"); }});
    Fails(file, "Fwrite", "file not open", {[&] { file.Fwrite(1); }, [&] { file.Fwrite("x", 1); }});
    Fails(file, "Fprintf", "file not open", {[&] { file.Fprintf("%d", 1); }});
    file.Open();
    const char* null = "I/O buffer is NULL";
    Fails(file, "Fgets", null, {[&] { file.Fgets(); }, [&] { file.Fgets(nullptr, 10); }});
    Fails(file, "Fread", null, {[&] { file.Fread(1); }, [&] { file.Fread(nullptr, 1); }});
    Fails(file, "Fputs", null, {[&] { file.Fputs(); }, [&] { file.Fputs(nullptr); }});
    Fails(file, "Fwrite", null, {[&] { file.Fwrite(1); }, [&] { file.Fwrite(nullptr, 1); }});
    Fails(file, "Fprintf", null, {[&] { file.Fprintf("x"); }});
    Fails(file, "SetBuffer", null, {[&] { file.SetBuffer("x", 1); }});
    file.AllocateBuffer(2);
    const char* small = "I/O buffer is too small";
    Fails(file, "Fread", small, {[&] { file.Fread(3); }});
    Fails(file, "Fwrite", small, {[&] { file.Fwrite(3); }});
    Fails(file, "Fgets", small, {[&] { file.Fgets(file.GetBuffer(), 0); }});
    Fails(file, "SetBuffer", "set buffer not specified", {[&] { file.SetBuffer(nullptr, 1); }});
    Fails(file, "SetBuffer", "set length greater than bufferSize",
          {[&] { file.SetBuffer("abc", 3); }});
}

TEST_F(PXMFileTest, FailedSystemCallsCarryErrnoAndSystemText) {
    PXMFile writer(path.c_str(), "wb"), reader(path.c_str(), "rb"), full("/dev/full", "w");
    writer.Open();
    writer.AllocateBuffer(16);
    Fails(writer, "Fgets", "File fgets failed: ", {[&] { writer.Fgets(); }}, EBADF);
    Fails(writer, "Fread", "File fread failed: ", {[&] { writer.Fread(4); }}, EBADF);
    EXPECT_FALSE(writer.GetEOFSwitch());
    reader.Open();
    reader.AllocateBuffer(16);
    Fails(reader, "Fwrite", "File fwrite failed: ", {[&] { reader.Fwrite(5); }}, EBADF);
    Fails(reader, "Fputs", "File fputs failed: ", {[&] { reader.Fputs("x"); }}, EBADF);
    Fails(reader, "Fseek", "File fseek failed: ", {[&] { reader.Fseek(7, 0L); }}, EINVAL);
    Fails(reader, "Fsetpos", "File fsetpos failed: ", {[&] { reader.Fsetpos(-3); }}, EINVAL);
    Fails(reader, "malloc", "Buffer malloc failed: ", {[&] { reader.AllocateBuffer(-5); }}, ENOMEM);
    EXPECT_TRUE(reader.GetBuffer() == nullptr && reader.GetBufferSize() == -5);
    full.Open();
    full.Fputs("some text");
    Fails(full, "Fflush", "File fflush failed: ", {[&] { full.Fflush(); }}, ENOSPC);
}

// The destructor closes, or removes, and keeps its failures inside.
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
    file.Close();  // removes the file, so removing it again fails
    Fails(file, "Remove", "File remove failed: ", {[&] { file.Close(); }}, ENOENT);
    std::string target = dir.File("renamed.txt"), bad = dir.File("missing/x");
    file.SetDeleteOnClose(false);
    file.Open();
    file.Fwrite("data", 4);
    file.Rename(target.c_str());
    EXPECT_EQ(file.GetFileName() + testutil::ReadFile(target), path + "data");
    file.Open(target.c_str(), "r");
    Fails(file, "Rename", "File rename failed, newname = " + bad + ":",
          {[&] { file.Rename(bad.c_str()); }}, ENOENT);
    EXPECT_EQ(file.GetFileHandle(), nullptr);
    for (const char* empty : {"", static_cast<const char*>(nullptr)}) file.Rename(empty);
    PXMFile().Rename(bad.c_str());
    file.Open();
    file.Remove();
    EXPECT_FALSE(fs::exists(target));
    fs::create_directories(dir.File("sub/inner"));
    file.SetFileName(dir.File("sub").c_str());
    Fails(file, "Remove", "File remove failed: ", {[&] { file.Remove(); }}, ENOTEMPTY);
}

std::multiset<std::string> Walk(KRDIR& walker) {
    std::multiset<std::string> names;
    while (const char* name = walker.Next()) names.insert(name);
    return names;
}

// The attributes in the order of PythonStat's arguments.
std::string Attributes(KRDIR& w) {
    w.RetrieveAttributes();
    std::string line;
    for (long value : {long{w.GetMode()}, long{w.GetOwner()}, long{w.GetGroup()}, w.GetSize(),
                       w.GetCreateTime(), w.GetModifyTime(), w.GetAccessTime()}) {
        line += std::to_string(value) + " ";
    }
    return line;
}

// Counts the calls of the virtual Open.
struct CountingWalker : KRDIR {
    using KRDIR::Open;
    void Open() override {
        ++opens;
        KRDIR::Open();
    }
    int opens = 0;
};

// Python's view, with a 5 GiB sparse file, set-uid bits and 32-bit ids.
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
    auto python = PythonStat(temp.path(), "{0} {1} {2} {3} {4} {5} {6} ");
    walker.Rewind();
    EXPECT_EQ(Attributes(walker), python["."]);  // no entry yet: the directory and "/"
    std::multiset<std::string> names, expected;
    while (const char* name = walker.Next()) {
        if (*names.insert(name) != "..") {  // ".." is shared with other processes
            EXPECT_EQ(Attributes(walker), python[name]) << name;
        }
    }
    for (const auto& entry : python) expected.insert(entry.first);
    EXPECT_EQ(names, expected);
}

TEST(KRDIR, FailuresAndRestarts) {
    CountingWalker unnamed;
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { unnamed.Next(); }, [&] { unnamed.Rewind(); }, [&] { unnamed.Open(nullptr); },
             [] { KRDIR walker(""); }, [] { KRDIR walker(nullptr); }}) {
        ExpectThrown(call, -1, "KRDIR::Open", "Empty directory name");
    }
    EXPECT_EQ(unnamed.opens, 3);
    unnamed.Remove();
    testutil::TempDir temp;
    std::string later = temp.File("later"), plain = temp.File("plain");
    const char* attributes = "KRDIR::RetrieveAttributes";
    KRDIR walker(later.c_str());
    ExpectThrown([&] { walker.Next(); }, ENOENT, "KRDIR::Next", later);
    ExpectThrown([&] { walker.RetrieveAttributes(); }, ENOENT, attributes, later + "/");
    // The failed first step is tried again; a vanished entry leaves zeros.
    fs::create_directory(later);
    testutil::WriteFile(later + "/x", "12345");
    while (walker.Next() != nullptr && std::string(walker.GetFileName()) != "x") {
    }
    walker.RetrieveAttributes();
    EXPECT_EQ(walker.GetSize(), 5);
    fs::remove(later + "/x");
    ExpectThrown([&] { walker.RetrieveAttributes(); }, ENOENT, attributes, later + "/x");
    EXPECT_EQ(walker.GetSize() + walker.GetMode() + walker.GetModifyTime(), 0);
    testutil::WriteFile(later + "/y", "");
    ExpectThrown([&] { walker.Remove(); }, ENOTEMPTY, "KRDIR::Remove", later);
    fs::remove(later + "/y");
    walker.Remove();
    ExpectThrown([&] { walker.Remove(); }, ENOENT, "KRDIR::Remove", later);
    testutil::WriteFile(plain, "");
    ExpectThrown([&] { KRDIR(plain.c_str()).Next(); }, ENOTDIR, "KRDIR::Next", plain);

    // Rewind, Open and a closing Remove restart the walk via the virtual Open.
    fs::remove(plain);
    for (const char* n : {"a", "b", "c"}) testutil::WriteFile(temp.File(n), "");
    CountingWalker restarted;
    restarted.Open(temp.path().c_str());
    restarted.Close();
    std::multiset<std::string> all = Walk(restarted);
    EXPECT_EQ(all, (std::multiset<std::string>{".", "..", "a", "b", "c"}));
    restarted.Rewind();
    std::string first = restarted.Next();
    restarted.Next();
    restarted.Rewind();
    EXPECT_EQ(restarted.Next(), first);
    restarted.Open();
    EXPECT_EQ(Walk(restarted), all);
    EXPECT_THROW(restarted.Remove(), KRException);
    restarted.Next();
    EXPECT_EQ(restarted.opens, 6);
    KRDIR moved;
    moved = KRDIR(std::move(restarted));
    EXPECT_EQ(Walk(moved).size() + 1, all.size());
}

TEST(Directories, JoinCreateAndChangeWithExactFailures) {
    const char* cases[][3] = {{"dir", "x", "dir/x"}, {"dir/", "x", "dir/x"}, {"/", "etc", "/etc"},
                              {"", "x", "./x"},      {nullptr, "x", "./x"},  {"a\\b", "", "a\\b/"}};
    for (const auto& c : cases) {
        std::string result = "previous";
        BuildFullyQualifiedFilename(c[0], c[1], result);
        EXPECT_EQ(result, c[2]);
    }
    testutil::TempDir temp;
    fs::path saved = fs::current_path();
    fs::current_path(temp.path());
    BuildDirectory((temp.path() + "/a/b/c").c_str());
    const char* paths[] = {"a/b/c", "a/b/c/", "rel//x/y/", "d:/e", "/", "", nullptr};
    for (const char* path : paths) BuildDirectory(path);  // "d:" is no drive prefix
    EXPECT_TRUE(fs::is_directory("rel/x/y") && fs::is_directory("d:/e"));
    testutil::WriteFile("plain", "contents");
    const std::string node = "BuildDirectoryNode", create = "Error creating directory: ";
    const std::string exists = "\nFilename already exists", cd = "Error changing to directory: ";
    ExpectThrown([] { BuildDirectoryNode("plain"); }, -1, node, create + "plain" + exists);
    // The walk creates "made", passes "made/..", stops at the file.
    ExpectThrown([] { BuildDirectory("made/../plain/deeper"); }, -1, node,
                 create + "made/../plain" + exists);
    EXPECT_TRUE(fs::is_directory("made") && fs::is_regular_file("plain"));
    ExpectThrown([] { BuildDirectoryNode("missing/level"); }, ENOENT, node,
                 create + "missing/level");
    ExpectThrown([] { BuildDirectoryNode("plain/x"); }, ENOTDIR, node, create + "plain/x");
    ExpectThrown([] { KRChangeDirectory("nowhere"); }, ENOENT, "KRChangeDirectory", cd + "nowhere");
    ExpectThrown([] { KRChangeDirectory("plain"); }, ENOTDIR, "KRChangeDirectory", cd + "plain");
    KRChangeDirectory("");
    KRChangeDirectory(nullptr);
    KRChangeDirectory("a/b");
    EXPECT_EQ(fs::current_path(), fs::canonical(temp.File("a/b")));
    fs::current_path(saved);
}

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
    for (const auto& [name, line] : PythonStat(temp.path(), "{0:06o} {3} {4} {5} {6} {7}")) {
        names.insert(name);
        // ".." is the shared temporary folder, which other processes change.
        EXPECT_TRUE(name == ".." || lines.count(line) == 1) << line;
    }
    EXPECT_EQ(lines.size(), 3u);
    EXPECT_EQ(Ls(dir, 0), names);
    EXPECT_EQ(Ls("/none", 1),
              std::set<std::string>{"krtool: cannot list '/none': No such file or directory"});
    for (const char* bad : {"", "a b", "--wide .", "''"}) Ls(bad, 2);
    EXPECT_EQ(Ls("--help", 0).count("usage: krtool ls DIR [--long]"), 1u);
}

}  // namespace
