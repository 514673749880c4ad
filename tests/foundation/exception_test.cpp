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
    const KRException& same = copy;
    copy = same;  // self-assignment keeps the object as it was
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

// Codes without a system text (negative, unknown) get only the code line.
TEST(KRException, FormatSystemErrorMsgAppendsCodeLineAndSystemText) {
    const struct {
        int rc;
        const char* hex;
        std::string system;
    } cases[] = {{ENOENT, "00000002", Strerror(ENOENT)},
                 {0, "00000000", Strerror(0)},
                 {-1, "FFFFFFFF", ""},
                 {123456, "0001E240", ""}};
    for (const auto& c : cases) {
        KRException e(c.rc, "where", "what");
        e.FormatSystemErrorMsg();
        EXPECT_EQ(e.text, "where\nwhat\nWindows rc: 0x" + std::string(c.hex) + "\n" + c.system);
    }
}

TEST(KRException, MessageBoxWritesTheTextToStandardError) {
    KRException e(1, "Something broke");
    std::string err = testutil::CaptureStderr([&] { e.MessageBoxA(); });
    EXPECT_EQ(err, "Exception: Something broke\n");
}

}  // namespace
