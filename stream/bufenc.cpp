// Incremental Base64 and hexadecimal buffer encoders.
//
// The bit accumulator of FilterContext is worked on as an unsigned value. The
// fast paths code whole groups through wide lookup tables and leave the
// context exactly as coding one byte or character at a time would.
#include "krtools/bufenc.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>

#include "stream/base64/kernels.h"
#include "stream/base64/scalar/scalar.h"
#include "stream/codec_tables.h"

namespace {

using namespace krtools::codec;
using krtools::base64::ChosenKernels;
using krtools::base64::Kernels;

enum class Format { kNone, kBase64, kBase64DecodeOnly, kHex };

Format FormatOf(const FilterContext* context) {
    if (std::memcmp(context->format, "R64", 3) == 0) return Format::kBase64;
    if (std::memcmp(context->format, "HDC", 3) == 0) return Format::kHex;
    if (std::memcmp(context->format, "B64", 3) == 0) return Format::kBase64DecodeOnly;
    return Format::kNone;
}

// The accumulator after shifting in the last (up to four) bytes of `in`, as
// if every byte had been shifted in one at a time.
uint32_t ShiftInBytes(uint32_t buffer, const unsigned char* in, size_t length) {
    size_t start = length > 4 ? length - 4 : 0;
    for (size_t i = start; i < length; ++i) buffer = (buffer << 8) | in[i];
    return buffer;
}

// Largest input length whose encoded size still fits the int result.
constexpr int kMaxBase64EncodeLength = (INT_MAX / 4) * 3 - 3;
constexpr int kMaxHexEncodeLength = INT_MAX / 2;

int EncodeBase64(const unsigned char* in, char* out, int length, FilterContext* context) {
    if (length > kMaxBase64EncodeLength) return 0;
    int32_t bitCount = context->bitCount;
    if (bitCount != 0 && bitCount != 8 && bitCount != 16 && bitCount != 24) bitCount = 0;
    const size_t total = size_t(length);
    uint32_t buffer = uint32_t(context->bitBuffer);
    size_t pending = size_t(bitCount) / 8;
    size_t used = 0;
    char* o = out;
    if (pending != 0) {
        for (; pending < 3 && used < total; ++pending) buffer = (buffer << 8) | in[used++];
        if (pending == 3) {
            const unsigned char group[3] = {uint8_t(buffer >> 16), uint8_t(buffer >> 8),
                                            uint8_t(buffer)};
            o = krtools::base64::EncodeScalar(group, 1, o);
            pending = 0;
        }
    }
    if (pending == 0) {
        size_t groups = (total - used) / 3;
        o = ChosenKernels().encode(in + used, groups, o);
        pending = total - used - groups * 3;
    }
    context->bitBuffer = int32_t(ShiftInBytes(uint32_t(context->bitBuffer), in, total));
    context->bitCount = int32_t(pending * 8);
    return int(o - out);
}

int EncodeHex(const unsigned char* in, char* out, int length) {
    if (length > kMaxHexEncodeLength) return 0;
    for (int i = 0; i < length; ++i) std::memcpy(out + 2 * i, kHexPairs[in[i]].c, 2);
    return 2 * length;
}

// Runs shorter than this are decoded by the single steps of DecodeBase64.
constexpr size_t kRunMinimum = 64;
// Characters whose digits are gathered at a time when a run has others.
constexpr size_t kCompressChunk = 2048;

// The position in |in| of the |count|-th alphabet character before |end|.
size_t BackOverDigits(const unsigned char* in, size_t end, size_t count) {
    while (count != 0) {
        if (kBase64Values[in[--end]] != kNotDigit) --count;
    }
    return end;
}

// Decodes whole groups from the start of |in|, with nothing pending before
// it, skipping characters outside the alphabet: coders that gather skip them
// anywhere, the others only between whole groups. Stops with fewer than
// kRunMinimum characters left or when a chunk holds no whole group. Returns
// the characters used: alphabet characters after the last whole group are
// left unused. |out| and |buffer| move on as the single steps would move
// them.
size_t DecodeRun(const Kernels& kernels, const unsigned char* in, size_t length,
                 unsigned char*& out, uint32_t& buffer) {
    unsigned char* const start = out;
    size_t used = 0;
    while (length - used >= kRunMinimum) {
        // Straight from the input while it holds only digits.
        const size_t groups = kernels.decode(in + used, length - used, out);
        used += 4 * groups;
        out += 3 * groups;
        if (length - used < kRunMinimum) break;
        if (!kernels.gathers) {
            // Characters outside the alphabet between whole groups (line
            // breaks) are stepped over one by one; they change nothing.
            if (kBase64Values[in[used]] != kNotDigit) break;
            while (used < length && kBase64Values[in[used]] == kNotDigit) ++used;
            continue;
        }
        // The digits of a chunk, gathered.
        unsigned char digits[kCompressChunk + 64];
        const size_t chunk = std::min(length - used, kCompressChunk);
        const size_t kept = kernels.compress(in + used, chunk, digits);
        const size_t chunkGroups = kept / 4;
        if (chunkGroups == 0) break;
        kernels.decode(digits, 4 * chunkGroups, out);
        out += 3 * chunkGroups;
        used = BackOverDigits(in, used + chunk, kept % 4);
    }
    buffer = ShiftInBytes(buffer, start, size_t(out - start));
    return used;
}

int DecodeBase64(const char* text, unsigned char* out, int length, FilterContext* context) {
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    const size_t total = size_t(length);
    uint32_t buffer = uint32_t(context->bitBuffer);
    int bitCount = context->bitCount;
    if (bitCount < 0 || bitCount > 7) bitCount = 0;
    const Kernels& kernels = ChosenKernels();
    unsigned char* o = out;
    size_t i = 0;
    size_t runsFrom = 0;  // where DecodeRun may next be tried
    while (i < total) {
        if (bitCount == 0 && i >= runsFrom && total - i >= kRunMinimum) {
            const size_t used = DecodeRun(kernels, in + i, total - i, o, buffer);
            // No progress: the next characters are left to the single
            // steps, for a while when the run was gathered in vain.
            if (used == 0) runsFrom = i + (kernels.gathers ? kRunMinimum : 1);
            i += used;
            continue;
        }
        // One group of four alphabet characters gives three bytes and leaves
        // the pending bit count as it was.
        if (i + 4 <= total) {
            uint32_t v = kGroupDigit0[in[i]] | kGroupDigit1[in[i + 1]] | kGroupDigit2[in[i + 2]] |
                         kGroupDigit3[in[i + 3]];
            if (!(v & kBadGroup)) {
                uint64_t acc = (uint64_t(buffer) << 24) | v;
                o[0] = uint8_t(acc >> (bitCount + 16));
                o[1] = uint8_t(acc >> (bitCount + 8));
                o[2] = uint8_t(acc >> bitCount);
                o += 3;
                buffer = uint32_t(acc);
                i += 4;
                continue;
            }
        }
        // Otherwise one character.
        uint8_t v = kBase64Values[in[i++]];
        if (v == kNotDigit) continue;
        buffer = (buffer << 6) | v;
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            *o++ = uint8_t(buffer >> bitCount);
        }
    }
    context->bitBuffer = int32_t(buffer);
    context->bitCount = bitCount;
    return int(o - out);
}

int DecodeHex(const char* text, unsigned char* out, int length, FilterContext* context) {
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    uint32_t buffer = uint32_t(context->bitBuffer);
    int bitCount = context->bitCount == 4 ? 4 : 0;
    unsigned char* o = out;
    for (int i = 0; i < length; ++i) {
        uint8_t v = kHexValues[in[i]];
        if (v == kNotDigit) continue;
        buffer = (buffer << 4) | v;
        bitCount += 4;
        if (bitCount == 8) {
            *o++ = uint8_t(buffer);
            bitCount = 0;
        }
    }
    context->bitBuffer = int32_t(buffer);
    context->bitCount = bitCount;
    return int(o - out);
}

constexpr int kLineChars = 64;
constexpr int kLineBytes = kLineChars / 4 * 3;
// Largest input whose laid-out text still fits the int result.
constexpr int kMaxLinedEncodeLength = (INT_MAX / (kLineChars + 1)) * kLineBytes;

int EncodeLines(const unsigned char* in, unsigned char* out, int length) {
    if (length > kMaxLinedEncodeLength) return 0;
    FilterContext context;
    FilterInit(&context, KR_FILTER_FORMAT_BASE64);
    char* text = reinterpret_cast<char*>(out);
    int written = 0;
    for (int used = 0; used < length;) {
        int chunk = length - used < kLineBytes ? length - used : kLineBytes;
        written += FilterData(in + used, text + written, chunk, &context);
        used += chunk;
        if (used == length) written += FilterFinal(text + written, &context);
        text[written++] = '\n';
    }
    return written;
}

}  // namespace

int FilterInit(FilterContext* context, int format) {
    context->bitBuffer = 0;
    context->bitCount = 0;
    std::memset(context->format, 0, sizeof context->format);
    if (format == KR_FILTER_FORMAT_BASE64) std::memcpy(context->format, "R64", 4);
    if (format == KR_FILTER_FORMAT_HEX) std::memcpy(context->format, "HDC", 4);
    return 0;
}

int FilterData(const unsigned char* in, char* out, int length, FilterContext* context) {
    if (length == -1) return FilterFinal(out, context);
    if (length <= 0) return 0;
    switch (FormatOf(context)) {
        case Format::kBase64:
            return EncodeBase64(in, out, length, context);
        case Format::kHex:
            return EncodeHex(in, out, length);
        default:
            return 0;
    }
}

int FilterFinal(char* out, FilterContext* context) {
    if (FormatOf(context) != Format::kBase64) return 0;
    int32_t bitCount = context->bitCount;
    if (bitCount != 8 && bitCount != 16 && bitCount != 24) {
        context->bitCount = 0;
        return 0;
    }
    uint32_t buffer = uint32_t(context->bitBuffer);
    const int pendingBytes = bitCount / 8;
    if (pendingBytes != 3) {
        int fill = 6 - bitCount % 6;
        buffer <<= fill;
        bitCount += fill;
    }
    int written = 0;
    while (bitCount > 0) {
        bitCount -= 6;
        out[written++] = kBase64Alphabet[(buffer >> bitCount) & 63];
    }
    for (int pad = pendingBytes; pad < 3; ++pad) out[written++] = kPad;
    context->bitBuffer = int32_t(buffer);
    context->bitCount = 0;
    return written;
}

int UnfilterData(const char* in, unsigned char* out, int length, FilterContext* context) {
    if (length < 1) return 0;
    switch (FormatOf(context)) {
        case Format::kBase64:
        case Format::kBase64DecodeOnly:
            return DecodeBase64(in, out, length, context);
        case Format::kHex:
            return DecodeHex(in, out, length, context);
        default:
            return 0;
    }
}

int FilterUnfilter(const unsigned char* in, unsigned char* out, int length, int encode) {
    if (length <= 0) return 0;
    if (encode != 0) return EncodeLines(in, out, length);
    FilterContext context;
    FilterInit(&context, 0);
    std::memcpy(context.format, "B64", 4);
    return DecodeBase64(reinterpret_cast<const char*>(in), out, length, &context);
}
