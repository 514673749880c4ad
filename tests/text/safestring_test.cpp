// SafeString and FilteredString.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "../stream/stream_testutil.h"
#include "krtools/safestring.h"

namespace {

const char* const kNullText = nullptr;
char* const kNullMutable = nullptr;

TEST(SafeString, NullPointersAreEmptyTextAndNulBytesStay) {
    SafeString fromNull(kNullText), text("abc"), bytes(std::string("a\0b", 3));
    EXPECT_EQ(fromNull.size(), 0u);
    ASSERT_NE(fromNull.c_str(), nullptr);
    EXPECT_STREQ(fromNull.c_str(), "");
    EXPECT_STREQ(static_cast<const char*>(SafeString(kNullMutable)), "");
    text += kNullText;
    text += kNullMutable;
    EXPECT_EQ((text + kNullText).stl_str() + (kNullText + text).stl_str() +
                  (kNullMutable + text).stl_str(),
              "abcabcabc");
    EXPECT_EQ(bytes.stl_str() + bytes.c_str()[3], std::string("a\0b\0", 4));
    EXPECT_EQ(bytes.size(), 3u);
}

TEST(SafeString, AppendAndConcatenateEveryKindOfText) {
    std::string mutableText = "s";
    const std::string constText = "S";
    char mutableChars[] = "c";
    SafeString value("v"), other("o");
    const SafeString constOther("O"), base("b");
    ((((value += other) += constOther) += mutableChars) += "C") += mutableText;
    value += constText;
    EXPECT_EQ(value.stl_str(), "voOcCsS");
    EXPECT_EQ((base + other + constOther + mutableChars + "C" + mutableText + constText).stl_str(),
              "boOcCsS");
    EXPECT_EQ(base.stl_str(), "b");
    EXPECT_EQ((mutableChars + other).stl_str() + ("C" + constOther).stl_str() +
                  (mutableText + other).stl_str() + (constText + constOther).stl_str(),
              "coCOsoSO");
    EXPECT_EQ(mutableText + "x" + constText, "sxS");  // plain std::string stays std::string
    SafeString assigned("z");
    assigned = SafeString(value) += "!";
    EXPECT_EQ(assigned.stl_str() + value.stl_str(), "voOcCsS!voOcCsS");
}

TEST(FilteredString, KeepsTheInputOrEncodesItForTheOracles) {
    const char raw[] = {'a', '\0', 'b', ' '};
    for (int filter : {0, 1, 2, 3, 6, -1}) {
        EXPECT_EQ(FilteredString(raw, 4, filter).stl_str(), std::string(raw, 4)) << filter;
    }
    EXPECT_STREQ(FilteredString(kNullText, 5).c_str(), "");
    EXPECT_EQ(FilteredString(raw, -3, 0).size(), 0u);
    const std::string abc = "abc";
    EXPECT_EQ(FilteredString(abc, 100, 0).stl_str() + FilteredString(abc, 2, 0).stl_str(), "abcab");
    std::mt19937 rng(51);
    std::string data = streamtest::RandomBytes(rng, 5000);
    std::string base64 = streamtest::OpensslBase64(data);
    EXPECT_EQ(FilteredString("abc", 5).stl_str(), "YWJj");
    EXPECT_EQ(FilteredString(data, 5).stl_str(), streamtest::CrlfLines(base64, 76));
    EXPECT_EQ(FilteredString(&data[0], 57, 5).stl_str(), base64.substr(0, 76) + "\r\n");
    EXPECT_EQ(FilteredString("a b", 4).stl_str(), "a=20b");
    FilteredString encoded(data, 4), copy(encoded), assigned("x", 0);
    EXPECT_EQ(streamtest::Python("out = quopri.decodestring(data)", encoded.stl_str()), data);
    assigned = copy;
    EXPECT_EQ(std::string(static_cast<const char*>(assigned)), encoded.stl_str());
}

}  // namespace
