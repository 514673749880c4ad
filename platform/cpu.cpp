// Processor feature detection through cpuid (the compiler's builtins) and
// the KRTOOLS_CPU cap from the environment.
#include "platform/cpu.h"

#include <cstdlib>
#include <cstring>

namespace krplatform {
namespace {

CpuLevel DetectedLevel() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("pclmul");
    if (!avx2) return CpuLevel::kScalar;
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                        __builtin_cpu_supports("avx512vl") &&
                        __builtin_cpu_supports("avx512vbmi") &&
                        __builtin_cpu_supports("vpclmulqdq");
    return avx512 ? CpuLevel::kAvx512 : CpuLevel::kAvx2;
#else
    return CpuLevel::kScalar;
#endif
}

// The level named by KRTOOLS_CPU, or the highest when it names none.
CpuLevel RequestedLevel() {
    const char* name = std::getenv("KRTOOLS_CPU");
    if (name == nullptr) return CpuLevel::kAvx512;
    if (std::strcmp(name, "scalar") == 0) return CpuLevel::kScalar;
    if (std::strcmp(name, "avx2") == 0) return CpuLevel::kAvx2;
    return CpuLevel::kAvx512;
}

CpuLevel ChooseLevel() {
    const CpuLevel detected = DetectedLevel();
    const CpuLevel requested = RequestedLevel();
    return requested < detected ? requested : detected;
}

}  // namespace

CpuLevel SimdLevel() {
    static const CpuLevel level = ChooseLevel();
    return level;
}

bool HasCompress() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool compress =
        SimdLevel() == CpuLevel::kAvx512 && __builtin_cpu_supports("avx512vbmi2");
    return compress;
#else
    return false;
#endif
}

const char* CpuLevelName(CpuLevel level) {
    switch (level) {
        case CpuLevel::kAvx512:
            return "avx512";
        case CpuLevel::kAvx2:
            return "avx2";
        default:
            return "scalar";
    }
}

}  // namespace krplatform
