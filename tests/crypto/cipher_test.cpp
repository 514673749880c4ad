// DES, RC2, the cipher context and the DES MAC against published vectors and
// libcrypto (CBC streams in any split), padding, refusal and hostile arguments;
// the stored password and passphrase forms built on RC2-40 CBC.
#include <cctype>
#include <sstream>

#include "crypto_test_util.h"

namespace {

using namespace ctest;

// DES-encrypts `block` under `key` with a schedule of `mode`.
Bytes Des(const Bytes& key, char mode, Bytes block) {
    uint32_t schedule[32];
    deskey(key.data(), mode, schedule);
    Sdes(block.data(), schedule);
    return block;
}

TEST(Des, PublishedVectorsEncryptAndDecrypt) {
    const char* vectors[][3] = {
        // key, plaintext, ciphertext: FIPS 81's ECB example, then known answers.
        {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
        {"0123456789abcdef", "68652074696d6520", "6a271787ab8883f9"},
        {"0123456789abcdef", "666f7220616c6c20", "893d51ec4b563b53"},
        {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
        {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
        {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"}};
    for (const auto& v : vectors) {
        SCOPED_TRACE(std::string(v[0]) + " " + v[1]);
        const Bytes key = FromHex(v[0]);
        EXPECT_EQ(Hex(Des(key, 'D', FromHex(v[1]))), v[2]);
        EXPECT_EQ(Hex(Des(key, 'd', FromHex(v[2]))), v[1]);
        for (char mode : {'T', 'e', 'R', '\0'}) EXPECT_EQ(Hex(Des(key, mode, FromHex(v[1]))), v[2]);
        EXPECT_EQ(Hex(Des(key, 't', FromHex(v[2]))), v[1]);
    }
}

TEST(Rc2, Rfc2268VectorsEncryptAndDecrypt) {
    const char* vectors[][4] = {
        // key, effective bits, plaintext, ciphertext
        {"0000000000000000", "63", "0000000000000000", "ebb773f993278eff"},
        {"ffffffffffffffff", "64", "ffffffffffffffff", "278b27e42e2f0d49"},
        {"3000000000000000", "64", "1000000000000001", "30649edf9be7d2c2"},
        {"88", "64", "0000000000000000", "61a8a244adacccf0"},
        {"88bca90e90875a", "64", "0000000000000000", "6ccf4308974c267f"},
        {"88bca90e90875a7f0f79c384627bafb2", "64", "0000000000000000", "1a807d272bbe5db1"},
        {"88bca90e90875a7f0f79c384627bafb2", "128", "0000000000000000", "2269552ab0f85ca6"},
        {"88bca90e90875a7f0f79c384627bafb216f80a6f85920584c42fceb0be255daf1e", "129",
         "0000000000000000", "5b78d3a43dfff1f1"}};
    for (const auto& v : vectors) {
        SCOPED_TRACE(std::string(v[0]) + "/" + v[1]);
        const Bytes key = FromHex(v[0]);
        Bytes block = FromHex(v[2]);
        uint16_t expanded[64];
        ASSERT_EQ(InitRC2(key.data(), unsigned(key.size()), unsigned(std::stoi(v[1])), expanded),
                  0);
        EncryptRC2(block.data(), expanded);
        EXPECT_EQ(Hex(block), v[3]);
        DecryptRC2(block.data(), expanded);
        EXPECT_EQ(Hex(block), v[2]);
    }
}

TEST(Rc2, OutOfRangeLengthsReturn99AndWriteNothing) {
    const unsigned char key[129] = {1, 2, 3};
    const unsigned cases[][3] = {{0, 64, 99}, {129, 64, 99},  {8, 0, 99},  {8, 1025, 99},
                                 {1, 1, 0},   {128, 1024, 0}, {128, 1, 0}, {1, 1024, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c[0]) + "/" + std::to_string(c[1]));
        uint16_t expanded[65];
        std::fill(std::begin(expanded), std::end(expanded), 0xA5A5);
        EXPECT_EQ(InitRC2(key, c[0], c[1], expanded), int(c[2]));
        EXPECT_EQ(expanded[64], 0xA5A5) << "written past the 64 words";
        EXPECT_EQ(std::count(expanded, expanded + 64, 0xA5A5) == 64, c[2] != 0);
    }
}

TEST(StoredSecrets, PasswordIsUpperHexRc2CbcAndPassphraseRoundTrips) {
    std::mt19937 rng(40);
    for (int i = 0; i < 50; ++i) {
        const Bytes key = RandomBytes(rng, 8);
        const std::string password = "pw-" + std::to_string(rng());
        char text[66] = {};
        std::memcpy(text, password.data(), password.size());
        std::memset(text + 32, '#', sizeof text - 32);
        const Bytes field(text, text + 32);
        EncryptPassword(text, key.data());
        std::string expected = Hex(OpenSslCipher("RC2-CBC", key, Bytes(8, 0), field, true, 40));
        for (auto& c : expected) c = static_cast<char>(std::toupper(c));
        ASSERT_EQ(std::string(text, 64), expected);
        EXPECT_EQ(std::string(text + 64, 2), "##") << "nothing is written after 64 characters";
        if (i % 2) {
            for (int k = 0; k < 64; ++k) text[k] = static_cast<char>(std::tolower(text[k]));
        }
        const std::string tail(text + 32, 34);
        DecryptPassword(text, key.data());
        EXPECT_EQ(Bytes(text, text + 32), field);
        EXPECT_EQ(std::string(text + 32, 34), tail) << "only 32 bytes are written";
    }
    for (int i = 0; i < 100; ++i) {           // the passphrase key is the library's own
        Bytes buffer = RandomBytes(rng, 65);  // the last octet guards the end
        const Bytes field = buffer;
        EncryptPassphrase(buffer.data());
        EXPECT_NE(Bytes(buffer.begin(), buffer.end() - 1), Bytes(field.begin(), field.end() - 1));
        EXPECT_EQ(buffer[64], field[64]);
        DecryptPassphrase(buffer.data());
        EXPECT_EQ(buffer, field);
    }
}

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
    // Message length, padMode, markHigh, and the plaintext after the message
    // bytes ("-": no block is made).
    for (const char* row :
         {"5 1 0 000000", "8 1 0 -", "0 1 0 -", "7 2 0 01", "5 3 0 303033", "5 3 1 3030f3",
          "5 65 0 414141", "6 511 0 ffff", "8 65 0 -", "8 2 0 0000000000000008",
          "0 2 0 0000000000000008", "8 3 7 30303030303030f8"}) {
        SCOPED_TRACE(row);
        std::istringstream fields(row);
        size_t length = 0;
        int padMode = 0, markHigh = 0;
        std::string tail;
        fields >> length >> padMode >> markHigh >> tail;
        if (tail == "-") tail.clear();
        const Bytes message(length, 0x5A);
        EncryptContext ctx = MakeContext('D', kKey, kIv);
        ctx.padCount = -99;
        EncryptInit(&ctx);
        const Bytes out = RunContext(ctx, message, {}, padMode, markHigh);
        EXPECT_EQ(Hex(OpenSslCipher("DES-CBC", kKey, kIv, out, false)), Hex(message) + tail);
        EXPECT_EQ(ctx.padCount, tail.empty() ? -99 : int(tail.size() / 2));
        EXPECT_EQ(ctx.partialCount, int32_t(length % 8)) << "Final keeps partialCount";
    }
}

TEST(CipherContext, RefusalStopsDesAndTheMacButNotRc2) {
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
        ctx.status = 0;
        EncryptUpdate(&ctx, data.data(), &len);
        EXPECT_TRUE(ctx.status == -1 && len == 16 && data == Bytes(20, 0x42));
        EXPECT_EQ(Bytes(ctx.chain, ctx.chain + 8), kIv);
        ctx.status = 0;
        EncryptFinal(&ctx, 2, 0);
        EXPECT_TRUE(ctx.status == -1 && ctx.blockReady);
        EXPECT_EQ(Hex(ctx.lastBlock, 8), "4242424200000004");
    }
    EncryptContext mac = MakeContext('D', kKey, kIv);
    mac.desRefused = 1;
    DESAuthInit(&mac);
    EXPECT_EQ(mac.status, -1);
    mac.status = 0;
    DESAuthUpdate(&mac, kIv.data(), 8);
    EXPECT_EQ(mac.status, -1);
    mac.status = 0;
    DESAuthFinal(&mac);
    EXPECT_EQ(mac.status, -1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(mac.authTrailer), 8), "LAST    ");
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
    int len = -5, nothing = 9;
    EncryptUpdate(&ctx, data.data(), &len);
    EncryptUpdate(&ctx, nullptr, &nothing);
    EXPECT_TRUE(len == 0 && nothing == 0 && data == Bytes(8, 0x33));
    for (int32_t damaged : {-3, 8, 1000000, INT32_MIN}) {  // taken as an empty partial block
        ctx.partialCount = damaged;
        len = 11;
        EncryptUpdate(&ctx, Bytes(11, 0x44).data(), &len);
        EXPECT_TRUE(len == 8 && ctx.partialCount == 3) << damaged;
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
    EncryptContext mac = MakeContext('D', kKey, kIv);
    DESAuthInit(&mac);
    DESAuthUpdate(&mac, data.data(), 0), DESAuthUpdate(&mac, data.data(), -8);
    DESAuthUpdate(&mac, nullptr, 8), DESAuthFinal(&mac);
    EXPECT_EQ(Bytes(mac.chain, mac.chain + 8), kIv) << "the MAC of nothing";
    EncryptInit(nullptr), EncryptUpdate(nullptr, data.data(), &len), EncryptFinal(nullptr, 2, 0);
    EncryptUpdate(&ctx, data.data(), nullptr);
    DESAuthInit(nullptr), DESAuthUpdate(nullptr, data.data(), 8), DESAuthFinal(nullptr);
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

}  // namespace
