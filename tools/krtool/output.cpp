// Output files written through a temporary file and rename.
#include "output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "command.h"

namespace krtool {

namespace {

std::string Reason() { return std::strerror(errno); }

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

std::unique_ptr<AtomicFile>& RedirectedOutput() {
    static std::unique_ptr<AtomicFile> file;
    return file;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& target) : target_(target) {
    std::string pattern = target + ".krtool-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = mkstemp(name.data());
    if (fd_ < 0) throw InputError("cannot create '" + target + "': " + Reason());
    temp_ = name.data();
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) close(fd_);
    if (!committed_) unlink(temp_.c_str());
}

void AtomicFile::Write(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw InputError("cannot write '" + target_ + "': " + Reason());
        done += static_cast<size_t>(n);
    }
}

void AtomicFile::Commit() {
    struct stat old;
    const mode_t mode = stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : NewFileMode();
    if (fchmod(fd_, mode) != 0 || fsync(fd_) != 0) {
        throw InputError("cannot write '" + target_ + "': " + Reason());
    }
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) throw InputError("cannot write '" + target_ + "': " + Reason());
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        throw InputError("cannot replace '" + target_ + "': " + Reason());
    }
    committed_ = true;
}

void RedirectStandardOutput(const std::string& target) {
    struct stat status;
    if (stat(target.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        throw InputError("cannot write '" + target + "': " + std::strerror(EISDIR));
    }
    auto file = std::make_unique<AtomicFile>(target);
    std::fflush(stdout);
    if (dup2(file->Descriptor(), STDOUT_FILENO) < 0) {
        throw InputError("cannot write '" + target + "': " + Reason());
    }
    RedirectedOutput() = std::move(file);
}

void CommitStandardOutput() {
    auto& file = RedirectedOutput();
    if (!file) return;
    if (std::fflush(stdout) != 0) throw InputError("cannot write the output: " + Reason());
    file->Commit();
    file.reset();
}

}  // namespace krtool

namespace krtool {

void WriteFile(const std::string& path, const std::string& bytes) {
    AtomicFile file(path);
    file.Write(bytes);
    file.Commit();
}

}  // namespace krtool
