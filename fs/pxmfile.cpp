// PXMFile: opening, closing, renaming and removing the file, and the
// exception it throws.
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "krtools/file.h"
#include "platform/platform.h"

PXMFileException::PXMFileException(const char* function, const std::string& fileName,
                                   const std::string& mode, const char* text) {
    rc = krplatform::LastError();
    this->text = "Function: ";
    this->text += function;
    this->text += ", Filename: ";
    this->text += fileName;
    this->text += ", Mode: ";
    this->text += mode;
    this->text += "\r\n";
    this->text += text;
}

PXMFile::PXMFile() = default;

PXMFile::PXMFile(const char* fileName, const char* mode)
    : fileName_(fileName != nullptr ? fileName : ""), mode_(mode != nullptr ? mode : "") {}

PXMFile::~PXMFile() {
    ReleaseQuietly();
    std::free(buffer_);
}

PXMFile::PXMFile(PXMFile&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)),
      buffer_(std::exchange(other.buffer_, nullptr)),
      bufferSize(std::exchange(other.bufferSize, 0)),
      deleteOnClose_(std::exchange(other.deleteOnClose_, false)),
      deleteOnDestroy_(std::exchange(other.deleteOnDestroy_, false)),
      eof_(std::exchange(other.eof_, false)),
      fileName_(std::move(other.fileName_)),
      mode_(std::move(other.mode_)) {
    other.fileName_.clear();
    other.mode_.clear();
}

PXMFile& PXMFile::operator=(PXMFile&& other) noexcept {
    if (this != &other) {
        ReleaseQuietly();
        std::free(buffer_);
        file_ = std::exchange(other.file_, nullptr);
        buffer_ = std::exchange(other.buffer_, nullptr);
        bufferSize = std::exchange(other.bufferSize, 0);
        deleteOnClose_ = std::exchange(other.deleteOnClose_, false);
        deleteOnDestroy_ = std::exchange(other.deleteOnDestroy_, false);
        eof_ = std::exchange(other.eof_, false);
        fileName_ = std::move(other.fileName_);
        mode_ = std::move(other.mode_);
        other.fileName_.clear();
        other.mode_.clear();
    }
    return *this;
}

// What the destructor does with the stream, without letting a failure out.
void PXMFile::ReleaseQuietly() noexcept {
    try {
        if (deleteOnDestroy_) {
            Remove();
        } else {
            Close();
        }
    } catch (const KRException&) {
        // A destructor reports nothing; the stream is closed either way.
    }
    file_ = nullptr;
}

void PXMFile::Fail(const char* function, const char* text) const {
    throw PXMFileException(function, fileName_, mode_, text);
}

void PXMFile::FailWithSystemText(const char* function, const char* text) const {
    PXMFileException error(function, fileName_, mode_, text);
    error.FormatSystemErrorMsg();
    throw error;
}

void PXMFile::RequireStream(const char* function, const char* text) const {
    if (file_ == nullptr) Fail(function, text);
}

void PXMFile::Open() {
    if (file_ != nullptr) return;
    if (fileName_.empty()) Fail("Open", "File name not specified");
    if (mode_.empty()) Fail("Open", "File open mode not specified");
    file_ = std::fopen(fileName_.c_str(), mode_.c_str());
    if (file_ == nullptr) FailWithSystemText("Open", "File open failed: ");
    eof_ = false;
}

void PXMFile::Open(const char* fileName, const char* mode) {
    SetFileName(fileName);
    SetMode(mode);
    Open();
}

void PXMFile::Rewind() {
    if (file_ == nullptr) return;
    std::rewind(file_);
    eof_ = false;
}

// fclose invalidates the stream whatever its result, so the handle is
// forgotten before a failure is reported.
void PXMFile::CloseStream(const char* function) {
    if (file_ == nullptr) return;
    FILE* stream = std::exchange(file_, nullptr);
    if (std::fclose(stream) != 0) FailWithSystemText(function, "File close failed: ");
}

void PXMFile::Close() {
    CloseStream("Close");
    if (deleteOnClose_) Remove();
}

void PXMFile::Rename(const char* newName) {
    CloseStream("Close (Rename)");
    if (newName == nullptr || *newName == '\0' || fileName_.empty()) return;
    if (std::rename(fileName_.c_str(), newName) != 0) {
        const int code = krplatform::LastError();
        std::string text = "File rename failed, newname = ";
        text += newName;
        text += ':';
        krplatform::SetLastError(code);  // the exception reports rename's error
        FailWithSystemText("Rename", text.c_str());
    }
}

void PXMFile::Remove() {
    CloseStream("Close (Remove)");
    if (fileName_.empty()) return;
    if (std::remove(fileName_.c_str()) != 0) FailWithSystemText("Remove", "File remove failed: ");
}

void PXMFile::SetMode(const char* mode) { mode_ = mode != nullptr ? mode : ""; }

void PXMFile::SetFileName(const char* fileName) { fileName_ = fileName != nullptr ? fileName : ""; }
