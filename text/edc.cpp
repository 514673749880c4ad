// Byte stuffing that gives every output byte bit 0x40: a header byte before
// each group of up to 7 data bytes records which of them lacked the bit.
#include "krtools/strutil.h"

namespace {

constexpr unsigned char kMarker = 0x40;
constexpr unsigned int kGroupSize = 7;
// The header flag of each position in a group; 0x40 is the header's marker.
constexpr unsigned char kPositionFlags[kGroupSize] = {0x80, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};

}  // namespace

int Char2EDC(const unsigned char* in, unsigned char* out, unsigned int length) {
    unsigned int written = 0;
    for (unsigned int start = 0; start < length; start += kGroupSize) {
        const unsigned int count = length - start < kGroupSize ? length - start : kGroupSize;
        unsigned char* header = out + written++;
        unsigned char flags = kMarker;
        for (unsigned int j = 0; j < count; ++j) {
            const unsigned char b = in[start + j];
            if ((b & kMarker) == 0) {
                flags |= kPositionFlags[j];
            }
            out[written++] = static_cast<unsigned char>(b | kMarker);
        }
        *header = flags;
    }
    return static_cast<int>(written);
}

int EDC2Char(const unsigned char* in, unsigned char* out, unsigned int length) {
    unsigned int written = 0;
    for (unsigned int start = 0; start < length; start += kGroupSize + 1) {
        const unsigned int end = length - start < kGroupSize + 1 ? length : start + kGroupSize + 1;
        const unsigned char header = in[start];
        for (unsigned int i = start + 1; i < end; ++i) {
            const unsigned char b = in[i];
            const bool stuffed = (header & kPositionFlags[i - start - 1]) != 0;
            out[written++] = stuffed ? static_cast<unsigned char>(b & ~kMarker) : b;
        }
    }
    return static_cast<int>(written);
}
