// Helpers for the date and time tests: a scoped TZ setting and Python's
// datetime as an independent oracle.
#ifndef KRTOOLS_TESTS_TIME_ORACLE_H
#define KRTOOLS_TESTS_TIME_ORACLE_H

#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "testutil.h"

namespace timetest {

// Sets TZ (and applies it with tzset) for the lifetime of the object.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadOld_) {
            setenv("TZ", old_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool hadOld_ = false;
    std::string old_;
};

// Runs a Python program with `input` on its standard input and returns its
// output lines; an empty vector when it fails.
inline std::vector<std::string> RunPython(const std::string& program, const std::string& input) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("oracle.py"), program);
    testutil::WriteFile(dir.File("input.txt"), input);
    const auto result = testutil::Run("python3 " + testutil::ShellQuote(dir.File("oracle.py")) +
                                      " < " + testutil::ShellQuote(dir.File("input.txt")));
    std::vector<std::string> lines;
    if (result.status != 0) return lines;
    std::istringstream stream(result.output);
    std::string line;
    while (std::getline(stream, line)) lines.push_back(line);
    return lines;
}

}  // namespace timetest

#endif  // KRTOOLS_TESTS_TIME_ORACLE_H
