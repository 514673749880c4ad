// Fault injection beneath the library: the test program is linked with
// --wrap for each system and runtime call the library makes (list in
// tests/CMakeLists.txt), so every call site reaches a wrapper that either
// passes the call on or fails it as armed here. The library itself is built
// as always; nothing of this exists outside this test program.
#ifndef KRTOOLS_TESTS_FAULTS_FAULT_PLAN_H
#define KRTOOLS_TESTS_FAULTS_FAULT_PLAN_H

#include <cstddef>
#include <string>

namespace faults {

// The next call of `call` ("fopen", "readdir", "send", ...) after `skip`
// passed-on calls fails with errno `code`, `times` times in a row.
void Fail(const std::string& call, int code, int skip = 0, int times = 1);
// The next call of `call` ("send", "recv", "fwrite") moves at most `limit`
// bytes without an error, `times` times in a row.
void Shorten(const std::string& call, size_t limit, int times = 1);
// Calls of `call` seen since the last Reset, armed or not.
int Calls(const std::string& call);
// Disarms everything and zeroes the counts; calls of the calling thread are
// counted (and armed faults apply to the thread that armed them).
void Reset();

// Resets on construction and destruction, so no plan leaks into the next test.
struct Scope {
    Scope() { Reset(); }
    ~Scope() { Reset(); }
};

}  // namespace faults

#endif  // KRTOOLS_TESTS_FAULTS_FAULT_PLAN_H
