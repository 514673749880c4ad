// Delivery through a real SMTP server (aiosmtpd) on loopback.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "krtools/mailer.h"
#include "testutil.h"

namespace {

// Starts tests/mail/smtp_sink.py, which stores each accepted message as
// <n>.eml and <n>.env in its folder.
class SmtpSink {
public:
    SmtpSink() {
        std::string script = std::string(KRTOOLS_SOURCE_DIR) + "/tests/mail/smtp_sink.py";
        auto started =
            testutil::Run("/usr/bin/python3 " + testutil::ShellQuote(script) + " " +
                          testutil::ShellQuote(dir_.path()) + " >/dev/null 2>&1 & echo $!");
        pid_ = std::atoi(started.output.c_str());
        if (WaitFor("port")) port_ = testutil::ReadFile(dir_.File("port"));
    }
    ~SmtpSink() {
        if (pid_ > 0) kill(pid_, SIGTERM);
    }
    const std::string& port() const { return port_; }

    bool WaitFor(const std::string& name) const {
        for (int i = 0; i < 1000 && !std::filesystem::exists(dir_.File(name)); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::filesystem::exists(dir_.File(name));
    }
    // The content of message n as the server received it.
    std::string Message(int n) const {
        return WaitFor(std::to_string(n) + ".eml")
                   ? testutil::ReadFile(dir_.File(std::to_string(n) + ".eml"))
                   : "(not delivered)";
    }
    std::string Envelope(int n) const {
        return WaitFor(std::to_string(n) + ".env")
                   ? testutil::ReadFile(dir_.File(std::to_string(n) + ".env"))
                   : "(not delivered)";
    }

private:
    testutil::TempDir dir_;
    int pid_ = -1;
    std::string port_;
};

TEST(EMailerWithRealServer, MessagesFromTextAndFileArriveIntact) {
    SmtpSink sink;
    ASSERT_FALSE(sink.port().empty()) << "the SMTP server did not start";
    std::string body = "Dear partner,\r\nthe exchange ran at 10:00.\r\n\r\nRegards";

    EMailer mailer("127.0.0.1", sink.port().c_str());
    mailer.SetTimeout(20);
    mailer.SendMessageA("client.example", "from@example.org", "to@example.org", "Exchange report",
                        body.c_str());
    mailer.Disconnect();
    EXPECT_EQ(sink.Message(1), "SUBJECT: Exchange report\r\n" + body + "\r\n");
    EXPECT_EQ(sink.Envelope(1), "from@example.org\nto@example.org\n");

    testutil::TempDir dir;
    std::string fileBody;
    for (int i = 0; i < 300; ++i) fileBody += "line " + std::to_string(i) + " of the file\r\n";
    testutil::WriteFile(dir.File("body.txt"), fileBody);
    mailer.SendMessageFile("client.example", "from@example.org", "other@example.org", "From a file",
                           dir.File("body.txt").c_str());
    mailer.Disconnect();
    EXPECT_EQ(sink.Message(2), "SUBJECT: From a file\r\n" + fileBody + "\r\n");
}

TEST(EMailerWithRealServer, KrtoolMailDotStuffsAndConvertsLineEnds) {
    SmtpSink sink;
    ASSERT_FALSE(sink.port().empty()) << "the SMTP server did not start";
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("body"), "first\n.\n.hidden line\nlast\n");
    auto result = testutil::Run(std::string(KRTOOL_PATH) + " mail --server 127.0.0.1 --service " +
                                sink.port() +
                                " --helo tool.example --from a@example.org --to b@example.org"
                                " --subject 'Via the tool' " +
                                testutil::ShellQuote(dir.File("body")));
    ASSERT_EQ(result.status, 0);
    // The server removes the stuffed periods again: the text arrives as typed.
    EXPECT_EQ(sink.Message(1),
              "SUBJECT: Via the tool\r\nfirst\r\n.\r\n.hidden line\r\nlast\r\n\r\n");
}

TEST(SmtpCanonicalBody, ConvertsLineEndsAndStuffsPeriods) {
    EXPECT_EQ(SmtpCanonicalBody("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(SmtpCanonicalBody(".x\n.\n..y\nz."), "..x\r\n..\r\n...y\r\nz.");
    EXPECT_EQ(SmtpCanonicalBody(""), "");
    EXPECT_EQ(SmtpCanonicalBody("\n\n"), "\r\n\r\n");
}

}  // namespace
