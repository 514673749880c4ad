// Whole-group Base64 encoding shared by the buffer encoders and the Base64
// filter.
#ifndef KRTOOLS_STREAM_BASE64_GROUPS_H
#define KRTOOLS_STREAM_BASE64_GROUPS_H

#include <cstddef>

namespace krtools::codec {

// Encodes |groups| complete groups of three bytes from |in| as four Base64
// digits each; returns the end of the output. Reads exactly 3 * |groups|
// bytes and writes exactly 4 * |groups| characters.
char* EncodeGroups(const unsigned char* in, size_t groups, char* out);

}  // namespace krtools::codec

#endif  // KRTOOLS_STREAM_BASE64_GROUPS_H
