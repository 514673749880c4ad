// Once their buffers have grown to the largest piece, filters allocate nothing
// per call. Global operator new is counted for the whole test binary.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <random>
#include <string>

#include "krtools/stream.h"
#include "stream_testutil.h"

namespace {
size_t allocations = 0;
}  // namespace

void* operator new(size_t size, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new(size_t size) {
    if (void* p = operator new(size, std::nothrow)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return operator new(size, std::nothrow);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

int Discard(const char*, int, unsigned char*, unsigned char*) { return 0; }

TEST(SteadyState, FiltersAllocateNothingPerCall) {
    std::mt19937 rng(73);
    const std::string data = streamtest::RandomBytes(rng, 70000);
    const std::string base64 = streamtest::OpensslBase64(data);
    std::string qp;
    for (unsigned char c : data) qp += c % 3 == 0 ? "=3D" : "a";
    struct {
        KRFilter* filter;
        const std::string& input;
    } cases[] = {{new KRFilterBase64, data},
                 {new KRUnfilterBase64, base64},
                 {new KRFilterQuotedPrintable, data},
                 {new KRUnfilterQuotedPrintable, qp}};
    for (const auto& c : cases) {
        KRFilterContainer chain;
        chain.AddProcess(c.filter);
        chain.SetWriteCallback(Discard);
        const int largest = 65536;
        chain.Update(c.input.data(), largest);  // warm-up: the buffers grow here
        chain.Final();
        chain.ResetFilters();
        const size_t before = allocations;
        for (int stream = 0; stream < 2; ++stream) {
            for (int call = 0; call < 40; ++call) {
                chain.Update(c.input.data() + rng() % 1000, int(rng() % largest));
            }
            chain.Final();
            chain.ResetFilters();
        }
        EXPECT_EQ(allocations - before, 0u) << c.filter->GetDescription();
    }
}

}  // namespace
