// Trimming of std::string values and of character buffers in place.
#include <cstring>
#include <string>

#include "krtools/strutil.h"

namespace {

// White space for the std::string trims: blank, line feed, tab.
constexpr const char* kStringWhiteSpace = " \n\t";

bool IsTrailingBufferSpace(char c) {
    return c == ' ' || c == '\0' || c == '\t' || c == '\r' || c == '\n';
}

bool IsLeadingBufferSpace(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string LTrim(const std::string& text) {
    const size_t first = text.find_first_not_of(kStringWhiteSpace);
    return first == std::string::npos ? std::string() : text.substr(first);
}

std::string RTrim(const std::string& text) {
    const size_t last = text.find_last_not_of(kStringWhiteSpace);
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string Trim(const std::string& text) { return LTrim(RTrim(text)); }

void TrimString(char* buffer, int* length) {
    int kept = *length;
    if (kept <= 0) {
        return;
    }
    while (kept > 0 && IsTrailingBufferSpace(buffer[kept - 1])) {
        buffer[--kept] = '\0';
    }
    int start = 0;
    while (start < kept && IsLeadingBufferSpace(buffer[start])) {
        ++start;
    }
    if (start > 0) {
        std::memmove(buffer, buffer + start, static_cast<size_t>(kept - start));
        std::memset(buffer + kept - start, 0, static_cast<size_t>(start));
        kept -= start;
    }
    *length = kept;
}
