// Parameter files: the record parser ParseObj (keyword(value) and
// keyword=value records closed by ";") and the plain buffer parsing
// functions (two pair readers over a caller-owned ParseContext, GetToken,
// GetElement and SkipElements).
#ifndef KRTOOLS_PARAMS_H
#define KRTOOLS_PARAMS_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "krtools/export.h"
#include "krtools/file.h"

// One keyword/value pair of a record.
class KRTOOLS_API ParseEntry {
public:
    // The line (counted from 1) on which the keyword stands.
    int32_t lineNumber = 0;
    // The keyword's byte offset (from 0) within that line as read from the
    // file, counting escape characters removed earlier on the line.
    int32_t column = 0;
    std::string keyword;
    // Empty when the pair has no value.
    std::string value;

    ParseEntry();
    ParseEntry(const ParseEntry& other);
    ParseEntry(ParseEntry&& other) noexcept;
    // Copies all four fields.
    void operator=(const ParseEntry& other);
    void operator=(ParseEntry&& other) noexcept;
    ~ParseEntry();

    // Non-zero when the keywords are equal; nothing else is compared.
    int operator==(const ParseEntry& other);
};

// Reads a parameter file record by record. A record is a run of pairs over
// any number of lines, closed by ";" (the rest of that line is dropped) or by
// the end of the file. Blanks separate pairs, "#" outside a value starts a
// comment to the end of the line, a keyword alone is a pair without value.
//
// Parenthesis style: keyword(value); the value ends at the matching ")" on
// the same line and may hold blanks, "#", ";" and balanced parentheses; with
// escapes on, a backslash (not last on the line) is removed and the next
// character taken literally.
// Equal style: keyword=value; the value ends at a blank, "#", ";" or the end
// of the line unless it is enclosed in single or double quotes. A keyword
// followed by "=" and no value ("a= b") is stored as a pair without value.
//
// Lines end in LF or CR LF; a NUL byte ends a line's text; a line longer
// than 32767 characters is read in pieces, each counted as a line of its own.
//
// The parser never throws: failures are result codes with the message in
// errorText. Result codes: 1 record closed by ";", 2 end of file (the file is
// closed), -1 not initialised or missing file name, -2 syntax error, any
// other value a system error code from the file object.
//
// Not copyable: the file object and the scan pointers cannot be shared.
class KRTOOLS_API ParseObj {
public:
    // The message of the last failure; emptied at the start of each record.
    std::string errorText;
    // The number of pairs in the current record.
    int32_t entryCount = 0;
    // The pairs of the current record in file order.
    std::vector<ParseEntry> entries;

    ParseObj();
    // Closes the file; failures are swallowed.
    ~ParseObj();
    ParseObj(const ParseObj&) = delete;
    ParseObj& operator=(const ParseObj&) = delete;

    // Closes any open file, clears the record state and opens `fileName`
    // for reading with a 32768-byte line buffer. Returns 0; -1 with "Missing
    // or invalid filename" for a null or empty name; the file object's rc
    // (the system error code) with its message when the file cannot be
    // opened.
    int Init(const char* fileName);
    // Reads the next record in the parenthesis style; `escapes` turns
    // backslash escapes inside values on. Returns 1, 2 or an error code.
    int ParseParenStyle(bool escapes);
    // Reads the next record in the equal style. Returns 1, 2 or an error code.
    int ParseEqualStyle();
    // The number of the line last read (0 after Init and after the end).
    int GetLineNumber();

protected:
    // Scan codes of the building blocks.
    enum ScanCode {
        kKeywordStart = 0,
        kSemicolon = 1,
        kComment = 3,
        kDelimiter = 4,
        kBlank = 5,
        kValueEnd = 6,
        kEndOfLine = 7,
    };

    // Closes the file, empties fileName and sets the line number to 0.
    void CloseFile();
    // Clears the scan state, the counters, errorText and entries; the line
    // number and the file stay.
    void Reset();
    // Skips blanks to the next keyword. Throws KRException(-2, "Invalid
    // token syntax -- leading '<delimiter>'") when the delimiter comes first.
    int FindNextKeyword(char delimiter);
    // Advances over the keyword; the cursor stays on what stopped it.
    int FindEndOfKeyword(char delimiter);
    // Advances over an equal-style value (quoted or not).
    int FindEndOfEqualValue();
    // Advances to the ")" that closes the value, removing escapes when asked.
    // Throws KRException(-2, "Invalid token syntax -- unbalanced
    // parentheses") when the line ends first.
    int FindEndOfParenValue(bool escapes);

    std::string fileName;
    PXMFile file;
    // Scan position in the file's working buffer; null when a line is due.
    char* cursor = nullptr;
    char* keywordStart = nullptr;
    char* valueStart = nullptr;
    int32_t lineNumber = 0;
    // Characters from the cursor to the end of the line.
    int32_t remaining = 0;
    int32_t keywordLength = 0;
    int32_t valueLength = 0;
    // 0 while scanning, 1 record closed by ";", 2 end of file.
    int32_t status = 0;
    // Escape characters removed so far from the current line.
    int32_t removedOnLine = 0;
    // Column of the keyword being scanned.
    int32_t keywordColumn = 0;

private:
    int ParseRecord(char delimiter, bool parenStyle, bool escapes);
    bool ReadLine();
    void ScanPair(char delimiter, bool parenStyle, bool escapes);
    void ScanParenValue(bool escapes);
    void ScanEqualValue();
    void FinishLine() { remaining = 0; }
    void Advance(int32_t count = 1);
    void StorePair();
};

KRTOOLS_EXTERN_C_BEGIN

// The caller-owned state of the two plain pair readers.
struct ParseContext {
    // The open stream; set to null before the first call, the reader opens
    // fileName when it is null.
    FILE* fp;
    // The file to read; set by the caller.
    const char* fileName;
    // The 1024-byte line buffer, allocated when the file is opened.
    char* buffer;
    // Scan position in buffer; null when the next line must be read.
    char* cursor;
    // Characters left in the line from the cursor.
    int remaining;
    // Results of the last call; they point into buffer and stay valid until
    // the next call.
    char* keyword;
    int keywordLength;
    char* value;
    int valueLength;
};

// Reads the next keyword(value) pair, one per call, from lines of at most
// 1023 characters (longer lines arrive in pieces) that end in LF or CR LF. keywordLength counts the
// keyword and its "(" when a value list opens; value/valueLength give the
// value without surrounding blanks (value null when there is none). A ")"
// that closes no parenthesis is part of the keyword.
// Returns 0 a pair delivered; 1 a ";" closed a record (keyword points at it,
// keywordLength 0); 2 end of file: the stream is closed, the buffer freed
// and fp and buffer set to null, so the context starts over when used
// again; 60 the file cannot be opened; -1 the line buffer cannot be
// allocated (the stream is closed and fp set to null). A null context
// returns -1.
KRTOOLS_API int ParseParenStyle(ParseContext* context);

// Reads the next keyword=value token, one per call: tokens end at a space
// outside double quotes, "#" outside quotes ends the line, the first "="
// splits keyword from value. Keyword and value are trimmed (TrimString) and
// zero-terminated in place; a value enclosed in double quotes loses them.
// ";" is an ordinary character. Returns 0, 2, 60 or -1 as ParseParenStyle.
KRTOOLS_API int ParseEqualStyle(ParseContext* context);

// Splits a writable, NUL-terminated text at spaces and commas outside
// parentheses. Returns the next token (its separator overwritten with NUL)
// and advances *cursor past it, or null at the end; *cursor becomes null
// when the text is used up. A null `cursor` or *cursor returns null.
KRTOOLS_API char* GetToken(char** cursor);

// Copies characters from `source` to `destination` until `maxCount`
// characters were copied or one of the stop characters is met (not copied;
// no terminating NUL is written). The escape character is dropped and the
// character after it copied without being tested, except that an escape
// before a NUL that is a stop character does not carry the copy past that
// NUL. A character that is both a stop character and the escape character
// stops. Returns the number of characters copied; 0 for maxCount below 1.
// `source` must hold the characters read: at most 2 * maxCount, fewer when
// a stop character is met.
KRTOOLS_API int GetElement(const char* source, char* destination, int maxCount, char escape,
                           char stop1, char stop2, char stop3);

// Advances *cursor past `count` separators. The escape character lets the
// character after it pass untested (except a NUL terminator, which always
// ends the scan). Returns `count` with *cursor just after the last separator
// passed, or 0 with *cursor just after the terminator when that comes first.
// A count below 1 returns 0 and leaves *cursor alone. The text must contain
// the terminator. A character is tested as terminator first, then as escape,
// then as separator.
KRTOOLS_API int SkipElements(char** cursor, int count, char escape, char separator,
                             char terminator);

KRTOOLS_EXTERN_C_END

#endif  // KRTOOLS_PARAMS_H
