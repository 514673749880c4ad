// The owning wrappers over toolkit handles.
#include <utility>

#include "crypto_test_util.h"
#include "krtools/toolkit.h"

namespace {

template <typename... Wrappers>
void ExpectOwnAndMove() {
    auto check = [](auto first) {
        ASSERT_NE(first.handle, nullptr);
        const POINTER held = first.handle;
        decltype(first) second(std::move(first)), third;
        EXPECT_EQ(first.handle, nullptr);
        third = std::move(second);
        EXPECT_EQ(second.handle, nullptr);
        EXPECT_EQ(third.handle, held);
        third.Destroy();
        EXPECT_EQ(third.handle, nullptr);
        third.Destroy();  // harmless on null
        third.Create();
        EXPECT_NE(third.handle, nullptr);
    };
    (check(Wrappers()), ...);
}

template <typename Random>
void ExpectFreshBytes() {
    Random a, b;
    std::vector<unsigned char> first(100, 0), second(100, 0), seed(4, 's');
    a.Generate(first.data(), 100);
    b.Generate(second.data(), 100);
    EXPECT_NE(first, second);  // each generator is seeded by the system
    a.Update(seed.data(), 4);
    a.Generate(second.data(), 100);
    EXPECT_NE(first, second);
    EXPECT_EQ(a.GetBytesNeeded(), 0);
}

TEST(ToolkitWrappers, OwnMoveAndGenerate) {
    ExpectOwnAndMove<BSAFE_B_ALGORITHM_OBJ, BSAFE_B_KEY_OBJ, BSAFE_RANDOM_OBJ, TIPEM_RANDOM_OBJ,
                     TIPEM_ME_SET, TIPEM_YOU_SET, TIPEM_CO_SET>();
    ExpectFreshBytes<BSAFE_RANDOM_OBJ>();
    ExpectFreshBytes<TIPEM_RANDOM_OBJ>();
}

TEST(ToolkitWrappers, FailuresNameTheToolkitCall) {
    BSAFE_RANDOM_OBJ bsafe;
    TIPEM_RANDOM_OBJ tipem;
    unsigned char buffer[4];
    const int rc = KM_ERROR_INVALID_ARGUMENT;
    ctest::ExpectThrow([&] { bsafe.Update(buffer, -1); }, rc, "B_RandomUpdate");
    ctest::ExpectThrow([&] { tipem.Generate(buffer, -1); }, rc, "GenerateBytes");
    bsafe.Destroy();
    tipem.Destroy();
    ctest::ExpectThrow([&] { bsafe.Generate(buffer, 4); }, rc, "B_GenerateRandomBytes");
    ctest::ExpectThrow([&] { tipem.Update(buffer, 4); }, rc, "UpdateRandomObject");
    ctest::ExpectThrow([&] { tipem.GetBytesNeeded(); }, rc, "GetRandomBytesNeeded");
}

}  // namespace
