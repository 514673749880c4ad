// Trees built and released on different threads, and elements created by
// callers with new and delete.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "asn1_test_util.h"
#include "krtools/asn1.h"
#include "testutil.h"

namespace {

using asn1test::DecodeInto;
using asn1test::Octets;

// Ids and lengths of the tree in pre-order, as one text.
std::string Shape(const KR_ASN1_ELEMENT* e) {
    std::string shape;
    for (; e != nullptr; e = e->sibling) {
        shape += std::to_string(e->id) + ":" + std::to_string(e->length) + "(";
        shape += Shape(e->child) + ")";
    }
    return shape;
}

TEST(Asn1Threads, TreesMoveBetweenThreadsIntact) {
    const auto octets = Octets("30 0C 31 04 02 02 01 00 30 80 05 00 00 00 04 00");
    KR_ASN1_STRUCTURE reference;
    ASSERT_EQ(DecodeInto(reference, octets).text, "");
    const std::string expected = Shape(reference.root);

    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    std::vector<std::vector<KR_ASN1_STRUCTURE>> built(kThreads);
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                built[t].emplace_back();
                DecodeInto(built[t].back(), octets);
                if (i % 3 == 0) built[t].pop_back();  // released on this thread
            }
        });
    }
    for (auto& worker : workers) worker.join();

    // Released here, on another thread than the one that built them, while
    // new trees are built from the blocks they free.
    for (auto& trees : built) {
        for (auto& tree : trees) {
            ASSERT_EQ(Shape(tree.root), expected);
            tree = KR_ASN1_STRUCTURE();
            KR_ASN1_STRUCTURE fresh;
            ASSERT_EQ(DecodeInto(fresh, octets).text, "");
            ASSERT_EQ(Shape(fresh.root), expected);
        }
    }
}

TEST(Asn1Threads, CallerCreatedElementsUseNewAndDelete) {
    auto octets = Octets("04 02 AB CD");
    auto* element = new KR_ASN1_ELEMENT(nullptr, octets.data(), static_cast<int>(octets.size()));
    EXPECT_EQ(element->Decode(), octets.data() + 4);
    EXPECT_STREQ(element->Hex2Char(), "ABCD");
    delete element;

    std::vector<KR_ASN1_ELEMENT*> many;
    for (int i = 0; i < 10000; ++i) many.push_back(new KR_ASN1_ELEMENT(nullptr, nullptr, i));
    for (int i = 0; i < 10000; ++i) EXPECT_EQ(many[i]->available, i);
    for (auto* e : many) delete e;
}

}  // namespace
