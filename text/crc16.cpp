// AccumulateCRC: the CRC-16 path for the processor, chosen once.
#include "krtools/strutil.h"
#include "platform/cpu.h"
#include "text/crc16_kernels.h"

namespace {

using CrcFunction = uint16_t (*)(uint16_t, const unsigned char*, size_t);

CrcFunction ChooseCrc() {
    switch (krplatform::SimdLevel()) {
        case krplatform::CpuLevel::kAvx512:
            return krtools::crc::CrcVpclmul;
        case krplatform::CpuLevel::kAvx2:
            return krtools::crc::CrcPclmul;
        default:
            return krtools::crc::CrcTable;
    }
}

}  // namespace

unsigned short AccumulateCRC(unsigned short crc, const unsigned char* data, unsigned short length) {
    static const CrcFunction crcFunction = ChooseCrc();
    // Below one folding step the tables are the fastest on every level;
    // below a few 512-bit steps the 128-bit folding is.
    if (length < 64) return krtools::crc::CrcTable(crc, data, length);
    if (length < 512 && crcFunction == krtools::crc::CrcVpclmul)
        return krtools::crc::CrcPclmul(crc, data, length);
    return crcFunction(crc, data, length);
}
