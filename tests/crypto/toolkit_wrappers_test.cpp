// The owning wrappers over toolkit handles.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "krtools/toolkit.h"
#include "testutil.h"

namespace {

template <typename Wrapper>
void ExpectOwnsAndMoves() {
    Wrapper first;
    ASSERT_NE(first.handle, nullptr);
    POINTER held = first.handle;

    Wrapper second(std::move(first));
    EXPECT_EQ(first.handle, nullptr);
    EXPECT_EQ(second.handle, held);

    Wrapper third;
    third = std::move(second);
    EXPECT_EQ(second.handle, nullptr);
    EXPECT_EQ(third.handle, held);

    third.Destroy();
    EXPECT_EQ(third.handle, nullptr);
    third.Destroy();  // harmless on null
    third.Create();
    EXPECT_NE(third.handle, nullptr);
}

TEST(ToolkitWrappers, EachOwnsItsHandleAndMovesIt) {
    ExpectOwnsAndMoves<BSAFE_B_ALGORITHM_OBJ>();
    ExpectOwnsAndMoves<BSAFE_B_KEY_OBJ>();
    ExpectOwnsAndMoves<BSAFE_RANDOM_OBJ>();
    ExpectOwnsAndMoves<TIPEM_RANDOM_OBJ>();
    ExpectOwnsAndMoves<TIPEM_ME_SET>();
    ExpectOwnsAndMoves<TIPEM_YOU_SET>();
    ExpectOwnsAndMoves<TIPEM_CO_SET>();
}

TEST(ToolkitWrappers, AreNotCopyable) {
    EXPECT_FALSE(std::is_copy_constructible<BSAFE_B_ALGORITHM_OBJ>::value);
    EXPECT_FALSE(std::is_copy_assignable<BSAFE_B_KEY_OBJ>::value);
    EXPECT_FALSE(std::is_copy_assignable<TIPEM_CO_SET>::value);
}

template <typename Random>
void ExpectGeneratesFreshBytes() {
    Random a;
    Random b;
    std::vector<unsigned char> first(100, 0);
    std::vector<unsigned char> second(100, 0);
    a.Generate(first.data(), 100);
    b.Generate(second.data(), 100);
    EXPECT_NE(first, second);  // two generators seeded from the system
    std::vector<unsigned char> third(100, 0);
    a.Generate(third.data(), 100);
    EXPECT_NE(first, third);  // the stream moves on
    unsigned char seed[] = "seed";
    a.Update(seed, 4);
    a.Generate(third.data(), 0);
    EXPECT_EQ(a.GetBytesNeeded(), 0);
}

TEST(ToolkitWrappers, RandomObjectsGenerateFreshBytes) {
    ExpectGeneratesFreshBytes<BSAFE_RANDOM_OBJ>();
    ExpectGeneratesFreshBytes<TIPEM_RANDOM_OBJ>();
}

TEST(ToolkitWrappers, RandomFailuresNameTheToolkitCall) {
    BSAFE_RANDOM_OBJ random;
    unsigned char buffer[4];
    try {
        random.Update(buffer, -1);
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, KM_ERROR_INVALID_ARGUMENT);
        EXPECT_EQ(e.text, "B_RandomUpdate");
    }
    random.Destroy();
    try {
        random.Generate(buffer, 4);
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, KM_ERROR_INVALID_ARGUMENT);
        EXPECT_EQ(e.text, "B_GenerateRandomBytes");
    }
    TIPEM_RANDOM_OBJ tipem;
    tipem.Destroy();
    try {
        tipem.GetBytesNeeded();
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, KM_ERROR_INVALID_ARGUMENT);
        EXPECT_EQ(e.text, "GetRandomBytesNeeded");
    }
    try {
        tipem.Generate(buffer, 4);
        FAIL() << "no exception";
    } catch (const KRException& e) {
        EXPECT_EQ(e.text, "GenerateBytes");
    }
}

TEST(ToolkitWrappers, AlgorithmObjectDigestsThroughTheToolkit) {
    BSAFE_B_ALGORITHM_OBJ digester;
    ASSERT_EQ(B_SetAlgorithmInfo(digester.handle, AI_MD5, nullptr), 0);
    ASSERT_EQ(B_DigestInit(digester.handle, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr), 0);
    const unsigned char abc[] = {'a', 'b', 'c'};
    ASSERT_EQ(B_DigestUpdate(digester.handle, abc, 3, nullptr), 0);
    unsigned char digest[16];
    unsigned int length = 0;
    EXPECT_EQ(B_DigestFinal(digester.handle, digest, &length, 15, nullptr),
              KM_ERROR_OUTPUT_TOO_SMALL);
    ASSERT_EQ(B_DigestFinal(digester.handle, digest, &length, 16, nullptr), 0);
    EXPECT_EQ(length, 16u);
    const unsigned char expected[] = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                                      0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
    EXPECT_EQ(std::memcmp(digest, expected, 16), 0);
}

}  // namespace
