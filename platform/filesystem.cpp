// File status, directory creation and removal, directory listings.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/platform.h"

namespace krplatform {

int GetFileStatus(const char* path, FileStatus* status) {
    struct stat st;
    if (stat(path, &st) != 0) return errno;
    status->mode = static_cast<uint32_t>(st.st_mode);
    status->owner = static_cast<uint32_t>(st.st_uid);
    status->group = static_cast<uint32_t>(st.st_gid);
    status->size = static_cast<int64_t>(st.st_size);
    status->changeTime = static_cast<int64_t>(st.st_ctime);
    status->modifyTime = static_cast<int64_t>(st.st_mtime);
    status->accessTime = static_cast<int64_t>(st.st_atime);
    status->isDirectory = S_ISDIR(st.st_mode);
    return 0;
}

int MakeDirectory(const char* path) { return mkdir(path, 0777) == 0 ? 0 : errno; }

int RemoveDirectory(const char* path) { return rmdir(path) == 0 ? 0 : errno; }

int ChangeDirectory(const char* path) { return chdir(path) == 0 ? 0 : errno; }

int RenameFile(const char* from, const char* to) { return std::rename(from, to) == 0 ? 0 : errno; }

DirectoryListing::~DirectoryListing() { Close(); }

int DirectoryListing::Open(const char* path) {
    Close();
    DIR* dir = opendir(path);
    if (dir == nullptr) return errno;
    handle_ = dir;
    return 0;
}

int DirectoryListing::Next(std::string& name) {
    if (handle_ == nullptr) return EBADF;
    errno = 0;
    const struct dirent* entry = readdir(static_cast<DIR*>(handle_));
    if (entry == nullptr) return errno == 0 ? kNoMoreFiles : errno;
    name.assign(entry->d_name);
    return 0;
}

void DirectoryListing::Close() {
    if (handle_ != nullptr) closedir(static_cast<DIR*>(handle_));
    handle_ = nullptr;
}

}  // namespace krplatform
