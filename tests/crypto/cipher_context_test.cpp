// The cipher context and the DES MAC: CBC streams against libcrypto for
// every split of the input, the padding modes, refusal and hostile arguments.
#include "crypto_test_util.h"

namespace {

using namespace ctest;

TEST(CipherContext, EncryptsAndDecryptsLikeLibcryptoInAnySplit) {
    const struct {
        char mode;
        const char* name;
        size_t keySize;    // 0: random RC2 key size and effective bits
        unsigned rc2Bits;  // 0 for DES
    } algorithms[] = {{'D', "DES-CBC", 8, 0},    {'T', "DES-EDE3-CBC", 24, 0},
                      {'R', "RC2-CBC", 5, 40},   {'R', "RC2-CBC", 8, 40},
                      {'R', "RC2-CBC", 16, 128}, {'R', "RC2-CBC", 8, 64},
                      {'R', "RC2-CBC", 0, 0}};
    for (const auto& a : algorithms) {
        std::mt19937 rng(unsigned(a.mode) * 977 + a.rc2Bits + unsigned(a.keySize));
        for (int round = 0; round < 60; ++round) {
            const size_t keySize = a.keySize != 0 ? a.keySize : 1 + rng() % 24;
            const unsigned bits = a.keySize != 0 ? a.rc2Bits : 1 + rng() % 1024;
            SCOPED_TRACE(std::string(a.name) + " key " + std::to_string(keySize) + " bits " +
                         std::to_string(bits) + " round " + std::to_string(round));
            const Bytes key = RandomBytes(rng, keySize), iv = RandomBytes(rng, 8);
            // The first round is short and fed in every split into three pieces.
            const Bytes plain = RandomBytes(rng, round == 0 ? 24 : 8 * (rng() % 40));
            const Bytes expected = OpenSslCipher(a.name, key, iv, plain, true, int(bits));
            std::vector<std::vector<size_t>> splits;
            for (size_t i = 0; round == 0 && i <= plain.size(); ++i) {
                for (size_t j = 0; i + j <= plain.size(); ++j) splits.push_back({i, j});
            }
            if (round != 0) splits.push_back(RandomPieces(rng, plain.size(), 1 + rng() % 20));
            for (const auto& pieces : splits) {
                EncryptContext enc = MakeContext(a.mode, key, iv, bits);
                EncryptInit(&enc);
                ASSERT_EQ(Hex(RunContext(enc, plain, pieces, 1)), Hex(expected));
                EXPECT_EQ(Bytes(enc.chain, enc.chain + 8),
                          plain.empty() ? iv : Bytes(expected.end() - 8, expected.end()));
                EncryptContext dec = MakeContext(char(a.mode + 'a' - 'A'), key, iv, bits);
                EncryptInit(&dec);
                ASSERT_EQ(Hex(RunContext(dec, expected, pieces, 1)), Hex(plain));
            }
        }
    }
}

const Bytes kKey = FromHex("0123456789abcdef");
const Bytes kIv = FromHex("1234567890abcdef");

// Each padding is checked by decrypting the whole output with libcrypto.
TEST(CipherContext, FinalPadModes) {
    const struct {
        size_t length;
        int padMode, markHigh;
        const char* tail;  // the plaintext after the message bytes
        int32_t padCount;  // -99: no block was made
    } cases[] = {{5, 1, 0, "000000", 3},
                 {8, 1, 0, "", -99},
                 {0, 1, 0, "", -99},
                 {8, 2, 0, "0000000000000008", 8},
                 {0, 2, 0, "0000000000000008", 8},
                 {7, 2, 0, "01", 1},
                 {5, 3, 0, "303033", 3},
                 {5, 3, 1, "3030f3", 3},
                 {8, 3, 7, "30303030303030f8", 8},
                 {5, 0x41, 0, "414141", 3},
                 {6, 0x1FF, 0, "ffff", 2},
                 {8, 0x41, 0, "", -99}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.length) + " pad " + std::to_string(c.padMode));
        const Bytes message(c.length, 0x5A);
        EncryptContext ctx = MakeContext('D', kKey, kIv);
        ctx.padCount = -99;
        EncryptInit(&ctx);
        const Bytes out = RunContext(ctx, message, {}, c.padMode, c.markHigh);
        EXPECT_EQ(Hex(OpenSslCipher("DES-CBC", kKey, kIv, out, false)), Hex(message) + c.tail);
        EXPECT_EQ(ctx.padCount, c.padCount);
        EXPECT_EQ(ctx.partialCount, int32_t(c.length % 8)) << "Final keeps partialCount";
    }
}

TEST(CipherContext, RefusalStopsDesButNotRc2) {
    for (char mode : {'D', 'd', 'T', 't'}) {
        SCOPED_TRACE(mode);
        EncryptContext ctx = MakeContext(mode, Bytes(24, 0x31), kIv);
        std::memset(ctx.keySchedule1, 0x77, sizeof ctx.keySchedule1);
        ctx.desRefused = 1;
        EncryptInit(&ctx);
        EXPECT_EQ(ctx.status, -1);
        EXPECT_EQ(ctx.keySchedule1[0], 0x77777777u) << "no schedule is built";
        Bytes data(20, 0x42);
        int len = 20;
        EncryptUpdate(&ctx, data.data(), &len);
        EXPECT_EQ(ctx.status, -1);
        EXPECT_EQ(len, 16);
        EXPECT_EQ(data, Bytes(20, 0x42));
        EXPECT_EQ(Bytes(ctx.chain, ctx.chain + 8), kIv);
        EncryptFinal(&ctx, 2, 0);
        EXPECT_EQ(ctx.status, -1);
        EXPECT_NE(ctx.blockReady, 0u);
        EXPECT_EQ(Hex(ctx.lastBlock, 8), "4242424200000004");
    }
    EncryptContext rc2 = MakeContext('R', kKey, kIv, 40);
    rc2.desRefused = 1;
    EncryptInit(&rc2);
    EXPECT_EQ(rc2.status, 0);
    EXPECT_EQ(RunContext(rc2, Bytes(16, 9), {}, 1),
              OpenSslCipher("RC2-CBC", kKey, kIv, Bytes(16, 9), true, 40));
}

TEST(CipherContext, HostileArgumentsStayInsideBuffers) {
    EncryptContext ctx = MakeContext('D', kKey, kIv);
    std::memset(ctx.appData1, 0xA1, sizeof ctx.appData1);
    std::memset(ctx.authTrailer, 0xA2, sizeof ctx.authTrailer);
    std::memset(ctx.appData2, 0xA3, sizeof ctx.appData2);
    EncryptInit(&ctx);
    Bytes data(8, 0x33);
    int len = -5;
    EncryptUpdate(&ctx, data.data(), &len);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(data, Bytes(8, 0x33));
    len = 9;
    EncryptUpdate(&ctx, nullptr, &len);
    EXPECT_EQ(len, 0);
    for (int32_t damaged : {-3, 8, 1000000, INT32_MIN}) {  // taken as an empty partial block
        ctx.partialCount = damaged;
        Bytes piece(11, 0x44);
        len = 11;
        EncryptUpdate(&ctx, piece.data(), &len);
        EXPECT_EQ(len, 8);
        EXPECT_EQ(ctx.partialCount, 3);
        ctx.partialCount = damaged;
        EncryptFinal(&ctx, 2, 0);
        EXPECT_EQ(ctx.padCount, 8);
    }
    EXPECT_EQ(Bytes(ctx.appData1, ctx.appData1 + 210), Bytes(210, 0xA1));
    EXPECT_EQ(Bytes(ctx.authTrailer, ctx.authTrailer + 8), Bytes(8, 0xA2));
    EXPECT_EQ(Bytes(ctx.appData2, ctx.appData2 + 24), Bytes(24, 0xA3));
    for (uint32_t keyLen : {0u, 25u, 129u}) {  // beyond the key field or out of range
        EncryptContext rc2 = MakeContext('R', Bytes(24, 1), kIv, 64);
        rc2.rc2KeyLen = keyLen;
        std::memset(rc2.keySchedule1, 0x5C, sizeof rc2.keySchedule1);
        EncryptInit(&rc2);
        EXPECT_EQ(rc2.keySchedule1[31], 0x5C5C5C5Cu) << keyLen;
    }
    EncryptInit(nullptr);
    EncryptUpdate(nullptr, data.data(), &len);
    EncryptUpdate(&ctx, data.data(), nullptr);
    EncryptFinal(nullptr, 2, 0);
}

TEST(DesMac, IsTheLastBlockOfZeroPaddedDesCbc) {
    std::mt19937 rng(1981);
    for (int i = 0; i < 160; ++i) {
        const Bytes key = RandomBytes(rng, 8);
        const Bytes iv = i % 3 == 0 ? Bytes(8, 0) : RandomBytes(rng, 8);
        // A few messages cross the 32768-byte pieces the MAC works in.
        const size_t length = i < 150 ? rng() % 200 : 32760 + rng() % 70000;
        const Bytes data = RandomBytes(rng, length), before = data;
        Bytes padded = data;
        padded.resize((length + 7) / 8 * 8, 0);
        const Bytes cipher = OpenSslCipher("DES-CBC", key, iv, padded, true);
        EncryptContext ctx = MakeContext('x', key, iv);
        DESAuthInit(&ctx);
        EXPECT_EQ(ctx.mode, 'D');
        size_t at = 0;
        for (size_t piece : RandomPieces(rng, length, i < 150 ? 9 : 40000)) {
            piece = std::min(piece, length - at);
            DESAuthUpdate(&ctx, data.data() + at, int(piece));
            at += piece;
        }
        DESAuthFinal(&ctx);
        EXPECT_EQ(ctx.status, 0);
        EXPECT_EQ(Bytes(ctx.chain, ctx.chain + 8),
                  length == 0 ? iv : Bytes(cipher.end() - 8, cipher.end()))
            << "length " << length;
        EXPECT_EQ(data, before) << "the caller's data must not change";
    }
}

TEST(DesMac, RefusalAndHostileArguments) {
    EncryptContext ctx = MakeContext('D', kKey, Bytes(8, 0x11));
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
    EXPECT_EQ(Bytes(ctx.chain, ctx.chain + 8), Bytes(8, 0x11));
    DESAuthInit(nullptr);
    DESAuthUpdate(nullptr, data.data(), 8);
    DESAuthFinal(nullptr);
}

}  // namespace
