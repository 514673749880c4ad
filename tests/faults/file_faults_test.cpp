// Injected failures of the runtime's file and memory calls under the file
// object, the holders, the INI model and the parameter readers: each gives
// the documented exception or result code with the injected error code and
// leaves the documented state (LeakSanitizer checks that nothing leaks).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "fault_plan.h"
#include "krtools/console.h"
#include "krtools/file.h"
#include "krtools/ini.h"
#include "krtools/params.h"
#include "testutil.h"

namespace {

// The exception of type E that `body` throws (another type escapes and
// fails the test); rc 0 and "none" when it throws nothing.
template <typename E = PXMFileException>
KRException Thrown(const std::function<void()>& body) {
    try {
        body();
    } catch (const E& e) {
        return e;
    }
    return KRException(0, "none");
}

// "Function: F, Filename: N, Mode: M\r\nTEXT" followed by the system lines.
std::string FileText(const std::string& function, const std::string& name, const std::string& mode,
                     const std::string& text, int code) {
    char rcLine[40];
    std::snprintf(rcLine, sizeof rcLine, "Windows rc: 0x%08X\n", static_cast<unsigned>(code));
    return "Function: " + function + ", Filename: " + name + ", Mode: " + mode + "\r\n" + text +
           "\n" + rcLine + std::strerror(code) + "\n";
}

class FileFaults : public testing::Test {
protected:
    testutil::TempDir dir;
    std::string path = dir.File("data.txt");
    faults::Scope scope;
    void SetUp() override { testutil::WriteFile(path, "line one\nline two\n"); }
};

TEST_F(FileFaults, EveryStdioCallSiteOfTheFileObject) {
    struct Case {
        const char* call;
        int code;
        const char* mode;
        std::function<void(PXMFile&)> operation;
        const char *function, *text;
    };
    char buffer[64];
    const Case cases[] = {
        {"fopen", ENOENT, "r", [](PXMFile&) {}, "Open", "File open failed: "},
        {"fopen", EACCES, "w", [](PXMFile&) {}, "Open", "File open failed: "},
        {"fclose", EIO, "r", [](PXMFile& f) { f.Close(); }, "Close", "File close failed: "},
        {"fclose", ENOSPC, "w",
         [](PXMFile& f) {
             f.Fputs("x");
             f.Close();
         },
         "Close", "File close failed: "},
        {"fclose", EIO, "r", [](PXMFile& f) { f.Rename("x"); }, "Close (Rename)",
         "File close failed: "},
        {"fclose", EIO, "r", [](PXMFile& f) { f.Remove(); }, "Close (Remove)",
         "File close failed: "},
        {"fflush", ENOSPC, "w", [](PXMFile& f) { f.Fflush(); }, "Fflush", "File fflush failed: "},
        {"fgets", EIO, "r", [&](PXMFile& f) { f.Fgets(buffer, sizeof buffer); }, "Fgets",
         "File fgets failed: "},
        {"fgets", EINTR, "r", [&](PXMFile& f) { f.Fgets(buffer, sizeof buffer); }, "Fgets",
         "File fgets failed: "},
        {"fread", EIO, "r", [&](PXMFile& f) { f.Fread(buffer, 4); }, "Fread",
         "File fread failed: "},
        {"fread", EINTR, "r",
         [](PXMFile& f) {
             f.AllocateBuffer(16);
             f.Fread(8);
         },
         "Fread", "File fread failed: "},
        {"fputs", ENOSPC, "w", [](PXMFile& f) { f.Fputs("text"); }, "Fputs", "File fputs failed: "},
        {"fwrite", EIO, "w", [](PXMFile& f) { f.Fwrite("data", 4); }, "Fwrite",
         "File fwrite failed: "},
        {"vfprintf", ENOSPC, "w",
         [](PXMFile& f) {
             f.AllocateBuffer(16);
             f.Fprintf("%d", 5);
         },
         "Fprintf", "File vfprintf failed: "},
        {"fseek", EINVAL, "r", [](PXMFile& f) { f.Fseek(4); }, "Fseek", "File fseek failed: "},
        {"fseek", EINVAL, "r", [](PXMFile& f) { f.Fseek(SEEK_SET, 4); }, "Fseek",
         "File fseek failed: "},
        {"fseek", ESPIPE, "r", [](PXMFile& f) { f.Fseek(-1); }, "Fseek", "File fseek failed: "},
        {"ftell", EIO, "r", [](PXMFile& f) { f.Fgetpos(); }, "Fgetpos", "File fgetpos failed: "},
        {"fseek", EINVAL, "r", [](PXMFile& f) { f.Fsetpos(2); }, "Fsetpos",
         "File fsetpos failed: "},
        {"ftell", EIO, "r", [](PXMFile& f) { f.Ftell(); }, "Ftell", "File ftell failed: "},
        {"fgetpos", EIO, "r", [](PXMFile& f) { f.Fgetpos(); }, "Fgetpos", "File fgetpos failed: "},
        {"rename", EACCES, "r", [](PXMFile& f) { f.Rename("new-name"); }, "Rename",
         "File rename failed, newname = new-name:"},
        {"remove", EACCES, "r", [](PXMFile& f) { f.Remove(); }, "Remove", "File remove failed: "},
        {"malloc", ENOMEM, "r", [](PXMFile& f) { f.AllocateBuffer(100); }, "malloc",
         "Buffer malloc failed: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " in " + c.function);
        testutil::WriteFile(path, "line one\nline two\n");
        PXMFile file(path.c_str(), c.mode);
        const bool atOpen = std::strcmp(c.call, "fopen") == 0;
        if (!atOpen) file.Open();
        faults::Fail(c.call, c.code);
        const KRException e = Thrown([&] {
            if (atOpen) file.Open();
            c.operation(file);
        });
        EXPECT_GE(faults::Calls(c.call), 1);
        faults::Reset();
        EXPECT_EQ(e.rc, c.code);
        EXPECT_EQ(e.text, FileText(c.function, path, c.mode, c.text, c.code));
        // State: a failed open or close leaves no stream; a failed read
        // leaves the EOF switch clear; a failed allocation keeps the size.
        if (atOpen || std::strncmp(c.function, "Close", 5) == 0 ||
            std::strcmp(c.call, "rename") == 0 || std::strcmp(c.call, "remove") == 0) {
            EXPECT_EQ(
                Thrown([&] { file.Fwrite("x", 1); }).text,
                "Function: Fwrite, Filename: " + path + ", Mode: " + c.mode + "\r\nfile not open");
        }
        if (std::strcmp(c.call, "fread") == 0 || std::strcmp(c.call, "fgets") == 0 ||
            std::strcmp(c.call, "fseek") == 0) {
            EXPECT_FALSE(file.GetEOFSwitch());
        }
        if (std::strcmp(c.call, "malloc") == 0) {
            EXPECT_EQ(file.GetBuffer(), nullptr);
            EXPECT_EQ(file.GetBufferSize(), 100);
        }
    }
}

// A short write is a failure of its own (ENOSPC from the stream), never a
// silently shortened file.
TEST_F(FileFaults, ShortWriteThrowsWithTheStreamsCode) {
    PXMFile file(path.c_str(), "w");
    file.Open();
    faults::Shorten("fwrite", 2);
    const KRException e = Thrown([&] { file.Fwrite("abcdef", 6); });
    EXPECT_EQ(e.rc, ENOSPC);
    EXPECT_EQ(e.text, FileText("Fwrite", path, "w", "File fwrite failed: ", ENOSPC));
}

TEST_F(FileFaults, HoldersCarryErrno) {
    KR_FILE_PTR holder;
    faults::Fail("fopen", EACCES);
    KRException e = Thrown<KRException>([&] { holder.Open(path.c_str(), "r"); });
    EXPECT_EQ(e.rc, EACCES);
    EXPECT_EQ(e.text.rfind("Open failed: ", 0), 0u) << e.text;
    EXPECT_EQ(holder.fp, nullptr);
    KR_DYNAMIC_PTR memory;
    faults::Fail("malloc", ENOMEM);
    e = Thrown<KRException>([&] { memory.Malloc(64); });
    EXPECT_EQ(e.rc, ENOMEM);
    EXPECT_EQ(e.text.rfind("Malloc failed: ", 0), 0u) << e.text;
    EXPECT_EQ(memory.ptr, nullptr);
}

// The INI model passes the file object's exception on; a failed write
// leaves the model as it was.
TEST_F(FileFaults, IniLoadAndWritePassTheFileFailureOn) {
    testutil::WriteFile(path, "[s]\na=1\nb=2\n");
    INIFile ini;
    const std::pair<const char*, int> loads[] = {
        {"fopen", ENOENT}, {"fgets", EIO}, {"fclose", EIO}};
    for (const auto& [call, code] : loads) {
        faults::Fail(call, code, std::strcmp(call, "fgets") == 0 ? 1 : 0);
        const KRException e = Thrown([&] { ini.LoadFile(path.c_str()); });
        faults::Reset();
        EXPECT_EQ(e.rc, code) << call;
    }
    ini.LoadFile(path.c_str());
    const std::string out = dir.File("out.ini");
    for (const char* call : {"fopen", "fputs", "fclose"}) {
        faults::Fail(call, ENOSPC);
        const KRException e = Thrown([&] { ini.WriteFile(out.c_str()); });
        faults::Reset();
        EXPECT_EQ(e.rc, ENOSPC) << call;
        EXPECT_STREQ(ini.GetEntry("s", "b").c_str(), "2");
    }
}

TEST_F(FileFaults, ParameterReadersReportTheFailureAsTheirResult) {
    testutil::WriteFile(path, "a(1) b(2);\n");
    ParseObj parser;
    faults::Fail("fopen", EACCES);
    EXPECT_EQ(parser.Init(path.c_str()), EACCES);
    EXPECT_NE(parser.errorText.find("File open failed: "), std::string::npos);
    faults::Fail("fgets", EIO);
    ASSERT_EQ(parser.Init(path.c_str()), 0);
    EXPECT_EQ(parser.ParseParenStyle(false), EIO);
    EXPECT_NE(parser.errorText.find("File fgets failed: "), std::string::npos);

    for (const std::pair<const char*, int>& fault :
         {std::pair<const char*, int>{"fopen", 60}, {"malloc", -1}}) {
        ParseContext context{};
        context.fileName = path.c_str();
        faults::Fail(fault.first, ENOMEM);
        EXPECT_EQ(ParseParenStyle(&context), fault.second) << fault.first;
        EXPECT_EQ(context.fp, nullptr);
        faults::Reset();
    }
}

}  // namespace
