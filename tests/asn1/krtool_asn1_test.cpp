// The "krtool asn1" subcommand on real certificates in DER and PEM form,
// on standard input, and on malformed data.
#include <gtest/gtest.h>

#include <string>

#include "asn1_test_util.h"
#include "krtools/asn1.h"
#include "testutil.h"

namespace {

using testutil::ShellQuote;

std::string Krtool(const std::string& arguments) {
    return ShellQuote(KRTOOL_PATH) + " asn1 " + arguments;
}

// The library's own dump of |der|.
std::string LibraryDump(const std::string& der) {
    KR_ASN1_STRUCTURE s;
    EXPECT_EQ(asn1test::DecodeInto(s, testutil::Bytes(der)).text, "");
    return testutil::CaptureStdout([&] { s.Print(); });
}

class KrtoolAsn1 : public testing::Test {
protected:
    void SetUp() override {
        const auto files = testutil::SystemCertificateFiles();
        ASSERT_GE(files.size(), 2u);
        firstPem = files.front();
        secondPem = files.back();
        firstDer = testutil::CertificateDer(firstPem);
        secondDer = testutil::CertificateDer(secondPem);
        ASSERT_FALSE(firstDer.empty());
        testutil::WriteFile(dir.File("first.der"), firstDer);
    }

    testutil::TempDir dir;
    std::string firstPem, secondPem, firstDer, secondDer;
};

TEST_F(KrtoolAsn1, DerAndPemGiveTheLibraryDump) {
    const std::string expected = LibraryDump(firstDer);
    ASSERT_FALSE(expected.empty());

    const auto der = testutil::Run(Krtool(ShellQuote(dir.File("first.der"))));
    EXPECT_EQ(der.status, 0);
    EXPECT_EQ(der.output, expected);

    const auto pem = testutil::Run(Krtool(ShellQuote(firstPem)));
    EXPECT_EQ(pem.status, 0);
    EXPECT_EQ(pem.output, expected);

    const auto stdinDer = testutil::Run(Krtool("- < " + ShellQuote(dir.File("first.der"))));
    EXPECT_EQ(stdinDer.status, 0);
    EXPECT_EQ(stdinDer.output, expected);
}

TEST_F(KrtoolAsn1, EveryPemBlockIsDumpedInTurn) {
    const std::string bundle = dir.File("bundle.pem");
    testutil::WriteFile(
        bundle, "leading text\r\n" + testutil::ReadFile(firstPem) + testutil::ReadFile(secondPem));
    const auto result = testutil::Run(Krtool(ShellQuote(bundle)));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, LibraryDump(firstDer) + LibraryDump(secondDer));
}

TEST_F(KrtoolAsn1, MalformedInputIsOneLineWithStatusOne) {
    struct Case {
        std::string input;
        std::string message;
    };
    const Case cases[] = {
        {std::string("\x30\x03\x02\x02\x01\x01", 6), "krtool: ASN1 element length is too large\n"},
        {firstDer + '\x05', "krtool: ASN1 element is EMPTY\n"},
        {"", "krtool: Empty ASN1 structure\n"},
        {"-----BEGIN X-----\nBIAA\n-----END X-----\n",
         "krtool: ASN1 element has indefinite length, but is not a constructed type\n"},
        {"-----BEGIN CERTIFICATE-----\nMAMCAQ==\n", "krtool: PEM block without an END line\n"},
    };
    for (const auto& c : cases) {
        testutil::WriteFile(dir.File("bad"), c.input);
        const auto result = testutil::Run(Krtool(ShellQuote(dir.File("bad"))) + " 2>&1 >/dev/null");
        EXPECT_EQ(result.status, 1) << c.message;
        EXPECT_EQ(result.output, c.message);
    }
    const auto missing = testutil::Run(Krtool(ShellQuote(dir.File("missing"))) + " 2>/dev/null");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(testutil::Run(Krtool("a b 2>/dev/null")).status, 2);
}

}  // namespace
