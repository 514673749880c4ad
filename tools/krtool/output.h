// Output files that appear only when everything was written: a temporary
// file beside the target, renamed over it on success, removed otherwise.
#ifndef KRTOOL_OUTPUT_H
#define KRTOOL_OUTPUT_H

#include <string>

namespace krtool {

// A temporary file beside `target`, open for writing.
class AtomicFile {
public:
    // Creates the temporary file; InputError when that is impossible.
    explicit AtomicFile(const std::string& target);
    // Removes the temporary file unless Commit succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    int Descriptor() const { return fd_; }
    // The temporary file's name.
    const std::string& TempPath() const { return temp_; }
    // Writes all bytes; InputError on failure.
    void Write(const std::string& bytes);
    // Flushes to disk, gives the file the mode of the file it replaces (or
    // 0666 less the umask) and renames it over the target; InputError on
    // failure.
    void Commit();

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool committed_ = false;
};

// Sends standard output into an AtomicFile for `target` until
// CommitStandardOutput; without a commit the file never appears.
void RedirectStandardOutput(const std::string& target);
// Renames the redirected output into place (nothing when not redirected);
// InputError on failure.
void CommitStandardOutput();

}  // namespace krtool

#endif  // KRTOOL_OUTPUT_H
