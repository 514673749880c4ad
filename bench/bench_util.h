// Helpers shared by the benchmark programs.
#ifndef KRTOOLS_BENCH_BENCH_UTIL_H
#define KRTOOLS_BENCH_BENCH_UTIL_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace benchutil {

constexpr size_t kMiB = 1 << 20;

// `n` pseudo-random octets, the same for the same seed.
inline std::vector<unsigned char> RandomBuffer(size_t n, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::vector<unsigned char> data(n);
    for (auto& octet : data) octet = static_cast<unsigned char>(random());
    return data;
}

// Reports `bytes` per iteration and, when given, the target ratio that
// bench/report.py checks ("target=<ratio>", set on the ours side only).
inline void Finish(benchmark::State& state, size_t bytes, const char* target) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    if (target != nullptr) state.SetLabel(std::string("target=") + target);
}

// Copies `bytes` octets per iteration: the "memcpy" case, the physical
// limit that bench/report.py sets the codecs of a program beside.
inline void Memcpy(benchmark::State& state, size_t bytes) {
    const auto source = RandomBuffer(bytes, 11);
    std::vector<unsigned char> target(bytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

}  // namespace benchutil

#endif  // KRTOOLS_BENCH_BENCH_UTIL_H
