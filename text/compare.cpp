// Case-insensitive comparison and the hexadecimal-digit test.
#include "krtools/strutil.h"

namespace {

// Folds a-z to upper case (and nothing else, whatever the locale) and gives
// the byte as a signed 8-bit value, the order the comparisons use.
int FoldedSigned(unsigned char c) {
    if (c >= 'a' && c <= 'z') {
        c = static_cast<unsigned char>(c - ('a' - 'A'));
    }
    return static_cast<signed char>(c);
}

int CompareFolded(unsigned char a, unsigned char b) {
    const int fa = FoldedSigned(a);
    const int fb = FoldedSigned(b);
    if (fa == fb) {
        return 0;
    }
    return fa > fb ? 1 : -1;
}

bool IsHexDigit(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

}  // namespace

int CPStrisxdigit(const char* text) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        if (!IsHexDigit(*p)) {
            return 0;
        }
    }
    return 1;
}

int Stricmp(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) {
        return -1;
    }
    const unsigned char* pa = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* pb = reinterpret_cast<const unsigned char*>(b);
    for (; *pa != 0; ++pa, ++pb) {
        if (*pb == 0) {
            return 1;
        }
        const int order = CompareFolded(*pa, *pb);
        if (order != 0) {
            return order;
        }
    }
    return *pb != 0 ? -1 : 0;
}

int Memicmp(const void* a, const void* b, int count) {
    if (a == nullptr || b == nullptr) {
        return -1;
    }
    const unsigned char* pa = static_cast<const unsigned char*>(a);
    const unsigned char* pb = static_cast<const unsigned char*>(b);
    for (int i = 0; i < count; ++i) {
        const int order = CompareFolded(pa[i], pb[i]);
        if (order != 0) {
            return order;
        }
    }
    return 0;
}
