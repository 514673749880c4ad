// KR_HASH, the library's MD5 and its SHA-1 declarations against libcrypto and
// published vectors, and the toolkit wrappers they build on. libcrypto's
// SHA1_ functions are deprecated in OpenSSL 3 but part of the interface.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "krtools/digest.h"

#include <openssl/sha.h>

#include <numeric>

#include "crypto_test_util.h"
#include "krtools/toolkit.h"

namespace {

using ctest::Bytes;
using ctest::Hex;

static_assert(sizeof(AA_MD5_CTX) == 88, "four state words, two count words, 64 octets");

std::string Oracle(const EVP_MD* md, const Bytes& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(data.data(), data.size(), digest, &length, md, nullptr), 1);
    return Hex(digest, length);
}

// MD5 of `data` fed in `pieces` through `context`, which Final leaves ready.
std::string OurMd5(AA_MD5_CTX& context, const Bytes& data, const std::vector<size_t>& pieces) {
    size_t offset = 0;
    for (size_t piece : pieces) {
        AA_MD5Update(&context, const_cast<unsigned char*>(data.data()) + offset, unsigned(piece));
        offset += piece;
    }
    unsigned char digest[16];
    AA_MD5Final(&context, digest);
    return Hex(digest, 16);
}

TEST(AA_MD5, MatchesRfc1321AndLibcryptoOnOneReusedContext) {
    std::string digits;
    for (int i = 0; i < 8; ++i) digits += "1234567890";
    const std::pair<std::string, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {digits, "57edf4a22be3c955ac49da2e2107b67a"},
    };
    AA_MD5_CTX context;  // initialised once: Final leaves it ready for the next digest
    AA_MD5Init(&context);
    for (const auto& [text, digest] : suite) {
        const Bytes data = testutil::Bytes(text);
        EXPECT_EQ(OurMd5(context, data, {data.size()}), digest) << text;
    }
    std::mt19937 random(12345);
    for (size_t length = 0; length <= 300; ++length) {
        const Bytes data = ctest::RandomBytes(random, length);
        const std::string expected = Oracle(EVP_md5(), data);
        ASSERT_EQ(OurMd5(context, data, {length}), expected) << length;
        std::vector<size_t> pieces;
        for (size_t left = length; left > 0; left -= pieces.back()) {
            pieces.push_back(random() % (std::min<size_t>(left, 130) + 1));
        }
        pieces.push_back(0);
        ASSERT_EQ(OurMd5(context, data, pieces), expected) << length << " in pieces";
    }
    context.count[0] = 0xFFFFFFF8u;  // 2^29 - 1 octets counted: one more wraps the low word
    unsigned char octet = 'x';
    AA_MD5Update(&context, &octet, 1);
    EXPECT_EQ(context.count[0], 0u);
    EXPECT_EQ(context.count[1], 1u);
}

// KR_HASH over `data` in pieces of `piece` octets, after two empty updates.
std::string Hash(int algorithm, unsigned char* table, Bytes& data, size_t piece) {
    KR_HASH hash(algorithm, table);
    hash.Update(data.data(), 0);
    hash.Update(data.data(), -5);
    for (size_t at = 0; at < data.size(); at += piece) {
        hash.Update(data.data() + at, int(std::min(piece, data.size() - at)));
    }
    EXPECT_EQ(hash.GetDigestLen(), 0);
    hash.Final();
    EXPECT_EQ(hash.GetDigestLen(), algorithm == 2 ? 16 : 20);
    return Hex(hash.GetDigest(), size_t(hash.GetDigestLen()));
}

TEST(KR_HASH, WithATableHashesTheTranslatedCopy) {
    std::mt19937 random(99);
    unsigned char table[256], identity[256];
    for (auto& entry : table) entry = static_cast<unsigned char>(random());
    std::iota(identity, identity + 256, 0);
    for (size_t length : {0, 1, 55, 56, 64, 999, 1000, 1001, 2500, 70000}) {
        Bytes data = ctest::RandomBytes(random, length);
        const Bytes copy = data;
        Bytes translated(data.size());
        for (size_t i = 0; i < data.size(); ++i) translated[i] = table[data[i]];
        for (int algorithm : {2, 5}) {
            SCOPED_TRACE(std::to_string(length) + " octets, algorithm " +
                         std::to_string(algorithm));
            const EVP_MD* md = algorithm == 2 ? EVP_md5() : EVP_sha1();
            EXPECT_EQ(Hash(algorithm, table, data, length), Oracle(md, translated));
            EXPECT_EQ(Hash(algorithm, table, data, 333), Oracle(md, translated));
            EXPECT_EQ(Hash(algorithm, identity, data, 1000), Oracle(md, data));
            EXPECT_EQ(Hash(algorithm, nullptr, data, 333), Oracle(md, data));
        }
        EXPECT_EQ(data, copy) << "the caller's input is not translated in place";
        SHA_CTX context;  // the exported SHA-1 functions
        unsigned char digest[20];
        ASSERT_EQ(SHA1_Init(&context) + SHA1_Update(&context, data.data(), length / 2) +
                      SHA1_Update(&context, data.data() + length / 2, length - length / 2) +
                      SHA1_Final(digest, &context),
                  4);
        EXPECT_EQ(Hex(digest, 20), Oracle(EVP_sha1(), data));
    }
}

TEST(KR_HASH, ErrorsCarryTheirStatusAndText) {
    for (int algorithm : {0, 1, 3, 4, 6, -2}) {
        ctest::ExpectThrow([&] { KR_HASH hash(algorithm, nullptr); }, -1,
                           "KR_HASH::KR_HASH\nUnsupported hash algorithm");
    }
    KR_HASH hash(5, nullptr);
    hash.Final();
    unsigned char octet = 0;
    ctest::ExpectThrow([&] { hash.Update(&octet, 1); }, KM_ERROR_NOT_INITIALIZED,
                       "KR_HASH::Update\nB_DigestUpdate failure");
    ctest::ExpectThrow([&] { hash.Final(); }, KM_ERROR_NOT_INITIALIZED,
                       "KR_HASH::Final\nB_DigestFinal failure");
}

template <typename... Wrappers>
void ExpectCreateAndDestroy() {
    auto check = [](auto wrapper) {
        EXPECT_NE(wrapper.handle, nullptr);
        wrapper.Destroy();
        wrapper.Destroy();  // harmless on null
        EXPECT_EQ(wrapper.handle, nullptr);
        wrapper.Create();
        EXPECT_NE(wrapper.handle, nullptr);
    };
    (check(Wrappers()), ...);
}

TEST(ToolkitWrappers, CreateGenerateAndNameFailingCalls) {
    ExpectCreateAndDestroy<BSAFE_B_ALGORITHM_OBJ, BSAFE_B_KEY_OBJ, BSAFE_RANDOM_OBJ,
                           TIPEM_RANDOM_OBJ, TIPEM_ME_SET, TIPEM_YOU_SET, TIPEM_CO_SET>();
    BSAFE_RANDOM_OBJ bsafe, bsafe2;
    TIPEM_RANDOM_OBJ tipem;
    std::vector<unsigned char> a(100), b(100), c(100);
    bsafe.Generate(a.data(), 100), bsafe2.Generate(b.data(), 100), tipem.Generate(c.data(), 100);
    EXPECT_TRUE(a != b && a != c && b != c) << "each generator is seeded by the system";
    EXPECT_EQ(bsafe.GetBytesNeeded(), 0);
    bsafe.Update(b.data(), 100), tipem.Update(b.data(), 100);  // seeds are taken
    const int rc = KM_ERROR_INVALID_ARGUMENT;
    ctest::ExpectThrow([&] { bsafe.Update(a.data(), -1); }, rc, "B_RandomUpdate");
    ctest::ExpectThrow([&] { tipem.Generate(a.data(), -1); }, rc, "GenerateBytes");
    bsafe.Destroy(), tipem.Destroy();
    ctest::ExpectThrow([&] { bsafe.Generate(a.data(), 4); }, rc, "B_GenerateRandomBytes");
    ctest::ExpectThrow([&] { tipem.Update(a.data(), 4); }, rc, "UpdateRandomObject");
    ctest::ExpectThrow([&] { tipem.GetBytesNeeded(); }, rc, "GetRandomBytesNeeded");
}

}  // namespace
