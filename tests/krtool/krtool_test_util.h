// Running the built krtool from the command-line tests: exit status,
// standard output and standard error of one run.
#ifndef KRTOOLS_TESTS_KRTOOL_TEST_UTIL_H
#define KRTOOLS_TESTS_KRTOOL_TEST_UTIL_H

#include <string>

#include "testutil.h"

namespace krtooltest {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// The quoted path of the tool, for shell command lines.
inline std::string Tool() { return testutil::ShellQuote(KRTOOL_PATH); }

// Runs "krtool ARGS" through /bin/sh (ARGS may hold redirections and pipes).
inline Result Krtool(const std::string& args) {
    testutil::TempDir dir;
    const std::string errFile = dir.File("stderr");
    const auto run = testutil::Run(Tool() + " " + args + " 2>" + testutil::ShellQuote(errFile));
    return {run.status, run.output, testutil::ReadFile(errFile)};
}

// Runs any shell command line and gives its standard output.
inline std::string Shell(const std::string& command) { return testutil::Run(command).output; }

// True when `err` is exactly one line "krtool: ...".
inline bool OneErrorLine(const std::string& err) {
    return err.rfind("krtool: ", 0) == 0 && err.find('\n') == err.size() - 1;
}

}  // namespace krtooltest

#endif  // KRTOOLS_TESTS_KRTOOL_TEST_UTIL_H
