// The cipher context: DES, triple DES and RC2 in CBC mode over a stream of
// bytes, with the padding modes of EncryptFinal.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "crypto/des_core.h"
#include "crypto/rc2_core.h"
#include "krtools/des.h"

namespace {

using krtools::des::LoadBigEndian;
using krtools::des::StoreBigEndian;

constexpr int32_t kRefused = -1;
constexpr size_t kBlockSize = 8;
// RC2 keys come from the 24-byte key field; longer keys are not read.
constexpr uint32_t kMaxContextRc2Key = 24;

bool IsDesMode(char mode) { return mode == 'D' || mode == 'd' || mode == 'T' || mode == 't'; }

// CBC encryption of n bytes in place; `cipher` transforms two big-endian halves.
template <typename Cipher>
void CbcEncrypt(unsigned char* data, size_t n, unsigned char* chain, Cipher cipher) {
    uint32_t chainLeft = LoadBigEndian(chain);
    uint32_t chainRight = LoadBigEndian(chain + 4);
    for (size_t i = 0; i < n; i += kBlockSize) {
        uint32_t left = LoadBigEndian(data + i) ^ chainLeft;
        uint32_t right = LoadBigEndian(data + i + 4) ^ chainRight;
        cipher(left, right);
        StoreBigEndian(left, data + i);
        StoreBigEndian(right, data + i + 4);
        chainLeft = left;
        chainRight = right;
    }
    StoreBigEndian(chainLeft, chain);
    StoreBigEndian(chainRight, chain + 4);
}

// CBC decryption of n bytes (n > 0) in place; the last ciphertext block ends
// in both `chain` and `saved`. The blocks decrypt independently of each
// other, kLanes at a time through `lanes` (which transforms a Lanes), the
// rest through `cipher`.
template <typename Cipher, typename LaneCipher>
void CbcDecrypt(unsigned char* data, size_t n, unsigned char* chain, unsigned char* saved,
                Cipher cipher, LaneCipher lanes) {
    using krtools::des::kLanes;
    uint32_t chainLeft = LoadBigEndian(chain);
    uint32_t chainRight = LoadBigEndian(chain + 4);
    size_t i = 0;
    for (; i + kLanes * kBlockSize <= n; i += kLanes * kBlockSize) {
        krtools::des::Lanes x;
        for (int b = 0; b < kLanes; ++b) {
            x.left[b] = LoadBigEndian(data + i + b * kBlockSize);
            x.right[b] = LoadBigEndian(data + i + b * kBlockSize + 4);
        }
        const krtools::des::Lanes ciphertext = x;
        lanes(x);
        for (int b = 0; b < kLanes; ++b) {
            StoreBigEndian(x.left[b] ^ chainLeft, data + i + b * kBlockSize);
            StoreBigEndian(x.right[b] ^ chainRight, data + i + b * kBlockSize + 4);
            chainLeft = ciphertext.left[b];
            chainRight = ciphertext.right[b];
        }
    }
    for (; i < n; i += kBlockSize) {
        const uint32_t cipherLeft = LoadBigEndian(data + i);
        const uint32_t cipherRight = LoadBigEndian(data + i + 4);
        uint32_t left = cipherLeft;
        uint32_t right = cipherRight;
        cipher(left, right);
        StoreBigEndian(left ^ chainLeft, data + i);
        StoreBigEndian(right ^ chainRight, data + i + 4);
        chainLeft = cipherLeft;
        chainRight = cipherRight;
    }
    StoreBigEndian(chainLeft, chain);
    StoreBigEndian(chainRight, chain + 4);
    std::memcpy(saved, chain, kBlockSize);
}

void XorBlock(unsigned char* block, const unsigned char* with) {
    for (size_t i = 0; i < kBlockSize; ++i) block[i] ^= with[i];
}

void Rc2CbcEncrypt(unsigned char* data, size_t n, EncryptContext* ctx) {
    uint16_t key[64];
    std::memcpy(key, ctx->keySchedule1, sizeof key);
    const unsigned char* previous = ctx->chain;
    for (size_t i = 0; i < n; i += kBlockSize) {
        unsigned char* block = data + i;
        XorBlock(block, previous);
        krtools::rc2::Block words = krtools::rc2::LoadBlock(block);
        krtools::rc2::EncryptWords(words, key);
        krtools::rc2::StoreBlock(words, block);
        previous = block;
    }
    std::memcpy(ctx->chain, previous, kBlockSize);
}

void Rc2CbcDecrypt(unsigned char* data, size_t n, EncryptContext* ctx) {
    uint16_t key[64];
    std::memcpy(key, ctx->keySchedule1, sizeof key);
    unsigned char chain[kBlockSize];
    unsigned char saved[kBlockSize] = {};
    std::memcpy(chain, ctx->chain, kBlockSize);
    for (size_t i = 0; i < n; i += kBlockSize) {
        unsigned char* block = data + i;
        std::memcpy(saved, block, kBlockSize);
        krtools::rc2::Block words = krtools::rc2::LoadBlock(block);
        krtools::rc2::DecryptWords(words, key);
        krtools::rc2::StoreBlock(words, block);
        XorBlock(block, chain);
        std::memcpy(chain, saved, kBlockSize);
    }
    std::memcpy(ctx->chain, chain, kBlockSize);
    std::memcpy(ctx->savedBlock, saved, kBlockSize);
}

// Runs the context's cipher over n bytes (a positive multiple of 8) in place.
void ProcessBlocks(EncryptContext* ctx, unsigned char* data, size_t n) {
    if (IsDesMode(ctx->mode) && ctx->desRefused != 0) {
        ctx->status = kRefused;
        return;
    }
    const uint32_t* ks1 = ctx->keySchedule1;
    const uint32_t* ks2 = ctx->keySchedule2;
    const uint32_t* ks3 = ctx->keySchedule3;
    auto des = [ks1](uint32_t& l, uint32_t& r) { krtools::des::EncryptHalves(l, r, ks1); };
    auto des3 = [ks1, ks2, ks3](uint32_t& l, uint32_t& r) {
        krtools::des::EncryptHalves3(l, r, ks1, ks2, ks3);
    };
    auto desLanes = [ks1](krtools::des::Lanes& x) { krtools::des::EncryptLanes(x, ks1); };
    auto des3Lanes = [ks1, ks2, ks3](krtools::des::Lanes& x) {
        krtools::des::EncryptLanes3(x, ks1, ks2, ks3);
    };
    switch (ctx->mode) {
        case 'D':
            CbcEncrypt(data, n, ctx->chain, des);
            break;
        case 'd':
            CbcDecrypt(data, n, ctx->chain, ctx->savedBlock, des, desLanes);
            break;
        case 'T':
            CbcEncrypt(data, n, ctx->chain, des3);
            break;
        case 't':
            CbcDecrypt(data, n, ctx->chain, ctx->savedBlock, des3, des3Lanes);
            break;
        case 'R':
            Rc2CbcEncrypt(data, n, ctx);
            break;
        case 'r':
            Rc2CbcDecrypt(data, n, ctx);
            break;
        default:  // no cipher: the blocks are only chained
            CbcEncrypt(data, n, ctx->chain, [](uint32_t&, uint32_t&) {});
            break;
    }
}

void InitRc2Schedule(EncryptContext* ctx) {
    if (ctx->rc2KeyLen > kMaxContextRc2Key) return;
    uint16_t expanded[64];
    if (InitRC2(ctx->key, ctx->rc2KeyLen, ctx->rc2EffectiveBits, expanded) == 0) {
        std::memcpy(ctx->keySchedule1, expanded, sizeof expanded);
    }
}

// Brings a `partialCount` that a caller damaged back into 0..7.
void CheckPartialCount(EncryptContext* ctx) {
    if (ctx->partialCount < 0 || ctx->partialCount >= static_cast<int32_t>(kBlockSize)) {
        ctx->partialCount = 0;
    }
}

unsigned char PadByte(int padMode) {
    if (padMode == 1 || padMode == 2) return 0;
    if (padMode == 3) return '0';
    return static_cast<unsigned char>(padMode & 0xff);
}

}  // namespace

extern "C" {

void EncryptInit(EncryptContext* ctx) {
    if (ctx == nullptr) return;
    ctx->status = 0;
    ctx->reserved = 0;
    const char mode = ctx->mode;
    const bool rc2 = mode == 'R' || mode == 'r';
    if (!IsDesMode(mode) && !rc2) return;
    std::memcpy(ctx->chain, ctx->iv, kBlockSize);
    if (rc2) {
        InitRc2Schedule(ctx);
        return;
    }
    if (ctx->desRefused != 0) {
        ctx->status = kRefused;
        return;
    }
    unsigned char* key1 = ctx->key;
    unsigned char* key2 = ctx->key + 8;
    unsigned char* key3 = ctx->key + 16;
    if (mode == 'D' || mode == 'd') {
        deskey(key1, mode, ctx->keySchedule1);
    } else if (mode == 'T') {
        deskey(key1, 'T', ctx->keySchedule1);
        deskey(key2, 't', ctx->keySchedule2);
        deskey(key3, 'T', ctx->keySchedule3);
    } else {
        deskey(key3, 't', ctx->keySchedule1);
        deskey(key2, 'T', ctx->keySchedule2);
        deskey(key1, 't', ctx->keySchedule3);
    }
}

void EncryptUpdate(EncryptContext* ctx, unsigned char* data, int* len) {
    if (ctx == nullptr || len == nullptr) return;
    ctx->status = 0;
    ctx->reserved = 0;
    ctx->blockReady = 0;
    if (*len < 0 || data == nullptr) *len = 0;
    CheckPartialCount(ctx);
    size_t n = static_cast<size_t>(*len);
    if (n == 0) return;  // a waiting partial block stays as it is
    if (ctx->partialCount > 0) {
        const size_t held = static_cast<size_t>(ctx->partialCount);
        const size_t take = std::min(kBlockSize - held, n);
        std::memcpy(ctx->partial + held, data, take);
        std::memmove(data, data + take, n - take);
        n -= take;
        *len = static_cast<int>(n);
        ctx->partialCount = static_cast<int32_t>(held + take);
        if (held + take < kBlockSize) return;
        std::memcpy(ctx->lastBlock, ctx->partial, kBlockSize);
        ctx->partialCount = 0;
        ProcessBlocks(ctx, ctx->lastBlock, kBlockSize);
        ctx->blockReady = 1;
    }
    const size_t rest = n % kBlockSize;
    n -= rest;
    if (rest > 0) std::memcpy(ctx->partial, data + n, rest);
    ctx->partialCount = static_cast<int32_t>(rest);
    *len = static_cast<int>(n);
    if (n > 0) ProcessBlocks(ctx, data, n);
}

void EncryptFinal(EncryptContext* ctx, int padMode, int markHigh) {
    if (ctx == nullptr) return;
    ctx->status = 0;
    ctx->reserved = 0;
    ctx->blockReady = 0;
    CheckPartialCount(ctx);
    const unsigned char padByte = PadByte(padMode);
    if (ctx->partialCount == 0 && padMode != 2 && padMode != 3) return;
    const int32_t padCount = static_cast<int32_t>(kBlockSize) - ctx->partialCount;
    ctx->padCount = padCount;
    std::memset(ctx->partial + ctx->partialCount, padByte, static_cast<size_t>(padCount));
    if (padMode == 2) {
        ctx->partial[7] = static_cast<unsigned char>(padCount);
    } else if (padMode == 3) {
        ctx->partial[7] = static_cast<unsigned char>(padCount | (markHigh != 0 ? 0xF0 : 0x30));
    }
    std::memcpy(ctx->lastBlock, ctx->partial, kBlockSize);
    ProcessBlocks(ctx, ctx->lastBlock, kBlockSize);
    ctx->blockReady = 1;
}

}  // extern "C"
