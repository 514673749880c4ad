// krtool cert, dn and san, run as a program and checked with OpenSSL.
#include <gtest/gtest.h>
#include <openssl/x509v3.h>

#include <sstream>

#include "cert_testutil.h"

namespace {

const std::string kTool = KRTOOL_PATH;
const std::string kSample = std::string(KRTOOLS_SOURCE_DIR) + "/demo/sample-cert.pem";

testutil::CommandResult Tool(const std::string& arguments) {
    return testutil::Run(testutil::ShellQuote(kTool) + " " + arguments + " 2>/dev/null");
}

// The value after "label: " on the first line that starts with it.
std::string Field(const std::string& output, const std::string& label) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(label + ": ", 0) == 0) return line.substr(label.size() + 2);
    }
    return "<missing " + label + ">";
}

// Hex in groups of four digits, as the tool prints digests.
std::string Grouped(const std::string& bytes) {
    const std::string hex = certtest::Hex(bytes);
    std::string text;
    for (size_t i = 0; i < hex.size(); i += 4) text += (i ? " " : "") + hex.substr(i, 4);
    return text;
}

std::string FromHexText(std::string hex) {
    while (!hex.empty() && (hex.back() == '\n' || hex.back() == '\r')) hex.pop_back();
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

TEST(KrtoolCert, SampleCertificateAgreesWithOpenSSL) {
    const auto result = Tool("cert " + testutil::ShellQuote(kSample));
    ASSERT_EQ(result.status, 0);
    const std::string der = certtest::PemBlocks(testutil::ReadFile(kSample)).at(0);
    certtest::X509Ptr x509 = certtest::ParseX509(der);
    EXPECT_EQ(Field(result.output, "SHA-1 thumbprint"), Grouped(certtest::Digest(EVP_sha1(), der)));
    EXPECT_EQ(Field(result.output, "subject-name hash"),
              Grouped(certtest::Md5(certtest::NameDer(X509_get_subject_name(x509.get())))));
    unsigned char* key = nullptr;
    const int keyLength = i2d_PUBKEY(X509_get0_pubkey(x509.get()), &key);
    EXPECT_EQ(Field(result.output, "public-key hash"),
              Grouped(certtest::Md5(certtest::AsString(key, static_cast<size_t>(keyLength)))));
    OPENSSL_free(key);
    std::string modulus =
        testutil::Run("openssl x509 -noout -modulus -in " + testutil::ShellQuote(kSample)).output;
    const size_t digits = modulus.find_first_of("\r\n") - modulus.find('=') - 1;
    EXPECT_EQ(Field(result.output, "modulus size"), std::to_string((digits + 1) / 2 * 8) + " bits");
    EXPECT_EQ(Field(result.output, "common name"), "Demo Party");
    EXPECT_EQ(Field(result.output, "e-mail"), "demo@example.org");
    EXPECT_EQ(Field(result.output, "SAN e-mail"), "demo@example.org");
    EXPECT_EQ(Field(result.output, "subject"), "DE.Example Exchange Ltd.Demo Party.Demo");
}

TEST(KrtoolCert, EveryCertificateOfPemAndDerBundlesIsListed) {
    testutil::TempDir dir;
    const auto& bundle = certtest::Bundle();
    ASSERT_GE(bundle.size(), 3u);
    std::string pem, der;
    for (size_t i = 0; i < 3; ++i) {
        pem += testutil::ReadFile(bundle[i].file);
        der += bundle[i].der;
    }
    testutil::WriteFile(dir.File("three.pem"), pem);
    testutil::WriteFile(dir.File("three.der"), der);
    for (const std::string& args :
         {"cert " + dir.File("three.pem"), "cert --der " + dir.File("three.der"),
          "cert " + dir.File("three.der")}) {
        const auto result = Tool(args);
        ASSERT_EQ(result.status, 0) << args;
        size_t count = 0;
        for (size_t at = 0;
             (at = result.output.find("\nSHA-1 thumbprint: ", at)) != std::string::npos; ++at) {
            ++count;
        }
        EXPECT_EQ(count, 3u) << args;
        EXPECT_NE(result.output.find(Grouped(certtest::Digest(EVP_sha1(), bundle[2].der))),
                  std::string::npos);
    }
}

TEST(KrtoolCert, BadInputAndBadUsage) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("junk"), "not a certificate at all");
    testutil::WriteFile(dir.File("empty.pem"), "-----BEGIN NOTHING-----\n");
    EXPECT_EQ(Tool("cert " + dir.File("junk")).status, 1);
    EXPECT_EQ(Tool("cert " + dir.File("empty.pem")).status, 1);
    EXPECT_EQ(Tool("cert --der " + testutil::ShellQuote(kSample)).status, 1);
    EXPECT_EQ(Tool("cert").status, 2);
    EXPECT_EQ(Tool("cert --pem --der x").status, 2);
    EXPECT_EQ(Tool("cert " + dir.File("missing")).status, 1);
}

TEST(KrtoolDn, HexParsesInOpenSSLAndOutWritesTheSameDer) {
    testutil::TempDir dir;
    const std::string args = "dn --email ops@example.com --cn 'Gateway One' --country US";
    const auto printed = Tool(args);
    ASSERT_EQ(printed.status, 0);
    const std::string der = FromHexText(printed.output);
    certtest::NamePtr name = certtest::ParseName(certtest::Data(der), der.size());
    ASSERT_TRUE(name);
    ASSERT_EQ(X509_NAME_entry_count(name.get()), 3);
    EXPECT_EQ(OBJ_obj2nid(X509_NAME_ENTRY_get_object(X509_NAME_get_entry(name.get(), 0))),
              NID_countryName);
    EXPECT_EQ(OBJ_obj2nid(X509_NAME_ENTRY_get_object(X509_NAME_get_entry(name.get(), 2))),
              NID_pkcs9_emailAddress);
    ASSERT_EQ(Tool(args + " --out " + dir.File("name.der")).status, 0);
    EXPECT_EQ(testutil::ReadFile(dir.File("name.der")), der);
    EXPECT_EQ(Tool("dn --country USA --org Acme --cn X --long").output, "US.Acme.X\n");
    EXPECT_EQ(Tool("dn --bogus x").status, 2);
}

TEST(KrtoolSan, EncodeIsReadByOpenSSLAndDecodeReadsTheSampleExtension) {
    const auto encoded = Tool("san encode --email a@example.com --party ZZ_P1");
    ASSERT_EQ(encoded.status, 0);
    const std::string value = FromHexText(encoded.output);
    const unsigned char* p = certtest::Data(value);
    GENERAL_NAMES* names = d2i_GENERAL_NAMES(nullptr, &p, static_cast<long>(value.size()));
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(sk_GENERAL_NAME_num(names), 2);
    GENERAL_NAMES_free(names);

    testutil::TempDir dir;
    certtest::X509Ptr x509 =
        certtest::ParseX509(certtest::PemBlocks(testutil::ReadFile(kSample)).at(0));
    const int at = X509_get_ext_by_NID(x509.get(), NID_subject_alt_name, -1);
    ASSERT_GE(at, 0);
    const ASN1_OCTET_STRING* data = X509_EXTENSION_get_data(X509_get_ext(x509.get(), at));
    testutil::WriteFile(dir.File("san.der"),
                        certtest::AsString(ASN1_STRING_get0_data(data),
                                           static_cast<size_t>(ASN1_STRING_length(data))));
    const auto decoded = Tool("san decode " + dir.File("san.der"));
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.output, "e-mail: demo@example.org\nparty: \n");

    const auto roundTrip =
        testutil::Run(testutil::ShellQuote(kTool) + " san encode --email e@x --party A_B | " +
                      testutil::ShellQuote(kTool) + " san decode --hex");
    EXPECT_EQ(roundTrip.output, "e-mail: e@x\nparty: A_B\n");
}

TEST(KrtoolSan, OverLongTextsAndMalformedValuesFail) {
    EXPECT_EQ(Tool("san encode --email " + std::string(130, 'e')).status, 1);
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("bad.der"), "\x31\x00");
    EXPECT_EQ(Tool("san decode " + dir.File("bad.der")).status, 1);
    EXPECT_EQ(Tool("san frobnicate").status, 2);
    EXPECT_EQ(Tool("san encode").status, 2);
}

}  // namespace
