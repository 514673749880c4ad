// KR_FILE_PTR and KR_DYNAMIC_PTR: owning holders whose acquisition failures
// become KRExceptions.
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "krtools/console.h"
#include "platform/platform.h"

namespace {

[[noreturn]] void ThrowSystemError(const char* message) {
    KRException error(krplatform::LastError(), message);
    error.FormatSystemErrorMsg();
    throw error;
}

}  // namespace

KR_FILE_PTR::~KR_FILE_PTR() { Close(); }

KR_FILE_PTR::KR_FILE_PTR(KR_FILE_PTR&& other) noexcept : fp(std::exchange(other.fp, nullptr)) {}

KR_FILE_PTR& KR_FILE_PTR::operator=(KR_FILE_PTR&& other) noexcept {
    if (this != &other) {
        Close();
        fp = std::exchange(other.fp, nullptr);
    }
    return *this;
}

void KR_FILE_PTR::Open(const char* path, const char* mode) {
    if (fp != nullptr) return;
    fp = std::fopen(path, mode);
    if (fp == nullptr) ThrowSystemError("Open failed: ");
}

void KR_FILE_PTR::Close() {
    if (fp != nullptr) std::fclose(fp);
    fp = nullptr;
}

KR_DYNAMIC_PTR::~KR_DYNAMIC_PTR() { Free(); }

KR_DYNAMIC_PTR::KR_DYNAMIC_PTR(KR_DYNAMIC_PTR&& other) noexcept
    : ptr(std::exchange(other.ptr, nullptr)), size(std::exchange(other.size, 0)) {}

KR_DYNAMIC_PTR& KR_DYNAMIC_PTR::operator=(KR_DYNAMIC_PTR&& other) noexcept {
    if (this != &other) {
        Free();
        ptr = std::exchange(other.ptr, nullptr);
        size = std::exchange(other.size, 0);
    }
    return *this;
}

void KR_DYNAMIC_PTR::Malloc(int bytes) {
    Free();
    size = bytes;
    if (bytes < 0) {
        krplatform::SetLastError(ENOMEM);
        ThrowSystemError("Malloc failed: ");
    }
    ptr = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(bytes)));
    if (ptr == nullptr && bytes > 0) ThrowSystemError("Malloc failed: ");
}

void KR_DYNAMIC_PTR::Free() {
    std::free(ptr);
    ptr = nullptr;
    size = 0;
}
