// The DES MAC against the last block of zero-padded DES-CBC from OpenSSL.
#include <cstring>
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"

namespace {

using namespace cipher_oracle;

std::string OpenSslMac(const Bytes& key, const Bytes& iv, Bytes data) {
    if (data.empty()) return ToHex(iv);
    data.resize((data.size() + 7) / 8 * 8, 0);
    return ToHex(OpenSslCipher("DES-CBC", key, iv, data, true)).substr(2 * data.size() - 16);
}

// The MAC of `data` given in pieces of the listed sizes (the rest last).
std::string OurMac(const Bytes& key, const Bytes& iv, const Bytes& data,
                   std::vector<size_t> pieces) {
    EncryptContext ctx = MakeContext('x', key, iv);
    DESAuthInit(&ctx);
    EXPECT_EQ(ctx.mode, 'D');
    pieces.push_back(data.size());
    size_t at = 0;
    for (size_t size : pieces) {
        size = std::min(size, data.size() - at);
        DESAuthUpdate(&ctx, data.data() + at, static_cast<int>(size));
        at += size;
    }
    DESAuthFinal(&ctx);
    EXPECT_EQ(ctx.status, 0);
    return ToHex(ctx.chain, 8);
}

TEST(DesMac, MatchesOpenSslForAnyLengthAndPieces) {
    std::mt19937 rng(1981);
    for (int i = 0; i < 160; ++i) {
        const Bytes key = RandomBytes(rng, 8);
        const Bytes iv = i % 3 == 0 ? Bytes(8, 0) : RandomBytes(rng, 8);
        // A few messages cross the 32768-byte pieces the MAC works in.
        const size_t length = i < 150 ? rng() % 200 : 32760 + rng() % 70000;
        const Bytes data = RandomBytes(rng, length);
        const Bytes before = data;
        EXPECT_EQ(OurMac(key, iv, data, RandomPieces(rng, length, i < 150 ? 9 : 40000)),
                  OpenSslMac(key, iv, data))
            << "length " << length;
        EXPECT_EQ(data, before) << "the caller's data must not change";
    }
    EXPECT_EQ(OurMac(Bytes(8, 1), FromHex("0102030405060708"), {}, {0}), "0102030405060708");
}

TEST(DesMac, RefusalAndHostileArguments) {
    EncryptContext ctx = MakeContext('D', FromHex("0123456789abcdef"), Bytes(8, 0x11));
    ctx.desRefused = 1;
    DESAuthInit(&ctx);
    EXPECT_EQ(ctx.status, -1);
    const Bytes data(20, 7);
    DESAuthUpdate(&ctx, data.data(), static_cast<int>(data.size()));
    EXPECT_EQ(ctx.status, -1);
    DESAuthFinal(&ctx);
    EXPECT_EQ(ctx.status, -1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(ctx.authTrailer), 8), "LAST    ");

    ctx.desRefused = 0;
    ctx.partialCount = 0;  // the caller's task after a message of a ragged length
    DESAuthInit(&ctx);
    DESAuthUpdate(&ctx, data.data(), 0);
    DESAuthUpdate(&ctx, data.data(), -8);
    DESAuthUpdate(&ctx, nullptr, 8);
    DESAuthFinal(&ctx);
    EXPECT_EQ(ToHex(ctx.chain, 8), ToHex(Bytes(8, 0x11)));
    DESAuthInit(nullptr);
    DESAuthUpdate(nullptr, data.data(), 8);
    DESAuthFinal(nullptr);
}

}  // namespace
