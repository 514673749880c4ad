// GetToken, GetElement and SkipElements: in-place scanning of texts and
// separator-delimited records.
#include <cstddef>

#include "krtools/params.h"

namespace {

bool IsTokenSeparator(char c) { return c == ' ' || c == ','; }

}  // namespace

char* GetToken(char** cursor) {
    if (cursor == nullptr || *cursor == nullptr) return nullptr;
    char* p = *cursor;
    while (IsTokenSeparator(*p)) ++p;
    if (*p == '\0') {
        *cursor = nullptr;
        return nullptr;
    }
    char* const start = p;
    size_t depth = 0;
    for (; *p != '\0'; ++p) {
        if (*p == '(') {
            ++depth;
        } else if (*p == ')') {
            if (depth > 0) --depth;
        } else if (depth == 0 && IsTokenSeparator(*p)) {
            *p = '\0';
            *cursor = p + 1;
            return start;
        }
    }
    *cursor = nullptr;
    return start;
}

int GetElement(const char* source, char* destination, int maxCount, char escape, char stop1,
               char stop2, char stop3) {
    if (maxCount < 1 || source == nullptr || destination == nullptr) return 0;
    auto isStop = [&](char c) { return c == stop1 || c == stop2 || c == stop3; };
    int copied = 0;
    while (copied < maxCount) {
        const char c = *source;
        if (isStop(c)) break;
        if (c == escape) {
            // An escape never carries the copy over a terminating NUL.
            if (source[1] == '\0' && isStop('\0')) break;
            destination[copied++] = source[1];
            source += 2;
            continue;
        }
        destination[copied++] = c;
        ++source;
    }
    return copied;
}

int SkipElements(char** cursor, int count, char escape, char separator, char terminator) {
    if (count < 1 || cursor == nullptr || *cursor == nullptr) return 0;
    char* p = *cursor;
    int passed = 0;
    for (;;) {
        const char c = *p;
        if (c == terminator) {
            *cursor = p + 1;
            return 0;
        }
        if (c == escape) {
            // An escaped NUL terminator still ends the scan.
            if (p[1] == '\0' && terminator == '\0') {
                *cursor = p + 2;
                return 0;
            }
            p += 2;
            continue;
        }
        ++p;
        if (c == separator && ++passed == count) {
            *cursor = p;
            return count;
        }
    }
}
