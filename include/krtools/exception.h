// KRException: the one exception type that krtools throws.
//
// Every failure the library reports by exception is thrown by value as a
// KRException (the file object throws PXMFileException, derived from it).
// A handler for `const KRException&` therefore catches every failure.
#ifndef KRTOOLS_EXCEPTION_H
#define KRTOOLS_EXCEPTION_H

#include <cstdint>
#include <string>

#include "krtools/export.h"

class KRTOOLS_API KRException {
public:
    // The message text, usually naming the failing operation.
    std::string text;
    // The return code: a toolkit status, a small negative code chosen by the
    // throwing component, or a system error code (errno, socket error).
    int32_t rc;

    // Empty text; rc is 0.
    KRException();
    // The given code and an empty text.
    explicit KRException(int rc);
    // A copy of `text`; rc is 0. `text` must be non-null.
    explicit KRException(const char* text);
    // The given code and a copy of `text`. `text` must be non-null.
    KRException(int rc, const char* text);
    // The text `where`, a line feed, then `what` (the line feed is always
    // there, also when `what` is empty). Both must be non-null.
    KRException(int rc, const char* where, const char* what);

    KRException(const KRException& other) = default;
    KRException& operator=(const KRException& other) = default;
    ~KRException() = default;

    // Prefixes the text with "rc: <rc>, ". Each call adds the prefix again.
    void FormatRCAndText();

    // Appends a line feed, the line "Windows rc: 0x%08X\n" for rc (a negative
    // code shows as its 32-bit two's complement), then the system's
    // description of rc followed by a line feed. For negative codes no
    // description follows. Each call appends again.
    void FormatSystemErrorMsg();

    // Shows the text to the person at the console: writes "Exception: ", the
    // text and a line feed to standard error.
    void MessageBoxA();
};

#endif  // KRTOOLS_EXCEPTION_H
