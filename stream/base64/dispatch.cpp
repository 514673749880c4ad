// The choice among the Base64 coders of each instruction-set level.
#include "stream/base64/kernels.h"

namespace krtools::base64 {

const Kernels& KernelsFor(krplatform::CpuLevel level) {
    switch (level) {
        case krplatform::CpuLevel::kAvx512:
            return kAvx512Kernels;
        case krplatform::CpuLevel::kAvx2:
            return kAvx2Kernels;
        default:
            return kScalarKernels;
    }
}

const Kernels& ChosenKernels() {
    static const Kernels& chosen = KernelsFor(krplatform::SimdLevel());
    return chosen;
}

}  // namespace krtools::base64
