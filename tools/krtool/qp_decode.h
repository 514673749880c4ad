// A quoted-printable decoder that follows RFC 2045's advice for robust
// decoding, fed in pieces.
#ifndef KRTOOL_QP_DECODE_H
#define KRTOOL_QP_DECODE_H

#include <cstddef>
#include <string>

namespace krtool {

// "=XY" with two hexadecimal digits of either case is the octet XY; "="
// followed by blanks (at most kMaxSoftBreakBlanks) and LF or CR LF is a soft
// line break and vanishes; any other "=" (an invalid escape, or one at the
// end of the input) is kept as it is. Everything else is copied.
class QpDecoder {
public:
    static constexpr size_t kMaxSoftBreakBlanks = 1024;

    // Decodes what can be decided now and keeps the rest for the next piece.
    std::string Feed(const char* data, size_t length);
    // Decodes what is left at the end of the input.
    std::string Finish();

private:
    std::string Decode(bool final);
    std::string pending_;
};

}  // namespace krtool

#endif  // KRTOOL_QP_DECODE_H
