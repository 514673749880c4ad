// Every certificate of the system bundle: the element tree agrees with what
// `openssl asn1parse` reports, and the dump lists the same elements.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "asn1_test_util.h"
#include "krtools/asn1.h"
#include "testutil.h"

namespace {

// One line of `openssl asn1parse` ("off:d=D hl=H l=L cons: NAME ...").
struct ParsedLine {
    long offset;
    long depth;
    long headerLength;
    long length;
    bool constructed;
    int tagClass;
    int tagNumber;
};

// Identifier class and number of asn1parse's tag name.
bool TagOfName(const std::string& name, int& tagClass, int& tagNumber) {
    // clang-format off
    static const std::map<std::string, int> universal = {
        {"EOC", 0}, {"BOOLEAN", 1}, {"INTEGER", 2}, {"BIT STRING", 3}, {"OCTET STRING", 4},
        {"NULL", 5}, {"OBJECT", 6}, {"OBJECT DESCRIPTOR", 7}, {"EXTERNAL", 8}, {"REAL", 9},
        {"ENUMERATED", 10}, {"UTF8STRING", 12}, {"SEQUENCE", 16}, {"SET", 17},
        {"NUMERICSTRING", 18}, {"PRINTABLESTRING", 19}, {"T61STRING", 20},
        {"VIDEOTEXSTRING", 21}, {"IA5STRING", 22}, {"UTCTIME", 23}, {"GENERALIZEDTIME", 24},
        {"GRAPHICSTRING", 25}, {"VISIBLESTRING", 26}, {"GENERALSTRING", 27},
        {"UNIVERSALSTRING", 28}, {"BMPSTRING", 30}};
    // clang-format on
    static const std::regex tagged(R"((cont|appl|priv) \[ *(\d+) *\])");
    std::smatch m;
    if (std::regex_match(name, m, tagged)) {
        tagClass = m[1] == "cont" ? 0x80 : m[1] == "appl" ? 0x40 : 0xC0;
        tagNumber = std::stoi(m[2]);
        return true;
    }
    auto it = universal.find(name);
    if (it == universal.end()) return false;
    tagClass = 0;
    tagNumber = it->second;
    return true;
}

std::vector<ParsedLine> OpensslParse(const std::string& der) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("cert.der"), der);
    const auto result = testutil::Run("openssl asn1parse -inform DER -in " +
                                      testutil::ShellQuote(dir.File("cert.der")));
    EXPECT_EQ(result.status, 0);
    static const std::regex line(
        R"(^ *(\d+):d=(\d+) +hl=(\d+) +l= *(\d+) +(cons|prim): +([^:]*?) *(:.*)?$)");
    std::vector<ParsedLine> parsed;
    std::istringstream in(result.output);
    std::string text;
    while (std::getline(in, text)) {
        std::smatch m;
        if (!std::regex_match(text, m, line)) {
            ADD_FAILURE() << "unexpected asn1parse line: " << text;
            continue;
        }
        ParsedLine p{std::stol(m[1]),
                     std::stol(m[2]),
                     std::stol(m[3]),
                     std::stol(m[4]),
                     m[5] == "cons",
                     0,
                     0};
        std::string name = m[6];
        const size_t dumpMark = name.find("[HEX DUMP]");
        if (dumpMark != std::string::npos) name.erase(name.find_last_not_of(' ', dumpMark - 1) + 1);
        EXPECT_TRUE(TagOfName(name, p.tagClass, p.tagNumber)) << text;
        parsed.push_back(p);
    }
    return parsed;
}

// The tree in pre-order with each element's depth.
void Flatten(const KR_ASN1_ELEMENT* e, long depth,
             std::vector<std::pair<const KR_ASN1_ELEMENT*, long>>& out) {
    for (; e != nullptr; e = e->sibling) {
        out.emplace_back(e, depth);
        Flatten(e->child, depth + 1, out);
    }
}

// Header lines of the dump ("%02X %04X" id and length, then the
// indentation) in order.
struct DumpHeader {
    unsigned id;
    unsigned long length;
    size_t indent;
};

std::vector<DumpHeader> DumpHeaders(const std::string& dump) {
    static const std::regex header(R"(^([0-9A-F]{2}) ([0-9A-F]{4,})       \| ( *)\S.*$)");
    std::vector<DumpHeader> headers;
    std::istringstream in(dump);
    std::string text;
    while (std::getline(in, text)) {
        std::smatch m;
        if (std::regex_match(text, m, header)) {
            headers.push_back({static_cast<unsigned>(std::stoul(m[1], nullptr, 16)),
                               std::stoul(m[2], nullptr, 16), static_cast<size_t>(m[3].length())});
        }
    }
    return headers;
}

void CheckCertificate(const std::string& file) {
    SCOPED_TRACE(file);
    const std::string der = testutil::CertificateDer(file);
    ASSERT_FALSE(der.empty());
    KR_ASN1_STRUCTURE s;
    const auto outcome = asn1test::DecodeInto(s, testutil::Bytes(der));
    ASSERT_EQ(outcome.text, "");

    std::vector<std::pair<const KR_ASN1_ELEMENT*, long>> ours;
    Flatten(s.root, 0, ours);
    const std::vector<ParsedLine> theirs = OpensslParse(der);
    ASSERT_EQ(ours.size(), theirs.size());
    const std::string dump = testutil::CaptureStdout([&] { s.Print(); });
    const std::vector<DumpHeader> headers = DumpHeaders(dump);
    ASSERT_EQ(headers.size(), theirs.size());

    const unsigned char* start = s.root->data;
    for (size_t i = 0; i < ours.size(); ++i) {
        const KR_ASN1_ELEMENT& e = *ours[i].first;
        const ParsedLine& p = theirs[i];
        SCOPED_TRACE("element " + std::to_string(i) + " at " + std::to_string(p.offset));
        const bool stripped = p.tagNumber == 3 && p.length > 0;
        ASSERT_EQ(e.data - start, p.offset);
        EXPECT_EQ(ours[i].second, p.depth);
        EXPECT_EQ(e.content - e.data - (stripped ? 1 : 0), p.headerLength);
        EXPECT_EQ(e.length + (stripped ? 1 : 0), p.length);
        if (stripped) {
            EXPECT_EQ(e.unusedBits, e.data[p.headerLength]);
        }
        EXPECT_EQ(e.constructed, p.constructed);
        EXPECT_EQ(e.tagClass, p.tagClass);
        EXPECT_EQ(e.tagNumber, p.tagNumber);
        EXPECT_FALSE(e.indefinite);

        const unsigned expectedId = static_cast<unsigned>(p.tagClass) |
                                    (p.constructed ? 0x20u : 0u) |
                                    static_cast<unsigned>(p.tagNumber);
        EXPECT_EQ(headers[i].id, expectedId);
        EXPECT_EQ(headers[i].length, static_cast<unsigned long>(p.length - (stripped ? 1 : 0)));
        EXPECT_EQ(headers[i].indent, static_cast<size_t>(p.depth * 2));
    }
}

TEST(Asn1Certificates, TreeAndDumpAgreeWithOpensslForSystemBundle) {
    const auto files = testutil::SystemCertificateFiles();
    ASSERT_GE(files.size(), 10u);
    for (const auto& file : files) CheckCertificate(file);
}

}  // namespace
