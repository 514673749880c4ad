// Helpers for the file and directory tests: the exact exception texts the
// file object and the directory functions build, from errno's own text.
#ifndef KRTOOLS_TESTS_FS_FS_TEST_UTIL_H
#define KRTOOLS_TESTS_FS_FS_TEST_UTIL_H

#include <cstdio>
#include <cstring>
#include <string>

namespace fstest {

// The lines FormatSystemErrorMsg appends for a non-negative errno value.
inline std::string SystemLines(int code) {
    char line[32];
    std::snprintf(line, sizeof line, "Windows rc: 0x%08X\n", static_cast<unsigned>(code));
    return std::string("\n") + line + std::strerror(code) + "\n";
}

inline std::string FileMessage(const std::string& function, const std::string& name,
                               const std::string& mode, const std::string& text) {
    return "Function: " + function + ", Filename: " + name + ", Mode: " + mode + "\r\n" + text;
}

// The message of the three-argument form.
inline std::string Where(const std::string& where, const std::string& what) {
    return where + "\n" + what;
}

}  // namespace fstest

#endif  // KRTOOLS_TESTS_FS_FS_TEST_UTIL_H
