// krtool digest against openssl dgst.
#include <random>
#include <string>

#include "testutil.h"

namespace {

using testutil::ShellQuote;

std::string OpensslDigest(const std::string& algorithm, const std::string& path) {
    std::string line =
        testutil::Run("openssl dgst -" + algorithm + " -r " + ShellQuote(path)).output;
    return line.substr(0, line.find(' ')) + "\n";
}

TEST(KrtoolDigest, MatchesOpensslWithAndWithoutTable) {
    testutil::TempDir dir;
    std::mt19937 random(5);
    std::string data(200000, '\0');
    for (char& c : data) c = static_cast<char>(random());
    std::string table(256, '\0');
    for (char& c : table) c = static_cast<char>(random());
    std::string translated = data;
    for (char& c : translated) c = table[static_cast<unsigned char>(c)];
    testutil::WriteFile(dir.File("data"), data);
    testutil::WriteFile(dir.File("table"), table);
    testutil::WriteFile(dir.File("translated"), translated);

    for (const char* algorithm : {"md5", "sha1"}) {
        testutil::CommandResult plain = testutil::Run(std::string(KRTOOL_PATH) + " digest " +
                                                      algorithm + " " + dir.File("data"));
        EXPECT_EQ(plain.status, 0);
        EXPECT_EQ(plain.output, OpensslDigest(algorithm, dir.File("data")));

        testutil::CommandResult piped =
            testutil::Run(std::string(KRTOOL_PATH) + " digest " + algorithm + " --table " +
                          dir.File("table") + " - < " + dir.File("data"));
        EXPECT_EQ(piped.status, 0);
        EXPECT_EQ(piped.output, OpensslDigest(algorithm, dir.File("translated")));
    }
}

TEST(KrtoolDigest, RefusesBadUsageAndBadTables) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("short"), std::string(255, 'x'));
    std::string tool = KRTOOL_PATH;
    EXPECT_EQ(testutil::Run(tool + " digest sha256 /dev/null 2>/dev/null").status, 2);
    EXPECT_EQ(testutil::Run(tool + " digest 2>/dev/null").status, 2);
    EXPECT_EQ(
        testutil::Run(tool + " digest md5 --table " + dir.File("short") + " /dev/null 2>/dev/null")
            .status,
        1);
    EXPECT_EQ(testutil::Run(tool + " digest md5 " + dir.File("missing") + " 2>/dev/null").status,
              1);
}

}  // namespace
