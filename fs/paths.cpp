// Joining paths, creating directory levels and changing the current
// directory.
#include <climits>
#include <cstring>
#include <string>

#include "krtools/console.h"
#include "krtools/file.h"
#include "platform/platform.h"

namespace {

constexpr char kSeparator = krplatform::kPathSeparator;

[[noreturn]] void ThrowSystemError(int code, const char* where, const std::string& what) {
    KRException error(code, where, what.c_str());
    error.FormatSystemErrorMsg();
    throw error;
}

}  // namespace

void BuildFullyQualifiedFilename(const char* directory, const char* fileName, std::string& result) {
    const char* name = fileName != nullptr ? fileName : "";
    if (directory == nullptr || *directory == '\0') {
        result = std::string(".") + kSeparator + name;
        return;
    }
    result = directory;
    if (result.back() != kSeparator) result += kSeparator;
    result += name;
}

void BuildDirectoryNode(const char* path) {
    const char* target = path != nullptr ? path : "";
    krplatform::FileStatus status;
    if (krplatform::GetFileStatus(target, &status) != 0) {
        int code = krplatform::MakeDirectory(target);
        if (code != 0) {
            ThrowSystemError(code, "BuildDirectoryNode",
                             std::string("Error creating directory: ") + target);
        }
        return;
    }
    if (status.isDirectory) return;
    std::string what = std::string("Error creating directory: ") + target;
    what += "\nFilename already exists";
    throw KRException(-1, "BuildDirectoryNode", what.c_str());
}

void BuildDirectory(const char* path) {
    if (path == nullptr || *path == '\0') return;
    size_t length = std::strlen(path);
    if (length > static_cast<size_t>(INT_MAX - 2)) {
        throw KRException(-1, "BuildDirectory", "Path too long");
    }
    KR_DYNAMIC_PTR copy;
    copy.Malloc(static_cast<int>(length + 2));
    char* text = reinterpret_cast<char*>(copy.ptr);
    std::memset(text, 0, length + 2);
    std::memcpy(text, path, length);
    if (text[length - 1] != kSeparator) text[length] = kSeparator;

    // A leading separator names the root, which is not a level to create.
    char* scan = text[0] == kSeparator ? text + 1 : text;
    while ((scan = std::strchr(scan, kSeparator)) != nullptr) {
        *scan = '\0';
        BuildDirectoryNode(text);
        *scan = kSeparator;
        ++scan;
    }
}

void KRChangeDirectory(const char* path) {
    if (path == nullptr || *path == '\0') return;
    int code = krplatform::ChangeDirectory(path);
    if (code != 0) {
        ThrowSystemError(code, "KRChangeDirectory",
                         std::string("Error changing to directory: ") + path);
    }
}
