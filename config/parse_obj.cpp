// ParseObj: the record parser over PXMFile, and ParseEntry.
#include <cstring>
#include <string>
#include <utility>

#include "krtools/exception.h"
#include "krtools/params.h"

namespace {

// The working buffer: lines of at most 32767 characters.
constexpr int kParseBufferSize = 32768;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

[[noreturn]] void SyntaxError(const std::string& text) { throw KRException(-2, text.c_str()); }

}  // namespace

// ---- ParseEntry ----

ParseEntry::ParseEntry() = default;
ParseEntry::ParseEntry(const ParseEntry& other) = default;
ParseEntry::ParseEntry(ParseEntry&& other) noexcept = default;
ParseEntry::~ParseEntry() = default;

void ParseEntry::operator=(const ParseEntry& other) {
    if (this == &other) return;
    lineNumber = other.lineNumber;
    column = other.column;
    keyword = other.keyword;
    value = other.value;
}

void ParseEntry::operator=(ParseEntry&& other) noexcept {
    lineNumber = other.lineNumber;
    column = other.column;
    keyword = std::move(other.keyword);
    value = std::move(other.value);
}

int ParseEntry::operator==(const ParseEntry& other) { return keyword == other.keyword ? 1 : 0; }

// ---- ParseObj: setup ----

ParseObj::ParseObj() = default;

// The file object closes its stream itself and swallows failures.
ParseObj::~ParseObj() = default;

int ParseObj::Init(const char* name) {
    try {
        CloseFile();
        Reset();
        if (name == nullptr || *name == '\0') throw KRException(-1, "Missing or invalid filename");
        fileName = name;
        file.Open(name, "r");
        file.AllocateBuffer(kParseBufferSize);
        return 0;
    } catch (const KRException& e) {
        errorText = e.text;
        // A failure never reads as success, even without a system code.
        return e.rc == 0 ? -1 : e.rc;
    }
}

int ParseObj::ParseParenStyle(bool escapes) { return ParseRecord('(', true, escapes); }

int ParseObj::ParseEqualStyle() { return ParseRecord('=', false, false); }

int ParseObj::GetLineNumber() { return lineNumber; }

void ParseObj::CloseFile() {
    fileName.clear();
    lineNumber = 0;
    cursor = nullptr;
    remaining = 0;
    file.Close();
}

void ParseObj::Reset() {
    cursor = nullptr;
    keywordStart = nullptr;
    valueStart = nullptr;
    remaining = 0;
    keywordLength = 0;
    valueLength = 0;
    entryCount = 0;
    status = 0;
    errorText.clear();
    entries.clear();
}

// ---- ParseObj: one record ----

int ParseObj::ParseRecord(char delimiter, bool parenStyle, bool escapes) {
    try {
        if (file.GetFileHandle() == nullptr || file.GetBuffer() == nullptr) {
            throw KRException(-1, "Parse object not initialized");
        }
        Reset();
        for (;;) {
            if (cursor == nullptr && !ReadLine()) {
                CloseFile();
                status = 2;
                return status;
            }
            ScanPair(delimiter, parenStyle, escapes);
            StorePair();
            keywordStart = nullptr;
            valueStart = nullptr;
            keywordLength = 0;
            valueLength = 0;
            if (remaining <= 0) cursor = nullptr;
            if (status != 0) return status;
        }
    } catch (const KRException& e) {
        errorText = e.text;
        return e.rc == 0 ? -1 : e.rc;
    }
}

bool ParseObj::ReadLine() {
    const int length = file.Fgets();
    // A line that starts with NUL reads as length 0 without reaching the end.
    if (length <= 0 && file.GetEOFSwitch()) return false;
    ++lineNumber;
    removedOnLine = 0;
    cursor = file.GetBuffer();
    remaining = length > 0 ? length : 0;
    // The line end goes, LF or CR LF alike (the text-mode view of the file).
    if (remaining > 0 && cursor[remaining - 1] == '\n') {
        cursor[--remaining] = '\0';
        if (remaining > 0 && cursor[remaining - 1] == '\r') cursor[--remaining] = '\0';
    }
    return true;
}

void ParseObj::Advance(int32_t count) {
    cursor += count;
    remaining -= count;
}

void ParseObj::ScanPair(char delimiter, bool parenStyle, bool escapes) {
    for (;;) {
        int code = FindNextKeyword(delimiter);
        if (code == kComment) return FinishLine();
        if (code == kSemicolon) {
            status = 1;
            return FinishLine();
        }
        if (code == kEndOfLine) return;
        // A keyword still pending from "keyword=" is stored before the next.
        if (keywordStart != nullptr) return;
        keywordStart = cursor;
        keywordColumn = static_cast<int32_t>(cursor - file.GetBuffer()) + removedOnLine;
        code = FindEndOfKeyword(delimiter);
        keywordLength = static_cast<int32_t>(cursor - keywordStart);
        if (code == kComment) return FinishLine();
        if (code == kSemicolon) {
            status = 1;
            return FinishLine();
        }
        if (code != kDelimiter) return;
        if (parenStyle) return ScanParenValue(escapes);
        ScanEqualValue();
        if (valueStart != nullptr || remaining <= 0 || status != 0) return;
    }
}

void ParseObj::ScanParenValue(bool escapes) {
    Advance();  // "("
    if (remaining <= 0) SyntaxError("Invalid token syntax -- unbalanced parentheses");
    if (*cursor == ')') {
        Advance();
        return;
    }
    valueStart = cursor;
    FindEndOfParenValue(escapes);
    valueLength = static_cast<int32_t>(cursor - valueStart);
    Advance();  // ")"
}

void ParseObj::ScanEqualValue() {
    Advance();  // "="
    if (remaining <= 0) return;
    const char next = *cursor;
    if (next == ';' || next == '#' || IsBlank(next)) return;
    valueStart = cursor;
    const int code = FindEndOfEqualValue();
    valueLength = static_cast<int32_t>(cursor - valueStart);
    if (code == kValueEnd) {
        Advance();
    } else if (code == kComment) {
        FinishLine();
    } else if (code == kSemicolon) {
        status = 1;
        FinishLine();
    }
}

void ParseObj::StorePair() {
    if (keywordStart == nullptr) return;
    ParseEntry entry;
    entry.lineNumber = lineNumber;
    entry.column = keywordColumn;
    entry.keyword.assign(keywordStart, static_cast<size_t>(keywordLength));
    if (valueStart != nullptr) entry.value.assign(valueStart, static_cast<size_t>(valueLength));
    entries.push_back(std::move(entry));
    ++entryCount;
}

// ---- ParseObj: scanners ----

int ParseObj::FindNextKeyword(char delimiter) {
    for (; remaining > 0; Advance()) {
        const char c = *cursor;
        if (c == '#') return kComment;
        if (c == ';') return kSemicolon;
        if (c == delimiter) {
            SyntaxError(std::string("Invalid token syntax -- leading '") + delimiter + "'");
        }
        if (!IsBlank(c)) return kKeywordStart;
    }
    return kEndOfLine;
}

int ParseObj::FindEndOfKeyword(char delimiter) {
    for (; remaining > 0; Advance()) {
        const char c = *cursor;
        if (c == '#') return kComment;
        if (c == ';') return kSemicolon;
        if (c == delimiter) return kDelimiter;
        if (IsBlank(c)) return kBlank;
    }
    return kEndOfLine;
}

int ParseObj::FindEndOfEqualValue() {
    if (remaining <= 0) return kEndOfLine;
    const char quote = *cursor;
    if (quote == '\'' || quote == '"') {
        Advance();
        valueStart = cursor;
        for (; remaining > 0; Advance()) {
            if (*cursor == quote) return kValueEnd;
        }
        return kEndOfLine;
    }
    for (; remaining > 0; Advance()) {
        const char c = *cursor;
        if (c == '#') return kComment;
        if (c == ';') return kSemicolon;
        if (IsBlank(c)) return kBlank;
    }
    return kEndOfLine;
}

// Escapes are removed in one pass: kept characters are copied down over the
// dropped backslashes, and the rest of the line follows once at the end, so
// the line reads as if it had been shifted left at every backslash.
int ParseObj::FindEndOfParenValue(bool escapes) {
    char* read = cursor;
    char* write = cursor;
    char* const end = cursor + remaining;  // the line's terminating NUL
    long depth = 0;
    while (read < end) {
        const char c = *read;
        if (escapes && c == '\\' && read + 1 < end) {
            *write++ = read[1];
            read += 2;
            ++removedOnLine;
            continue;
        }
        if (c == ')' && --depth < 0) {
            std::memmove(write, read, static_cast<size_t>(end - read) + 1);
            cursor = write;
            remaining = static_cast<int32_t>(end - read);
            return kValueEnd;
        }
        if (c == '(') ++depth;
        *write++ = c;
        ++read;
    }
    *write = '\0';
    cursor = write;
    remaining = 0;
    SyntaxError("Invalid token syntax -- unbalanced parentheses");
}
