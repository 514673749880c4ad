// The cipher context: CBC streams against OpenSSL for every split of the
// input, the padding modes, the refusal switch and hostile arguments.
#include <cstring>
#include <random>

#include "cipher_oracle.h"
#include "krtools/des.h"

namespace {

using cipher_oracle::Bytes;
using cipher_oracle::FromHex;
using cipher_oracle::MakeContext;
using cipher_oracle::OpenSslCipher;
using cipher_oracle::RandomBytes;
using cipher_oracle::RandomPieces;
using cipher_oracle::RunContext;
using cipher_oracle::ToHex;

struct Algorithm {
    char encryptMode;
    const char* openSslName;
    size_t keySize;
    unsigned rc2Bits;  // 0 for DES; 0xFFFF: random effective bits
};

class CipherContextVsOpenSsl : public testing::TestWithParam<Algorithm> {};

TEST_P(CipherContextVsOpenSsl, RandomInputsInRandomPiecesBothDirections) {
    const Algorithm algorithm = GetParam();
    std::mt19937 rng(static_cast<unsigned>(algorithm.encryptMode) * 977 + algorithm.rc2Bits);
    for (int round = 0; round < 60; ++round) {
        size_t keySize = algorithm.keySize;
        unsigned bits = algorithm.rc2Bits;
        if (bits == 0xFFFF) {
            keySize = 1 + rng() % 24;
            bits = 1 + rng() % 1024;
        }
        const Bytes key = RandomBytes(rng, keySize);
        const Bytes iv = RandomBytes(rng, 8);
        const Bytes plain = RandomBytes(rng, 8 * (rng() % 40));
        const Bytes expected =
            OpenSslCipher(algorithm.openSslName, key, iv, plain, true, static_cast<int>(bits));

        EncryptContext enc = MakeContext(algorithm.encryptMode, key, iv, bits);
        EncryptInit(&enc);
        ASSERT_EQ(enc.status, 0);
        const Bytes ours =
            RunContext(enc, plain, RandomPieces(rng, plain.size(), 1 + rng() % 20), 1);
        ASSERT_EQ(ToHex(ours), ToHex(expected)) << "round " << round;
        if (!plain.empty()) {
            EXPECT_EQ(ToHex(enc.chain, 8), ToHex(expected.data() + expected.size() - 8, 8));
        }

        const char decryptMode = static_cast<char>(algorithm.encryptMode + ('a' - 'A'));
        EncryptContext dec = MakeContext(decryptMode, key, iv, bits);
        EncryptInit(&dec);
        const Bytes back = RunContext(dec, expected, RandomPieces(rng, plain.size(), 12), 1);
        ASSERT_EQ(ToHex(back), ToHex(plain)) << "round " << round;
    }
}

TEST_P(CipherContextVsOpenSsl, EveryThreePieceSplitOfOneInput) {
    const Algorithm algorithm = GetParam();
    std::mt19937 rng(algorithm.rc2Bits + 11);
    const unsigned bits = algorithm.rc2Bits == 0xFFFF ? 300 : algorithm.rc2Bits;
    const Bytes key = RandomBytes(rng, algorithm.keySize == 0 ? 20 : algorithm.keySize);
    const Bytes iv = RandomBytes(rng, 8);
    const Bytes plain = RandomBytes(rng, 24);
    const Bytes expected =
        OpenSslCipher(algorithm.openSslName, key, iv, plain, true, static_cast<int>(bits));
    for (size_t first = 0; first <= plain.size(); ++first) {
        for (size_t second = 0; first + second <= plain.size(); ++second) {
            EncryptContext ctx = MakeContext(algorithm.encryptMode, key, iv, bits);
            EncryptInit(&ctx);
            ASSERT_EQ(ToHex(RunContext(ctx, plain, {first, second}, 1)), ToHex(expected))
                << first << "+" << second;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Algorithms, CipherContextVsOpenSsl,
    testing::Values(Algorithm{'D', "DES-CBC", 8, 0}, Algorithm{'T', "DES-EDE3-CBC", 24, 0},
                    Algorithm{'R', "RC2-CBC", 5, 40}, Algorithm{'R', "RC2-CBC", 8, 40},
                    Algorithm{'R', "RC2-CBC", 16, 128}, Algorithm{'R', "RC2-CBC", 8, 64},
                    Algorithm{'R', "RC2-CBC", 0, 0xFFFF}),
    [](const testing::TestParamInfo<Algorithm>& info) {
        return std::string(1, info.param.encryptMode) + "_" + std::to_string(info.index);
    });

TEST(CipherContext, TripleDesWithThreeEqualKeysIsSingleDes) {
    std::mt19937 rng(3);
    const Bytes key = RandomBytes(rng, 8);
    const Bytes iv = RandomBytes(rng, 8);
    const Bytes plain = RandomBytes(rng, 64);
    Bytes tripleKey = key;
    tripleKey.insert(tripleKey.end(), key.begin(), key.end());
    tripleKey.insert(tripleKey.end(), key.begin(), key.end());
    EncryptContext single = MakeContext('D', key, iv);
    EncryptContext triple = MakeContext('T', tripleKey, iv);
    EncryptInit(&single);
    EncryptInit(&triple);
    EXPECT_EQ(ToHex(RunContext(single, plain, {}, 1)), ToHex(RunContext(triple, plain, {}, 1)));
}

TEST(CipherContext, UpdateKeepsPartialBlockAndCompletesItLater) {
    std::mt19937 rng(13);
    const Bytes key = RandomBytes(rng, 8);
    const Bytes iv = RandomBytes(rng, 8);
    const Bytes plain = RandomBytes(rng, 16);
    const Bytes expected = OpenSslCipher("DES-CBC", key, iv, plain, true);
    EncryptContext ctx = MakeContext('D', key, iv);
    EncryptInit(&ctx);

    Bytes first(plain.begin(), plain.begin() + 13);
    int len = 13;
    EncryptUpdate(&ctx, first.data(), &len);
    EXPECT_EQ(len, 8);
    EXPECT_EQ(ctx.partialCount, 5);
    EXPECT_EQ(ctx.blockReady, 0u);
    EXPECT_EQ(ToHex(first.data(), 8), ToHex(expected.data(), 8));

    Bytes second(plain.begin() + 13, plain.end());
    len = 3;
    EncryptUpdate(&ctx, second.data(), &len);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(ctx.partialCount, 0);
    EXPECT_NE(ctx.blockReady, 0u);
    EXPECT_EQ(ToHex(ctx.lastBlock, 8), ToHex(expected.data() + 8, 8));
    EXPECT_EQ(ToHex(second), ToHex(Bytes(plain.begin() + 13, plain.end())));

    // A piece that does not complete the waiting block returns nothing.
    Bytes third = {1, 2};
    len = 2;
    EncryptUpdate(&ctx, third.data(), &len);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(ctx.blockReady, 0u);
    EXPECT_EQ(ctx.partialCount, 2);
}

// Encrypts `length` bytes with one Update and Final(padMode, markHigh), then
// decrypts everything with OpenSSL: the plaintext shows the padding exactly.
struct PadResult {
    Bytes tail;  // plaintext after the `length` message bytes
    int32_t padCount;
};

PadResult PadWith(size_t length, int padMode, int markHigh) {
    const Bytes key = FromHex("0123456789abcdef");
    const Bytes iv = FromHex("1234567890abcdef");
    Bytes message(length, 0x5A);
    EncryptContext ctx = MakeContext('D', key, iv);
    ctx.padCount = -99;
    EncryptInit(&ctx);
    const Bytes cipher = RunContext(ctx, message, {}, padMode, markHigh);
    const Bytes plain = OpenSslCipher("DES-CBC", key, iv, cipher, false);
    EXPECT_EQ(Bytes(plain.begin(), plain.begin() + static_cast<long>(length)), message);
    return PadResult{Bytes(plain.begin() + static_cast<long>(length), plain.end()), ctx.padCount};
}

TEST(CipherContext, FinalPadModes) {
    struct Case {
        size_t length;
        int padMode;
        int markHigh;
        const char* tail;
        int32_t padCount;  // -99: no block was made
    };
    const Case cases[] = {
        {5, 1, 0, "000000", 3},
        {8, 1, 0, "", -99},
        {0, 1, 0, "", -99},
        {8, 2, 0, "0000000000000008", 8},
        {0, 2, 0, "0000000000000008", 8},
        {5, 2, 0, "000003", 3},
        {7, 2, 0, "01", 1},
        {5, 3, 0, "303033", 3},
        {5, 3, 1, "3030f3", 3},
        {8, 3, 0, "3030303030303038", 8},
        {8, 3, 7, "30303030303030f8", 8},
        {5, 0x41, 0, "414141", 3},
        {6, 0x1FF, 0, "ffff", 2},
        {8, 0x41, 0, "", -99},
        {3, 0, 0, "0000000000", 5},
    };
    for (const auto& c : cases) {
        PadResult result = PadWith(c.length, c.padMode, c.markHigh);
        EXPECT_EQ(ToHex(result.tail), c.tail) << c.length << " pad " << c.padMode;
        EXPECT_EQ(result.padCount, c.padCount) << c.length << " pad " << c.padMode;
    }
}

TEST(CipherContext, FinalLeavesPartialCountAndInitDoesNotResetIt) {
    EncryptContext ctx = MakeContext('D', FromHex("0123456789abcdef"), Bytes(8, 0));
    EncryptInit(&ctx);
    Bytes data(5, 1);
    int len = 5;
    EncryptUpdate(&ctx, data.data(), &len);
    EncryptFinal(&ctx, 2, 0);
    EXPECT_EQ(ctx.partialCount, 5);
    EncryptInit(&ctx);
    EXPECT_EQ(ctx.partialCount, 5);
}

TEST(CipherContext, RefusedDesLeavesEverythingButStatus) {
    const Bytes key = FromHex("0123456789abcdef0123456789abcdef0123456789abcdef");
    for (char mode : {'D', 'd', 'T', 't'}) {
        EncryptContext ctx = MakeContext(mode, key, FromHex("1122334455667788"));
        std::memset(ctx.keySchedule1, 0x77, sizeof ctx.keySchedule1);
        ctx.desRefused = 1;
        EncryptInit(&ctx);
        EXPECT_EQ(ctx.status, -1) << mode;
        EXPECT_EQ(ctx.keySchedule1[0], 0x77777777u) << "no schedule is built";
        EXPECT_EQ(ToHex(ctx.chain, 8), "1122334455667788");

        Bytes data(20, 0x42);
        int len = 20;
        EncryptUpdate(&ctx, data.data(), &len);
        EXPECT_EQ(ctx.status, -1);
        EXPECT_EQ(len, 16);
        EXPECT_EQ(ToHex(data), ToHex(Bytes(20, 0x42)));
        EXPECT_EQ(ToHex(ctx.chain, 8), "1122334455667788");

        EncryptFinal(&ctx, 2, 0);
        EXPECT_EQ(ctx.status, -1);
        EXPECT_NE(ctx.blockReady, 0u);
        EXPECT_EQ(ToHex(ctx.lastBlock, 8), "4242424200000004");

        // Whole blocks, no waiting bytes: a Final that makes no block succeeds.
        ctx.partialCount = 0;
        EncryptFinal(&ctx, 1, 0);
        EXPECT_EQ(ctx.status, 0);
    }
}

TEST(CipherContext, RefusalDoesNotApplyToRc2) {
    std::mt19937 rng(5);
    const Bytes key = RandomBytes(rng, 8);
    const Bytes iv = RandomBytes(rng, 8);
    const Bytes plain = RandomBytes(rng, 24);
    EncryptContext ctx = MakeContext('R', key, iv, 40);
    ctx.desRefused = 1;
    EncryptInit(&ctx);
    EXPECT_EQ(ctx.status, 0);
    EXPECT_EQ(ToHex(RunContext(ctx, plain, {}, 1)),
              ToHex(OpenSslCipher("RC2-CBC", key, iv, plain, true, 40)));
}

TEST(CipherContext, UnknownModeOnlyChainsBlocks) {
    EncryptContext ctx = MakeContext('X', Bytes(8, 0), FromHex("0102030405060708"));
    std::memcpy(ctx.chain, "\xff\xff\xff\xff\x00\x00\x00\x00", 8);
    EncryptInit(&ctx);
    EXPECT_EQ(ctx.status, 0);
    EXPECT_EQ(ToHex(ctx.chain, 8), "ffffffff00000000");
    Bytes data = FromHex("0f0f0f0f0f0f0f0f0000000000000000");
    int len = 16;
    EncryptUpdate(&ctx, data.data(), &len);
    EXPECT_EQ(ctx.status, 0);
    EXPECT_EQ(ToHex(data), "f0f0f0f00f0f0f0ff0f0f0f00f0f0f0f");
}

TEST(CipherContext, HostileLengthsAndCountsStayInsideBuffers) {
    const Bytes key = FromHex("0123456789abcdef");
    EncryptContext ctx = MakeContext('D', key, Bytes(8, 0));
    EncryptInit(&ctx);

    Bytes data(8, 0x33);
    int len = -5;
    EncryptUpdate(&ctx, data.data(), &len);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(ctx.partialCount, 0);
    EXPECT_EQ(ToHex(data), ToHex(Bytes(8, 0x33)));

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

    EncryptUpdate(nullptr, data.data(), &len);
    EncryptFinal(nullptr, 2, 0);
    EncryptInit(nullptr);
    EncryptUpdate(&ctx, data.data(), nullptr);
}

TEST(CipherContext, ApplicationRegionsAreNeverTouched) {
    std::mt19937 rng(99);
    for (char mode : {'D', 'd', 'T', 't', 'R', 'r', 'Q'}) {
        EncryptContext ctx = MakeContext(mode, RandomBytes(rng, 24), RandomBytes(rng, 8), 64);
        ctx.rc2KeyLen = 24;
        std::memset(ctx.appData1, 0xA1, sizeof ctx.appData1);
        std::memset(ctx.authTrailer, 0xA2, sizeof ctx.authTrailer);
        std::memset(ctx.appData2, 0xA3, sizeof ctx.appData2);
        EncryptInit(&ctx);
        RunContext(ctx, RandomBytes(rng, 37), {5, 0, 17}, 3, 1);
        EXPECT_EQ(ToHex(ctx.appData1, sizeof ctx.appData1), ToHex(Bytes(210, 0xA1))) << mode;
        EXPECT_EQ(ToHex(ctx.authTrailer, 8), ToHex(Bytes(8, 0xA2))) << mode;
        EXPECT_EQ(ToHex(ctx.appData2, sizeof ctx.appData2), ToHex(Bytes(24, 0xA3))) << mode;
    }
}

TEST(CipherContext, Rc2KeyErrorsKeepTheOldSchedule) {
    for (uint32_t keyLen : {0u, 25u, 129u}) {
        EncryptContext ctx = MakeContext('R', Bytes(24, 1), Bytes(8, 0), 64);
        ctx.rc2KeyLen = keyLen;
        std::memset(ctx.keySchedule1, 0x5C, sizeof ctx.keySchedule1);
        EncryptInit(&ctx);
        EXPECT_EQ(ctx.status, 0);
        EXPECT_EQ(ctx.keySchedule1[31], 0x5C5C5C5Cu) << keyLen;
    }
    EncryptContext ctx = MakeContext('R', Bytes(24, 1), Bytes(8, 0), 0);
    std::memset(ctx.keySchedule1, 0x5C, sizeof ctx.keySchedule1);
    EncryptInit(&ctx);
    EXPECT_EQ(ctx.keySchedule1[0], 0x5C5C5C5Cu) << "zero effective bits";
}

TEST(CipherContext, ReusedContextStartsAFreshMessage) {
    std::mt19937 rng(7);
    const Bytes key = RandomBytes(rng, 24);
    const Bytes iv = RandomBytes(rng, 8);
    const Bytes first = RandomBytes(rng, 29);
    const Bytes second = RandomBytes(rng, 40);
    EncryptContext ctx = MakeContext('T', key, iv);
    EncryptInit(&ctx);
    RunContext(ctx, first, {}, 2);
    ctx.partialCount = 0;
    EncryptInit(&ctx);
    EXPECT_EQ(ToHex(RunContext(ctx, second, {3, 9}, 1)),
              ToHex(OpenSslCipher("DES-EDE3-CBC", key, iv, second, true)));
}

}  // namespace
