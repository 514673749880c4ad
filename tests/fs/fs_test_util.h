// Helpers for the file and directory tests.
#ifndef KRTOOLS_TESTS_FS_FS_TEST_UTIL_H
#define KRTOOLS_TESTS_FS_FS_TEST_UTIL_H

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "krtools/exception.h"
#include "testutil.h"

namespace fstest {

// The lines FormatSystemErrorMsg appends for a non-negative errno value.
inline std::string SystemLines(int code) {
    char line[32];
    std::snprintf(line, sizeof line, "Windows rc: 0x%08X\n", static_cast<unsigned>(code));
    return std::string("\n") + line + std::strerror(code) + "\n";
}

template <class E = KRException>
void ExpectThrown(const std::function<void()>& call, int rc, const std::string& text) {
    SCOPED_TRACE(text);
    try {
        call();
        ADD_FAILURE() << "nothing thrown";
    } catch (const E& e) {
        EXPECT_EQ(e.rc, rc);
        EXPECT_EQ(e.text, text);
    }
}

// Expects KRException(rc, where, what), with the system lines when rc is an
// errno value.
inline void ExpectThrown(const std::function<void()>& call, int rc, const std::string& where,
                         const std::string& what) {
    ExpectThrown(call, rc, where + "\n" + what + (rc >= 0 ? SystemLines(rc) : ""));
}

// Python's os.stat of every entry of `dir`, "." and ".." included: name ->
// str.format(format, mode, uid, gid, size, ctime, mtime, atime, name).
inline std::map<std::string, std::string> PythonStat(const std::string& dir,
                                                     const std::string& format) {
    const char* script =
        "import os,sys\nd,f=sys.argv[1:]\nfor n in ['.','..']+os.listdir(d):\n"
        "  s=os.stat(os.path.join(d,n))\n  print(n+'\\t'+f.format(s.st_mode&0xFFFF,s.st_uid,"
        "s.st_gid,s.st_size,int(s.st_ctime),int(s.st_mtime),int(s.st_atime),n))\n";
    auto result = testutil::Run("python3 -c " + testutil::ShellQuote(script) + " " +
                                testutil::ShellQuote(dir) + " " + testutil::ShellQuote(format));
    EXPECT_EQ(result.status, 0);
    std::map<std::string, std::string> listing;
    std::istringstream lines(result.output);
    for (std::string name, line; std::getline(lines, name, '\t') && std::getline(lines, line);) {
        listing[name] = line;
    }
    return listing;
}

}  // namespace fstest

#endif  // KRTOOLS_TESTS_FS_FS_TEST_UTIL_H
