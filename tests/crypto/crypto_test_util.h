// Helpers of the crypto tests: libcrypto with the legacy provider as the
// reference cipher, a cipher-context driver and KR_PBE shortcuts.
#ifndef KRTOOLS_TESTS_CRYPTO_CRYPTO_TEST_UTIL_H
#define KRTOOLS_TESTS_CRYPTO_CRYPTO_TEST_UTIL_H

#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "krtools/des.h"
#include "krtools/pbe.h"
#include "testutil.h"

namespace ctest {

using Bytes = std::vector<unsigned char>;

inline std::string Hex(const unsigned char* data, size_t n) {
    std::string hex;
    for (size_t i = 0; i < 2 * n; ++i)
        hex += "0123456789abcdef"[(data[i / 2] >> (i % 2 ? 0 : 4)) & 15];
    return hex;
}
inline std::string Hex(const Bytes& bytes) { return Hex(bytes.data(), bytes.size()); }

inline Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

inline Bytes RandomBytes(std::mt19937& rng, size_t n) {
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<unsigned char>(rng());
    return bytes;
}

// Random piece sizes (0 to 2 * maxPiece) that add up to at least `total`.
inline std::vector<size_t> RandomPieces(std::mt19937& rng, size_t total, size_t maxPiece) {
    std::vector<size_t> pieces;
    for (size_t sum = 0; sum < total; sum += pieces.back()) {
        pieces.push_back(rng() % (2 * maxPiece + 1));
    }
    return pieces;
}

// libcrypto's cipher `name` ("DES-CBC", "RC2-ECB", ...) without padding;
// `rc2Bits` sets RC2's effective key bits.
inline Bytes OpenSslCipher(const char* name, const Bytes& key, const Bytes& iv, const Bytes& input,
                           bool encrypt, int rc2Bits = 0) {
    static OSSL_LIB_CTX* libctx = [] {  // without the legacy provider the fetch fails
        OSSL_LIB_CTX* ctx = OSSL_LIB_CTX_new();
        OSSL_PROVIDER_load(ctx, "legacy"), OSSL_PROVIDER_load(ctx, "default");
        return ctx;
    }();
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(libctx, name, nullptr);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    unsigned int bits = static_cast<unsigned int>(rc2Bits);
    OSSL_PARAM params[] = {OSSL_PARAM_construct_uint(OSSL_CIPHER_PARAM_RC2_KEYBITS, &bits),
                           OSSL_PARAM_construct_end()};
    Bytes out(input.size() + 16);
    int n1 = 0, n2 = 0;
    const bool ok =
        cipher && EVP_CipherInit_ex2(ctx, cipher, nullptr, nullptr, encrypt, nullptr) &&
        EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size())) &&
        (rc2Bits == 0 || EVP_CIPHER_CTX_set_params(ctx, params)) &&
        EVP_CipherInit_ex2(ctx, nullptr, key.data(), iv.empty() ? nullptr : iv.data(), encrypt,
                           nullptr) &&
        EVP_CIPHER_CTX_set_padding(ctx, 0) &&
        EVP_CipherUpdate(ctx, out.data(), &n1, input.data(), static_cast<int>(input.size())) &&
        EVP_CipherFinal_ex(ctx, out.data() + n1, &n2);
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
    EXPECT_TRUE(ok) << "OpenSSL cipher failed: " << name;
    out.resize(static_cast<size_t>(n1 + n2));
    return out;
}

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
// last piece), each followed by a guard byte, then EncryptFinal; returns the
// output in order.
inline Bytes RunContext(EncryptContext& ctx, const Bytes& input, std::vector<size_t> pieces,
                        int padMode, int markHigh = 0) {
    Bytes output;
    pieces.push_back(input.size());
    for (size_t at = 0, i = 0; i < pieces.size(); at += pieces[i++]) {
        const size_t size = pieces[i] = std::min(pieces[i], input.size() - at);
        Bytes buffer(input.begin() + long(at), input.begin() + long(at + size));
        buffer.push_back(0xEE);
        int len = static_cast<int>(size);
        EncryptUpdate(&ctx, buffer.data(), &len);
        EXPECT_TRUE(ctx.status == 0 && buffer.back() == 0xEE && len >= 0 && len % 8 == 0 &&
                    size_t(len) <= size);
        if (ctx.blockReady) output.insert(output.end(), ctx.lastBlock, ctx.lastBlock + 8);
        output.insert(output.end(), buffer.begin(), buffer.begin() + len);
    }
    EncryptFinal(&ctx, padMode, markHigh);
    EXPECT_EQ(ctx.status, 0);
    if (ctx.blockReady) output.insert(output.end(), ctx.lastBlock, ctx.lastBlock + 8);
    return output;
}

inline void ExpectThrow(const std::function<void()>& body, int rc, const std::string& text) {
    try {
        body();
        ADD_FAILURE() << "no exception, expected " << text;
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, rc) << e.text;
        EXPECT_EQ(e.text, text);
    }
}

// KR_PBE's Encrypt, or Decrypt when `decrypt` is set, of `data` under `password`.
inline std::string Pbe(bool decrypt, const std::string& data, const std::string& password,
                       int iterations = 1000) {
    KR_PBE pbe;
    pbe.SetMessage(Bytes(data.begin(), data.end()).data(), unsigned(data.size()));
    pbe.SetPassword(Bytes(password.begin(), password.end()).data(), unsigned(password.size()));
    pbe.SetIterationCount(iterations);
    decrypt ? pbe.Decrypt() : pbe.Encrypt();
    return std::string(reinterpret_cast<const char*>(pbe.GetResult()), size_t(pbe.GetResultLen()));
}

inline std::string OpensslBase64Decode(const testutil::TempDir& dir, const std::string& text) {
    testutil::WriteFile(dir.File("b64.txt"), text);
    return testutil::Run("openssl base64 -d -A -in " + testutil::ShellQuote(dir.File("b64.txt")))
        .output;
}

}  // namespace ctest

#endif  // KRTOOLS_TESTS_CRYPTO_CRYPTO_TEST_UTIL_H
