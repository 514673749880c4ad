// The option framework shared by every krtool command: help from the option
// table, "--", numbers, --version, output files and error lines.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "krtool_test_util.h"

namespace {

using krtooltest::Krtool;
using krtooltest::OneErrorLine;
using testutil::ShellQuote;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const auto& line : Lines(Krtool("--list-options").out)) {
        names.push_back(line.substr(0, line.find('\t')));
    }
    return names;
}

bool HasLineStartingWith(const std::string& text, const std::string& start) {
    for (const auto& line : Lines(text)) {
        if (line.rfind(start, 0) == 0) return true;
    }
    return false;
}

TEST(KrtoolCli, HelpListsEveryCommandAndEveryOptionOnItsOwnLine) {
    const auto overview = Krtool("--help");
    ASSERT_EQ(overview.status, 0);
    const auto names = CommandNames();
    ASSERT_GE(names.size(), 20u);
    for (const auto& name : names) {
        EXPECT_TRUE(HasLineStartingWith(overview.out, "  " + name + " ")) << name;
        const auto help = Krtool(name + " --help");
        EXPECT_EQ(help.status, 0) << name;
        for (const auto& line : Lines(Krtool("--list-options " + name).out)) {
            std::istringstream fields(line);
            std::string shortName, longName, value;
            std::getline(fields, shortName, '\t');
            std::getline(fields, longName, '\t');
            std::getline(fields, value, '\t');
            const std::string flags = (shortName.empty() ? "      " : "  " + shortName + ", ") +
                                      longName + (value.empty() ? "" : " " + value);
            EXPECT_TRUE(HasLineStartingWith(help.out, flags)) << name << ": " << flags;
        }
        EXPECT_TRUE(HasLineStartingWith(help.out, "  -h, --help")) << name;
    }
    const std::string version = Krtool("--version").out;
    EXPECT_EQ(version.rfind("krtool ", 0), 0u) << version;
    for (const char* args : {"hex --version", "ini get --version", "time --version --from-stamp x"})
        EXPECT_EQ(Krtool(args).out, version) << args;
}

TEST(KrtoolCli, HelpAnywhereWinsEvenAfterDoubleDashOrAsAValue) {
    testutil::TempDir dir;
    const std::string ini = ShellQuote(dir.File("f.ini"));
    const std::string usage = Krtool("ini --help").out;
    ASSERT_NE(usage.find("usage: krtool ini"), std::string::npos);
    for (const std::string& args : {"ini set " + ini + " s k -- --help",
                                    "ini set " + ini + " s k -h", "ini get " + ini + " --help x"}) {
        EXPECT_EQ(Krtool(args).out, usage) << args;
    }
    EXPECT_FALSE(std::ifstream(dir.File("f.ini")).good());
    EXPECT_EQ(Krtool("pbe encrypt --password-file --help").out, Krtool("pbe --help").out);
    // "--" still ends the options for everything else.
    testutil::WriteFile(dir.File("-d"), "hi");
    EXPECT_EQ(krtooltest::Shell("cd " + ShellQuote(dir.path()) + " && " + krtooltest::Tool() +
                                " hex -- -d"),
              "6869");
}

TEST(KrtoolCli, NumbersAreDecimalAndRangeChecked) {
    testutil::TempDir dir;
    const std::string pw = ShellQuote(dir.File("pw")), data = ShellQuote(dir.File("data"));
    testutil::WriteFile(dir.File("pw"), "secret\n");
    testutil::WriteFile(dir.File("data"), "payload");
    const auto ten = Krtool("pbe encrypt --iterations 10 --password-file " + pw + " " + data);
    ASSERT_EQ(ten.status, 0);
    EXPECT_EQ(Krtool("pbe encrypt --iterations 010 --password-file " + pw + " " + data).out,
              ten.out);
    EXPECT_NE(Krtool("pbe encrypt --iterations 8 --password-file " + pw + " " + data).out, ten.out);
    for (const char* bad : {"0x10", "1e3", "", "0", "65537", "-5", "99999999999999999999"}) {
        const auto r = Krtool("pbe encrypt --iterations '" + std::string(bad) +
                              "' --password-file " + pw + " " + data);
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(OneErrorLine(r.err)) << r.err;
    }
    EXPECT_EQ(Krtool("crc16 --init 0x1D0F /dev/null").out, "1D0F\n");  // hex where it says so
    EXPECT_EQ(Krtool("crc16 --init 7439 /dev/null").out, "1D0F\n");
    EXPECT_EQ(Krtool("crc16 --init 0x10000 /dev/null").status, 2);
}

TEST(KrtoolCli, UnwritableHelpVersionAndOutputFail) {
    for (const char* args : {"--help", "--version", "base64 --help", "hex --version", "ls /"}) {
        const auto r = Krtool(std::string(args) + " > /dev/full");
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_TRUE(OneErrorLine(r.err)) << args << ": " << r.err;
    }
}

TEST(KrtoolCli, OutputFileAppearsOnlyOnSuccess) {
    testutil::TempDir dir;
    const std::string out = dir.File("out"), q = ShellQuote(out);
    testutil::WriteFile(dir.File("in"), std::string(200000, 'x'));
    const auto ok = Krtool("hex -o " + q + " " + ShellQuote(dir.File("in")));
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "");
    EXPECT_EQ(testutil::ReadFile(out), Krtool("hex " + ShellQuote(dir.File("in"))).out);
    // A failure after output was written leaves the old file as it was and no
    // temporary file behind.
    testutil::WriteFile(out, "old");
    testutil::WriteFile(dir.File("bad"), std::string(100000, 'A') + "A");
    EXPECT_EQ(Krtool("base64 -d --output=" + q + " " + ShellQuote(dir.File("bad"))).status, 1);
    EXPECT_EQ(Krtool("digest md5 -o " + q + " /dev/null " + ShellQuote(dir.File("missing"))).status,
              1);
    EXPECT_EQ(testutil::ReadFile(out), "old");
    EXPECT_EQ(krtooltest::Shell("ls " + ShellQuote(dir.path()) + " | wc -l"), "3\n");
    EXPECT_EQ(Krtool("hex -o " + ShellQuote(dir.File("no/such/dir")) + " /dev/null").status, 1);
}

TEST(KrtoolCli, ErrorsAreOnePlainLineAndVerboseAddsTheLibraryText) {
    const std::pair<std::string, std::string> cases[] = {
        {"ini list nonexist.ini",
         "krtool: cannot open 'nonexist.ini': No such file or directory\n"},
        {"base64 /", "krtool: cannot read '/': Is a directory\n"},
        {"hex --frobnicate", "krtool: unknown option '--frobnicate' (see 'krtool hex --help')\n"},
        {"frobnicate", "krtool: unknown command 'frobnicate' (see 'krtool --help')\n"},
        {"ls /nonexistent", "krtool: cannot list '/nonexistent': No such file or directory\n"},
    };
    for (const auto& [args, err] : cases) EXPECT_EQ(Krtool(args).err, err) << args;
    EXPECT_EQ(Krtool("hex --frobnicate").status, 2);
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("pw"), "right\n");
    testutil::WriteFile(dir.File("wrong"), "wrong\n");
    const std::string sealed = ShellQuote(dir.File("sealed"));
    ASSERT_EQ(Krtool("pbe encrypt --password-file " + ShellQuote(dir.File("pw")) + " -o " + sealed +
                     " /etc/hostname")
                  .status,
              0);
    const std::string decrypt = "pbe decrypt --password-file " + ShellQuote(dir.File("wrong"));
    EXPECT_EQ(Krtool(decrypt + " " + sealed).err, "krtool: wrong password or damaged data\n");
    const auto verbose = Krtool(decrypt + " --verbose " + sealed);
    EXPECT_TRUE(OneErrorLine(verbose.err)) << verbose.err;
    EXPECT_NE(verbose.err.find("[library: KR_PBE::Decrypt; B_DecryptFinal (code "),
              std::string::npos)
        << verbose.err;
}

// A loopback listener that never answers: connections wait in its backlog.
class SilentListener {
public:
    SilentListener() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd_, 4) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("no loopback listener");
        }
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() { close(fd_); }
    int port() const { return port_; }

private:
    int fd_;
    int port_ = 0;
};

TEST(KrtoolCli, MailRefusesBadServicesAndTimeoutsAndNamesATimeOutPlainly) {
    const std::string addresses = " --from a@example.org --to b@example.org --subject s ";
    for (const char* bad : {"--service 99999", "--service 0", "--service no-such-service",
                            "--timeout -1", "--timeout 0", "--timeout 1x"}) {
        const auto r =
            Krtool("mail --server 127.0.0.1 " + std::string(bad) + addresses + "< /dev/null");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(OneErrorLine(r.err)) << r.err;
    }
    SilentListener listener;
    const std::string port = std::to_string(listener.port());
    const auto r = Krtool("mail --exact --helo h --server 127.0.0.1 --service " + port +
                          " --timeout 1" + addresses + "< /dev/null");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "krtool: no reply from 127.0.0.1:" + port + " within 1 s\n");
}

}  // namespace
