// Small helpers shared by the test suites: temporary folders, files,
// running commands and capturing the standard streams.
#ifndef KRTOOLS_TESTS_TESTUTIL_H
#define KRTOOLS_TESTS_TESTUTIL_H

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace testutil {

// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes away.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "krtest-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = buffer.data();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

// Quotes a text for /bin/sh.
inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

struct CommandResult {
    int status = -1;     // exit status, or -1 when it did not exit normally
    std::string output;  // what it wrote to standard output
};

// Runs a /bin/sh command line and collects its standard output.
inline CommandResult Run(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

// Runs `body` and returns what it wrote to standard output (C stdio and
// C++ streams alike). An exception from `body` ends the capture and passes on.
inline std::string CaptureStdout(const std::function<void()>& body) {
    fflush(stdout);
    testing::internal::CaptureStdout();
    try {
        body();
    } catch (...) {
        fflush(stdout);
        testing::internal::GetCapturedStdout();
        throw;
    }
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

inline std::string CaptureStderr(const std::function<void()>& body) {
    fflush(stderr);
    testing::internal::CaptureStderr();
    try {
        body();
    } catch (...) {
        fflush(stderr);
        testing::internal::GetCapturedStderr();
        throw;
    }
    fflush(stderr);
    return testing::internal::GetCapturedStderr();
}

inline std::vector<unsigned char> Bytes(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

// The certificate files of the system bundle (one PEM certificate each).
inline std::vector<std::string> SystemCertificateFiles() {
    std::vector<std::string> files;
    const char* dir = "/etc/ssl/certs";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".pem") == 0 &&
            std::filesystem::is_regular_file(entry.path(), ec)) {
            files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The DER form of a PEM certificate file, through `openssl x509`.
inline std::string CertificateDer(const std::string& pemFile) {
    return Run("openssl x509 -in " + ShellQuote(pemFile) + " -outform DER 2>/dev/null").output;
}

}  // namespace testutil

#endif  // KRTOOLS_TESTS_TESTUTIL_H
