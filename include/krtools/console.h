// Owning holders of a FILE* and of a malloc block, console output, and
// console prompting.
#ifndef KRTOOLS_CONSOLE_H
#define KRTOOLS_CONSOLE_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "krtools/exception.h"
#include "krtools/export.h"

// Owns one standard-I/O stream. Not copyable: one holder closes the stream.
class KRTOOLS_API KR_FILE_PTR {
public:
    // The held stream; null while none is held.
    FILE* fp = nullptr;

    KR_FILE_PTR() = default;
    // Closes the held stream.
    ~KR_FILE_PTR();
    KR_FILE_PTR(const KR_FILE_PTR&) = delete;
    KR_FILE_PTR& operator=(const KR_FILE_PTR&) = delete;
    // Takes over the other holder's stream; the other becomes empty.
    KR_FILE_PTR(KR_FILE_PTR&& other) noexcept;
    KR_FILE_PTR& operator=(KR_FILE_PTR&& other) noexcept;

    // Opens `path` with fopen `mode`. Does nothing when a stream is already
    // held. Throws KRException(errno, "Open failed: " + system text).
    void Open(const char* path, const char* mode);
    // Closes the held stream (the fclose result is ignored); fp becomes null.
    void Close();
};

// Owns one malloc block. Not copyable: one holder frees the block.
class KRTOOLS_API KR_DYNAMIC_PTR {
public:
    // The held block; null while none is held.
    unsigned char* ptr = nullptr;
    // The byte count last requested of Malloc; 0 while none is held.
    int32_t size = 0;

    KR_DYNAMIC_PTR() = default;
    // Frees the held block.
    ~KR_DYNAMIC_PTR();
    KR_DYNAMIC_PTR(const KR_DYNAMIC_PTR&) = delete;
    KR_DYNAMIC_PTR& operator=(const KR_DYNAMIC_PTR&) = delete;
    // Takes over the other holder's block; the other becomes empty.
    KR_DYNAMIC_PTR(KR_DYNAMIC_PTR&& other) noexcept;
    KR_DYNAMIC_PTR& operator=(KR_DYNAMIC_PTR&& other) noexcept;

    // Frees the held block, stores `size`, then allocates `size` bytes (not
    // cleared). A negative size fails like an exhausted allocation. On
    // failure throws KRException(errno, "Malloc failed: " + system text);
    // ptr is then null and size keeps the requested count.
    void Malloc(int size);
    // Frees the held block; ptr becomes null and size 0.
    void Free();
};

KRTOOLS_EXTERN_C_BEGIN

// vprintf to standard output; returns what vprintf returns.
KRTOOLS_API int Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// perror(text): the text, ": " and the description of errno on standard error.
KRTOOLS_API void Perror(const char* text);
// Writes `text` to standard output as plain text (it is not used as a format),
// then passes " status=<status>\n" to perror, so standard error receives that
// line followed by ": " and the description of errno.
KRTOOLS_API void PerrorWithStatus(const char* text, int status);
// Always returns 0.
KRTOOLS_API int CCATest(void);

KRTOOLS_EXTERN_C_END

// Prompts for one value on the console and reads one line from standard
// input, asking again (with "\nrequired entry", "\nvalue entered is too long"
// or "\nlength must be %u") until the line passes:
//   required     an empty line is refused;
//   maxLength    when non-zero, the greatest accepted length;
//   exactLength  the value must have exactly maxLength characters;
//   upperCase    the accepted value is converted to upper case.
// A line is cut to its first 255 characters. Pending terminal input is
// discarded before each read; piped input never is. At end of input a last
// line without a line feed is taken as the answer; when nothing at all could
// be read it throws KRException(-1, "PromptUser", "End of input").
KRTOOLS_API void PromptUser(char* prompt, std::string& answer, bool required, int maxLength,
                            bool exactLength, bool upperCase);

#endif  // KRTOOLS_CONSOLE_H
