// The library's MD5 against OpenSSL's MD5_Update, and KR_HASH (a digest
// through the toolkit, object made per message) against the one-shot MD5() and
// SHA1() and against a fetched algorithm with one reused context.
#include "bench_util.h"
#include "krtools/digest.h"

#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/sha.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using benchutil::Finish;
using benchutil::kMiB;
using benchutil::RandomBuffer;

constexpr int kMd5 = 2;
constexpr int kSha1 = 5;

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

std::string OurDigest(int algorithm, const std::vector<unsigned char>& data) {
    KR_HASH hash(algorithm, nullptr);
    hash.Update(const_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
    hash.Final();
    return std::string(reinterpret_cast<const char*>(hash.GetDigest()),
                       static_cast<size_t>(hash.GetDigestLen()));
}

// The one-shot MD5() or SHA1(): OpenSSL's fastest public form for one message.
std::string OneShotDigest(int algorithm, const std::vector<unsigned char>& data) {
    unsigned char digest[20];
    if (algorithm == kMd5) {
        MD5(data.data(), data.size(), digest);
        return std::string(reinterpret_cast<char*>(digest), 16);
    }
    SHA1(data.data(), data.size(), digest);
    return std::string(reinterpret_cast<char*>(digest), 20);
}

void RequireAgreement(int algorithm, const std::vector<unsigned char>& data) {
    if (OurDigest(algorithm, data) != OneShotDigest(algorithm, data)) {
        std::fprintf(stderr, "KR_HASH and OpenSSL give different digests\n");
        std::abort();
    }
}

// One KR_HASH per message, as a caller hashing many messages would.
void KrHashOurs(benchmark::State& state, int algorithm, size_t size, const char* target) {
    auto data = RandomBuffer(size);
    RequireAgreement(algorithm, data);
    for (auto _ : state) {
        KR_HASH hash(algorithm, nullptr);
        hash.Update(data.data(), static_cast<int>(size));
        hash.Final();
        benchmark::DoNotOptimize(hash.GetDigest());
    }
    Finish(state, size, target);
}

void OneShotPeer(benchmark::State& state, int algorithm, size_t size) {
    auto data = RandomBuffer(size);
    unsigned char digest[20];
    for (auto _ : state) {
        if (algorithm == kMd5) {
            MD5(data.data(), size, digest);
        } else {
            SHA1(data.data(), size, digest);
        }
        benchmark::DoNotOptimize(digest);
    }
    Finish(state, size, nullptr);
}

// The algorithm fetched once and one context reused for every message.
void FetchedPeer(benchmark::State& state, int algorithm, size_t size) {
    auto data = RandomBuffer(size);
    EVP_MD* md = EVP_MD_fetch(nullptr, algorithm == kMd5 ? "MD5" : "SHA1", nullptr);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    for (auto _ : state) {
        EVP_DigestInit_ex2(ctx, md, nullptr);
        EVP_DigestUpdate(ctx, data.data(), size);
        EVP_DigestFinal_ex(ctx, digest, &length);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(ctx);
    EVP_MD_free(md);
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
        {"kr_hash_md5_16", kMd5, 16, "1.0"},     {"kr_hash_md5_64", kMd5, 64, "1.0"},
        {"kr_hash_md5_1MiB", kMd5, kMiB, "0.9"}, {"kr_hash_sha1_16", kSha1, 16, "1.0"},
        {"kr_hash_sha1_64", kSha1, 64, "1.0"},   {"kr_hash_sha1_1MiB", kSha1, kMiB, "0.9"},
    };
    for (const Case& c : cases) {
        const std::string name = c.name;
        benchmark::RegisterBenchmark((name + "/ours").c_str(), KrHashOurs, c.algorithm, c.size,
                                     c.target);
        benchmark::RegisterBenchmark((name + "/peer").c_str(), OneShotPeer, c.algorithm, c.size);
        benchmark::RegisterBenchmark((name + "_fetched/ours").c_str(), KrHashOurs, c.algorithm,
                                     c.size, nullptr);
        benchmark::RegisterBenchmark((name + "_fetched/peer").c_str(), FetchedPeer, c.algorithm,
                                     c.size);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
