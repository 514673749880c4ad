// The baseline Base64 coders, also used by the vector coders for the ends
// of their runs.
#ifndef KRTOOLS_STREAM_BASE64_SCALAR_SCALAR_H
#define KRTOOLS_STREAM_BASE64_SCALAR_SCALAR_H

#include <cstddef>

namespace krtools::base64 {

// Kernels::encode through a table of the two digits of every 12-bit value.
char* EncodeScalar(const unsigned char* in, size_t groups, char* out);

// Kernels::decode, eight characters per step.
size_t DecodeScalar(const unsigned char* in, size_t length, unsigned char* out);

// Kernels::compress through the digit table.
size_t CompressScalar(const unsigned char* in, size_t length, unsigned char* out);

}  // namespace krtools::base64

#endif  // KRTOOLS_STREAM_BASE64_SCALAR_SCALAR_H
