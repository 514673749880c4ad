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

// A generated INI file of `sections` sections of 25 keys with values of
// varying length and a comment now and then; removed at exit.
struct BenchFile {
    BenchFile(const std::string& name, size_t sections)
        : path((std::filesystem::temp_directory_path() / name).string()) {
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
                ++entries;
            }
        }
        std::ofstream(path, std::ios::binary) << text;
        bytes = text.size();
    }
    ~BenchFile() { std::remove(path.c_str()); }
    BenchFile(const BenchFile&) = delete;
    BenchFile& operator=(const BenchFile&) = delete;

    const std::string path;
    size_t bytes = 0;
    size_t entries = 0;
};

const BenchFile& Small() {
    static const BenchFile file("ini_bench_2mb.ini", 2000);
    return file;
}

const BenchFile& Large() {
    static const BenchFile file("ini_bench_20mb.ini", 20000);
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

// The file is generated on first use, so it is fetched before the timing.
void Ours(benchmark::State& state, const BenchFile& (*file)(), const char* target) {
    const BenchFile& input = file();
    for (auto _ : state) LoadOurs(input, state);
    Finish(state, input);
    if (target != nullptr) state.SetLabel(std::string("target=") + target);
}

void Peer(benchmark::State& state, const BenchFile& (*file)()) {
    const BenchFile& input = file();
    for (auto _ : state) LoadPeer(input, state);
    Finish(state, input);
}

// Processor time of one LoadFile, and of the model's destruction after it;
// processor time, so that other processes on the machine do not count.
struct LoadTimes {
    double load = 0;
    double destroy = 0;
};

void TimeOurs(const BenchFile& file, LoadTimes& times) {
    const std::clock_t start = std::clock();
    auto* ini = new INIFile;
    ini->LoadFile(file.path.c_str());
    const std::clock_t loaded = std::clock();
    delete ini;
    times.load += static_cast<double>(loaded - start) / CLOCKS_PER_SEC;
    times.destroy += static_cast<double>(std::clock() - loaded) / CLOCKS_PER_SEC;
}

// Load time of the 20 MB file over that of the 2 MB file (ten times fewer
// entries); linear loading keeps it near 10, at most 12. The same ratio with
// the destruction of the model added is reported beside it.
void Scaling(benchmark::State& state) {
    LoadTimes small, large;
    for (auto _ : state) {
        TimeOurs(Small(), small);
        TimeOurs(Large(), large);
    }
    const double n = static_cast<double>(state.iterations());
    state.SetItemsProcessed(
        static_cast<int64_t>(state.iterations() * (Small().entries + Large().entries)));
    state.counters["load_2mb_ms"] = 1000 * small.load / n;
    state.counters["load_20mb_ms"] = 1000 * large.load / n;
    const double ratio = large.load / small.load;
    state.counters["load_x10_entries"] = ratio;
    state.counters["with_destroy_x10"] =
        (large.load + large.destroy) / (small.load + small.destroy);
    char label[64];
    std::snprintf(label, sizeof label, "10x entries: %.2fx load time (limit 12)", ratio);
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
