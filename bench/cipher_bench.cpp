// DES, triple DES, RC2 and the DES MAC against OpenSSL's own C implementations,
// 1 MiB per iteration. Key schedules are built once, outside the timed loops.
#include <benchmark/benchmark.h>
#include <openssl/des.h>
#include <openssl/rc2.h>

#include <cstring>
#include <random>
#include <vector>

#include "bench_util.h"
#include "krtools/des.h"

namespace {

using benchutil::kMiB;
using benchutil::RandomBuffer;

const unsigned char kKey24[24] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                                  0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10,
                                  0x89, 0xab, 0xcd, 0xef, 0x01, 0x23, 0x45, 0x67};
const unsigned char kIv[8] = {0x12, 0x34, 0x56, 0x78, 0x90, 0xab, 0xcd, 0xef};

EncryptContext MakeContext(char mode, size_t rc2KeyLen = 0, unsigned rc2Bits = 0) {
    EncryptContext ctx;
    std::memset(&ctx, 0, sizeof ctx);
    ctx.mode = mode;
    std::memcpy(ctx.key, kKey24, sizeof kKey24);
    std::memcpy(ctx.iv, kIv, sizeof kIv);
    ctx.rc2KeyLen = static_cast<uint32_t>(rc2KeyLen);
    ctx.rc2EffectiveBits = rc2Bits;
    EncryptInit(&ctx);
    return ctx;
}

void SetPeerKey(const unsigned char* key, DES_key_schedule* schedule) {
    DES_cblock block;
    std::memcpy(block, key, sizeof block);
    DES_set_key_unchecked(&block, schedule);
}

void Finish(benchmark::State& state, bool ours, const char* target) {
    benchutil::Finish(state, kMiB, ours ? target : nullptr);
}

void DesEcbOurs(benchmark::State& state) {
    auto data = RandomBuffer(kMiB, 1);
    uint32_t schedule[32];
    deskey(kKey24, 'D', schedule);
    for (auto _ : state) {
        for (size_t i = 0; i < kMiB; i += 8) Sdes(data.data() + i, schedule);
        benchmark::DoNotOptimize(data.data());
    }
    Finish(state, true, "1.0");
}

void DesEcbPeer(benchmark::State& state) {
    auto data = RandomBuffer(kMiB, 1);
    DES_key_schedule schedule;
    SetPeerKey(kKey24, &schedule);
    for (auto _ : state) {
        for (size_t i = 0; i < kMiB; i += 8) {
            auto* block = reinterpret_cast<DES_cblock*>(data.data() + i);
            DES_ecb_encrypt(block, block, &schedule, DES_ENCRYPT);
        }
        benchmark::DoNotOptimize(data.data());
    }
    Finish(state, false, "");
}

// EncryptUpdate over the whole buffer, in place, with one schedule.
void ContextOurs(benchmark::State& state, EncryptContext ctx, const char* target = "1.0") {
    auto data = RandomBuffer(kMiB, 2);
    for (auto _ : state) {
        int len = static_cast<int>(kMiB);
        EncryptUpdate(&ctx, data.data(), &len);
        benchmark::DoNotOptimize(data.data());
    }
    Finish(state, true, target);
}

void Des3ContextOurs(benchmark::State& state) { ContextOurs(state, MakeContext('T')); }

// OpenSSL's schedules of the three keys of kKey24, and the IV.
struct PeerKeys {
    DES_key_schedule k1, k2, k3;
    DES_cblock iv;
    PeerKeys() {
        SetPeerKey(kKey24, &k1);
        SetPeerKey(kKey24 + 8, &k2);
        SetPeerKey(kKey24 + 16, &k3);
        std::memcpy(iv, kIv, 8);
    }
};

void Des3CbcPeer(benchmark::State& state) {
    auto data = RandomBuffer(kMiB, 2);
    std::vector<unsigned char> out(kMiB);
    PeerKeys keys;
    for (auto _ : state) {
        DES_ede3_cbc_encrypt(data.data(), out.data(), kMiB, &keys.k1, &keys.k2, &keys.k3, &keys.iv,
                             DES_ENCRYPT);
        benchmark::DoNotOptimize(out.data());
    }
    Finish(state, false, "");
}

// CBC decryption: ours through the context, checked against OpenSSL on the
// same ciphertext before the timing.
std::vector<unsigned char> OurCbcDecrypt(char mode, std::vector<unsigned char> data) {
    EncryptContext ctx = MakeContext(mode);
    int len = static_cast<int>(data.size());
    EncryptUpdate(&ctx, data.data(), &len);
    return data;
}

void PeerCbcDecrypt(bool triple, const std::vector<unsigned char>& data,
                    std::vector<unsigned char>& out) {
    PeerKeys keys;
    const auto size = static_cast<long>(data.size());
    if (triple) {
        DES_ede3_cbc_encrypt(data.data(), out.data(), size, &keys.k1, &keys.k2, &keys.k3, &keys.iv,
                             DES_DECRYPT);
    } else {
        DES_cbc_encrypt(data.data(), out.data(), size, &keys.k1, &keys.iv, DES_DECRYPT);
    }
}

void CbcDecryptOurs(benchmark::State& state, char mode) {
    auto data = RandomBuffer(kMiB, 4);
    std::vector<unsigned char> peer(kMiB);
    PeerCbcDecrypt(mode == 't', data, peer);
    if (OurCbcDecrypt(mode, data) != peer) {
        state.SkipWithError("CBC decryption differs from OpenSSL");
    }
    ContextOurs(state, MakeContext(mode), "1.8");
}

void CbcDecryptPeer(benchmark::State& state, bool triple) {
    const auto data = RandomBuffer(kMiB, 4);
    std::vector<unsigned char> out(kMiB);
    for (auto _ : state) {
        PeerCbcDecrypt(triple, data, out);
        benchmark::DoNotOptimize(out.data());
    }
    Finish(state, false, "");
}

void Rc2ContextOurs(benchmark::State& state) { ContextOurs(state, MakeContext('R', 8, 64)); }

void Rc2CbcPeer(benchmark::State& state) {
    auto data = RandomBuffer(kMiB, 2);
    std::vector<unsigned char> out(kMiB);
    RC2_KEY key;
    RC2_set_key(&key, 8, kKey24, 64);
    unsigned char iv[8];
    std::memcpy(iv, kIv, 8);
    for (auto _ : state) {
        RC2_cbc_encrypt(data.data(), out.data(), kMiB, &key, iv, RC2_ENCRYPT);
        benchmark::DoNotOptimize(out.data());
    }
    Finish(state, false, "");
}

void DesMacOurs(benchmark::State& state) {
    const auto data = RandomBuffer(kMiB, 3);
    EncryptContext ctx = MakeContext('D');
    for (auto _ : state) {
        DESAuthInit(&ctx);
        DESAuthUpdate(&ctx, data.data(), static_cast<int>(kMiB));
        DESAuthFinal(&ctx);
        benchmark::DoNotOptimize(ctx.chain);
    }
    Finish(state, true, "1.0");
}

void DesCbcPeer(benchmark::State& state) {
    const auto data = RandomBuffer(kMiB, 3);
    std::vector<unsigned char> out(kMiB);
    DES_key_schedule schedule;
    SetPeerKey(kKey24, &schedule);
    for (auto _ : state) {
        DES_cblock iv;
        std::memcpy(iv, kIv, 8);
        DES_cbc_encrypt(data.data(), out.data(), kMiB, &schedule, &iv, DES_ENCRYPT);
        benchmark::DoNotOptimize(out.data());
    }
    Finish(state, false, "");
}

const bool kRegistered = [] {
    benchmark::RegisterBenchmark("des_ecb_block/ours", DesEcbOurs);
    benchmark::RegisterBenchmark("des_ecb_block/peer", DesEcbPeer);
    benchmark::RegisterBenchmark("des3_cbc_context/ours", Des3ContextOurs);
    benchmark::RegisterBenchmark("des3_cbc_context/peer", Des3CbcPeer);
    benchmark::RegisterBenchmark("des_cbc_decrypt/ours", CbcDecryptOurs, 'd');
    benchmark::RegisterBenchmark("des_cbc_decrypt/peer", CbcDecryptPeer, false);
    benchmark::RegisterBenchmark("des3_cbc_decrypt/ours", CbcDecryptOurs, 't');
    benchmark::RegisterBenchmark("des3_cbc_decrypt/peer", CbcDecryptPeer, true);
    benchmark::RegisterBenchmark("rc2_cbc_context/ours", Rc2ContextOurs);
    benchmark::RegisterBenchmark("rc2_cbc_context/peer", Rc2CbcPeer);
    benchmark::RegisterBenchmark("des_mac/ours", DesMacOurs);
    benchmark::RegisterBenchmark("des_mac/peer", DesCbcPeer);
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
