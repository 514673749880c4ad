// TIPEM-style random objects and certificate sets.
#include <vector>

#include "krmepit/tipem_random.h"
#include "testutil.h"

namespace {

TEST(TipemRandom, CreatedObjectsAreSeededAndIndependent) {
    POINTER first = nullptr;
    POINTER second = nullptr;
    ASSERT_EQ(CreateRandomObject(&first), 0);
    ASSERT_EQ(CreateRandomObject(&second), 0);
    unsigned int needed = 99;
    ASSERT_EQ(GetRandomBytesNeeded(&needed, first, nullptr), 0);
    EXPECT_EQ(needed, 0u);
    std::vector<unsigned char> a(256);
    std::vector<unsigned char> b(256);
    ASSERT_EQ(GenerateBytes(a.data(), 256, first, nullptr), 0);
    ASSERT_EQ(GenerateBytes(b.data(), 256, second, nullptr), 0);
    EXPECT_NE(a, b);
    unsigned char seed[4] = {1, 2, 3, 4};
    EXPECT_EQ(UpdateRandomObject(first, seed, 4, nullptr), 0);
    EXPECT_EQ(UpdateRandomObject(first, nullptr, 4, nullptr), KM_ERROR_INVALID_ARGUMENT);
    DestroyRandomObject(&first);
    DestroyRandomObject(&second);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(GenerateBytes(a.data(), 1, first, nullptr), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(GetRandomBytesNeeded(&needed, nullptr, nullptr), KM_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(CreateRandomObject(nullptr), KM_ERROR_INVALID_ARGUMENT);
    DestroyRandomObject(&first);
}

TEST(TipemSets, CreateAndDestroyThroughTheirAddress) {
    int (*creators[])(POINTER*) = {CreateNewMeSet, CreateNewYouSet, CreateCoSet};
    void (*destroyers[])(POINTER*) = {DestroyMeSet, DestroyYouSet, DestroyCoSet};
    for (int i = 0; i < 3; ++i) {
        POINTER set = nullptr;
        ASSERT_EQ(creators[i](&set), 0);
        EXPECT_NE(set, nullptr);
        destroyers[i](&set);
        EXPECT_EQ(set, nullptr);
        destroyers[i](&set);
        destroyers[i](nullptr);
        EXPECT_EQ(creators[i](nullptr), KM_ERROR_INVALID_ARGUMENT);
    }
}

}  // namespace
