// Very deep and very long trees: decoding, printing and release must not
// depend on the stack, and hostile lengths must not reach outside the input.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "asn1_test_util.h"
#include "krtools/asn1.h"
#include "testutil.h"

namespace {

using asn1test::DecodeInto;

// Appends the definite length octets of |length| in reverse order.
void AppendLengthReversed(std::vector<unsigned char>& reversed, size_t length) {
    if (length < 0x80) {
        reversed.push_back(static_cast<unsigned char>(length));
        return;
    }
    unsigned char count = 0;
    for (size_t rest = length; rest != 0; rest >>= 8, ++count) {
        reversed.push_back(static_cast<unsigned char>(rest & 0xFF));
    }
    reversed.push_back(static_cast<unsigned char>(0x80 | count));
}

// |depth| SEQUENCEs of definite length nested around one NULL.
std::vector<unsigned char> DefiniteNest(size_t depth) {
    std::vector<unsigned char> reversed = {0x00, 0x05};
    for (size_t i = 0; i < depth; ++i) {
        AppendLengthReversed(reversed, reversed.size());
        reversed.push_back(0x30);
    }
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

// |depth| indefinite SEQUENCEs nested around one NULL.
std::vector<unsigned char> IndefiniteNest(size_t depth) {
    std::vector<unsigned char> octets;
    octets.reserve(depth * 4 + 2);
    for (size_t i = 0; i < depth; ++i) octets.insert(octets.end(), {0x30, 0x80});
    octets.insert(octets.end(), {0x05, 0x00});
    octets.resize(octets.size() + depth * 2, 0x00);
    return octets;
}

// Levels down the first-child links, as far as each child links back.
size_t CheckedDepth(const KR_ASN1_ELEMENT* element) {
    size_t depth = 0;
    for (; element->child != nullptr && element->child->parent == element; ++depth) {
        element = element->child;
    }
    return element->tagNumber == 5 ? depth : 0;
}

// Runs |body| on a thread whose stack is only |stackBytes| large.
void RunWithSmallStack(size_t stackBytes, const std::function<void()>& body) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, stackBytes), 0);
    pthread_t thread;
    auto trampoline = [](void* argument) -> void* {
        (*static_cast<const std::function<void()>*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(
        pthread_create(&thread, &attributes, trampoline, const_cast<std::function<void()>*>(&body)),
        0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST(Asn1Depth, MillionLevelsDecodeAndRelease) {
    const size_t depth = 1000000;
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, DefiniteNest(depth)).text, "");
    EXPECT_EQ(CheckedDepth(s.root), depth);
    ASSERT_EQ(DecodeInto(s, IndefiniteNest(depth)).text, "");
    EXPECT_EQ(CheckedDepth(s.root), depth);
    EXPECT_EQ(s.root->length, static_cast<int32_t>(depth * 4 - 2));
}

TEST(Asn1Depth, MillionSiblingsDecodePrintAndRelease) {
    const size_t count = 1000000;
    std::vector<unsigned char> octets;
    for (size_t i = 0; i < count; ++i) octets.insert(octets.end(), {0x05, 0x00});
    KR_ASN1_STRUCTURE s;
    ASSERT_EQ(DecodeInto(s, octets).text, "");
    size_t seen = 0;
    for (const KR_ASN1_ELEMENT* e = s.root; e != nullptr; e = e->sibling) ++seen;
    EXPECT_EQ(seen, count);

    const std::string dump = testutil::CaptureStdout([&] { s.Print(); });
    EXPECT_EQ(dump.size(), count * 21);
    EXPECT_EQ(dump.substr(0, 21), "05 0000       | NULL\n");
}

// A recursive walk over 5000 levels needs far more than 64 KiB of stack.
TEST(Asn1Depth, DeepTreeIsHandledOnSmallStack) {
    const size_t depth = 5000;
    const std::vector<unsigned char> octets = IndefiniteNest(depth);
    std::string error = "not run";
    size_t lines = 0;
    size_t lastIndent = 0;
    RunWithSmallStack(64 * 1024, [&] {
        KR_ASN1_STRUCTURE s;
        error = DecodeInto(s, octets).text;
        if (!error.empty()) return;
        FILE* sink = std::tmpfile();
        if (sink == nullptr) return;
        std::fflush(stdout);
        FILE* saved = stdout;
        stdout = sink;
        s.Print();
        std::fflush(sink);
        stdout = saved;
        std::rewind(sink);
        std::vector<char> line(depth * 2 + 64);
        while (std::fgets(line.data(), static_cast<int>(line.size()), sink) != nullptr) {
            ++lines;
            lastIndent = std::string(line.data()).find_first_not_of(' ', 16) - 16;
        }
        std::fclose(sink);
    });
    EXPECT_EQ(error, "");
    EXPECT_EQ(lines, depth + 1);
    EXPECT_EQ(lastIndent, depth * 2);
}

}  // namespace
