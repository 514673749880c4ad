#include <cerrno>
#include <cstring>

#include "krtools/exception.h"
#include "testutil.h"

namespace {

std::string Strerror(int code) { return std::string(std::strerror(code)) + "\n"; }

TEST(KRException, ConstructorsSetCodeAndText) {
    KRException three(-5, "KR_PBE::SetPbeAlg", "Invalid password-based encryption algorithm");
    EXPECT_EQ(three.rc, -5);
    EXPECT_EQ(three.text, "KR_PBE::SetPbeAlg\nInvalid password-based encryption algorithm");

    KRException emptyWhat(5, "x", "");
    EXPECT_EQ(emptyWhat.text, "x\n");

    KRException two(7, "CreateCertObject");
    EXPECT_EQ(two.rc, 7);
    EXPECT_EQ(two.text, "CreateCertObject");

    KRException code(3);
    EXPECT_EQ(code.rc, 3);
    EXPECT_TRUE(code.text.empty());

    KRException copy(three);
    copy = copy;
    EXPECT_EQ(copy.text, three.text);
    EXPECT_EQ(copy.rc, three.rc);
}

TEST(KRException, FormatRCAndTextPrefixesEachCall) {
    KRException e(0, "");
    e.FormatRCAndText();
    EXPECT_EQ(e.text, "rc: 0, ");
    KRException f(-2, "ASN1 element is EMPTY");
    f.FormatRCAndText();
    f.FormatRCAndText();
    EXPECT_EQ(f.text, "rc: -2, rc: -2, ASN1 element is EMPTY");
}

TEST(KRException, FormatSystemErrorMsgAppendsCodeLineAndSystemText) {
    KRException e(ENOENT, "Open failed: ");
    e.FormatSystemErrorMsg();
    EXPECT_EQ(e.text, "Open failed: \nWindows rc: 0x00000002\n" + Strerror(ENOENT));

    KRException zero(0, "ok");
    zero.FormatSystemErrorMsg();
    EXPECT_EQ(zero.text, "ok\nWindows rc: 0x00000000\n" + Strerror(0));
}

TEST(KRException, FormatSystemErrorMsgForCodesWithoutSystemText) {
    KRException negative(-1, "where", "what");
    negative.FormatSystemErrorMsg();
    EXPECT_EQ(negative.text, "where\nwhat\nWindows rc: 0xFFFFFFFF\n");

    KRException unknown(123456, "x");
    unknown.FormatSystemErrorMsg();
    EXPECT_EQ(unknown.text, "x\nWindows rc: 0x0001E240\n");
}

TEST(KRException, MessageBoxWritesTheTextToStandardError) {
    KRException e(1, "Something broke");
    std::string err = testutil::CaptureStderr([&] { e.MessageBoxA(); });
    EXPECT_EQ(err, "Exception: Something broke\n");
}

}  // namespace
