// KRDIR: walking the entries of one directory and reading their status.
#include <utility>

#include "krtools/file.h"
#include "platform/platform.h"

namespace {

[[noreturn]] void ThrowSystemError(int code, const char* where, const std::string& what) {
    KRException error(code, where, what.c_str());
    error.FormatSystemErrorMsg();
    throw error;
}

}  // namespace

KRDIR::KRDIR() = default;

KRDIR::KRDIR(const char* name) : dirName(name != nullptr ? name : "") { KRDIR::Open(); }

KRDIR::~KRDIR() { KRDIR::Close(); }

KRDIR::KRDIR(KRDIR&& other) noexcept
    : openSwitch(std::exchange(other.openSwitch, 0)),
      dirName(std::move(other.dirName)),
      fileName(std::move(other.fileName)),
      mode(other.mode),
      owner(other.owner),
      group(other.group),
      size(other.size),
      createTime(other.createTime),
      modifyTime(other.modifyTime),
      accessTime(other.accessTime),
      searchStarted(std::exchange(other.searchStarted, 0)),
      search(std::move(other.search)) {
    other.dirName.clear();
    other.fileName.clear();
    other.ClearAttributes();
}

KRDIR& KRDIR::operator=(KRDIR&& other) noexcept {
    if (this != &other) {
        KRDIR::Close();
        openSwitch = std::exchange(other.openSwitch, 0);
        dirName = std::move(other.dirName);
        fileName = std::move(other.fileName);
        mode = other.mode;
        owner = other.owner;
        group = other.group;
        size = other.size;
        createTime = other.createTime;
        modifyTime = other.modifyTime;
        accessTime = other.accessTime;
        searchStarted = std::exchange(other.searchStarted, 0);
        search = std::move(other.search);
        other.dirName.clear();
        other.fileName.clear();
        other.ClearAttributes();
    }
    return *this;
}

void KRDIR::Open(const char* name) {
    dirName = name != nullptr ? name : "";
    Open();
}

void KRDIR::Open() {
    if (openSwitch != 0) Close();
    if (dirName.empty()) throw KRException(-1, "KRDIR::Open", "Empty directory name");
    searchStarted = 0;
    openSwitch = 1;
}

void KRDIR::Close() {
    openSwitch = 0;
    search.reset();
    searchStarted = 0;
}

void KRDIR::Remove() {
    if (dirName.empty()) return;
    Close();
    int code = krplatform::RemoveDirectory(dirName.c_str());
    if (code != 0) ThrowSystemError(code, "KRDIR::Remove", dirName);
}

void KRDIR::Rewind() { Open(); }

const char* KRDIR::Next() {
    fileName.clear();
    if (openSwitch == 0) Open();
    std::string name;
    int code;
    if (searchStarted == 0 || search == nullptr) {
        auto listing = std::make_unique<krplatform::DirectoryListing>();
        code = listing->Open(dirName.c_str());
        if (code == 0) code = listing->Next(name);
        // The first step delivers the first entry; only when it fails does
        // the search stay unstarted.
        if (code != 0 && code != krplatform::kNoMoreFiles) {
            ThrowSystemError(code, "KRDIR::Next", dirName);
        }
        search = std::move(listing);
        searchStarted = 1;
    } else {
        code = search->Next(name);
        if (code != 0 && code != krplatform::kNoMoreFiles) {
            ThrowSystemError(code, "KRDIR::Next", dirName);
        }
    }
    if (code == krplatform::kNoMoreFiles) name.clear();
    fileName = name;
    return fileName.empty() ? nullptr : fileName.c_str();
}

void KRDIR::ClearAttributes() {
    mode = 0;
    owner = 0;
    group = 0;
    size = 0;
    createTime = 0;
    modifyTime = 0;
    accessTime = 0;
}

void KRDIR::RetrieveAttributes() {
    ClearAttributes();
    std::string path = dirName + krplatform::kPathSeparatorText + fileName;
    krplatform::FileStatus status;
    int code = krplatform::GetFileStatus(path.c_str(), &status);
    if (code != 0) ThrowSystemError(code, "KRDIR::RetrieveAttributes", path);
    mode = static_cast<int32_t>(status.mode & 0xFFFFu);
    owner = static_cast<int32_t>(status.owner);
    group = static_cast<int32_t>(status.group);
    size = static_cast<long>(status.size);
    createTime = static_cast<long>(status.changeTime);
    modifyTime = static_cast<long>(status.modifyTime);
    accessTime = static_cast<long>(status.accessTime);
}

const char* KRDIR::GetDirName() { return dirName.c_str(); }

const char* KRDIR::GetFileName() { return fileName.c_str(); }

int KRDIR::GetMode() { return mode; }

int KRDIR::GetOwner() { return owner; }

int KRDIR::GetGroup() { return group; }

long KRDIR::GetSize() { return size; }

long KRDIR::GetCreateTime() { return createTime; }

long KRDIR::GetModifyTime() { return modifyTime; }

long KRDIR::GetAccessTime() { return accessTime; }
