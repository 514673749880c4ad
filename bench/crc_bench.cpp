// AccumulateCRC against Boost.CRC's crc_xmodem_t over 1 MiB and short
// messages, and the throughput of the byte stuffing (no peer).
#include <benchmark/benchmark.h>

#include <boost/crc.hpp>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "krtools/strutil.h"
#include "platform/cpu.h"
#include "text/crc16_kernels.h"

namespace {

using benchutil::Finish;
using benchutil::kMiB;
using benchutil::RandomBuffer;

// AccumulateCRC takes at most 65535 bytes per call.
constexpr size_t kCallSize = 32768;

unsigned short OurCrc(const std::vector<unsigned char>& data) {
    unsigned short crc = 0;
    for (size_t at = 0; at < data.size(); at += kCallSize) {
        const size_t n = data.size() - at < kCallSize ? data.size() - at : kCallSize;
        crc = AccumulateCRC(crc, data.data() + at, static_cast<unsigned short>(n));
    }
    return crc;
}

// Boost's crc_xmodem_type is the reflected polynomial 0x8408 (a different
// CRC); crc_xmodem_t is the XMODEM CRC that AccumulateCRC computes.
unsigned short PeerCrc(const std::vector<unsigned char>& data) {
    boost::crc_xmodem_t crc;
    crc.process_bytes(data.data(), data.size());
    return static_cast<unsigned short>(crc.checksum());
}

// Both sides must agree before anything is timed.
void CheckAgreement(const std::vector<unsigned char>& data) {
    if (OurCrc(data) != PeerCrc(data)) {
        std::fprintf(stderr, "CRC mismatch between AccumulateCRC and Boost.CRC\n");
        std::abort();
    }
}

void CrcOurs(benchmark::State& state, size_t size, const char* target) {
    const auto data = RandomBuffer(size);
    CheckAgreement(data);
    for (auto _ : state) {
        benchmark::DoNotOptimize(OurCrc(data));
    }
    Finish(state, size, target);
}

void CrcPeer(benchmark::State& state, size_t size) {
    const auto data = RandomBuffer(size);
    for (auto _ : state) {
        benchmark::DoNotOptimize(PeerCrc(data));
    }
    Finish(state, size, nullptr);
}

// One path of a given level over 1 MiB, whatever level the process chose.
void CrcPathOurs(benchmark::State& state, krplatform::CpuLevel level, const char* target) {
    const auto data = RandomBuffer(kMiB);
    const auto path =
        level == krplatform::CpuLevel::kAvx2 ? krtools::crc::CrcPclmul : krtools::crc::CrcTable;
    if (krplatform::SimdLevel() < level) state.SkipWithError("level not available here");
    if (path(0, data.data(), kMiB) != PeerCrc(data)) {
        std::fprintf(stderr, "CRC mismatch between the %s path and Boost.CRC\n",
                     krplatform::CpuLevelName(level));
        std::abort();
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(path(0, data.data(), kMiB));
    }
    Finish(state, kMiB, target);
}

void EdcEncode(benchmark::State& state) {
    const auto data = RandomBuffer(kMiB);
    std::vector<unsigned char> out(kMiB + kMiB / 7 + 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Char2EDC(data.data(), out.data(), kMiB));
        benchmark::ClobberMemory();
    }
    Finish(state, kMiB, nullptr);
}

void EdcDecode(benchmark::State& state) {
    const auto data = RandomBuffer(kMiB);
    std::vector<unsigned char> encoded(kMiB + kMiB / 7 + 1);
    const int length = Char2EDC(data.data(), encoded.data(), kMiB);
    std::vector<unsigned char> out(kMiB);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            EDC2Char(encoded.data(), out.data(), static_cast<unsigned int>(length)));
        benchmark::ClobberMemory();
    }
    Finish(state, static_cast<size_t>(length), nullptr);
}

const bool kRegistered = [] {
    struct Case {
        const char* name;
        size_t size;
        const char* target;
    };
    const Case cases[] = {{"crc16_xmodem_1MiB", kMiB, "100"}, {"crc16_xmodem_64", 64, "15"}};
    benchmark::RegisterBenchmark("memcpy", benchutil::Memcpy, kMiB);
    for (const Case& c : cases) {
        benchmark::RegisterBenchmark((std::string(c.name) + "/ours").c_str(), CrcOurs, c.size,
                                     c.target);
        benchmark::RegisterBenchmark((std::string(c.name) + "/peer").c_str(), CrcPeer, c.size);
    }
    // The 128-bit folding (the avx2 level) and the slicing-by-16 tables.
    benchmark::RegisterBenchmark("crc16_xmodem_1MiB_pclmul/ours", CrcPathOurs,
                                 krplatform::CpuLevel::kAvx2, "30");
    benchmark::RegisterBenchmark("crc16_xmodem_1MiB_pclmul/peer", CrcPeer, kMiB);
    benchmark::RegisterBenchmark("crc16_xmodem_1MiB_scalar/ours", CrcPathOurs,
                                 krplatform::CpuLevel::kScalar, "12");
    benchmark::RegisterBenchmark("crc16_xmodem_1MiB_scalar/peer", CrcPeer, kMiB);
    benchmark::RegisterBenchmark("edc_encode_1MiB/ours", EdcEncode);
    benchmark::RegisterBenchmark("edc_decode_1MiB/ours", EdcDecode);
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
