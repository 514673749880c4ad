// The robust quoted-printable decoder.
#include "qp_decode.h"

namespace krtool {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

enum class Escape { kNeedMore, kLiteral, kOctet, kSoftBreak };

// What the "=" at `at` is; `*next` is where decoding goes on after it.
Escape Classify(const std::string& text, size_t at, bool final, size_t* next) {
    const size_t size = text.size();
    size_t j = at + 1;
    while (j < size && IsBlank(text[j]) && j - at <= QpDecoder::kMaxSoftBreakBlanks) ++j;
    if (j - at > QpDecoder::kMaxSoftBreakBlanks) return Escape::kLiteral;
    if (j == size) return final ? Escape::kLiteral : Escape::kNeedMore;
    if (text[j] == '\n') {
        *next = j + 1;
        return Escape::kSoftBreak;
    }
    if (text[j] == '\r') {
        if (j + 1 == size) return final ? Escape::kLiteral : Escape::kNeedMore;
        if (text[j + 1] != '\n') return Escape::kLiteral;
        *next = j + 2;
        return Escape::kSoftBreak;
    }
    if (j != at + 1) return Escape::kLiteral;
    if (at + 2 >= size) return final ? Escape::kLiteral : Escape::kNeedMore;
    if (HexDigit(text[at + 1]) < 0 || HexDigit(text[at + 2]) < 0) return Escape::kLiteral;
    *next = at + 3;
    return Escape::kOctet;
}

}  // namespace

std::string QpDecoder::Feed(const char* data, size_t length) {
    pending_.append(data, length);
    return Decode(false);
}

std::string QpDecoder::Finish() { return Decode(true); }

std::string QpDecoder::Decode(bool final) {
    std::string out;
    out.reserve(pending_.size());
    size_t at = 0;
    while (at < pending_.size()) {
        const size_t equals = pending_.find('=', at);
        out.append(pending_, at, (equals == std::string::npos ? pending_.size() : equals) - at);
        if (equals == std::string::npos) {
            at = pending_.size();
            break;
        }
        size_t next = equals + 1;
        const Escape escape = Classify(pending_, equals, final, &next);
        if (escape == Escape::kNeedMore) {
            at = equals;
            break;
        }
        if (escape == Escape::kOctet) {
            out += static_cast<char>(HexDigit(pending_[equals + 1]) * 16 +
                                     HexDigit(pending_[equals + 2]));
        } else if (escape == Escape::kLiteral) {
            out += '=';
        }
        at = next;
    }
    pending_.erase(0, at);
    return out;
}

}  // namespace krtool
