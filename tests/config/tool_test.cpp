// krtool ini and krtool params, run as a separate process.
#include <string>
#include <utility>

#include "config_test_util.h"
#include "testutil.h"

namespace {

using testutil::ShellQuote;
using Result = std::pair<int, std::string>;  // exit status, standard output and error

Result Krtool(const std::string& arguments) {
    const auto r = testutil::Run(ShellQuote(KRTOOL_PATH) + " " + arguments + " 2>&1");
    return {r.status, r.output};
}

TEST(KrtoolIni, GetSetListAndFailures) {
    testutil::TempDir dir;
    const std::string q = ShellQuote(dir.File("a.ini")), created = dir.File("new.ini");
    testutil::WriteFile(dir.File("a.ini"), "[main]\nname = first ; note\nempty=\n[other]\nx=1\n");
    EXPECT_EQ(Krtool("ini get " + q + " main name"), Result(0, "first\n"));
    EXPECT_EQ(Krtool("ini get " + q + " main missing"),
              Result(1, "krtool: no entry 'missing' in section 'main'\n"));
    EXPECT_EQ(Krtool("ini list " + q), Result(0, "main\nother\n"));
    EXPECT_EQ(Krtool("ini list - other < " + q), Result(0, "x=1\n"));
    EXPECT_EQ(Krtool("ini set " + q + " 'new section' key 'a value'"), Result(0, ""));
    EXPECT_EQ(Krtool("ini set " + q + " main name second"), Result(0, ""));
    EXPECT_EQ(configtest::PythonDump(dir.File("a.ini")),
              "[main]\nname=second\n[other]\nx=1\n[new section]\nkey=a value\n");
    EXPECT_EQ(Krtool("ini set " + ShellQuote(created) + " s k v"), Result(0, ""));
    EXPECT_EQ(testutil::ReadFile(created), "\n[s]\nk=v\n");

    const auto [status, output] = Krtool("ini list /nonexistent/file.ini");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(output.rfind("krtool: Function: Open, Filename: /nonexistent/file.ini", 0), 0u)
        << output;
    for (const char* usage : {"ini", "ini frobnicate x", "ini get only-two-args x"})
        EXPECT_EQ(Krtool(usage).first, 2) << usage;
}

TEST(KrtoolParams, PrintsPairsFailsOnSyntaxAndRejectsBadUsage) {
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
    EXPECT_EQ(Krtool("params paren --escapes " + ShellQuote(dir.File("gen.txt"))),
              Result(0, expected));

    const std::string bad = ShellQuote(dir.File("bad.txt"));
    testutil::WriteFile(dir.File("bad.txt"), "a=1 b='x y';\n c=2 =3\n");
    EXPECT_EQ(Krtool("params equal " + bad),
              Result(1,
                     "1 1:0 a=1\n1 1:4 b=x y\n2 2:1 c=2\n"
                     "krtool: Invalid token syntax -- leading '='\n"));
    EXPECT_EQ(Krtool("params equal --escapes " + bad).first, 2);
    EXPECT_EQ(Krtool("params curly " + bad).first, 2);
}

}  // namespace
