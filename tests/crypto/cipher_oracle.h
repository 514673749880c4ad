// Helpers for the cipher tests: OpenSSL (legacy provider) as the reference
// for DES, triple DES and RC2, random data, and feeding a cipher context.
#ifndef KRTOOLS_TESTS_CRYPTO_CIPHER_ORACLE_H
#define KRTOOLS_TESTS_CRYPTO_CIPHER_ORACLE_H

#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "krtools/des.h"

namespace cipher_oracle {

using Bytes = std::vector<unsigned char>;

// OpenSSL's cipher `name` ("DES-CBC", "RC2-ECB", ...) without padding, from a
// library context with the legacy provider; `rc2Bits` sets RC2's effective bits.
inline Bytes OpenSslCipher(const char* name, const Bytes& key, const Bytes& iv, const Bytes& input,
                           bool encrypt, int rc2Bits = 0) {
    static OSSL_LIB_CTX* libctx = [] {
        OSSL_LIB_CTX* ctx = OSSL_LIB_CTX_new();
        if (OSSL_PROVIDER_load(ctx, "legacy") == nullptr ||
            OSSL_PROVIDER_load(ctx, "default") == nullptr) {
            throw std::runtime_error("cannot load the OpenSSL legacy provider");
        }
        return ctx;
    }();
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(libctx, name, nullptr);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    unsigned int bits = static_cast<unsigned int>(rc2Bits);
    OSSL_PARAM params[] = {OSSL_PARAM_construct_uint(OSSL_CIPHER_PARAM_RC2_KEYBITS, &bits),
                           OSSL_PARAM_construct_end()};
    Bytes out(input.size() + 16);
    int n1 = 0;
    int n2 = 0;
    const bool ok =
        cipher != nullptr && EVP_CipherInit_ex2(ctx, cipher, nullptr, nullptr, encrypt, nullptr) &&
        EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size())) &&
        (rc2Bits == 0 || EVP_CIPHER_CTX_set_params(ctx, params)) &&
        EVP_CipherInit_ex2(ctx, nullptr, key.data(), iv.empty() ? nullptr : iv.data(), encrypt,
                           nullptr) &&
        EVP_CIPHER_CTX_set_padding(ctx, 0) &&
        EVP_CipherUpdate(ctx, out.data(), &n1, input.data(), static_cast<int>(input.size())) &&
        EVP_CipherFinal_ex(ctx, out.data() + n1, &n2);
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
    if (!ok) throw std::runtime_error(std::string("OpenSSL cipher failed: ") + name);
    out.resize(static_cast<size_t>(n1 + n2));
    return out;
}

inline Bytes RandomBytes(std::mt19937& rng, size_t n) {
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<unsigned char>(rng());
    return bytes;
}

inline Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

inline std::string ToHex(const unsigned char* data, size_t n) {
    std::string hex;
    for (size_t i = 0; i < n; ++i) {
        hex += "0123456789abcdef"[data[i] >> 4];
        hex += "0123456789abcdef"[data[i] & 15];
    }
    return hex;
}

inline std::string ToHex(const Bytes& bytes) { return ToHex(bytes.data(), bytes.size()); }

// A zeroed context for `mode` with the key bytes (also the RC2 key length) and IV.
inline EncryptContext MakeContext(char mode, const Bytes& key, const Bytes& iv,
                                  unsigned rc2Bits = 0) {
    EncryptContext ctx;
    std::memset(&ctx, 0, sizeof ctx);
    ctx.mode = mode;
    std::memcpy(ctx.key, key.data(), std::min(key.size(), sizeof ctx.key));
    std::memcpy(ctx.iv, iv.data(), std::min(iv.size(), sizeof ctx.iv));
    ctx.rc2KeyLen = static_cast<uint32_t>(key.size());
    ctx.rc2EffectiveBits = rc2Bits;
    return ctx;
}

// Feeds `input` to EncryptUpdate in pieces of the given sizes (the rest in a
// last piece), then EncryptFinal, and collects the output in order:
// `lastBlock` when `blockReady` is set, then the bytes Update returned.
inline Bytes RunContext(EncryptContext& ctx, const Bytes& input, std::vector<size_t> pieces,
                        int padMode, int markHigh = 0) {
    Bytes output;
    size_t at = 0;
    pieces.push_back(input.size());
    for (size_t size : pieces) {
        size = std::min(size, input.size() - at);
        Bytes buffer(input.begin() + static_cast<long>(at),
                     input.begin() + static_cast<long>(at + size));
        buffer.push_back(0xEE);  // a guard byte that Update must not touch
        int len = static_cast<int>(size);
        EncryptUpdate(&ctx, buffer.data(), &len);
        EXPECT_EQ(ctx.status, 0);
        EXPECT_EQ(buffer.back(), 0xEE);
        EXPECT_TRUE(len >= 0 && static_cast<size_t>(len) <= size && len % 8 == 0) << len;
        if (ctx.blockReady) output.insert(output.end(), ctx.lastBlock, ctx.lastBlock + 8);
        output.insert(output.end(), buffer.begin(), buffer.begin() + len);
        at += size;
    }
    EncryptFinal(&ctx, padMode, markHigh);
    EXPECT_EQ(ctx.status, 0);
    if (ctx.blockReady) output.insert(output.end(), ctx.lastBlock, ctx.lastBlock + 8);
    return output;
}

// Random piece sizes (0 to 2 * maxPiece) that add up to at least `total`.
inline std::vector<size_t> RandomPieces(std::mt19937& rng, size_t total, size_t maxPiece) {
    std::vector<size_t> pieces;
    for (size_t sum = 0; sum < total; sum += pieces.back()) {
        pieces.push_back(rng() % (2 * maxPiece + 1));
    }
    return pieces;
}

}  // namespace cipher_oracle

#endif  // KRTOOLS_TESTS_CRYPTO_CIPHER_ORACLE_H
