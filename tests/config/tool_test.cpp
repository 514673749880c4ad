// krtool ini and krtool params, run as a separate process.
#include <random>
#include <string>

#include "config_test_util.h"
#include "params_generator.h"
#include "testutil.h"

namespace {

using testutil::ShellQuote;

testutil::CommandResult Krtool(const std::string& arguments) {
    return testutil::Run(ShellQuote(KRTOOL_PATH) + " " + arguments + " 2>&1");
}

TEST(KrtoolIni, GetSetAndList) {
    testutil::TempDir dir;
    const std::string file = dir.File("a.ini");
    testutil::WriteFile(file, "[main]\nname = first ; note\nempty=\n[other]\nx=1\n");
    const std::string q = ShellQuote(file);

    auto r = Krtool("ini get " + q + " main name");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "first\n");
    r = Krtool("ini get " + q + " main empty");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "\n");
    r = Krtool("ini get " + q + " main missing");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "krtool: no entry 'missing' in section 'main'\n");

    r = Krtool("ini list " + q);
    EXPECT_EQ(r.output, "main\nother\n");
    r = Krtool("ini list " + q + " main");
    EXPECT_EQ(r.output, "name=first\nempty=\n");
    r = Krtool("ini list - other < " + q);
    EXPECT_EQ(r.output, "x=1\n");

    r = Krtool("ini set " + q + " 'new section' key 'a value'");
    EXPECT_EQ(r.status, 0) << r.output;
    r = Krtool("ini set " + q + " main name second");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(configtest::PythonDump(file),
              "[main]\nname=second\n[other]\nx=1\n[new section]\nkey=a value\n");

    const std::string created = dir.File("created.ini");
    r = Krtool("ini set " + ShellQuote(created) + " s k v");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(testutil::ReadFile(created), "\n[s]\nk=v\n");
    EXPECT_EQ(Krtool("ini set " + ShellQuote(dir.File("no/dir.ini")) + " s k v").status, 1);
}

TEST(KrtoolIni, BadUsageAndMissingFiles) {
    EXPECT_EQ(Krtool("ini").status, 2);
    EXPECT_EQ(Krtool("ini frobnicate x").status, 2);
    EXPECT_EQ(Krtool("ini get only-two-args x").status, 2);
    const auto r = Krtool("ini list /nonexistent/file.ini");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output.rfind("krtool: Function: Open, Filename: /nonexistent/file.ini", 0), 0u)
        << r.output;
}

TEST(KrtoolParams, PrintsEveryPairOfAGeneratedFile) {
    testutil::TempDir dir;
    configtest::ParamsGenerator generator(21, configtest::ParamStyle::kParenEscapes);
    const auto generated = generator.Generate(8);
    testutil::WriteFile(dir.File("p.txt"), generated.text);
    std::string expected;
    for (size_t r = 0; r < generated.records.size(); ++r) {
        for (const auto& p : generated.records[r]) {
            expected += std::to_string(r + 1) + " " + std::to_string(p.line) + ":" +
                        std::to_string(p.column) + " " + p.keyword + "=" + p.value + "\n";
        }
    }
    const auto r = Krtool("params paren --escapes " + ShellQuote(dir.File("p.txt")));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, expected);
}

TEST(KrtoolParams, SyntaxErrorsExitWithTheParserText) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("p.txt"), "a=1 b='x y';\n c=2 =3\n");
    auto r = Krtool("params equal " + ShellQuote(dir.File("p.txt")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output,
              "1 1:0 a=1\n1 1:4 b=x y\n2 2:1 c=2\nkrtool: Invalid token syntax -- leading '='\n");
    r = Krtool("params paren " + ShellQuote(dir.File("p.txt")));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "1 1:0 a=1=\n1 1:4 b='x=\n1 1:9 y'=\n2 2:1 c=2=\n2 2:5 =3=\n");
    EXPECT_EQ(Krtool("params equal --escapes x").status, 2);
    EXPECT_EQ(Krtool("params curly x").status, 2);
}

}  // namespace
