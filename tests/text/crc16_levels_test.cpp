// The CRC-16 paths of every instruction-set level this processor allows
// against the byte table, over every length up to a few folding blocks, every
// alignment and several start values (which also checks the folding
// constants). CTest runs the CRC tests again with KRTOOLS_CPU=scalar and =avx2.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/cpu.h"
#include "text/crc16_kernels.h"

namespace {

using namespace krtools::crc;
using krplatform::CpuLevel;

using CrcFunction = uint16_t (*)(uint16_t, const unsigned char*, size_t);

std::vector<CrcFunction> UsablePaths() {
    std::vector<CrcFunction> paths = {CrcTable};
    if (krplatform::SimdLevel() >= CpuLevel::kAvx2) paths.push_back(CrcPclmul);
    if (krplatform::SimdLevel() >= CpuLevel::kAvx512) paths.push_back(CrcVpclmul);
    return paths;
}

TEST(Crc16Levels, EveryPathAgreesWithTheByteTable) {
    std::mt19937 rng(12);
    std::vector<unsigned char> data(70000);
    for (auto& octet : data) octet = static_cast<unsigned char>(rng());
    const uint16_t starts[] = {0, 0xFFFF, 0x1D0F};
    for (CrcFunction path : UsablePaths()) {
        for (size_t length = 0; length <= 2200; ++length) {
            const unsigned char* p = data.data() + length % 61;
            const uint16_t start = starts[length % 3];
            ASSERT_EQ(path(start, p, length), CrcBytes(start, p, length)) << length;
        }
        EXPECT_EQ(path(0, data.data(), 65535), CrcBytes(0, data.data(), 65535));
        EXPECT_EQ(path(0xFFFF, data.data() + 3, 65535), CrcBytes(0xFFFF, data.data() + 3, 65535));
    }
}

}  // namespace
