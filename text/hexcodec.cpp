// Conversion between bytes and hexadecimal text.
#include "krtools/strutil.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The value of one hexadecimal digit, either case; any other character gives
// its own low four bits and sets `invalid`.
unsigned int NibbleOf(unsigned char c, bool* invalid) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        c = static_cast<unsigned char>(c - ('a' - 'A'));
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10u;
    }
    *invalid = true;
    return c & 0x0Fu;
}

}  // namespace

int Char2Hex(const char* hex, unsigned char* bytes, int length) {
    if (length < 2) {
        return 0;
    }
    bool invalid = false;
    const unsigned char* text = reinterpret_cast<const unsigned char*>(hex);
    const int pairs = length / 2;
    for (int i = 0; i < pairs; ++i) {
        const unsigned int high = NibbleOf(text[2 * i], &invalid);
        const unsigned int low = NibbleOf(text[2 * i + 1], &invalid);
        bytes[i] = static_cast<unsigned char>((high << 4) | low);
    }
    return invalid ? 1 : 0;
}

const unsigned char* Hex2Char(const unsigned char* bytes, char* hex, int length) {
    for (int i = 0; i < length; ++i) {
        hex[2 * i] = kHexDigits[bytes[i] >> 4];
        hex[2 * i + 1] = kHexDigits[bytes[i] & 0x0F];
    }
    return bytes;
}
