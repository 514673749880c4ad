// KRFilterQuotedPrintable and KRUnfilterQuotedPrintable.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "krtools/stream.h"
#include "stream/codec_tables.h"

namespace {

using krtools::codec::kHexDigits;
using krtools::codec::kNotDigit;

constexpr int kSoftBreakColumn = 72;

// The encoded form of every byte: the byte itself for "!" to "<" and ">" to
// "~", else "=" and two upper-case hexadecimal digits. Four characters are
// stored so that a code is always copied whole; |length| of them count.
struct ByteCode {
    char text[4];
    uint8_t length;
};
constexpr std::array<ByteCode, 256> MakeByteCodes() {
    std::array<ByteCode, 256> table{};
    for (int b = 0; b < 256; ++b) {
        if (b >= 33 && b <= 126 && b != '=') {
            table[b] = {{char(b), 0, 0, 0}, 1};
        } else {
            table[b] = {{'=', kHexDigits[b >> 4], kHexDigits[b & 15], 0}, 3};
        }
    }
    return table;
}
constexpr std::array<ByteCode, 256> kByteCodes = MakeByteCodes();

// Most characters one input byte can give: an escape and a soft break.
constexpr size_t kMaxCharsPerByte = 6;

// Hexadecimal digit values of either case.
constexpr std::array<uint8_t, 256> MakeAnyCaseHexValues() {
    std::array<uint8_t, 256> table{};
    for (auto& v : table) v = kNotDigit;
    for (int i = 0; i < 10; ++i) table['0' + i] = uint8_t(i);
    for (int i = 0; i < 6; ++i) table['A' + i] = table['a' + i] = uint8_t(10 + i);
    return table;
}
constexpr std::array<uint8_t, 256> kAnyCaseHex = MakeAnyCaseHexValues();

// The byte of an escape: the two characters read as hexadecimal digits, the
// longest valid prefix counting (no digit gives 0).
unsigned char EscapedByte(unsigned char first, unsigned char second) {
    uint8_t high = kAnyCaseHex[first];
    if (high == kNotDigit) return 0;
    uint8_t low = kAnyCaseHex[second];
    if (low == kNotDigit) return high;
    return static_cast<unsigned char>(high << 4 | low);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

KRFilterQuotedPrintable::KRFilterQuotedPrintable() : column_(0) {}

KRFilterQuotedPrintable::KRFilterQuotedPrintable(const KRFilterQuotedPrintable& other)
    : KRFilter(other), column_(other.column_), buffer_(other.buffer_) {}

KRFilterQuotedPrintable& KRFilterQuotedPrintable::operator=(const KRFilterQuotedPrintable& other) {
    if (this == &other) return *this;
    KRFilter::operator=(other);
    column_ = other.column_;
    buffer_ = other.buffer_;
    return *this;
}

KRFilterQuotedPrintable::~KRFilterQuotedPrintable() = default;

int KRFilterQuotedPrintable::Update(const char* data, int length) {
    if (length < 1) return 0;
    // Encoded text is staged on the stack and appended to the buffer in
    // blocks, so a buffer that has grown once is never written twice.
    char stage[16384];
    int column = column_;
    const auto* in = reinterpret_cast<const unsigned char*>(data);
    const auto* const end = in + length;
    while (in != end) {
        const size_t room = (sizeof stage - sizeof kByteCodes[0].text) / kMaxCharsPerByte;
        const auto* const blockEnd = in + std::min(room, size_t(end - in));
        char* out = stage;
        for (; in != blockEnd; ++in) {
            const ByteCode& code = kByteCodes[*in];
            std::memcpy(out, code.text, sizeof code.text);
            out += code.length;
            column += code.length;
            if (column >= kSoftBreakColumn) {
                std::memcpy(out, "=\r\n", 3);
                out += 3;
                column = 0;
            }
        }
        buffer_.append(stage, size_t(out - stage));
    }
    column_ = column;
    if (buffer_.empty()) return 0;
    int rc = KRStreamProcess::Update(buffer_.data(), int(buffer_.size()));
    if (rc != 0) return rc;
    buffer_.clear();
    return 0;
}

int KRFilterQuotedPrintable::Final() {
    if (!buffer_.empty()) {
        int rc = KRStreamProcess::Update(buffer_.data(), int(buffer_.size()));
        if (rc != 0) return rc;
    }
    buffer_.clear();
    return KRStreamProcess::Final();
}

int KRFilterQuotedPrintable::Reset() {
    column_ = 0;
    buffer_.clear();
    return 0;
}

std::string KRFilterQuotedPrintable::GetDescription() { return "Quoted Printable"; }

unsigned int KRFilterQuotedPrintable::GetFilterType() const {
    return KR_FILTER_TYPE_QUOTED_PRINTABLE;
}

KRUnfilterQuotedPrintable::KRUnfilterQuotedPrintable() = default;

KRUnfilterQuotedPrintable::KRUnfilterQuotedPrintable(const KRUnfilterQuotedPrintable& other)
    : KRFilter(other) {}

KRUnfilterQuotedPrintable& KRUnfilterQuotedPrintable::operator=(
    const KRUnfilterQuotedPrintable& other) {
    KRFilter::operator=(other);
    return *this;
}

KRUnfilterQuotedPrintable::~KRUnfilterQuotedPrintable() = default;

int KRUnfilterQuotedPrintable::Update(const char* data, int length) {
    const size_t total = length > 0 ? size_t(length) : 0;
    if (scratch_.size() < total) scratch_.resize(total);
    char* const start = &scratch_[0];
    char* out = start;
    const char* in = data;
    const char* const end = data + total;
    while (in < end) {
        if (*in != '=') {
            *out++ = *in++;
            continue;
        }
        const char* digit = in + 1;
        const std::ptrdiff_t following = end - digit;
        if (following < 2) {
            // An escape cut off by the end of the piece: a lone "=" is taken
            // as a soft line break, "=" and one byte are kept as they are.
            if (following == 1) {
                *out++ = '=';
                *out++ = *digit;
            }
            break;
        }
        while (IsBlank(*digit) && end - digit - 1 >= 2) ++digit;
        if (digit[0] != '\r' || digit[1] != '\n') {
            *out++ = char(EscapedByte(uint8_t(digit[0]), uint8_t(digit[1])));
        }
        in = digit + 2;
    }
    return KRStreamProcess::Update(start, int(out - start));
}

int KRUnfilterQuotedPrintable::Final() { return KRStreamProcess::Final(); }

int KRUnfilterQuotedPrintable::Reset() { return 0; }

std::string KRUnfilterQuotedPrintable::GetDescription() { return "Quoted Printable"; }

unsigned int KRUnfilterQuotedPrintable::GetFilterType() const {
    return KR_FILTER_TYPE_QUOTED_PRINTABLE;
}
