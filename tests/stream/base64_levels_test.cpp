// The Base64 coders of every instruction-set level this processor allows
// against the baseline ones, and the buffer decoder against a model that
// takes one character at a time. CTest runs this binary again with
// KRTOOLS_CPU=scalar and =avx2, so that the public functions are checked
// on each level too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "krtools/bufenc.h"
#include "platform/cpu.h"
#include "stream/base64/kernels.h"
#include "stream_testutil.h"

namespace {

using krplatform::CpuLevel;
using krtools::base64::Kernels;
using krtools::base64::KernelsFor;
using streamtest::RandomBytes;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::vector<CpuLevel> UsableLevels() {
    std::vector<CpuLevel> levels;
    for (int level = 0; level <= int(krplatform::SimdLevel()); ++level)
        levels.push_back(CpuLevel(level));
    return levels;
}

// Base64 text with noise: line breaks, blanks, pad characters, bytes above
// 127 and other punctuation, each with probability 1/|every|.
std::string Noisy(std::mt19937& rng, const std::string& text, unsigned every) {
    std::string out;
    for (char c : text) {
        out += c;
        if (every != 0 && rng() % every == 0) out += "\r\n =\x80\xFF-*\t"[rng() % 10];
    }
    return out;
}

std::string RandomDigits(std::mt19937& rng, size_t length) {
    std::string text(length, 'A');
    for (char& c : text) c = kAlphabet[rng() % 64];
    return text;
}

TEST(Base64Levels, BlockCodersAgreeWithTheBaselineOnes) {
    const Kernels& base = KernelsFor(CpuLevel::kScalar);
    std::mt19937 rng(31);
    for (CpuLevel level : UsableLevels()) {
        SCOPED_TRACE(krplatform::CpuLevelName(level));
        const Kernels& kernels = KernelsFor(level);
        for (int round = 0; round < 3000; ++round) {
            const size_t groups = rng() % 300;
            const std::string data = RandomBytes(rng, 3 * groups);
            std::string expected(4 * groups + 64, '\0'), actual = expected;
            const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
            ASSERT_EQ(base.encode(bytes, groups, &expected[0]) - &expected[0], long(4 * groups));
            ASSERT_EQ(kernels.encode(bytes, groups, &actual[0]) - &actual[0], long(4 * groups));
            ASSERT_EQ(actual, expected) << groups;

            // A run of digits, maybe spoilt by one other character.
            std::string text = expected.substr(0, 4 * groups + rng() % 4 * (groups != 0));
            if (!text.empty() && rng() % 2 == 0) text[rng() % text.size()] = "\n=\x80*"[rng() % 4];
            const auto* chars = reinterpret_cast<const unsigned char*>(text.data());
            std::vector<unsigned char> want(text.size() + 64, 0xEE), got = want;
            const size_t wantGroups = base.decode(chars, text.size(), want.data());
            ASSERT_EQ(kernels.decode(chars, text.size(), got.data()), wantGroups) << text;
            ASSERT_EQ(got, want) << "wrote other bytes than the baseline decoder";

            const std::string noisy = Noisy(rng, RandomDigits(rng, rng() % 400), 1 + rng() % 8);
            const auto* noise = reinterpret_cast<const unsigned char*>(noisy.data());
            std::vector<unsigned char> wantDigits(noisy.size() + 64), gotDigits(noisy.size() + 64);
            const size_t kept = base.compress(noise, noisy.size(), wantDigits.data());
            ASSERT_EQ(kernels.compress(noise, noisy.size(), gotDigits.data()), kept);
            ASSERT_EQ(std::memcmp(gotDigits.data(), wantDigits.data(), kept), 0) << noisy;
        }
    }
}

// The decoder as a sequence of single characters: what UnfilterData must
// leave in the output and in the context whatever the calls look like.
struct OneAtATime {
    uint32_t buffer = 0;
    int bitCount = 0;
    std::string out;
    void Feed(const std::string& text) {
        for (char c : text) {
            const char* at = std::strchr(kAlphabet, c);
            if (c == '\0' || at == nullptr) continue;
            buffer = (buffer << 6) | uint32_t(at - kAlphabet);
            bitCount += 6;
            if (bitCount >= 8) {
                bitCount -= 8;
                out += char(uint8_t(buffer >> bitCount));
            }
        }
    }
};

TEST(Base64Levels, DecoderMatchesOneCharacterAtATimeInAnyPiecesAndNoise) {
    std::mt19937 rng(32);
    for (int round = 0; round < 300; ++round) {
        const std::string data = RandomBytes(rng, rng() % 6000);
        std::string text = streamtest::OpensslBase64(data);
        const unsigned every = round % 4 == 0 ? 0 : 1 + rng() % 200;
        text = round % 5 == 0 ? streamtest::CrlfLines(text, 76) : Noisy(rng, text, every);
        if (round % 7 == 0) text = RandomBytes(rng, text.size());  // mostly garbage
        FilterContext context;
        FilterInit(&context, KR_FILTER_FORMAT_BASE64);
        OneAtATime model;
        std::string decoded;
        for (size_t at = 0; at < text.size();) {
            const size_t length = std::min<size_t>(text.size() - at, 1 + rng() % 700);
            std::vector<unsigned char> out(length + 1);
            const int n = UnfilterData(text.data() + at, out.data(), int(length), &context);
            decoded.append(reinterpret_cast<const char*>(out.data()), size_t(n));
            model.Feed(text.substr(at, length));
            ASSERT_EQ(decoded, model.out) << round;
            ASSERT_EQ(uint32_t(context.bitBuffer), model.buffer) << round << " at " << at;
            ASSERT_EQ(context.bitCount, model.bitCount) << round;
            at += length;
        }
        if (round % 7 != 0) {
            EXPECT_EQ(decoded, data);
        }
    }
}

}  // namespace
