// krtool pbe with the openssl command line on the other side.
#include <string>

#include "pbe_test_util.h"

namespace {

using testutil::ShellQuote;

TEST(KrtoolPbe, EncryptedKeyOpensWithOpensslAndBack) {
    testutil::TempDir dir;
    std::string keyInfo = pbetest::PrivateKeyInfo(dir, 1024);
    ASSERT_FALSE(keyInfo.empty());
    testutil::WriteFile(dir.File("key.der"), keyInfo);
    testutil::WriteFile(dir.File("password"), "correct horse\n");
    const std::string tool = KRTOOL_PATH;
    const std::string passwordFile = ShellQuote(dir.File("password"));

    testutil::CommandResult encrypted =
        testutil::Run(tool + " pbe encrypt --password-file " + passwordFile +
                      " --iterations 2048 " + dir.File("key.der"));
    ASSERT_EQ(encrypted.status, 0);
    ASSERT_EQ(encrypted.output.back(), '\n');
    testutil::WriteFile(
        dir.File("encrypted.der"),
        pbetest::OpensslBase64Decode(dir, encrypted.output.substr(0, encrypted.output.size() - 1)));
    std::string viaOpenssl =
        testutil::Run("openssl pkcs8 -inform DER -in " + dir.File("encrypted.der") +
                      " -passin file:" + passwordFile +
                      " -provider legacy -provider default -topk8 -nocrypt "
                      "-outform DER 2>/dev/null")
            .output;
    EXPECT_EQ(viaOpenssl, keyInfo);

    testutil::WriteFile(dir.File("encrypted.txt"), encrypted.output);
    testutil::CommandResult decrypted =
        testutil::Run(tool + " pbe decrypt --password-file " + passwordFile + " - < " +
                      dir.File("encrypted.txt"));
    EXPECT_EQ(decrypted.status, 0);
    EXPECT_EQ(decrypted.output, keyInfo);
}

TEST(KrtoolPbe, ReportsBadUsageAndBadData) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("password"), "pw");
    testutil::WriteFile(dir.File("junk"), "0123456789");
    const std::string run = std::string(KRTOOL_PATH) + " pbe ";
    const std::string password = " --password-file " + dir.File("password") + " ";
    const std::pair<std::string, int> cases[] = {
        {"encrypt /dev/null", 2},    // no password file
        {"scramble" + password, 2},  // unknown mode
        {"encrypt" + password + "--iterations 0 " + dir.File("junk"), 2},
        {"decrypt" + password + dir.File("junk"), 1},  // not encrypted data
        {"encrypt" + password + "/dev/null", 1},       // empty message
    };
    for (const auto& c : cases) {
        EXPECT_EQ(testutil::Run(run + c.first + " 2>/dev/null").status, c.second) << c.first;
    }
}

}  // namespace
