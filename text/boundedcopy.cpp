// Bounded string copy and concatenation that always leave a NUL-terminated
// result inside the destination buffer.
#include <cstring>

#include "krtools/strutil.h"

namespace {

// Copies at most `room` - 1 bytes of `source` to `destination`, whose `room`
// bytes are cleared first; 1 when `source` did not fit whole. Reads at most
// `room` bytes of `source`.
int CopyBounded(char* destination, const char* source, size_t room) {
    std::memset(destination, 0, room);
    const size_t sourceLength = strnlen(source, room);
    const bool cut = sourceLength == room;
    std::memcpy(destination, source, cut ? room - 1 : sourceLength);
    return cut ? 1 : 0;
}

}  // namespace

int Strncpy(char* destination, const char* source, int size) {
    if (size < 1) {
        return *source != '\0' ? 1 : 0;
    }
    return CopyBounded(destination, source, static_cast<size_t>(size));
}

int Strncat(char* destination, const char* source, int size) {
    if (size < 1) {
        return *source != '\0' ? 1 : 0;
    }
    const size_t total = static_cast<size_t>(size);
    const size_t used = strnlen(destination, total);
    if (used == total) {
        return *source != '\0' ? 1 : 0;
    }
    return CopyBounded(destination + used, source, total - used);
}
