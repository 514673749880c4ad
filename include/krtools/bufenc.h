// Incremental Base64 and hexadecimal buffer encoders.
//
// FilterInit, FilterData, FilterFinal and UnfilterData encode or decode a
// stream piece by piece through a small context that the caller owns.
// FilterUnfilter codes a whole buffer at once in Base64 with 64-character
// lines. The caller supplies every output buffer; nothing is allocated and
// no output is NUL-terminated. The functions keep no state of their own and
// may be used from several threads with separate contexts and buffers.
#ifndef KRTOOLS_BUFENC_H
#define KRTOOLS_BUFENC_H

#include <stdint.h>

#include "krtools/export.h"

KRTOOLS_EXTERN_C_BEGIN

// The coding context of the incremental functions.
//
// |bitBuffer| accumulates bits not yet written (only its low bits matter),
// |bitCount| says how many are pending: 0, 8 or 16 between encoder calls;
// 0 to 7 between Base64 decoder calls; 0 or 4 between hexadecimal decoder
// calls. |format| is a three-letter tag and a NUL ("R64" Base64, "HDC"
// upper-case hexadecimal, "B64" Base64 for decoding only), or four zero bytes
// when no format is set. Only the first three bytes of |format| are compared.
// A |bitCount| outside these ranges (a context changed by hand) is taken as
// nothing pending.
typedef struct FilterContext {
    int32_t bitBuffer;
    int32_t bitCount;
    char format[4];
} FilterContext;

// Format numbers of FilterInit.
#define KR_FILTER_FORMAT_BASE64 1
#define KR_FILTER_FORMAT_HEX 2

// FilterInit clears |context| and sets its format: 1 gives "R64" (Base64),
// 2 gives "HDC" (hexadecimal); any other number leaves the context without a
// format, and the other functions then write nothing. Always returns 0.
KRTOOLS_API int FilterInit(FilterContext* context, int format);

// FilterData encodes |length| bytes of |in| into |out| and returns the number
// of characters written.
//
// Base64 ("R64"): every complete group of three bytes gives four characters;
// one or two bytes may stay pending in |context| for the next call. |out| needs
// 4 * ((pending + length) / 3) characters, at most 4 * (length + 2) / 3.
// Hexadecimal ("HDC"): two upper-case digits per byte; |out| needs
// 2 * length characters; the context is not changed.
// A |length| of -1 is exactly FilterFinal(out, context) and |in| is unused.
// Any other non-positive length, or a context of another format, writes
// nothing and returns 0.
// Largest input: the count written must fit the int result, so Base64
// takes at most (INT_MAX / 4) * 3 - 3 = 1610612730 bytes per call and
// hexadecimal INT_MAX / 2 = 1073741823; a longer |length| writes nothing,
// leaves the context as it was and returns 0.
KRTOOLS_API int FilterData(const unsigned char* in, char* out, int length, FilterContext* context);

// FilterFinal ends a Base64 stream: it writes the pending one or two bytes as
// four characters with "=" padding (|out| needs 4) and returns the count (0 or
// 4). The context is left empty, ready for a new stream. For any other format
// it writes nothing and returns 0.
KRTOOLS_API int FilterFinal(char* out, FilterContext* context);

// UnfilterData decodes |length| characters of |in| into |out| and returns the
// number of bytes written. |out| needs (length * 6 + 7) / 8 bytes at most.
//
// Base64 ("R64" and "B64"): characters outside the alphabet ("=", line breaks,
// blanks, any other byte) are skipped; up to 7 bits stay pending in |context|
// for the next call. Hexadecimal ("HDC"): "0"-"9" and upper-case "A"-"F" are
// digits, every other character (lower case included) is skipped; a single
// digit left at the end is carried into the next call. There is no final
// call: pending bits of a finished stream are simply not used. A |length|
// below 1, or a context of another format, writes nothing and returns 0.
KRTOOLS_API int UnfilterData(const char* in, unsigned char* out, int length,
                             FilterContext* context);

// FilterUnfilter codes a whole buffer in Base64 and returns the number of
// bytes written to |out|.
//
// |encode| non-zero: the Base64 text of |in|, padded with "=", laid out in
// lines of 64 characters each followed by a line feed (the last line too, if
// it holds any characters). |out| needs 4 * ((length + 2) / 3) characters plus
// one line feed per started line of 64.
// |encode| zero: decodes |in| skipping characters outside the alphabet; bits
// left at the end are dropped. |out| needs length * 3 / 4 + 1 bytes at most.
// A |length| of 0 or below writes nothing and returns 0. Encoding takes at
// most (INT_MAX / 65) * 48 = 1585834944 bytes, whose laid-out text still
// fits the int result; a longer |length| writes nothing and returns 0.
// Decoding accepts every int length (the result is never above it).
KRTOOLS_API int FilterUnfilter(const unsigned char* in, unsigned char* out, int length, int encode);

KRTOOLS_EXTERN_C_END

#endif  // KRTOOLS_BUFENC_H
