// Every certificate of the system bundle: the tree and the dump headers agree
// with `openssl asn1parse`; `krtool asn1` prints the library's dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "krtools/asn1.h"
#include "testutil.h"

namespace {

using testutil::ShellQuote;
using Flat = std::vector<std::pair<const KR_ASN1_ELEMENT*, long>>;  // pre-order, with depth

void Flatten(const KR_ASN1_ELEMENT* e, long depth, Flat& out) {
    for (; e != nullptr; e = e->sibling) {
        out.emplace_back(e, depth);
        Flatten(e->child, depth + 1, out);
    }
}

std::string LibraryDump(const std::string& der, KR_ASN1_STRUCTURE& s) {
    auto bytes = testutil::Bytes(der);
    EXPECT_NO_THROW(s.Decode(bytes.data(), static_cast<int>(bytes.size())));
    return testutil::CaptureStdout([&] { s.Print(); });
}

std::string LibraryDump(const std::string& der) {
    KR_ASN1_STRUCTURE s;
    return LibraryDump(der, s);
}

// Each `openssl asn1parse` line against the element in its place in the tree and dump.
void CheckCertificate(const std::string& pemFile) {
    const std::string der = testutil::CertificateDer(pemFile);
    const auto parsed = testutil::Run("openssl x509 -outform DER -in " + ShellQuote(pemFile) +
                                      " | openssl asn1parse -inform DER");
    ASSERT_EQ(parsed.status, 0);
    std::istringstream lines(parsed.output);
    std::string text;
    KR_ASN1_STRUCTURE s;
    std::istringstream dump(LibraryDump(der, s));
    Flat ours;
    Flatten(s.root, 0, ours);
    ASSERT_EQ(std::count(parsed.output.begin(), parsed.output.end(), '\n'),
              static_cast<long>(ours.size()));
    for (size_t i = 0; std::getline(lines, text); ++i) {
        long offset, depth, headerLength, length;
        char form[5] = "";
        SCOPED_TRACE(text);
        ASSERT_EQ(std::sscanf(text.c_str(), "%ld:d=%ld hl=%ld l=%ld %4s", &offset, &depth,
                              &headerLength, &length, form),
                  5);
        const KR_ASN1_ELEMENT& e = *ours[i].first;
        const auto id = static_cast<unsigned char>(der[offset]);
        const int stripped = (id & 0x1F) == 3 && length > 0;  // the unused-bits octet
        ASSERT_EQ(e.data - ours[0].first->data, offset);
        EXPECT_EQ(ours[i].second, depth);
        EXPECT_EQ(e.content - e.data - stripped, headerLength);
        EXPECT_EQ(e.length + stripped, length);
        EXPECT_EQ(e.unusedBits, stripped ? der[offset + headerLength] : 0);
        EXPECT_EQ(std::vector<int>({e.id, e.constructed, e.tagClass, e.tagNumber, e.indefinite}),
                  std::vector<int>({id, std::strcmp(form, "cons") == 0, id & 0xC0, id & 0x1F, 0}));
        std::string header;
        while (std::getline(dump, header) && header[0] == ' ') continue;  // skip hex slices
        char expected[64];
        std::snprintf(expected, sizeof expected, "%02X %04lX       | %*s", id, length - stripped,
                      static_cast<int>(depth * 2), "");
        EXPECT_EQ(header.substr(0, std::strlen(expected)), expected);
        EXPECT_NE(header.c_str()[std::strlen(expected)], ' ');
    }
}

TEST(Asn1Certificates, TreeAndDumpAgreeWithOpensslForSystemBundle) {
    const auto files = testutil::SystemCertificateFiles();
    ASSERT_GE(files.size(), 10u);
    for (const auto& file : files) {
        SCOPED_TRACE(file);
        CheckCertificate(file);
    }
}

TEST(KrtoolAsn1, DumpsDerPemAndEveryPemBlockAndRejectsBadInput) {
    const auto files = testutil::SystemCertificateFiles();
    ASSERT_GE(files.size(), 2u);
    const std::string tool = ShellQuote(KRTOOL_PATH) + " asn1 ",
                      first = testutil::CertificateDer(files.front());
    testutil::TempDir dir;
    const std::string der = ShellQuote(dir.File("first.der")), bundle = dir.File("bundle.pem");
    testutil::WriteFile(dir.File("first.der"), first);
    testutil::WriteFile(bundle, "leading text\r\n" + testutil::ReadFile(files.front()) +
                                    testutil::ReadFile(files.back()));
    const std::pair<std::string, std::string> good[] = {
        {der, LibraryDump(first)},
        {ShellQuote(files.front()), LibraryDump(first)},
        {"- < " + der, LibraryDump(first)},
        {ShellQuote(bundle),
         LibraryDump(first) + LibraryDump(testutil::CertificateDer(files.back()))}};
    for (const auto& [arguments, output] : good) {
        const auto result = testutil::Run(tool + arguments);
        EXPECT_EQ(result.status, 0) << arguments;
        EXPECT_EQ(result.output, output) << arguments;
    }
    const std::pair<std::string, std::string> bad[] = {
        {std::string("\x30\x03\x02\x02\x01\x01", 6), "ASN1 element length is too large"},
        {std::string("\x30\x00\x05", 3), "ASN1 element is EMPTY"},
        {"", "Empty ASN1 structure"},
        {"-----BEGIN X-----\nBIAA\n-----END X-----\n",
         "ASN1 element has indefinite length, but is not a constructed type"},
        {"-----BEGIN CERTIFICATE-----\nMAMCAQ==\n", "PEM block without an END line"}};
    for (const auto& [input, message] : bad) {
        testutil::WriteFile(dir.File("bad"), input);
        const auto result = testutil::Run(tool + ShellQuote(dir.File("bad")) + " 2>&1 >/dev/null");
        EXPECT_EQ(result.status, 1) << message;
        const std::string prefix =
            input.find("-----") == 0 && input.find("END") == std::string::npos
                ? "krtool: "
                : "krtool: not valid ASN.1 data: ";
        EXPECT_EQ(result.output, prefix + message + "\n");
    }
    EXPECT_EQ(testutil::Run(tool + "a b 2>/dev/null").status, 2);
}

}  // namespace
