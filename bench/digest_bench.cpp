// The library's MD5 against OpenSSL's MD5_Update, and KR_HASH (a digest
// through the toolkit, object made per message) against EVP_Digest.
#include "bench_util.h"
#include "krtools/digest.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/md5.h>

#include <random>
#include <string>
#include <vector>

namespace {

using benchutil::Finish;
using benchutil::kMiB;
using benchutil::RandomBuffer;

void Md5UpdateOurs(benchmark::State& state) {
    auto data = RandomBuffer(kMiB);
    unsigned char digest[16];
    for (auto _ : state) {
        AA_MD5_CTX context;
        AA_MD5Init(&context);
        AA_MD5Update(&context, data.data(), kMiB);
        AA_MD5Final(&context, digest);
        benchmark::DoNotOptimize(digest);
    }
    Finish(state, kMiB, "0.93");
}

void Md5UpdatePeer(benchmark::State& state) {
    auto data = RandomBuffer(kMiB);
    unsigned char digest[16];
    for (auto _ : state) {
        MD5_CTX context;
        MD5_Init(&context);
        MD5_Update(&context, data.data(), kMiB);
        MD5_Final(digest, &context);
        benchmark::DoNotOptimize(digest);
    }
    Finish(state, kMiB, nullptr);
}

void KrHashOurs(benchmark::State& state, int algorithm, size_t size, const char* target) {
    auto data = RandomBuffer(size);
    for (auto _ : state) {
        KR_HASH hash(algorithm, nullptr);
        hash.Update(data.data(), static_cast<int>(size));
        hash.Final();
        benchmark::DoNotOptimize(hash.GetDigest());
    }
    Finish(state, size, target);
}

void KrHashPeer(benchmark::State& state, int algorithm, size_t size) {
    auto data = RandomBuffer(size);
    const EVP_MD* md = algorithm == 2 ? EVP_md5() : EVP_sha1();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (auto _ : state) {
        EVP_Digest(data.data(), size, digest, &length, md, nullptr);
        benchmark::DoNotOptimize(digest);
    }
    Finish(state, size, nullptr);
}

const bool kRegistered = [] {
    benchmark::RegisterBenchmark("md5_update_1MiB/ours", Md5UpdateOurs);
    benchmark::RegisterBenchmark("md5_update_1MiB/peer", Md5UpdatePeer);
    struct Case {
        const char* name;
        int algorithm;
        size_t size;
        const char* target;
    };
    const Case cases[] = {
        {"kr_hash_md5_16", 2, 16, "1.0"},     {"kr_hash_md5_64", 2, 64, "1.0"},
        {"kr_hash_md5_1MiB", 2, kMiB, "0.9"}, {"kr_hash_sha1_16", 5, 16, "1.0"},
        {"kr_hash_sha1_64", 5, 64, "1.0"},    {"kr_hash_sha1_1MiB", 5, kMiB, "0.9"},
    };
    for (const Case& c : cases) {
        benchmark::RegisterBenchmark((std::string(c.name) + "/ours").c_str(), KrHashOurs,
                                     c.algorithm, c.size, c.target);
        benchmark::RegisterBenchmark((std::string(c.name) + "/peer").c_str(), KrHashPeer,
                                     c.algorithm, c.size);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
