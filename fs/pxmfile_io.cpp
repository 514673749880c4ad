// PXMFile: positioning, reading, writing and the working buffer.
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "krtools/file.h"
#include "platform/platform.h"

long long PXMFile::Fgetpos() {
    RequireStream("Fgetpos", "File not open");
    std::fpos_t position;
    if (std::fgetpos(file_, &position) != 0) {
        FailWithSystemText("Fgetpos", "File fgetpos failed: ");
    }
    // fpos_t is opaque; on the same stream ftell names the same offset.
    long offset = std::ftell(file_);
    if (offset == -1L) FailWithSystemText("Fgetpos", "File fgetpos failed: ");
    return offset;
}

void PXMFile::Fsetpos(long long position) {
    RequireStream("Fsetpos", "File not open");
    if (position < LONG_MIN || position > LONG_MAX) {
        krplatform::SetLastError(EOVERFLOW);
        FailWithSystemText("Fsetpos", "File fsetpos failed: ");
    }
    if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) {
        FailWithSystemText("Fsetpos", "File fsetpos failed: ");
    }
}

void PXMFile::Fseek(long offset) {
    RequireStream("Fseek", "File not open");
    if (offset == -1L) {
        if (std::fseek(file_, 0L, SEEK_END) != 0)
            FailWithSystemText("Fseek", "File fseek failed: ");
        eof_ = true;
        return;
    }
    if (std::fseek(file_, offset, SEEK_CUR) != 0)
        FailWithSystemText("Fseek", "File fseek failed: ");
}

void PXMFile::Fseek(int origin, long offset) {
    RequireStream("Fseek", "File not open");
    if (std::fseek(file_, offset, origin) != 0) FailWithSystemText("Fseek", "File fseek failed: ");
}

long PXMFile::Ftell() {
    RequireStream("Ftell", "File not open");
    long offset = std::ftell(file_);
    if (offset == -1L) FailWithSystemText("Ftell", "File ftell failed: ");
    return offset;
}

void PXMFile::Fflush() {
    if (file_ == nullptr) return;
    if (std::fflush(file_) == EOF) FailWithSystemText("Fflush", "File fflush failed: ");
}

int PXMFile::Fgets() { return Fgets(buffer_, bufferSize); }

int PXMFile::Fgets(char* buffer, int size) {
    if (ReadingStopped()) return 0;
    if (buffer == nullptr) Fail("Fgets", "I/O buffer is NULL");
    if (size < 1) Fail("Fgets", "I/O buffer is too small");
    if (std::fgets(buffer, size, file_) == nullptr) {
        if (std::ferror(file_)) FailWithSystemText("Fgets", "File fgets failed: ");
        eof_ = true;
        return 0;
    }
    return static_cast<int>(std::strlen(buffer));
}

int PXMFile::Fread(int count) {
    if (ReadingStopped()) return 0;
    if (buffer_ == nullptr) Fail("Fread", "I/O buffer is NULL");
    if (count > bufferSize) Fail("Fread", "I/O buffer is too small");
    return Fread(buffer_, count);
}

int PXMFile::Fread(char* buffer, int count) {
    if (ReadingStopped()) return 0;
    if (buffer == nullptr) Fail("Fread", "I/O buffer is NULL");
    if (count < 0) Fail("Fread", "Negative byte count");
    size_t read = std::fread(buffer, 1, static_cast<size_t>(count), file_);
    if (read < static_cast<size_t>(count)) {
        if (std::ferror(file_)) FailWithSystemText("Fread", "File fread failed: ");
        eof_ = true;
    }
    return static_cast<int>(read);
}

int PXMFile::Fputs() {
    RequireStream("Fputs", "file not open");
    if (buffer_ == nullptr) Fail("Fputs", "I/O buffer is NULL");
    size_t size = bufferSize > 0 ? static_cast<size_t>(bufferSize) : 0;
    if (std::memchr(buffer_, '\0', size) != nullptr) return Fputs(buffer_);
    // The buffer is full to the last byte without a terminating zero: write
    // all of it, never reading past its end.
    std::string text(buffer_, size);
    return Fputs(text.c_str());
}

int PXMFile::Fputs(const char* text) {
    RequireStream("Fputs", "file not open");
    if (text == nullptr) Fail("Fputs", "I/O buffer is NULL");
    int result = std::fputs(text, file_);
    if (result == EOF) FailWithSystemText("Fputs", "File fputs failed: ");
    return result;
}

int PXMFile::Fwrite(int count) {
    RequireStream("Fwrite", "file not open");
    if (buffer_ == nullptr) Fail("Fwrite", "I/O buffer is NULL");
    if (count > bufferSize) Fail("Fwrite", "I/O buffer is too small");
    return Fwrite(buffer_, count);
}

int PXMFile::Fwrite(const char* data, int count) {
    RequireStream("Fwrite", "file not open");
    if (data == nullptr) Fail("Fwrite", "I/O buffer is NULL");
    if (count < 0) Fail("Fwrite", "Negative byte count");
    size_t written = std::fwrite(data, 1, static_cast<size_t>(count), file_);
    if (written < static_cast<size_t>(count)) FailWithSystemText("Fwrite", "File fwrite failed: ");
    return count;
}

int PXMFile::Fprintf(const char* format, ...) {
    RequireStream("Fprintf", "file not open");
    if (buffer_ == nullptr) Fail("Fprintf", "I/O buffer is NULL");
    va_list args;
    va_start(args, format);
    int written = std::vfprintf(file_, format, args);
    va_end(args);
    if (written < 0) FailWithSystemText("Fprintf", "File vfprintf failed: ");
    return written;
}

void PXMFile::AllocateBuffer(int size) {
    bufferSize = size;
    std::free(buffer_);
    buffer_ = nullptr;
    if (size < 0) {
        krplatform::SetLastError(ENOMEM);
        FailWithSystemText("malloc", "Buffer malloc failed: ");
    }
    // One byte at least, so that a zero-sized buffer still exists.
    buffer_ = static_cast<char*>(std::malloc(size > 0 ? static_cast<size_t>(size) : 1));
    if (buffer_ == nullptr) FailWithSystemText("malloc", "Buffer malloc failed: ");
}

void PXMFile::SetBuffer(const char* data, int length) {
    if (buffer_ == nullptr) Fail("SetBuffer", "I/O buffer is NULL");
    if (data == nullptr) Fail("SetBuffer", "set buffer not specified");
    if (length > bufferSize) Fail("SetBuffer", "set length greater than bufferSize");
    if (length < 0) Fail("SetBuffer", "set length is negative");
    std::memset(buffer_, 0, static_cast<size_t>(bufferSize));
    std::memcpy(buffer_, data, static_cast<size_t>(length));
}
