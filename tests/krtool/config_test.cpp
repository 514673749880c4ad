// krtool ini and krtool params, run as a separate process; INI files are
// checked against Python's configparser and line by line against the input.
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "../config/config_test_util.h"
#include "krtool_test_util.h"

namespace {

using krtooltest::Krtool;
using krtooltest::OneErrorLine;
using testutil::ShellQuote;

std::vector<std::string> RawLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size() - 1);
        lines.push_back(text.substr(at, end + 1 - at));
        at = end + 1;
    }
    return lines;
}

// How many lines of `before` are missing from `after` and how many are new,
// both counted in order (a longest common subsequence).
std::pair<size_t, size_t> LineChanges(const std::string& before, const std::string& after) {
    const auto a = RawLines(before), b = RawLines(after);
    std::vector<std::vector<size_t>> common(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = a.size(); i-- > 0;) {
        for (size_t j = b.size(); j-- > 0;) {
            common[i][j] = a[i] == b[j] ? common[i + 1][j + 1] + 1
                                        : std::max(common[i + 1][j], common[i][j + 1]);
        }
    }
    return {a.size() - common[0][0], b.size() - common[0][0]};
}

const char kSample[] =
    "; settings\r\n"
    "\r\n"
    "[main]\r\n"
    "name = demo   ; who\r\n"
    "  empty=\r\n"
    "bare\r\n"
    "\r\n"
    "# second block\r\n"
    "[other]\r\n"
    "x=1\r\n"
    "[main]\r\n"
    "name=later\r\n"
    "last=line without end";

TEST(KrtoolIni, SetAndUnsetChangeOnlyTheirLinesAndReadBackAsConfigparserDoes) {
    testutil::TempDir dir;
    const std::string path = dir.File("a.ini"), q = ShellQuote(path);
    struct Case {
        std::string args;
        std::pair<size_t, size_t> changes;  // lines removed, lines added
        std::string get;                    // "SECTION KEY" to read back
        std::string value;
    };
    const Case cases[] = {
        {"set " + q + " main name 'a = b [c]'", {1, 1}, "main name", "a = b [c]"},
        {"set " + q + " main empty filled", {1, 1}, "main empty", "filled"},
        {"set " + q + " main bare here", {1, 1}, "main bare", "here"},
        {"set " + q + " main new 'v'",
         {1, 2},
         "main new",
         "v"},  // the unended last line gets CR LF
        {"set " + q + " other y 2", {0, 1}, "other y", "2"},
        {"set " + q + " fresh k v", {0, 2}, "fresh k", "v"},
        {"unset " + q + " main name", {2, 0}, "", ""},
        {"set " + q + " main empty ''", {1, 1}, "main empty", ""},
    };
    testutil::WriteFile(path, kSample);
    for (const auto& c : cases) {
        const std::string before = testutil::ReadFile(path);
        const auto r = Krtool("ini " + c.args);
        ASSERT_EQ(r.status, 0) << c.args << r.err;
        const std::string after = testutil::ReadFile(path);
        EXPECT_EQ(LineChanges(before, after), c.changes) << c.args << "\n" << after;
        if (!c.get.empty()) {
            EXPECT_EQ(Krtool("ini get " + q + " " + c.get).out, c.value + "\n");
        }
    }
    EXPECT_EQ(Krtool("ini get " + q + " main name").status, 1);
    EXPECT_EQ(configtest::PythonDump(path),
              "[main]\nempty=\nbare=here\nlast=line without end\nnew=v\n[other]\nx=1\ny=2\n"
              "[fresh]\nk=v\n");
    EXPECT_EQ(testutil::ReadFile(path).find("name = "), std::string::npos);
    EXPECT_NE(testutil::ReadFile(path).find("  empty=\r\n"), std::string::npos);

    const std::string created = ShellQuote(dir.File("new.ini"));
    EXPECT_EQ(Krtool("ini set " + created + " s k v").status, 0);
    EXPECT_EQ(testutil::ReadFile(dir.File("new.ini")), "[s]\nk=v\n");
    EXPECT_EQ(Krtool("ini unset " + created + " s missing").status, 1);
}

TEST(KrtoolIni, RefusesWhatWouldNotReadBackAndLeavesTheFileUntouched) {
    testutil::TempDir dir;
    const std::string path = dir.File("a.ini"), q = ShellQuote(path);
    testutil::WriteFile(path, kSample);
    const std::string refused[][3] = {{"s", "k", "a#b"},
                                      {"s", "k", "a;b"},
                                      {"s", "k", "v\n[evil]\ninjected=1"},
                                      {"s", "k", " lead"},
                                      {"s", "k", "trail\t"},
                                      {"s", "k=x", "v"},
                                      {"s", "#k", "v"},
                                      {"s", " k", "v"},
                                      {"s", "[k]", ""},
                                      {"s", "", "v"},
                                      {"", "k", "v"},
                                      {"a]=b", "k", "v"},
                                      {"s;x", "k", "v"},
                                      {std::string(126, 's'), "k", "v"},
                                      {"s", "k", std::string(2050, 'v')},
                                      {"s", "k", "cr\r"}};
    for (const auto& [section, key, value] : refused) {
        const auto r = Krtool("ini set " + q + " -- " + ShellQuote(section) + " " +
                              ShellQuote(key) + " " + ShellQuote(value));
        EXPECT_EQ(r.status, 1) << section << "|" << key << "|" << value;
        EXPECT_TRUE(OneErrorLine(r.err)) << r.err;
    }
    EXPECT_EQ(testutil::ReadFile(path), kSample);
    // Whatever set accepts reads back exactly; whatever it refuses leaves the file alone.
    std::mt19937 rng(15);
    const std::string alphabet = "ab =[];#\t-\"'\\\xc3\xbc";
    size_t stored = 0;
    for (int round = 0; round < 25; ++round) {
        const std::string key = configtest::RandomText(rng, alphabet, 1, 5);
        const std::string value = configtest::RandomText(rng, alphabet, 0, 6);
        const std::string before = testutil::ReadFile(path);
        const std::string args = q + " -- main " + ShellQuote(key);
        const auto r = Krtool("ini set " + args + " " + ShellQuote(value));
        if (r.status == 0) {
            ++stored;
            EXPECT_EQ(Krtool("ini get " + args).out, value + "\n") << key << "|" << value;
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(testutil::ReadFile(path), before) << key << "|" << value;
        }
    }
    EXPECT_GT(stored, 3u);
}

TEST(KrtoolIni, GetAndListReadFilesAndStandardInput) {
    testutil::TempDir dir;
    const std::string q = ShellQuote(dir.File("a.ini"));
    testutil::WriteFile(dir.File("a.ini"), "[main]\nname = first ; note\nempty=\n[other]\nx=1\n");
    EXPECT_EQ(Krtool("ini get " + q + " main name").out, "first\n");
    EXPECT_EQ(Krtool("ini get " + q + " main missing").err,
              "krtool: no entry 'missing' in section 'main'\n");
    EXPECT_EQ(Krtool("ini list " + q).out, "main\nother\n");
    EXPECT_EQ(Krtool("ini list - other < " + q).out, "x=1\n");
    for (const char* usage :
         {"ini", "ini frobnicate x", "ini get only-two-args x", "ini set - s k v"})
        EXPECT_EQ(Krtool(usage).status, 2) << usage;
}

TEST(KrtoolParams, PrintsPairsFailsOnSyntaxAndReadsStandardInput) {
    testutil::TempDir dir;
    const auto generated =
        configtest::ParamsGenerator(21, configtest::ParamStyle::kParenEscapes).Generate(7);
    testutil::WriteFile(dir.File("gen.txt"), generated.text);
    std::string expected;  // each pair line gets its record number in front
    for (size_t r = 0; r < generated.records.size(); ++r) {
        std::string pairs = generated.records[r];
        for (size_t at = 0; at < pairs.size(); at = pairs.find('\n', at) + 1) {
            pairs.insert(at, std::to_string(r + 1) + " ");
        }
        expected += pairs;
    }
    const std::string gen = ShellQuote(dir.File("gen.txt"));
    EXPECT_EQ(Krtool("params paren --escapes " + gen).out, expected);
    EXPECT_EQ(Krtool("params paren --escapes - < " + gen).out, expected);
    EXPECT_EQ(Krtool("params paren --escapes < " + gen).out, expected);

    const std::string bad = ShellQuote(dir.File("bad.txt"));
    testutil::WriteFile(dir.File("bad.txt"), "a=1 b='x y';\n c=2 =3\n");
    const auto r = Krtool("params equal " + bad);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1 1:0 a=1\n1 1:4 b=x y\n2 2:1 c=2\n");
    EXPECT_EQ(r.err, "krtool: Invalid token syntax -- leading '='\n");
    EXPECT_EQ(Krtool("params equal " + ShellQuote(dir.File("missing"))).err,
              "krtool: cannot open '" + dir.File("missing") + "': No such file or directory\n");
    EXPECT_EQ(Krtool("params equal --escapes " + bad).status, 2);
    EXPECT_EQ(Krtool("params curly " + bad).status, 2);
}

}  // namespace
