// PromptUser: asks for one line on the console until it passes the rules.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "krtools/console.h"
#include "platform/platform.h"

namespace {

constexpr int kMaxLine = 255;

enum class LineResult { kLine, kEndOfInput };

// Reads up to kMaxLine characters of one line into `line` (NUL-terminated);
// the line feed is consumed but not stored.
LineResult ReadLine(char (&line)[kMaxLine + 1], int& count) {
    count = 0;
    std::memset(line, 0, sizeof line);
    bool sawAnything = false;
    while (count < kMaxLine) {
        int c = std::getchar();
        if (c == EOF) return sawAnything ? LineResult::kLine : LineResult::kEndOfInput;
        sawAnything = true;
        if (c == '\n') break;
        line[count++] = static_cast<char>(c);
    }
    return LineResult::kLine;
}

// The complaint for a non-empty line, or null when it passes.
const char* CheckLength(int count, int maxLength, bool exactLength, char (&buffer)[48]) {
    if (maxLength != 0 && count > maxLength) return "\nvalue entered is too long";
    if (exactLength && count != maxLength) {
        std::snprintf(buffer, sizeof buffer, "\nlength must be %u",
                      static_cast<unsigned>(maxLength));
        return buffer;
    }
    return nullptr;
}

}  // namespace

void PromptUser(char* prompt, std::string& answer, bool required, int maxLength, bool exactLength,
                bool upperCase) {
    char line[kMaxLine + 1];
    for (;;) {
        answer.clear();
        std::printf("\n%s\n\t", prompt);
        std::fflush(stdout);
        krplatform::DiscardPendingTerminalInput();
        int count = 0;
        if (ReadLine(line, count) == LineResult::kEndOfInput) {
            throw KRException(-1, "PromptUser", "End of input");
        }
        if (count == 0) {
            if (!required) return;
            std::printf("\nrequired entry");
            continue;
        }
        char buffer[48];
        if (const char* complaint = CheckLength(count, maxLength, exactLength, buffer)) {
            std::printf("%s", complaint);
            continue;
        }
        if (upperCase) {
            for (int i = 0; i < count; ++i) {
                line[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[i])));
            }
        }
        answer.assign(line);
        return;
    }
}
