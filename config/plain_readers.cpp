// The plain pair readers over a caller-owned ParseContext: one
// keyword(value) or keyword=value pair per call from a 1024-byte line buffer.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "krtools/params.h"
#include "krtools/strutil.h"

namespace {

constexpr int kLineBufferSize = 1024;
constexpr int kOpenFailed = 60;
constexpr int kEndOfFile = 2;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void Step(ParseContext* context) {
    ++context->cursor;
    --context->remaining;
}

void Release(ParseContext* context) {
    std::free(context->buffer);
    std::fclose(context->fp);
    context->buffer = nullptr;
    context->fp = nullptr;
    context->cursor = nullptr;
    context->remaining = 0;
}

// Clears the results and opens the file on first use. Returns 0 or the
// call's result code.
int Prepare(ParseContext* context) {
    context->keyword = nullptr;
    context->keywordLength = 0;
    context->value = nullptr;
    context->valueLength = 0;
    if (context->fp != nullptr) return 0;
    if (context->fileName == nullptr) return kOpenFailed;
    context->fp = std::fopen(context->fileName, "r");
    if (context->fp == nullptr) return kOpenFailed;
    context->buffer = static_cast<char*>(std::malloc(kLineBufferSize));
    if (context->buffer == nullptr) {
        std::fclose(context->fp);
        context->fp = nullptr;
        return -1;
    }
    context->cursor = nullptr;
    context->remaining = 0;
    return 0;
}

// Reads the next line into the buffer without its line end; at the end of
// the file releases the context and returns false.
bool NextLine(ParseContext* context) {
    if (std::fgets(context->buffer, kLineBufferSize, context->fp) == nullptr) {
        Release(context);
        return false;
    }
    context->cursor = context->buffer;
    context->remaining = static_cast<int>(std::strlen(context->buffer));
    // The line end goes, LF or CR LF alike (the text-mode view of the file).
    char* line = context->buffer;
    if (context->remaining > 0 && line[context->remaining - 1] == '\n') {
        line[--context->remaining] = '\0';
        if (context->remaining > 0 && line[context->remaining - 1] == '\r') {
            line[--context->remaining] = '\0';
        }
    }
    return true;
}

// Ends a keyword(value) pair at the cursor.
int EndParenPair(ParseContext* context) {
    if (context->keywordLength == 0) {
        context->keywordLength = static_cast<int>(context->cursor - context->keyword);
    }
    if (context->remaining <= 0) context->cursor = nullptr;
    return 0;
}

// The ")" under the cursor closed the value list.
int CloseParenValue(ParseContext* context) {
    if (context->value != nullptr) {
        const char* last = context->cursor - 1;
        while (last > context->value && IsBlank(*last)) --last;
        context->valueLength = static_cast<int>(last - context->value) + 1;
    }
    Step(context);
    return EndParenPair(context);
}

// Walks the current line for one pair. Returns a result code, or -2 when the
// line ended before a keyword started.
int WalkParenLine(ParseContext* context, long& depth, bool& started) {
    while (context->remaining > 0) {
        const char c = *context->cursor;
        if (!started) {
            if (c == '#') return -2;
            if (c == ';') {
                context->keyword = context->cursor;
                context->keywordLength = 0;
                context->cursor = nullptr;
                context->remaining = 0;
                return 1;
            }
            if (IsBlank(c)) {
                Step(context);
                continue;
            }
            context->keyword = context->cursor;
            context->value = nullptr;
            started = true;
        }
        if (c == '(') {
            if (++depth == 1) {
                context->keywordLength = static_cast<int>(context->cursor - context->keyword) + 1;
            }
        } else if (c == ')') {
            if (depth > 0 && --depth == 0) return CloseParenValue(context);
        } else if (depth == 0) {
            if (IsBlank(c) || c == '#' || c == ';') return EndParenPair(context);
        } else if (context->value == nullptr && !IsBlank(c)) {
            context->value = context->cursor;
        }
        Step(context);
    }
    return started ? EndParenPair(context) : -2;
}

// Ends the token at the cursor: measures and trims keyword and value.
void FinishEqualToken(ParseContext* context) {
    context->keywordLength = static_cast<int>(std::strlen(context->keyword));
    TrimString(context->keyword, &context->keywordLength);
    if (context->value == nullptr) return;
    char* value = context->value;
    context->valueLength = static_cast<int>(std::strlen(value));
    TrimString(value, &context->valueLength);
    if (context->valueLength > 0 && value[context->valueLength - 1] == '"') {
        value[context->valueLength - 1] = ' ';
    }
    if (context->valueLength > 0 && value[0] == '"') value[0] = ' ';
    TrimString(value, &context->valueLength);
}

// Walks one token of the current line, writing NUL over its separators.
void WalkEqualToken(ParseContext* context, bool& inQuotes) {
    while (context->remaining > 0) {
        char* p = context->cursor;
        if (*p == '=' && context->value == nullptr) {
            *p = '\0';
            context->value = p + 1;
        } else if (*p == '"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes && *p == '#') {
            *p = '\0';
            context->remaining = 0;
            return;
        } else if (!inQuotes && *p == ' ') {
            *p = '\0';
            Step(context);
            return;
        }
        Step(context);
    }
}

}  // namespace

int ParseParenStyle(ParseContext* context) {
    if (context == nullptr) return -1;
    const int prepared = Prepare(context);
    if (prepared != 0) return prepared;
    long depth = 0;
    bool started = false;
    for (;;) {
        if (context->cursor == nullptr && !NextLine(context)) return kEndOfFile;
        const int result = WalkParenLine(context, depth, started);
        if (result != -2) return result;
        context->cursor = nullptr;
    }
}

int ParseEqualStyle(ParseContext* context) {
    if (context == nullptr) return -1;
    const int prepared = Prepare(context);
    if (prepared != 0) return prepared;
    bool inQuotes = false;
    for (;;) {
        if (context->cursor == nullptr && !NextLine(context)) return kEndOfFile;
        context->keyword = context->cursor;
        context->value = nullptr;
        context->valueLength = 0;
        WalkEqualToken(context, inQuotes);
        FinishEqualToken(context);
        if (context->remaining <= 0) context->cursor = nullptr;
        if (context->keywordLength != 0) return 0;
        context->value = nullptr;
        context->valueLength = 0;
    }
}
