// Filters reuse their buffers: once they have grown to the largest piece, a
// stream allocates nothing per call. Global operator new is counted for the
// whole test binary; only the measured stretches look at the count.
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

// Allocations made by feeding two streams of varied pieces (no piece larger
// than the warm-up's) through a chain holding |filter|.
size_t SteadyStateAllocations(KRFilter* filter, const std::string& input) {
    KRFilterContainer chain;
    chain.AddProcess(filter);
    chain.SetWriteCallback(Discard);
    const int largest = 65536;
    chain.Update(input.data(), largest);  // warm-up: buffers grow here
    chain.Final();
    chain.ResetFilters();
    std::mt19937 rng(71);
    const size_t before = allocations;
    for (int stream = 0; stream < 2; ++stream) {
        for (int call = 0; call < 40; ++call) {
            chain.Update(input.data() + rng() % 1000, int(rng() % largest));
        }
        chain.Final();
        chain.ResetFilters();
    }
    return allocations - before;
}

TEST(SteadyState, FiltersAllocateNothingPerCall) {
    std::mt19937 rng(73);
    const std::string data = streamtest::RandomBytes(rng, 70000);
    const std::string base64 = streamtest::OpensslBase64(data);
    std::string qp;
    for (unsigned char c : data) qp += c % 3 == 0 ? std::string("=3D") : std::string(1, 'a');

    EXPECT_EQ(SteadyStateAllocations(new KRFilterBase64, data), 0u);
    EXPECT_EQ(SteadyStateAllocations(new KRUnfilterBase64, base64), 0u);
    EXPECT_EQ(SteadyStateAllocations(new KRFilterQuotedPrintable, data), 0u);
    EXPECT_EQ(SteadyStateAllocations(new KRUnfilterQuotedPrintable, qp), 0u);
}

}  // namespace
