// The owning wrappers over toolkit handles.
#include <utility>

#include "crypto_test_util.h"
#include "krtools/toolkit.h"

namespace {

template <typename... Wrappers>
void ExpectOwnAndMove() {
    auto check = [](auto first) {
        const POINTER held = first.handle;
        decltype(first) second(std::move(first));
        EXPECT_TRUE(held != nullptr && first.handle == nullptr && second.handle == held);
        second.Destroy();
        second.Destroy();  // harmless on null
        EXPECT_EQ(second.handle, nullptr);
        second.Create();
        EXPECT_NE(second.handle, nullptr);
    };
    (check(Wrappers()), ...);
}

TEST(ToolkitWrappers, OwnMoveGenerateAndNameFailingCalls) {
    ExpectOwnAndMove<BSAFE_B_ALGORITHM_OBJ, BSAFE_B_KEY_OBJ, BSAFE_RANDOM_OBJ, TIPEM_RANDOM_OBJ,
                     TIPEM_ME_SET, TIPEM_YOU_SET, TIPEM_CO_SET>();
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
