// Digest, algorithm-info and random calls of toolkit algorithm objects. The
// digests themselves are checked against libcrypto through KR_HASH.
#include <vector>

#include "krmepit/bsafe.h"
#include "testutil.h"

namespace {

class Algorithm {
public:
    Algorithm() { EXPECT_EQ(B_CreateAlgorithmObject(&handle), 0); }
    ~Algorithm() { B_DestroyAlgorithmObject(&handle); }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    B_ALGORITHM_OBJ handle = nullptr;
};

TEST(BsafeDigest, CallsOutOfOrderAreRefused) {
    Algorithm algorithm;
    unsigned char digest[20];
    unsigned int length = 0;
    B_ALGORITHM_OBJ a = algorithm.handle;
    EXPECT_EQ(B_DigestInit(a, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr), KM_ERROR_NOT_INITIALIZED);
    ASSERT_EQ(B_SetAlgorithmInfo(a, AI_SHA1, nullptr), 0);
    EXPECT_EQ(B_DigestUpdate(a, digest, 1, nullptr), KM_ERROR_NOT_INITIALIZED);
    EXPECT_EQ(B_DigestInit(a, nullptr, nullptr, nullptr), KM_ERROR_INVALID_ARGUMENT);
    ASSERT_EQ(B_DigestInit(a, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
    EXPECT_EQ(B_DigestUpdate(a, nullptr, 1, nullptr), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(B_DigestUpdate(a, nullptr, 0, nullptr), 0);
    EXPECT_EQ(B_DigestFinal(a, digest, &length, 19, nullptr), KM_ERROR_OUTPUT_TOO_SMALL);
    EXPECT_EQ(B_DigestFinal(a, digest, &length, 20, nullptr), 0);
    EXPECT_EQ(length, 20u);
    EXPECT_EQ(B_DigestFinal(a, digest, &length, 20, nullptr), KM_ERROR_NOT_INITIALIZED);
    // A new init starts a new digest on the same object.
    EXPECT_EQ(B_DigestInit(a, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
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
    EXPECT_EQ(B_CreateAlgorithmObject(nullptr), KM_ERROR_INVALID_ARGUMENT);
}

TEST(BsafeRandom, FillsExactlyWhatIsAskedWithSpreadOctets) {
    Algorithm random;
    unsigned char octets[8];
    ASSERT_EQ(B_SetAlgorithmInfo(random.handle, AI_MD5Random, nullptr), 0);
    EXPECT_EQ(B_GenerateRandomBytes(random.handle, octets, 8, nullptr), KM_ERROR_NOT_INITIALIZED);
    ASSERT_EQ(B_RandomInit(random.handle, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
    for (unsigned int length : {1u, 15u, 16u, 17u, 40u}) {
        std::vector<unsigned char> out(length + 8, 0xA5);
        ASSERT_EQ(B_GenerateRandomBytes(random.handle, out.data(), length, nullptr), 0);
        EXPECT_EQ(std::vector<unsigned char>(out.begin() + length, out.end()),
                  std::vector<unsigned char>(8, 0xA5));
    }
    std::vector<unsigned char> block(65536);
    ASSERT_EQ(B_GenerateRandomBytes(random.handle, block.data(), 65536, nullptr), 0);
    std::vector<int> counts(256);
    for (unsigned char octet : block) ++counts[octet];
    for (int count : counts) {
        EXPECT_GT(count, 150);  // 256 expected; 150 is more than 6 deviations off
        EXPECT_LT(count, 370);
    }
}

}  // namespace
