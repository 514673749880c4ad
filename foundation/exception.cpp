// KRException: construction and text formatting.
#include "krtools/exception.h"

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

KRException::KRException() : rc(0) {}

KRException::KRException(int code) : rc(code) {}

KRException::KRException(const char* message) : text(message), rc(0) {}

KRException::KRException(int code, const char* message) : text(message), rc(code) {}

KRException::KRException(int code, const char* where, const char* what) : text(where), rc(code) {
    text += '\n';
    text += what;
}

void KRException::FormatRCAndText() {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "rc: %d, ", static_cast<int>(rc));
    text.insert(0, prefix);
}

void KRException::FormatSystemErrorMsg() {
    char line[32];
    std::snprintf(line, sizeof line, "Windows rc: 0x%08X\n", static_cast<uint32_t>(rc));
    text += '\n';
    text += line;
    text += krplatform::SystemErrorText(rc);
}

void KRException::MessageBoxA() { krplatform::ShowErrorMessage(text); }
