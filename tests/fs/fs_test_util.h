// Helpers for the file and directory tests.
#ifndef KRTOOLS_TESTS_FS_FS_TEST_UTIL_H
#define KRTOOLS_TESTS_FS_FS_TEST_UTIL_H

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "krtools/exception.h"
#include "testutil.h"

namespace fstest {

// The lines FormatSystemErrorMsg appends for an errno value.
inline std::string SystemLines(int code) {
    char line[32];
    std::snprintf(line, sizeof line, "Windows rc: 0x%08X\n", static_cast<unsigned>(code));
    return std::string("\n") + line + std::strerror(code) + "\n";
}

// Expects `call` to throw E with `rc` and `text`.
template <class E = KRException>
void ExpectThrown(const std::function<void()>& call, int rc, const std::string& text) {
    try {
        call();
        ADD_FAILURE() << "nothing thrown: " << text;
    } catch (const E& e) {
        EXPECT_EQ(std::to_string(e.rc) + " " + e.text, std::to_string(rc) + " " + text);
    }
}

// Expects KRException(rc, where, what), with the system lines for an errno.
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
    std::istringstream lines(testutil::Run("python3 -c " + testutil::ShellQuote(script) + " " +
                                           testutil::ShellQuote(dir) + " " +
                                           testutil::ShellQuote(format))
                                 .output);
    std::map<std::string, std::string> listing;
    for (std::string name, line; std::getline(lines, name, '\t') && std::getline(lines, line);) {
        listing[name] = line;
    }
    return listing;
}

}  // namespace fstest

#endif  // KRTOOLS_TESTS_FS_FS_TEST_UTIL_H
