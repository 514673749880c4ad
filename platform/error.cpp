// System error codes and their texts.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace krplatform {

int LastError() { return errno; }

void SetLastError(int code) { errno = code; }

namespace {

// strerror_r comes in two flavours; both overloads pick the text out.
[[maybe_unused]] const char* PickText(int result, const char* buffer) {
    return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* PickText(const char* result, const char*) { return result; }

}  // namespace

std::string SystemErrorText(int code) {
    if (code < 0) return std::string();
    char buffer[256] = {0};
    const char* text = PickText(strerror_r(code, buffer, sizeof buffer), buffer);
    if (text == nullptr || *text == '\0' || std::strncmp(text, "Unknown error", 13) == 0) {
        return std::string();
    }
    std::string result(text);
    result += '\n';
    return result;
}

void ShowErrorMessage(const std::string& text) {
    std::fputs("Exception: ", stderr);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace krplatform
