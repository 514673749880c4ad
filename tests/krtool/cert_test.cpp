// krtool cert, dn and san, run as a program and checked with OpenSSL.
#include <gtest/gtest.h>
#include <openssl/x509v3.h>

#include <sstream>

#include "../cert/cert_testutil.h"

using namespace certtest;

namespace {

testutil::CommandResult Tool(const std::string& arguments) {
    return testutil::Run(testutil::ShellQuote(KRTOOL_PATH) + " " + arguments + " 2>/dev/null");
}

// The value after "label: " on the first line that starts with it.
std::string Field(const std::string& output, const std::string& label) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(label + ": ", 0) == 0) return line.substr(label.size() + 2);
    }
    return "<missing " + label + ">";
}

// Hex digits in groups of four, as the tool prints digests.
std::string Grouped(const std::string& hex) {
    std::string text;
    for (size_t i = 0; i < hex.size(); i += 4) text += (i ? " " : "") + hex.substr(i, 4);
    return text;
}

TEST(KrtoolCert, SampleAndBundlesAgreeWithOpenSSLAndBadInputFails) {
    const auto result = Tool("cert " + testutil::ShellQuote(kSamplePem));
    ASSERT_EQ(result.status, 0);
    X509Ptr x509 = ParseX509(SampleDer());
    EXPECT_EQ(Field(result.output, "public-key hash"), Grouped(Hex(Md5(PublicKeyDer(x509.get())))));
    const size_t digits =
        testutil::Run("openssl x509 -noout -modulus -in " + testutil::ShellQuote(kSamplePem) +
                      " | cut -d= -f2 | tr -d '\\n'")
            .output.size();
    EXPECT_EQ(Field(result.output, "modulus size"), std::to_string((digits + 1) / 2 * 8) + " bits");
    EXPECT_EQ(Field(result.output, "SAN e-mail"), "demo@example.org");
    EXPECT_EQ(Field(result.output, "subject"), "DE.Example Exchange Ltd.Demo Party.Demo");
    // Three certificates in a PEM or DER file: thumbprints as openssl gives them.
    testutil::TempDir dir;
    std::string pem, ders, expected;
    for (size_t i = 0; i < 3; ++i) {
        const std::string& file = Bundle().at(i * Bundle().size() / 3).file;
        pem += testutil::ReadFile(file);
        ders += PemBlocks(testutil::ReadFile(file)).at(0);
        const std::string command = "openssl x509 -noout -fingerprint -sha1 -in " +
                                    testutil::ShellQuote(file) + " | cut -d= -f2 | tr -d ':\\n'";
        expected += "SHA-1 thumbprint: " + Grouped(testutil::Run(command).output) + "\n";
    }
    testutil::WriteFile(dir.File("three.pem"), pem);
    testutil::WriteFile(dir.File("three.der"), ders);
    for (const std::string& args :
         {"cert " + dir.File("three.pem"), "cert --der " + dir.File("three.der"),
          "cert " + dir.File("three.der")}) {
        const auto listed = Tool(args + " | grep '^SHA-1 thumbprint'");
        EXPECT_EQ(listed.output, expected) << args;
    }
    testutil::WriteFile(dir.File("junk"), "not a certificate at all");
    EXPECT_EQ(Tool("cert " + dir.File("junk")).status, 1);
    EXPECT_EQ(Tool("cert --der " + testutil::ShellQuote(kSamplePem)).status, 1);
    EXPECT_EQ(Tool("cert " + dir.File("missing")).status, 1);
    EXPECT_EQ(Tool("cert < /dev/null").status, 1);
    EXPECT_EQ(Tool("cert --pem --der x").status, 2);
}

TEST(KrtoolDn, HexParsesInOpenSSLAndOutWritesTheSameDer) {
    const std::string args = "dn --email ops@example.com --cn 'Gateway One' --country US";
    const std::string der = Tool(args + " | xxd -r -p").output;
    NamePtr name = ParseName(Data(der), der.size());
    ASSERT_TRUE(name);
    char text[256];
    EXPECT_STREQ(X509_NAME_oneline(name.get(), text, sizeof text),
                 "/C=US/CN=Gateway One/emailAddress=ops@example.com");
    testutil::TempDir dir;
    ASSERT_EQ(Tool(args + " --out " + dir.File("name.der")).status, 0);
    EXPECT_EQ(testutil::ReadFile(dir.File("name.der")), der);
    EXPECT_EQ(Tool("dn --country USA --org Acme --cn X --long").output, "US.Acme.X\n");
    EXPECT_EQ(Tool("dn --bogus x").status, 2);
}

TEST(KrtoolSan, EncodeIsReadByOpenSSLDecodeReadsItBackAndBadInputFails) {
    const std::string value =
        Tool("san encode --email a@example.com --party ZZ_P1 | xxd -r -p").output;
    const unsigned char* p = Data(value);
    GENERAL_NAMES* names = d2i_GENERAL_NAMES(nullptr, &p, static_cast<long>(value.size()));
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(sk_GENERAL_NAME_num(names), 2);
    GENERAL_NAMES_free(names);
    testutil::TempDir dir;
    const std::string tool = testutil::ShellQuote(KRTOOL_PATH);
    EXPECT_EQ(
        testutil::Run(tool + " san encode --email e@x --party A_B | " + tool + " san decode --hex")
            .output,
        "e-mail: e@x\nparty: A_B\n");
    EXPECT_EQ(Tool("san encode --email " + std::string(130, 'e')).status, 1);
    testutil::WriteFile(dir.File("bad.der"), "\x31\x00");
    EXPECT_EQ(Tool("san decode " + dir.File("bad.der")).status, 1);
    EXPECT_EQ(Tool("san frobnicate").status, 2);
    EXPECT_EQ(Tool("san encode").status, 2);
}

}  // namespace
