// The cipher context: CBC streams against OpenSSL for every split of the
// input, the padding modes, the refusal switch and hostile arguments.
#include <cstring>
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"

namespace {

using namespace cipher_oracle;

struct Algorithm {
    char encryptMode;
    const char* openSslName;
    size_t keySize;    // 0: random RC2 key size and effective bits
    unsigned rc2Bits;  // 0 for DES
};

void PrintTo(const Algorithm& a, std::ostream* os) {
    *os << a.openSslName << " key " << a.keySize << " bits " << a.rc2Bits;
}

class CipherContextVsOpenSsl : public testing::TestWithParam<Algorithm> {};

TEST_P(CipherContextVsOpenSsl, EncryptsAndDecryptsInAnySplit) {
    const Algorithm a = GetParam();
    std::mt19937 rng(static_cast<unsigned>(a.encryptMode) * 977 + a.rc2Bits + a.keySize);
    const char decryptMode = static_cast<char>(a.encryptMode + ('a' - 'A'));
    for (int round = 0; round < 60; ++round) {
        const size_t keySize = a.keySize != 0 ? a.keySize : 1 + rng() % 24;
        const unsigned bits = a.keySize != 0 ? a.rc2Bits : 1 + rng() % 1024;
        const Bytes key = RandomBytes(rng, keySize);
        const Bytes iv = RandomBytes(rng, 8);
        // The first round is short and fed in every split into three pieces.
        const Bytes plain = RandomBytes(rng, round == 0 ? 24 : 8 * (rng() % 40));
        const Bytes expected = OpenSslCipher(a.openSslName, key, iv, plain, true, int(bits));
        std::vector<std::vector<size_t>> splits;
        if (round == 0) {
            for (size_t i = 0; i <= plain.size(); ++i)
                for (size_t j = 0; i + j <= plain.size(); ++j) splits.push_back({i, j});
        } else {
            splits.push_back(RandomPieces(rng, plain.size(), 1 + rng() % 20));
        }
        for (const auto& pieces : splits) {
            EncryptContext enc = MakeContext(a.encryptMode, key, iv, bits);
            EncryptInit(&enc);
            ASSERT_EQ(ToHex(RunContext(enc, plain, pieces, 1)), ToHex(expected)) << round;
            if (!plain.empty()) {
                EXPECT_EQ(ToHex(enc.chain, 8), ToHex(expected).substr(2 * expected.size() - 16));
            }
            EncryptContext dec = MakeContext(decryptMode, key, iv, bits);
            EncryptInit(&dec);
            ASSERT_EQ(ToHex(RunContext(dec, expected, pieces, 1)), ToHex(plain)) << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Algorithms, CipherContextVsOpenSsl,
    testing::Values(Algorithm{'D', "DES-CBC", 8, 0}, Algorithm{'T', "DES-EDE3-CBC", 24, 0},
                    Algorithm{'R', "RC2-CBC", 5, 40}, Algorithm{'R', "RC2-CBC", 8, 40},
                    Algorithm{'R', "RC2-CBC", 16, 128}, Algorithm{'R', "RC2-CBC", 8, 64},
                    Algorithm{'R', "RC2-CBC", 0, 0}));

TEST(CipherContext, UpdateKeepsPartialBlockAndCompletesItLater) {
    const Bytes key = FromHex("0123456789abcdef");
    const Bytes iv = FromHex("1234567890abcdef");
    const Bytes plain = FromHex("00112233445566778899aabbccddeeff");
    const Bytes expected = OpenSslCipher("DES-CBC", key, iv, plain, true);
    EncryptContext ctx = MakeContext('D', key, iv);
    EncryptInit(&ctx);
    Bytes data(plain.begin(), plain.begin() + 13);
    int len = 13;
    EncryptUpdate(&ctx, data.data(), &len);
    EXPECT_EQ(len, 8);
    EXPECT_EQ(ctx.partialCount, 5);
    EXPECT_EQ(ctx.blockReady, 0u);
    EXPECT_EQ(ToHex(data.data(), 8), ToHex(expected).substr(0, 16));
    data.assign(plain.begin() + 13, plain.end());
    len = 3;
    EncryptUpdate(&ctx, data.data(), &len);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(ctx.partialCount, 0);
    EXPECT_NE(ctx.blockReady, 0u);
    EXPECT_EQ(ToHex(ctx.lastBlock, 8), ToHex(expected).substr(16));
}

// Each padding is checked by decrypting the whole output with OpenSSL.
TEST(CipherContext, FinalPadModes) {
    struct Case {
        size_t length;
        int padMode;
        int markHigh;
        const char* tail;  // the plaintext after the message bytes
        int32_t padCount;  // -99: no block was made
    };
    const Case cases[] = {
        {5, 1, 0, "000000", 3},
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
        {8, 0x41, 0, "", -99},
    };
    const Bytes key = FromHex("0123456789abcdef");
    const Bytes iv = FromHex("1234567890abcdef");
    for (const auto& c : cases) {
        const Bytes message(c.length, 0x5A);
        EncryptContext ctx = MakeContext('D', key, iv);
        ctx.padCount = -99;
        EncryptInit(&ctx);
        const Bytes plain = OpenSslCipher(
            "DES-CBC", key, iv, RunContext(ctx, message, {}, c.padMode, c.markHigh), false);
        EXPECT_EQ(ToHex(plain), ToHex(message) + c.tail) << c.length << " pad " << c.padMode;
        EXPECT_EQ(ctx.padCount, c.padCount) << c.length << " pad " << c.padMode;
        EXPECT_EQ(ctx.partialCount, int32_t(c.length % 8)) << "Final keeps partialCount";
    }
}

TEST(CipherContext, RefusalStopsDesButNotRc2) {
    for (char mode : {'D', 'd', 'T', 't'}) {
        EncryptContext ctx = MakeContext(mode, Bytes(24, 0x31), FromHex("1122334455667788"));
        std::memset(ctx.keySchedule1, 0x77, sizeof ctx.keySchedule1);
        ctx.desRefused = 1;
        EncryptInit(&ctx);
        EXPECT_EQ(ctx.status, -1) << mode;
        EXPECT_EQ(ctx.keySchedule1[0], 0x77777777u) << "no schedule is built";
        Bytes data(20, 0x42);
        int len = 20;
        EncryptUpdate(&ctx, data.data(), &len);
        EXPECT_EQ(ctx.status, -1);
        EXPECT_EQ(len, 16);
        EXPECT_EQ(data, Bytes(20, 0x42));
        EXPECT_EQ(ToHex(ctx.chain, 8), "1122334455667788");
        EncryptFinal(&ctx, 2, 0);
        EXPECT_EQ(ctx.status, -1);
        EXPECT_NE(ctx.blockReady, 0u);
        EXPECT_EQ(ToHex(ctx.lastBlock, 8), "4242424200000004");
    }
    const Bytes key = FromHex("0011223344556677");
    EncryptContext rc2 = MakeContext('R', key, Bytes(8, 0), 40);
    rc2.desRefused = 1;
    EncryptInit(&rc2);
    EXPECT_EQ(rc2.status, 0);
    EXPECT_EQ(ToHex(RunContext(rc2, Bytes(16, 9), {}, 1)),
              ToHex(OpenSslCipher("RC2-CBC", key, Bytes(8, 0), Bytes(16, 9), true, 40)));
}

TEST(CipherContext, UnknownModeOnlyChainsBlocks) {
    EncryptContext ctx = MakeContext('X', Bytes(8, 0), FromHex("0102030405060708"));
    std::memcpy(ctx.chain, "\xff\xff\xff\xff\x00\x00\x00\x00", 8);
    EncryptInit(&ctx);
    EXPECT_EQ(ToHex(ctx.chain, 8), "ffffffff00000000");
    Bytes data = FromHex("0f0f0f0f0f0f0f0f0000000000000000");
    int len = 16;
    EncryptUpdate(&ctx, data.data(), &len);
    EXPECT_EQ(ToHex(data), "f0f0f0f00f0f0f0ff0f0f0f00f0f0f0f");
}

TEST(CipherContext, HostileArgumentsStayInsideBuffers) {
    EncryptContext ctx = MakeContext('D', FromHex("0123456789abcdef"), Bytes(8, 0));
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
    // A damaged partialCount counts as an empty partial block.
    for (int32_t damaged : {-3, 8, 1000000, INT32_MIN}) {
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
    // RC2 key lengths beyond the 24-byte key field, or out of range, build nothing.
    for (uint32_t keyLen : {0u, 25u, 129u}) {
        EncryptContext rc2 = MakeContext('R', Bytes(24, 1), Bytes(8, 0), 64);
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

}  // namespace
