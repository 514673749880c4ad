// The instruction-set level the vector code paths may use, detected once.
#ifndef KRTOOLS_PLATFORM_CPU_H
#define KRTOOLS_PLATFORM_CPU_H

namespace krplatform {

// Levels in increasing order; each includes the ones below it.
enum class CpuLevel {
    kScalar = 0,  // baseline x86-64
    kAvx2 = 1,    // AVX2 and PCLMULQDQ
    kAvx512 = 2,  // AVX-512 F/BW/VL/VBMI and VPCLMULQDQ
};

// The highest level this processor supports, lowered to the level named by
// the environment variable KRTOOLS_CPU ("scalar", "avx2" or "avx512") when
// that is lower. Read once per process.
CpuLevel SimdLevel();

// True when the processor has the AVX-512 VBMI2 compress instructions and
// SimdLevel() is kAvx512.
bool HasCompress();

// The name of a level as KRTOOLS_CPU spells it.
const char* CpuLevelName(CpuLevel level);

}  // namespace krplatform

#endif  // KRTOOLS_PLATFORM_CPU_H
