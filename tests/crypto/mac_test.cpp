// The DES MAC against the last block of zero-padded DES-CBC from OpenSSL.
#include <cstring>
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"

namespace {

using cipher_oracle::Bytes;
using cipher_oracle::FromHex;
using cipher_oracle::MakeContext;
using cipher_oracle::RandomBytes;
using cipher_oracle::ToHex;

std::string OpenSslMac(const Bytes& key, const Bytes& iv, Bytes data) {
    if (data.empty()) return ToHex(iv);
    data.resize((data.size() + 7) / 8 * 8, 0);
    Bytes cipher = cipher_oracle::OpenSslCipher("DES-CBC", key, iv, data, true);
    return ToHex(cipher.data() + cipher.size() - 8, 8);
}

// The MAC of `data` given in pieces of the listed sizes (the rest last).
std::string OurMac(const Bytes& key, const Bytes& iv, const Bytes& data,
                   const std::vector<size_t>& pieces) {
    EncryptContext ctx = MakeContext('x', key, iv);
    DESAuthInit(&ctx);
    EXPECT_EQ(ctx.mode, 'D');
    size_t at = 0;
    std::vector<size_t> sizes = pieces;
    sizes.push_back(data.size());
    for (size_t size : sizes) {
        size = std::min(size, data.size() - at);
        DESAuthUpdate(&ctx, data.data() + at, static_cast<int>(size));
        at += size;
    }
    DESAuthFinal(&ctx);
    EXPECT_EQ(ctx.status, 0);
    return ToHex(ctx.chain, 8);
}

TEST(DesMac, RandomMessagesAndPiecesMatchOpenSsl) {
    std::mt19937 rng(1981);
    for (int i = 0; i < 150; ++i) {
        const Bytes key = RandomBytes(rng, 8);
        const Bytes iv = i % 3 == 0 ? Bytes(8, 0) : RandomBytes(rng, 8);
        const Bytes data = RandomBytes(rng, rng() % 200);
        const Bytes before = data;
        EXPECT_EQ(OurMac(key, iv, data, cipher_oracle::RandomPieces(rng, data.size(), 9)),
                  OpenSslMac(key, iv, data))
            << "length " << data.size();
        EXPECT_EQ(data, before) << "the caller's data must not change";
    }
}

TEST(DesMac, LongMessagesCrossThePieceSize) {
    std::mt19937 rng(32768);
    const Bytes key = RandomBytes(rng, 8);
    const Bytes iv(8, 0);
    for (size_t length : {32767u, 32768u, 32769u, 100003u}) {
        const Bytes data = RandomBytes(rng, length);
        EXPECT_EQ(OurMac(key, iv, data, {}), OpenSslMac(key, iv, data)) << length;
        EXPECT_EQ(OurMac(key, iv, data, {5, 40000}), OpenSslMac(key, iv, data)) << length;
    }
}

TEST(DesMac, EmptyMessageGivesTheIv) {
    const Bytes iv = FromHex("0102030405060708");
    EXPECT_EQ(OurMac(FromHex("0123456789abcdef"), iv, {}, {0, 0}), ToHex(iv));
}

TEST(DesMac, RefusalSetsStatusAndTrailer) {
    EncryptContext ctx = MakeContext('D', FromHex("0123456789abcdef"), Bytes(8, 0));
    ctx.desRefused = 1;
    std::memset(ctx.authTrailer, 0, sizeof ctx.authTrailer);
    DESAuthInit(&ctx);
    EXPECT_EQ(ctx.status, -1);
    const Bytes data(20, 7);
    DESAuthUpdate(&ctx, data.data(), static_cast<int>(data.size()));
    EXPECT_EQ(ctx.status, -1);
    DESAuthFinal(&ctx);
    EXPECT_EQ(ctx.status, -1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(ctx.authTrailer), 8), "LAST    ");

    // From another mode, Init switches to DES and the schedule step refuses.
    EncryptContext rc2 = MakeContext('R', FromHex("0123456789abcdef"), Bytes(8, 0));
    rc2.desRefused = 1;
    DESAuthInit(&rc2);
    EXPECT_EQ(rc2.mode, 'D');
    EXPECT_EQ(rc2.status, -1);
}

TEST(DesMac, NonPositiveLengthsAndNullDataDoNothing) {
    EncryptContext ctx = MakeContext('D', FromHex("0123456789abcdef"), Bytes(8, 0x11));
    DESAuthInit(&ctx);
    const Bytes data(8, 1);
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
