// Every subcommand fed hostile inputs: empty, binary, large, NUL-filled,
// missing, a directory and an unreadable file. Each run ends with exit 0, or
// with exit 1 or 2 and exactly one line "krtool: ..." (so no sanitizer
// report either), and its -o file appears only on success.
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "krtool_test_util.h"

namespace {

using testutil::ShellQuote;

// Command lines; IN stands for the hostile input, PW for a password file.
// A few streaming commands get 100 MB as the large input, the others 3 MB.
struct Case {
    std::string args;
    bool streams;
};

const Case kCases[] = {
    {"asn1 IN", false},
    {"asn1 --json IN", false},
    {"base64 IN", true},
    {"base64 -d IN", false},
    {"qp IN", false},
    {"qp -d IN", true},
    {"hex IN", false},
    {"hex -d IN", false},
    {"crc16 IN", false},
    {"digest md5 IN", true},
    {"digest sha1 -c IN", false},
    {"digest md5 --table IN /dev/null", false},
    {"mac --key 0123456789abcdef IN", false},
    {"cipher des encrypt --key 0123456789abcdef --iv 0000000000000000 IN", false},
    {"cipher 3des decrypt --pad 2 --key " + std::string(48, '1') + " --iv 0000000000000000 IN",
     false},
    {"edc encode IN", false},
    {"edc decode IN", false},
    {"passwd encrypt --key 0123456789abcdef IN", false},
    {"passwd decrypt --key 0123456789abcdef IN", false},
    {"passphrase decrypt IN", false},
    {"pbe encrypt --password-file PW IN", false},
    {"pbe decrypt --password-file PW IN", false},
    {"pbe encrypt --password-file IN PW", false},
    {"cert IN", false},
    {"cert --der --json IN", false},
    {"san decode IN", false},
    {"san decode --hex IN", false},
    {"ini get IN s k", false},
    {"ini list --json IN", false},
    {"ini set IN s k v", false},
    {"params paren --escapes IN", false},
    {"params equal --json IN", false},
    {"ls --long --json IN", false},
};

enum class Input { kEmpty, kBinary, kLarge, kNuls, kMissing, kDirectory, kUnreadable };

class KrtoolSweep : public testing::TestWithParam<Input> {
protected:
    // The path of the hostile input, made in `dir`.
    std::string MakeInput(bool streams) {
        const std::string path = dir.File("input");
        std::filesystem::remove_all(path);
        switch (GetParam()) {
            case Input::kEmpty:
                testutil::WriteFile(path, "");
                break;
            case Input::kBinary:
                Fill("head -c 300000 /dev/urandom", path);
                break;
            case Input::kLarge:
                Fill(std::string("head -c ") + (streams ? "100M" : "3M") + " /dev/urandom", path);
                break;
            case Input::kNuls:
                testutil::WriteFile(path, std::string(70000, '\0'));
                break;
            case Input::kMissing:
                break;
            case Input::kDirectory:
                std::filesystem::create_directory(path);
                break;
            case Input::kUnreadable:
                if (geteuid() == 0) return "/proc/self/mem";  // reading it fails for anyone
                testutil::WriteFile(path, "secret");
                std::filesystem::permissions(path, std::filesystem::perms::none);
                break;
        }
        return path;
    }
    void Fill(const std::string& command, const std::string& path) {
        ASSERT_EQ(testutil::Run(command + " > " + ShellQuote(path)).status, 0);
    }
    testutil::TempDir dir;
};

std::string Replace(std::string text, const std::string& word, const std::string& by) {
    for (size_t at = 0; (at = text.find(word, at)) != std::string::npos; at += by.size()) {
        text.replace(at, word.size(), by);
    }
    return text;
}

TEST_P(KrtoolSweep, EndsCleanlyWithOneLineAndNoPartialOutput) {
    testutil::WriteFile(dir.File("pw"), "password\n");
    const std::string out = dir.File("out");
    for (const Case& c : kCases) {
        const std::string input = MakeInput(c.streams);
        const std::string args =
            Replace(Replace(c.args, "IN", ShellQuote(input)), "PW", ShellQuote(dir.File("pw")));
        const auto r = krtooltest::Krtool(args + " -o " + ShellQuote(out) + " < /dev/null");
        SCOPED_TRACE(args);
        EXPECT_TRUE(r.status == 0 || r.status == 1 || r.status == 2) << r.status << r.err;
        if (r.status == 0) {
            EXPECT_TRUE(std::filesystem::exists(out)) << r.err;
        } else {
            EXPECT_TRUE(krtooltest::OneErrorLine(r.err)) << r.err.substr(0, 2000);
            EXPECT_FALSE(std::filesystem::exists(out));
        }
        std::filesystem::remove(out);
        size_t leftovers = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            leftovers += entry.path().filename().string().find(".krtool-") != std::string::npos;
        }
        EXPECT_EQ(leftovers, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, KrtoolSweep,
                         testing::Values(Input::kEmpty, Input::kBinary, Input::kLarge, Input::kNuls,
                                         Input::kMissing, Input::kDirectory, Input::kUnreadable));

}  // namespace
