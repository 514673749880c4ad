// Console output helpers.
#include <cstdarg>
#include <cstdio>

#include "krtools/console.h"

int Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int written = std::vprintf(format, args);
    va_end(args);
    return written;
}

void Perror(const char* text) { std::perror(text); }

void PerrorWithStatus(const char* text, int status) {
    std::fputs(text, stdout);
    std::fflush(stdout);
    char line[40];
    std::snprintf(line, sizeof line, " status=%u\n", static_cast<unsigned>(status));
    std::perror(line);
}

int CCATest(void) { return 0; }
