// The owning wrappers over toolkit handles.
#include <functional>
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

template <typename Random>
void ExpectGeneratesFreshBytes() {
    Random a;
    Random b;
    std::vector<unsigned char> first(100, 0);
    std::vector<unsigned char> second(100, 0);
    a.Generate(first.data(), 100);
    b.Generate(second.data(), 100);
    EXPECT_NE(first, second);  // each generator is seeded by the system
    unsigned char seed[] = "seed";
    a.Update(seed, 4);
    a.Generate(second.data(), 100);
    EXPECT_NE(first, second);
    EXPECT_EQ(a.GetBytesNeeded(), 0);
}

TEST(ToolkitWrappers, RandomObjectsGenerateFreshBytes) {
    ExpectGeneratesFreshBytes<BSAFE_RANDOM_OBJ>();
    ExpectGeneratesFreshBytes<TIPEM_RANDOM_OBJ>();
}

void ExpectToolkitError(const std::function<void()>& body, const char* function) {
    try {
        body();
        ADD_FAILURE() << "no exception from " << function;
    } catch (const KRException& e) {
        EXPECT_EQ(e.rc, KM_ERROR_INVALID_ARGUMENT);
        EXPECT_EQ(e.text, function);
    }
}

TEST(ToolkitWrappers, FailuresNameTheToolkitCall) {
    BSAFE_RANDOM_OBJ bsafe;
    TIPEM_RANDOM_OBJ tipem;
    unsigned char buffer[4];
    ExpectToolkitError([&] { bsafe.Update(buffer, -1); }, "B_RandomUpdate");
    ExpectToolkitError([&] { tipem.Generate(buffer, -1); }, "GenerateBytes");
    bsafe.Destroy();
    tipem.Destroy();
    ExpectToolkitError([&] { bsafe.Generate(buffer, 4); }, "B_GenerateRandomBytes");
    ExpectToolkitError([&] { tipem.Update(buffer, 4); }, "UpdateRandomObject");
    ExpectToolkitError([&] { tipem.GetBytesNeeded(); }, "GetRandomBytesNeeded");
}

}  // namespace
