// --json output parsed by Python's json module and turned back into the
// text form, which must equal what the command prints without --json.
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "../config/config_test_util.h"
#include "krtool_test_util.h"

namespace {

using krtooltest::Krtool;
using testutil::ShellQuote;

const std::string kToText =
    "python3 " + ShellQuote(KRTOOLS_SOURCE_DIR "/tests/krtool/json_to_text.py") + " ";

// `args` with --json through the converter, and `args` as text.
void ExpectSame(const std::string& args, const std::string& kind, int status = 0) {
    const auto text = Krtool(args);
    EXPECT_EQ(text.status, status) << args << text.err;
    const auto json =
        testutil::Run(krtooltest::Tool() + " " + args + " --json 2>/dev/null | " + kToText + kind);
    EXPECT_EQ(json.status, 0) << args;
    EXPECT_TRUE(json.output == text.out) << args << "\n" << json.output.substr(0, 300);
}

// "ID LENGTH CONTENT" per element from the text dump of krtool asn1.
std::string Asn1Elements(const std::string& dump) {
    std::istringstream lines(dump);
    std::string out, content;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] != ' ') {
            if (!out.empty()) out += content + "\n";
            std::istringstream header(line);
            std::string id, length;
            header >> id >> length;
            out += id + " " + length + " ";
            content.clear();
        } else {
            for (char c : line) content += c == ' ' ? "" : std::string(1, c);
        }
    }
    return out.empty() ? out : out + content + "\n";
}

TEST(KrtoolJson, CertificatesMatchTheTextAndKeepControlCharactersVisible) {
    testutil::TempDir dir;
    const std::string der = dir.File("nul.der");
    ASSERT_EQ(
        testutil::Run("openssl req -x509 -newkey rsa:1024 -nodes -keyout /dev/null -days 1 "
                      "-subj /CN=good.example@evil.example/OU=unit/L=town -outform DER -out " +
                      ShellQuote(der) + " 2>/dev/null")
            .status,
        0);
    std::string bytes = testutil::ReadFile(der);
    for (size_t at; (at = bytes.find("good.example@evil")) != std::string::npos;) {
        bytes[at + 12] = '\0';
    }
    testutil::WriteFile(der, bytes);
    const auto text = Krtool("cert --der " + ShellQuote(der));
    EXPECT_NE(
        text.out.find("subject attributes: CN=good.example\\x00evil.example, OU=unit, L=town\n"),
        std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("subject: [the library cannot read this name; see its attributes]\n"),
              std::string::npos);
    const auto json = Krtool("cert --der --json " + ShellQuote(der));
    EXPECT_NE(json.out.find("\"hex\": \"676f6f642e6578616d706c65006576696c2e6578616d706c65\""),
              std::string::npos);
    ExpectSame("cert --der " + ShellQuote(der), "cert");
    ExpectSame("cert /etc/ssl/certs/ca-certificates.crt", "cert");
}

TEST(KrtoolJson, Asn1TreesMatchTheDump) {
    for (const std::string file : {"/etc/ssl/certs/ca-certificates.crt"}) {
        const std::string text = Krtool("asn1 " + file).out;
        const std::string json = krtooltest::Shell(krtooltest::Tool() + " asn1 --json " + file +
                                                   " | " + kToText + "asn1");
        ASSERT_GT(text.size(), 100000u);
        EXPECT_TRUE(json == Asn1Elements(text));
    }
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("deep"), std::string(1200, '\x30') + std::string(1200, '\x80') +
                                              std::string(2400, '\0'));
    const auto deep = Krtool("asn1 --json " + ShellQuote(dir.File("deep")));
    EXPECT_EQ(deep.status, 1);
    EXPECT_TRUE(krtooltest::OneErrorLine(deep.err)) << deep.err;
}

TEST(KrtoolJson, ListingsIniParamsAndTimeMatchTheText) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("a.ini"), "[main]\nname = x ; c\nempty=\n[other]\nk=\xc3\xbc\n");
    // A folder inside the temporary one, so that ".." does not change meanwhile.
    ASSERT_EQ(mkdir(dir.File("d").c_str(), 0755), 0);
    testutil::WriteFile(dir.File("d/new\nline"), "12");
    ASSERT_EQ(symlink("nowhere", dir.File("d/dangling").c_str()), 0);
    const std::string q = ShellQuote(dir.File("d"));
    ExpectSame("ls " + q, "ls");
    ExpectSame("ls --long " + q, "ls", 1);
    ExpectSame("ini list " + ShellQuote(dir.File("a.ini")), "ini");
    ExpectSame("ini list " + ShellQuote(dir.File("a.ini")) + " main", "ini");
    auto params = configtest::ParamsGenerator(5, configtest::ParamStyle::kParenEscapes);
    testutil::WriteFile(dir.File("p"), params.Generate(9).text);
    ExpectSame("params paren --escapes " + ShellQuote(dir.File("p")), "params");
    for (const std::string mode : {"from-seconds 981173106", "from-stamp '2001-02-03 04:05:06'",
                                   "from-cms 20010203 040506", "to-cms '2001-02-03 04:05:06'"}) {
        ExpectSame("time --" + mode, "time " + mode.substr(0, mode.find(' ')));
    }
}

}  // namespace
