// String and character helpers, CRC-16 and byte stuffing.
//
// Plain functions that keep no state and allocate nothing except the results
// of the three std::string trim functions. All of them are safe to call from
// several threads at once on separate buffers. None of them throws.
#ifndef KRTOOLS_STRUTIL_H
#define KRTOOLS_STRUTIL_H

#include <string>

#include "krtools/export.h"

// Trim returns `text` without leading and trailing white space: blank, line
// feed and tab. Carriage return is not white space here. Trim(t) is
// LTrim(RTrim(t)).
KRTOOLS_API std::string Trim(const std::string& text);

// LTrim returns `text` without leading blanks, line feeds and tabs.
KRTOOLS_API std::string LTrim(const std::string& text);

// RTrim returns `text` without trailing blanks, line feeds and tabs.
KRTOOLS_API std::string RTrim(const std::string& text);

KRTOOLS_EXTERN_C_BEGIN

// TrimString trims the first `*length` bytes of `buffer` in place. Trailing
// blanks, NULs, tabs, carriage returns and line feeds are overwritten with
// NUL; leading blanks and tabs are skipped and the kept bytes moved to the
// start of the buffer, the freed bytes at its end set to NUL. `*length`
// becomes the number of bytes kept. Bytes beyond the first `*length` are
// neither read nor written; a `*length` of 0 or less leaves everything alone.
KRTOOLS_API void TrimString(char* buffer, int* length);

// CPStrisxdigit returns 1 when every character of the NUL-terminated `text` is
// one of 0-9, A-F, a-f (so also for the empty string), else 0.
KRTOOLS_API int CPStrisxdigit(const char* text);

// Stricmp compares two NUL-terminated strings ignoring the case of the
// letters a-z. Characters are compared as signed 8-bit values, so bytes
// 128-255 order before 0-127. Returns 1 when `a` is greater, -1 when it is
// smaller or when either pointer is null, and 0 when the strings are equal.
KRTOOLS_API int Stricmp(const char* a, const char* b);

// Memicmp compares `count` bytes like Stricmp compares characters (NUL bytes
// included). Returns -1 when either pointer is null, 0 when `count` is below
// 1 or the bytes agree, otherwise 1 or -1 at the first difference.
KRTOOLS_API int Memicmp(const void* a, const void* b, int count);

// Strncpy sets all `size` bytes of `destination` to NUL and copies at most
// `size` - 1 bytes of the NUL-terminated `source` to its start, so the result
// is always NUL-terminated. Returns 1 when `source` was longer than `size` - 1
// bytes, else 0. At most `size` bytes of `source` are read. With `size` below
// 1 nothing is written and the result is 1 unless `source` is empty.
KRTOOLS_API int Strncpy(char* destination, const char* source, int size);

// Strncat appends the NUL-terminated `source` to the string in `destination`,
// a buffer of `size` bytes in total holding a string of length d. The
// `size` - d bytes from the end of that string are set to NUL and at most
// `size` - d - 1 bytes of `source` are appended. Returns 1 when `source` did
// not fit whole, else 0. When `destination` holds no NUL within its `size`
// bytes (or `size` is below 1), nothing is written and the result is 1 unless
// `source` is empty.
KRTOOLS_API int Strncat(char* destination, const char* source, int size);

// Char2Hex converts the `length` characters of hexadecimal text at `hex` to
// `length` / 2 bytes at `bytes` (an odd last character is ignored), high four
// bits first; letters are taken in either case. A character that is not a
// hexadecimal digit contributes its own low four bits and makes the result 1;
// the conversion still runs to the end. Otherwise the result is 0. With a
// `length` below 2 nothing is written and the result is 0.
KRTOOLS_API int Char2Hex(const char* hex, unsigned char* bytes, int length);

// Hex2Char writes 2 * `length` characters (0-9, A-F, high four bits first) for
// the `length` bytes at `bytes` to `hex`, with no terminating NUL, and returns
// `bytes`. A negative `length` writes nothing.
KRTOOLS_API const unsigned char* Hex2Char(const unsigned char* bytes, char* hex, int length);

// Char2EDC encodes the `length` bytes at `in` so that every output byte has
// bit 0x40 set. Each group of up to 7 input bytes becomes a header byte
// followed by the group's bytes with bit 0x40 set; the header is 0x40 plus,
// for each byte that lacked bit 0x40, the flag of its position (0x80, 0x20,
// 0x10, 0x08, 0x04, 0x02, 0x01 for positions 0 to 6). `out` must hold
// `length` + ceil(`length` / 7) bytes. Returns the number of bytes written.
KRTOOLS_API int Char2EDC(const unsigned char* in, unsigned char* out, unsigned int length);

// EDC2Char reverses Char2EDC: the `length` bytes at `in` are taken in groups
// of up to 8, a header and up to 7 data bytes; a data byte is written with
// bit 0x40 cleared when the header holds its position's flag, unchanged
// otherwise. Headers are not written. `out` must hold
// `length` - ceil(`length` / 8) bytes. Returns the number of bytes written.
KRTOOLS_API int EDC2Char(const unsigned char* in, unsigned char* out, unsigned int length);

// AccumulateCRC continues the CRC-16 `crc` (polynomial 0x1021, most
// significant bit first, no final XOR) over the `length` bytes at `data` and
// returns the result. Data may be fed in any number of calls. Start value 0
// gives CRC-16/XMODEM, start value 0xFFFF CRC-16/CCITT-FALSE. A `length` of 0
// returns `crc` unchanged (and `data` is not read).
KRTOOLS_API unsigned short AccumulateCRC(unsigned short crc, const unsigned char* data,
                                         unsigned short length);

KRTOOLS_EXTERN_C_END

#endif  // KRTOOLS_STRUTIL_H
