// Buffer encoders: FilterInit/FilterData/FilterFinal/UnfilterData and
// FilterUnfilter, checked against OpenSSL's Base64 encoder and each other.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "krtools/bufenc.h"
#include "stream_testutil.h"

namespace {

using streamtest::OpensslBase64;
using streamtest::Python;
using streamtest::RandomBytes;

std::string EncodeInPieces(const std::string& data, const std::vector<size_t>& cuts, int format) {
    FilterContext context;
    FilterInit(&context, format);
    std::string text;
    size_t start = 0;
    auto feed = [&](size_t end) {
        std::vector<char> out(2 * (end - start) + 8);
        int n = FilterData(reinterpret_cast<const unsigned char*>(data.data()) + start, out.data(),
                           int(end - start), &context);
        EXPECT_GE(n, 0);
        EXPECT_LE(size_t(n),
                  format == KR_FILTER_FORMAT_HEX ? 2 * (end - start) : 4 * (end - start + 2) / 3);
        text.append(out.data(), size_t(n));
        start = end;
    };
    for (size_t cut : cuts) feed(cut);
    feed(data.size());
    char tail[4];
    int n = FilterFinal(tail, &context);
    text.append(tail, size_t(n));
    EXPECT_EQ(context.bitCount, 0);
    return text;
}

std::string DecodeInPieces(const std::string& text, const std::vector<size_t>& cuts,
                           FilterContext context) {
    std::string data;
    size_t start = 0;
    auto feed = [&](size_t end) {
        int length = int(end - start);
        std::vector<unsigned char> out(size_t(length * 6 + 7) / 8 + 1, 0xEE);
        int n = UnfilterData(text.data() + start, out.data(), length, &context);
        EXPECT_LE(n, (length * 6 + 7) / 8);
        EXPECT_EQ(out[size_t(length * 6 + 7) / 8], 0xEE) << "wrote past the documented room";
        data.append(reinterpret_cast<const char*>(out.data()), size_t(n));
        start = end;
    };
    for (size_t cut : cuts) feed(cut);
    feed(text.size());
    return data;
}

FilterContext Context(int format) {
    FilterContext context;
    FilterInit(&context, format);
    return context;
}

TEST(FilterInit, SetsTheTagAndUnknownFormatsWriteNothing) {
    FilterContext context;
    std::memset(&context, 0x5A, sizeof context);
    EXPECT_EQ(FilterInit(&context, 1), 0);
    EXPECT_EQ(context.bitBuffer, 0);
    EXPECT_EQ(context.bitCount, 0);
    EXPECT_EQ(std::memcmp(context.format, "R64", 4), 0);
    FilterInit(&context, 2);
    EXPECT_EQ(std::memcmp(context.format, "HDC", 4), 0);
    FilterInit(&context, 3);
    EXPECT_EQ(std::memcmp(context.format, "\0\0\0\0", 4), 0);
    char out[16] = {};
    const unsigned char in[] = {1, 2, 3, 4};
    EXPECT_EQ(FilterData(in, out, 4, &context), 0);
    EXPECT_EQ(FilterFinal(out, &context), 0);
    EXPECT_EQ(UnfilterData("QUJD", reinterpret_cast<unsigned char*>(out), 4, &context), 0);
    EXPECT_EQ(out[0], 0);
}

TEST(FilterData, Base64GroupsAreWrittenWhenComplete) {
    FilterContext context = Context(1);
    char out[16];
    const unsigned char in[] = {'a', 'b', 'c'};
    EXPECT_EQ(FilterData(in, out, 1, &context), 0);
    EXPECT_EQ(FilterData(in + 1, out, 1, &context), 0);
    EXPECT_EQ(FilterData(in + 2, out, 1, &context), 4);
    EXPECT_EQ(std::string(out, 4), OpensslBase64("abc"));
    EXPECT_EQ(FilterFinal(out, &context), 0);

    EXPECT_EQ(FilterData(in, out, 1, &context), 0);
    EXPECT_EQ(context.bitCount, 8);
    EXPECT_EQ(FilterData(in, out, -1, &context), 4);
    EXPECT_EQ(std::string(out, 4), "YQ==");
    EXPECT_EQ(context.bitCount, 0);
    EXPECT_EQ(FilterData(in, out, 0, &context), 0);
    EXPECT_EQ(FilterData(in, out, -2, &context), 0);
}

TEST(FilterData, Base64MatchesOpensslForEveryCutting) {
    std::mt19937 rng(7);
    for (size_t length = 0; length <= 12; ++length) {
        std::string data = RandomBytes(rng, length);
        std::string expected = OpensslBase64(data);
        for (size_t a = 0; a <= length; ++a) {
            for (size_t b = a; b <= length; ++b) {
                ASSERT_EQ(EncodeInPieces(data, {a, b}, 1), expected) << length << ":" << a << b;
            }
        }
    }
    for (int round = 0; round < 10; ++round) {
        std::string data = RandomBytes(rng, 1000 + rng() % 70000);
        ASSERT_EQ(EncodeInPieces(data, streamtest::RandomCuts(rng, data.size(), 2500), 1),
                  OpensslBase64(data));
    }
}

TEST(FilterData, HexRoundTripsAndDecodingSkipsLowerCase) {
    FilterContext context = Context(2);
    const unsigned char in[] = {0x00, 0xAB, 0xFF};
    char out[6];
    EXPECT_EQ(FilterData(in, out, 3, &context), 6);
    EXPECT_EQ(std::string(out, 6), "00ABFF");
    EXPECT_EQ(FilterFinal(out, &context), 0);

    std::mt19937 rng(3);
    std::string data = RandomBytes(rng, 5000);
    std::string hex = Python("out = binascii.hexlify(data).upper()", data);
    EXPECT_EQ(EncodeInPieces(data, {1, 17, 4000}, 2), hex);
    EXPECT_EQ(DecodeInPieces(hex, {1, 2, 3, 999}, Context(2)), data);

    EXPECT_EQ(DecodeInPieces("00abff", {}, Context(2)), std::string(1, '\0'));
    EXPECT_EQ(DecodeInPieces("0 0\nA-B:F F", {1, 4, 5, 9}, Context(2)),
              std::string("\x00\xAB\xFF", 3));
}

TEST(UnfilterData, Base64EverySplitGivesTheSameBytes) {
    std::mt19937 rng(5);
    for (size_t length = 0; length <= 10; ++length) {
        std::string data = RandomBytes(rng, length);
        std::string text = OpensslBase64(data);
        for (size_t a = 0; a <= text.size(); ++a) {
            for (size_t b = a; b <= text.size(); ++b) {
                ASSERT_EQ(DecodeInPieces(text, {a, b}, Context(1)), data);
            }
        }
    }
}

TEST(UnfilterData, Base64SkipsEverythingOutsideTheAlphabet) {
    std::mt19937 rng(9);
    std::string data = RandomBytes(rng, 3000);
    std::string text = OpensslBase64(data);
    std::string noisy;
    for (char c : text) {
        noisy += c;
        if (rng() % 3 == 0) noisy += "\r\n =\x80\xFF-"[rng() % 8];
    }
    FilterContext b64 = Context(0);
    std::memcpy(b64.format, "B64", 4);
    EXPECT_EQ(DecodeInPieces(noisy, {7, 100, 101, 2000}, Context(1)), data);
    EXPECT_EQ(DecodeInPieces(noisy, {}, b64), data);
}

TEST(FilterUnfilter, EncodesInLinesOfSixtyFour) {
    std::mt19937 rng(13);
    for (size_t length : {0, 1, 2, 3, 47, 48, 49, 96, 97, 1000}) {
        std::string data = RandomBytes(rng, length);
        std::vector<unsigned char> out(4 * ((length + 2) / 3) + length / 48 + 2, 0xEE);
        int n = FilterUnfilter(reinterpret_cast<const unsigned char*>(data.data()), out.data(),
                               int(length), 1);
        std::string base64 = OpensslBase64(data);
        std::string lined;
        for (size_t at = 0; at < base64.size(); at += 64) lined += base64.substr(at, 64) + "\n";
        ASSERT_EQ(std::string(out.begin(), out.begin() + n), lined) << length;

        std::vector<unsigned char> back(size_t(n) * 3 / 4 + 1);
        int m = FilterUnfilter(out.data(), back.data(), n, 0);
        EXPECT_EQ(std::string(back.begin(), back.begin() + m), data);
    }
    unsigned char out[8] = {};
    EXPECT_EQ(FilterUnfilter(out, out, -5, 1), 0);
    EXPECT_EQ(FilterUnfilter(out, out, -5, 0), 0);
}

}  // namespace
