// KR_HASH against libcrypto's digests, and SHA-1 through the library header.
// The library header comes first, before any other OpenSSL header, so that
// its SHA-1 declarations are usable without deprecation warnings.
#include "krtools/digest.h"

#include <openssl/evp.h>

#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

std::string Hex(const unsigned char* data, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 15];
    }
    return text;
}

std::string Oracle(const EVP_MD* md, const std::vector<unsigned char>& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(data.data(), data.size(), digest, &length, md, nullptr), 1);
    return Hex(digest, length);
}

std::string Hash(int algorithm, unsigned char* table, std::vector<unsigned char> data,
                 size_t piece) {
    KR_HASH hash(algorithm, table);
    for (size_t offset = 0; offset < data.size(); offset += piece) {
        hash.Update(data.data() + offset, static_cast<int>(std::min(piece, data.size() - offset)));
    }
    hash.Final();
    return Hex(hash.GetDigest(), static_cast<size_t>(hash.GetDigestLen()));
}

std::vector<unsigned char> RandomBytes(size_t length, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> data(length);
    for (auto& octet : data) octet = static_cast<unsigned char>(random());
    return data;
}

TEST(KR_HASH, AbcGivesThePublishedDigests) {
    KR_HASH md5(2, nullptr);
    EXPECT_EQ(md5.GetDigestLen(), 0);
    unsigned char abc[] = {'a', 'b', 'c'};
    md5.Update(abc, 3);
    md5.Final();
    ASSERT_EQ(md5.GetDigestLen(), 16);
    EXPECT_EQ(Hex(md5.GetDigest(), 16), "900150983cd24fb0d6963f7d28e17f72");

    KR_HASH sha1(5, nullptr);
    sha1.Update(abc, 3);
    sha1.Final();
    ASSERT_EQ(sha1.GetDigestLen(), 20);
    EXPECT_EQ(Hex(sha1.GetDigest(), 20), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(KR_HASH, AgreesWithLibcryptoWithAndWithoutTable) {
    unsigned char table[256];
    std::mt19937 random(99);
    for (auto& entry : table) entry = static_cast<unsigned char>(random());
    unsigned char identity[256];
    std::iota(identity, identity + 256, 0);
    // A table hashes like the translated copy; no table or an identity table
    // like the input itself. Inputs come in one piece or in pieces of 333.
    for (size_t length : {0, 1, 55, 56, 64, 999, 1000, 1001, 2500, 70000}) {
        std::vector<unsigned char> data = RandomBytes(length, static_cast<unsigned>(length) + 1);
        std::vector<unsigned char> translated(data.size());
        for (size_t i = 0; i < data.size(); ++i) translated[i] = table[data[i]];
        for (int algorithm : {2, 5}) {
            const EVP_MD* md = algorithm == 2 ? EVP_md5() : EVP_sha1();
            EXPECT_EQ(Hash(algorithm, table, data, length), Oracle(md, translated)) << length;
            EXPECT_EQ(Hash(algorithm, table, data, 333), Oracle(md, translated)) << length;
            EXPECT_EQ(Hash(algorithm, identity, data, length), Oracle(md, data)) << length;
            EXPECT_EQ(Hash(algorithm, nullptr, data, 333), Oracle(md, data)) << length;
        }
        // The caller's input is not changed by the translation.
        EXPECT_EQ(data, RandomBytes(length, static_cast<unsigned>(length) + 1));
    }
    // Lengths below 1 add nothing, with or without a table.
    for (unsigned char* t : {static_cast<unsigned char*>(nullptr), table}) {
        KR_HASH hash(2, t);
        unsigned char abc[] = {'a', 'b', 'c'};
        hash.Update(abc, 0);
        hash.Update(abc, -5);
        hash.Final();
        EXPECT_EQ(Hex(hash.GetDigest(), 16), "d41d8cd98f00b204e9800998ecf8427e");
    }
}

TEST(KR_HASH, UnsupportedAlgorithmThrows) {
    for (int algorithm : {0, 1, 3, 4, 6, -2}) {
        try {
            KR_HASH hash(algorithm, nullptr);
            FAIL() << "no exception for " << algorithm;
        } catch (const KRException& e) {
            EXPECT_EQ(e.rc, -1);
            EXPECT_EQ(e.text, "KR_HASH::KR_HASH\nUnsupported hash algorithm");
        }
    }
}

TEST(KR_HASH, UseAfterFinalReportsTheToolkitStatus) {
    KR_HASH hash(5, nullptr);
    hash.Final();
    EXPECT_EQ(Hex(hash.GetDigest(), 20), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    unsigned char octet = 0;
    try {
        hash.Update(&octet, 1);
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, KM_ERROR_NOT_INITIALIZED);
        EXPECT_EQ(e.text, "KR_HASH::Update\nB_DigestUpdate failure");
    }
    try {
        hash.Final();
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, KM_ERROR_NOT_INITIALIZED);
        EXPECT_EQ(e.text, "KR_HASH::Final\nB_DigestFinal failure");
    }
}

TEST(Sha1Functions, LibraryHeaderGivesLibcryptoSha1) {
    // FIPS 180-1 test vector 2, fed in two pieces.
    const std::string message = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    SHA_CTX context;
    ASSERT_EQ(SHA1_Init(&context), 1);
    ASSERT_EQ(SHA1_Update(&context, message.data(), 10), 1);
    ASSERT_EQ(SHA1_Update(&context, message.data() + 10, message.size() - 10), 1);
    unsigned char digest[20];
    ASSERT_EQ(SHA1_Final(digest, &context), 1);
    EXPECT_EQ(Hex(digest, 20), "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
}

}  // namespace
