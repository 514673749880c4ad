// krtool ini and krtool params, run as a separate process.
#include <string>

#include "config_test_util.h"
#include "testutil.h"

namespace {

using testutil::ShellQuote;

testutil::CommandResult Krtool(const std::string& arguments) {
    return testutil::Run(ShellQuote(KRTOOL_PATH) + " " + arguments + " 2>&1");
}

void ExpectRun(const std::string& arguments, int status, const std::string& output) {
    const auto r = Krtool(arguments);
    EXPECT_EQ(r.status, status) << arguments;
    EXPECT_EQ(r.output, output) << arguments;
}

TEST(KrtoolIni, GetSetListAndFailures) {
    testutil::TempDir dir;
    const std::string q = ShellQuote(dir.File("a.ini")), created = dir.File("new.ini");
    testutil::WriteFile(dir.File("a.ini"), "[main]\nname = first ; note\nempty=\n[other]\nx=1\n");
    ExpectRun("ini get " + q + " main name", 0, "first\n");
    ExpectRun("ini get " + q + " main missing", 1,
              "krtool: no entry 'missing' in section 'main'\n");
    ExpectRun("ini list " + q, 0, "main\nother\n");
    ExpectRun("ini list " + q + " main", 0, "name=first\nempty=\n");
    ExpectRun("ini list - other < " + q, 0, "x=1\n");
    ExpectRun("ini set " + q + " 'new section' key 'a value'", 0, "");
    ExpectRun("ini set " + q + " main name second", 0, "");
    EXPECT_EQ(configtest::PythonDump(dir.File("a.ini")),
              "[main]\nname=second\n[other]\nx=1\n[new section]\nkey=a value\n");
    ExpectRun("ini set " + ShellQuote(created) + " s k v", 0, "");
    EXPECT_EQ(testutil::ReadFile(created), "\n[s]\nk=v\n");

    const auto r = Krtool("ini list /nonexistent/file.ini");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output.rfind("krtool: Function: Open, Filename: /nonexistent/file.ini", 0), 0u)
        << r.output;
    for (const char* usage : {"ini", "ini frobnicate x", "ini get only-two-args x"}) {
        EXPECT_EQ(Krtool(usage).status, 2) << usage;
    }
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
    ExpectRun("params paren --escapes " + ShellQuote(dir.File("gen.txt")), 0, expected);

    const std::string bad = ShellQuote(dir.File("bad.txt"));
    testutil::WriteFile(dir.File("bad.txt"), "a=1 b='x y';\n c=2 =3\n");
    ExpectRun("params equal " + bad, 1,
              "1 1:0 a=1\n1 1:4 b=x y\n2 2:1 c=2\nkrtool: Invalid token syntax -- leading '='\n");
    EXPECT_EQ(Krtool("params equal --escapes " + bad).status, 2);
    EXPECT_EQ(Krtool("params curly " + bad).status, 2);
}

}  // namespace
