// The Base64 block coders of one instruction-set level, and the choice of
// level. The incremental encoders and filters keep the carry between calls;
// these functions only see whole groups and runs of characters.
#ifndef KRTOOLS_STREAM_BASE64_KERNELS_H
#define KRTOOLS_STREAM_BASE64_KERNELS_H

#include <cstddef>

#include "platform/cpu.h"

namespace krtools::base64 {

struct Kernels {
    // Encodes |groups| groups of three bytes as four digits each; reads
    // exactly 3 * groups bytes, writes exactly 4 * groups characters and
    // returns the end of the output.
    char* (*encode)(const unsigned char* in, size_t groups, char* out);
    // Decodes the longest run of whole groups of four alphabet characters at
    // the start of |in| (at most |length| characters); writes exactly three
    // bytes per group and returns the number of groups.
    size_t (*decode)(const unsigned char* in, size_t length, unsigned char* out);
    // Copies the alphabet characters of |in| to |out| in order and returns
    // their count; may write up to 64 bytes past that count.
    size_t (*compress)(const unsigned char* in, size_t length, unsigned char* out);
    // Whether decoding gathers the digits of a run that has other characters
    // with compress, rather than decoding the pieces between those; it pays
    // only when compress is vectorised.
    bool gathers;
};

// The coders of each level; a level above the processor's must not be used.
extern const Kernels kScalarKernels;
extern const Kernels kAvx2Kernels;
extern const Kernels kAvx512Kernels;

// The coders for |level|.
const Kernels& KernelsFor(krplatform::CpuLevel level);

// The coders for krplatform::SimdLevel(), chosen once.
const Kernels& ChosenKernels();

}  // namespace krtools::base64

#endif  // KRTOOLS_STREAM_BASE64_KERNELS_H
