// Buffer encoders against OpenSSL's Base64, Python's binascii and each other.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "krtools/bufenc.h"
#include "stream_testutil.h"

namespace {

using namespace std::string_literals;
using namespace streamtest;

FilterContext Context(int format) {
    FilterContext context;
    FilterInit(&context, format);
    return context;
}

// Encodes `data` cut at `cuts`, checking each call against its documented room.
std::string EncodeInPieces(const std::string& data, const std::vector<size_t>& cuts, int format) {
    FilterContext context = Context(format);
    std::string text;
    ForEachPiece(data.size(), cuts, [&](size_t at, size_t length) {
        std::vector<char> out(2 * length + 8);
        int n = FilterData(reinterpret_cast<const unsigned char*>(data.data()) + at, out.data(),
                           int(length), &context);
        EXPECT_LE(size_t(n), format == KR_FILTER_FORMAT_HEX ? 2 * length : 4 * (length + 2) / 3);
        text.append(out.data(), size_t(n));
    });
    char tail[4];
    text.append(tail, size_t(FilterFinal(tail, &context)));
    EXPECT_EQ(context.bitCount, 0);
    return text;
}

// Decodes `text` cut at `cuts`; a guard byte after the documented room must stay.
std::string DecodeInPieces(const std::string& text, const std::vector<size_t>& cuts,
                           FilterContext context) {
    std::string data;
    ForEachPiece(text.size(), cuts, [&](size_t at, size_t length) {
        const size_t room = (length * 6 + 7) / 8;
        std::vector<unsigned char> out(room + 1, 0xEE);
        int n = UnfilterData(text.data() + at, out.data(), int(length), &context);
        EXPECT_LE(size_t(n), room);
        EXPECT_EQ(out[room], 0xEE) << "wrote past the documented room";
        data.append(reinterpret_cast<const char*>(out.data()), size_t(n));
    });
    return data;
}

TEST(FilterInit, SetsTheTagAndUnknownFormatsWriteNothing) {
    EXPECT_EQ(std::string(Context(1).format) + std::string(Context(2).format), "R64HDC");
    EXPECT_EQ(std::memcmp(Context(3).format, "\0\0\0", 4), 0);
    EXPECT_EQ(EncodeInPieces("abcd", {1}, 3) + DecodeInPieces("QUJD", {}, Context(3)), "");
}

TEST(FilterData, Base64GroupsAreWrittenWhenCompleteAndMinusOneFinishes) {
    FilterContext context = Context(1);
    char out[16];
    const unsigned char in[] = {'a', 'b', 'c'};
    EXPECT_EQ(FilterData(in, out, 1, &context) + FilterData(in + 1, out, 1, &context), 0);
    EXPECT_EQ(FilterData(in + 2, out, 1, &context), 4);
    EXPECT_EQ(std::string(out, 4), OpensslBase64("abc"));
    EXPECT_EQ(FilterFinal(out, &context) + FilterData(in, out, 1, &context), 0);
    EXPECT_EQ(context.bitCount, 8);
    EXPECT_EQ(FilterData(in, out, -1, &context), 4);
    EXPECT_EQ(std::string(out, 4), OpensslBase64("a"));
    EXPECT_EQ(context.bitCount, 0);
    EXPECT_EQ(FilterData(in, out, 0, &context) + FilterData(in, out, -2, &context), 0);
}

TEST(Base64Buffers, EveryCuttingAndNoiseMatchOpenssl) {
    std::mt19937 rng(7);
    for (size_t length = 0; length <= 12; ++length) {
        std::string data = RandomBytes(rng, length);
        std::string text = OpensslBase64(data);
        for (const auto& cuts : EveryTwoCuts(text.size())) {
            ASSERT_EQ(DecodeInPieces(text, cuts, Context(1)), data) << cuts[0] << "," << cuts[1];
            if (cuts[1] <= length) {
                ASSERT_EQ(EncodeInPieces(data, cuts, 1), text);
            }
        }
    }
    std::string data = RandomBytes(rng, 70000), noisy;
    ASSERT_EQ(EncodeInPieces(data, RandomCuts(rng, data.size(), 2500), 1), OpensslBase64(data));
    for (char c : OpensslBase64(data)) {
        noisy += c;
        if (rng() % 3 == 0) noisy += "\r\n =\x80\xFF-"[rng() % 8];
    }
    FilterContext b64 = Context(0);
    std::memcpy(b64.format, "B64", 4);
    EXPECT_EQ(DecodeInPieces(noisy, RandomCuts(rng, noisy.size(), 2000), Context(1)), data);
    EXPECT_EQ(DecodeInPieces(noisy, {}, b64), data);
}

TEST(Hex, MatchesBinasciiAndDecodingSkipsLowerCase) {
    std::mt19937 rng(3);
    std::string data = RandomBytes(rng, 5000);
    std::string hex = Python("out = binascii.hexlify(data).upper()", data);
    EXPECT_EQ(EncodeInPieces(data, {1, 17, 4000}, 2), hex);
    EXPECT_EQ(DecodeInPieces(hex, {1, 2, 3, 999}, Context(2)), data);
    EXPECT_EQ(DecodeInPieces("00abff", {}, Context(2)), std::string(1, '\0'));
    EXPECT_EQ(DecodeInPieces("0 0\nA-B:F F", {1, 4, 5, 9}, Context(2)), "\x00\xAB\xFF"s);
}

TEST(FilterUnfilter, EncodesInLinesOfSixtyFourAndDecodesBack) {
    std::mt19937 rng(13);
    for (size_t length : {0, 1, 2, 3, 47, 48, 49, 96, 97, 1000}) {
        std::string data = RandomBytes(rng, length);
        std::vector<unsigned char> out(4 * ((length + 2) / 3) + length / 48 + 2, 0xEE);
        int n = FilterUnfilter(reinterpret_cast<const unsigned char*>(data.data()), out.data(),
                               int(length), 1);
        ASSERT_EQ(std::string(out.begin(), out.begin() + n), OpensslBase64Lines(data)) << length;
        std::vector<unsigned char> back(size_t(n) * 3 / 4 + 1);
        int m = FilterUnfilter(out.data(), back.data(), n, 0);
        EXPECT_EQ(std::string(back.begin(), back.begin() + m), data);
    }
    unsigned char out[8] = {};
    EXPECT_EQ(FilterUnfilter(out, out, -5, 1), 0);
    EXPECT_EQ(FilterUnfilter(out, out, -5, 0), 0);
}

}  // namespace
