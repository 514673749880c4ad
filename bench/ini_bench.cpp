// INIFile::LoadFile against inih with a handler that stores every entry in a
// section -> key -> value map of std::unordered_maps, on generated files of
// about 2 MB and 20 MB (many sections and keys). "ini_load_scaling" loads
// both and reports how much longer ten times the entries take.
#include <benchmark/benchmark.h>
#include <ini.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unordered_map>

#include "krtools/ini.h"

namespace {

using PeerMap = std::unordered_map<std::string, std::unordered_map<std::string, std::string>>;

struct BenchFile {
    std::string path;
    size_t bytes = 0;
    size_t entries = 0;
};

// Sections of 25 keys with values of varying length, a comment now and then.
BenchFile Generate(const std::string& name, size_t sections) {
    BenchFile file;
    file.path = (std::filesystem::temp_directory_path() / name).string();
    std::mt19937 rng(static_cast<unsigned>(sections));
    std::string text;
    for (size_t s = 0; s < sections; ++s) {
        text += "\n[section_" + std::to_string(s * 7919 % 1000003) + "]\n";
        if (s % 10 == 0) text += "; settings of this section\n";
        for (int k = 0; k < 25; ++k) {
            text += "key_" + std::to_string(k * 37 + static_cast<int>(s % 13)) + " = ";
            const size_t length = 8 + rng() % 40;
            for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + rng() % 26);
            text += '\n';
            ++file.entries;
        }
    }
    std::ofstream(file.path, std::ios::binary) << text;
    file.bytes = text.size();
    return file;
}

const BenchFile& Small() {
    static const BenchFile file = Generate("ini_bench_2mb.ini", 2000);
    return file;
}

const BenchFile& Large() {
    static const BenchFile file = Generate("ini_bench_20mb.ini", 20000);
    return file;
}

void LoadOurs(const BenchFile& file, benchmark::State& state) {
    INIFile ini;
    ini.LoadFile(file.path.c_str());
    if (ini.SectionCount() == 0) state.SkipWithError("nothing loaded");
    benchmark::DoNotOptimize(ini);
}

int PeerHandler(void* user, const char* section, const char* name, const char* value) {
    (*static_cast<PeerMap*>(user))[section][name] = value;
    return 1;
}

void LoadPeer(const BenchFile& file, benchmark::State& state) {
    PeerMap map;
    if (ini_parse(file.path.c_str(), PeerHandler, &map) != 0) state.SkipWithError("inih failed");
    benchmark::DoNotOptimize(map);
}

void Finish(benchmark::State& state, const BenchFile& file) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.bytes));
    state.counters["entries"] = static_cast<double>(file.entries);
}

void Ours(benchmark::State& state, const BenchFile& (*file)(), const char* target) {
    for (auto _ : state) LoadOurs(file(), state);
    Finish(state, file());
    if (target != nullptr) state.SetLabel(std::string("target=") + target);
}

void Peer(benchmark::State& state, const BenchFile& (*file)()) {
    for (auto _ : state) LoadPeer(file(), state);
    Finish(state, file());
}

double Seconds(void (*load)(const BenchFile&, benchmark::State&), const BenchFile& file,
               benchmark::State& state) {
    // Processor time, so that other processes on the machine do not count.
    const std::clock_t start = std::clock();
    load(file, state);
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// Time of the 20 MB load over the time of the 2 MB load (ten times fewer
// entries); linear loading keeps it near 10, at most 12.
void Scaling(benchmark::State& state) {
    double small = 0, large = 0;
    for (auto _ : state) {
        small += Seconds(LoadOurs, Small(), state);
        large += Seconds(LoadOurs, Large(), state);
    }
    state.SetItemsProcessed(
        static_cast<int64_t>(state.iterations() * (Small().entries + Large().entries)));
    state.counters["time_2mb_ms"] = 1000 * small / static_cast<double>(state.iterations());
    state.counters["time_20mb_ms"] = 1000 * large / static_cast<double>(state.iterations());
    const double ratio = large / small;
    state.counters["time_x10_entries"] = ratio;
    char label[64];
    std::snprintf(label, sizeof label, "10x entries: %.2fx time (limit 12)", ratio);
    state.SetLabel(label);
}

const int registered = [] {
    benchmark::RegisterBenchmark("ini_load_2mb/ours", Ours, Small, "1.0")
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ini_load_2mb/peer", Peer, Small)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ini_load_20mb/ours", Ours, Large, "1.0")
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ini_load_20mb/peer", Peer, Large)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ini_load_scaling/ours", Scaling)->Unit(benchmark::kMillisecond);
    return 0;
}();

}  // namespace

BENCHMARK_MAIN();
