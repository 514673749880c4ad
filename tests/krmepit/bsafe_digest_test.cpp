// Digests and algorithm info of toolkit algorithm objects, against libcrypto.
#include <openssl/evp.h>

#include <random>
#include <vector>

#include "krmepit/bsafe.h"
#include "testutil.h"

namespace {

using Bytes = std::vector<unsigned char>;

class Algorithm {
public:
    Algorithm() { EXPECT_EQ(B_CreateAlgorithmObject(&handle), 0); }
    ~Algorithm() { B_DestroyAlgorithmObject(&handle); }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    B_ALGORITHM_OBJ handle = nullptr;
};

Bytes Oracle(const EVP_MD* md, const Bytes& data) {
    Bytes digest(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    EXPECT_EQ(EVP_Digest(data.data(), data.size(), digest.data(), &length, md, nullptr), 1);
    digest.resize(length);
    return digest;
}

Bytes Digest(B_ALGORITHM_OBJ handle, const Bytes& data, size_t piece) {
    EXPECT_EQ(B_DigestInit(handle, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
    for (size_t offset = 0; offset < data.size(); offset += piece) {
        EXPECT_EQ(B_DigestUpdate(handle, data.data() + offset,
                                 static_cast<unsigned int>(std::min(piece, data.size() - offset)),
                                 nullptr),
                  0);
    }
    Bytes digest(32);
    unsigned int length = 0;
    EXPECT_EQ(B_DigestFinal(handle, digest.data(), &length, 32, nullptr), 0);
    digest.resize(length);
    return digest;
}

TEST(BsafeDigest, AgreesWithLibcryptoAndCanBeRestarted) {
    std::mt19937 random(3);
    for (B_INFO_TYPE type : {AI_MD5, AI_SHA1}) {
        const EVP_MD* md = type == AI_MD5 ? EVP_md5() : EVP_sha1();
        Algorithm algorithm;
        ASSERT_EQ(B_SetAlgorithmInfo(algorithm.handle, type, nullptr), 0);
        for (size_t length : {0, 1, 63, 64, 65, 1000, 5000}) {
            Bytes data(length);
            for (auto& octet : data) octet = static_cast<unsigned char>(random());
            // The same object serves one digest after another.
            EXPECT_EQ(Digest(algorithm.handle, data, 13), Oracle(md, data)) << length;
            EXPECT_EQ(Digest(algorithm.handle, data, 100000), Oracle(md, data)) << length;
        }
    }
}

TEST(BsafeDigest, CallsOutOfOrderAreRefused) {
    Algorithm algorithm;
    unsigned char digest[20];
    unsigned int length = 0;
    EXPECT_EQ(B_DigestInit(algorithm.handle, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr),
              KM_ERROR_NOT_INITIALIZED);
    ASSERT_EQ(B_SetAlgorithmInfo(algorithm.handle, AI_SHA1, nullptr), 0);
    EXPECT_EQ(B_DigestUpdate(algorithm.handle, digest, 1, nullptr), KM_ERROR_NOT_INITIALIZED);
    EXPECT_EQ(B_DigestInit(algorithm.handle, nullptr, nullptr, nullptr), KM_ERROR_INVALID_ARGUMENT);
    ASSERT_EQ(B_DigestInit(algorithm.handle, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
    EXPECT_EQ(B_DigestUpdate(algorithm.handle, nullptr, 1, nullptr), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(B_DigestUpdate(algorithm.handle, nullptr, 0, nullptr), 0);
    EXPECT_EQ(B_DigestFinal(algorithm.handle, digest, &length, 19, nullptr),
              KM_ERROR_OUTPUT_TOO_SMALL);
    EXPECT_EQ(B_DigestFinal(algorithm.handle, digest, &length, 20, nullptr), 0);
    EXPECT_EQ(B_DigestFinal(algorithm.handle, digest, &length, 20, nullptr),
              KM_ERROR_NOT_INITIALIZED);
    EXPECT_EQ(B_DigestUpdate(nullptr, digest, 1, nullptr), KM_ERROR_INVALID_ARGUMENT);
}

TEST(BsafeAlgorithm, InfoDescribesOnlyTheAlgorithmHeld) {
    Algorithm algorithm;
    POINTER info = &info;
    EXPECT_EQ(B_GetAlgorithmInfo(&info, algorithm.handle, AI_MD5), KM_ERROR_INVALID_ARGUMENT);
    ASSERT_EQ(B_SetAlgorithmInfo(algorithm.handle, AI_MD5, nullptr), 0);
    EXPECT_EQ(B_GetAlgorithmInfo(&info, algorithm.handle, AI_MD5), 0);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(B_GetAlgorithmInfo(&info, algorithm.handle, AI_SHA1), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(B_GetAlgorithmInfo(&info, algorithm.handle, AI_MD5WithDES_CBCPadBER),
              KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(B_SetAlgorithmInfo(algorithm.handle, static_cast<B_INFO_TYPE>(99), nullptr),
              KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(B_SetAlgorithmInfo(nullptr, AI_MD5, nullptr), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(B_CreateAlgorithmObject(nullptr), KM_ERROR_INVALID_ARGUMENT);
    B_DestroyAlgorithmObject(nullptr);
}

TEST(BsafeRandom, GeneratesFullyAndDiffersBetweenObjects) {
    Algorithm first;
    Algorithm second;
    unsigned char octets[64];
    EXPECT_EQ(B_GenerateRandomBytes(first.handle, octets, 8, nullptr), KM_ERROR_NOT_INITIALIZED);
    for (Algorithm* algorithm : {&first, &second}) {
        ASSERT_EQ(B_SetAlgorithmInfo(algorithm->handle, AI_MD5Random, nullptr), 0);
        EXPECT_EQ(B_RandomUpdate(algorithm->handle, octets, 8, nullptr), KM_ERROR_NOT_INITIALIZED);
        ASSERT_EQ(B_RandomInit(algorithm->handle, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
    }
    // Every length is filled exactly, and no octet past it is written.
    for (unsigned int length : {1u, 15u, 16u, 17u, 40u}) {
        std::vector<unsigned char> out(length + 8, 0xA5);
        ASSERT_EQ(B_GenerateRandomBytes(first.handle, out.data(), length, nullptr), 0);
        EXPECT_EQ(std::vector<unsigned char>(out.begin() + length, out.end()),
                  std::vector<unsigned char>(8, 0xA5));
    }
    std::vector<unsigned char> a(65536);
    std::vector<unsigned char> b(65536);
    ASSERT_EQ(B_GenerateRandomBytes(first.handle, a.data(), 65536, nullptr), 0);
    ASSERT_EQ(B_GenerateRandomBytes(second.handle, b.data(), 65536, nullptr), 0);
    EXPECT_NE(a, b);
    std::vector<int> counts(256);
    for (unsigned char octet : a) ++counts[octet];
    for (int count : counts) {
        EXPECT_GT(count, 150);  // 256 expected; 150 is more than 6 deviations off
        EXPECT_LT(count, 370);
    }
    unsigned char seed[] = "more entropy";
    ASSERT_EQ(B_RandomUpdate(first.handle, seed, sizeof seed, nullptr), 0);
    ASSERT_EQ(B_GenerateRandomBytes(first.handle, b.data(), 65536, nullptr), 0);
    EXPECT_NE(a, b);
}

}  // namespace
