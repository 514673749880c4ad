#include <dlfcn.h>
#include <netdb.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "krtools/mailer.h"
#include "peer.h"
#include "testutil.h"

static int gRecordSocket = -1;
static std::vector<size_t> gSends;  // sizes of the send() calls on gRecordSocket

// Takes precedence over the C library's send(): shows how the mailer splits.
extern "C" ssize_t send(int fd, const void* data, size_t length, int flags) {
    using SendFunction = ssize_t (*)(int, const void*, size_t, int);
    static auto next = reinterpret_cast<SendFunction>(dlsym(RTLD_NEXT, "send"));
    if (fd == gRecordSocket) gSends.push_back(length);
    return next(fd, data, length, flags);
}

namespace {

const std::string kCommands[] = {"HELO client.example\r\n",
                                 "MAIL FROM:<a@example.org>\r\n",
                                 "RCPT TO:<b@example.org>\r\n",
                                 "DATA\r\n",
                                 "\r\n.\r\n",
                                 "QUIT\r\n"};

std::string Dialogue(const std::string& subject, const std::string& body) {
    return kCommands[0] + kCommands[1] + kCommands[2] + kCommands[3] + "SUBJECT: " + subject +
           "\r\n" + body + kCommands[4] + kCommands[5];
}

void Send(EMailer& mailer, const char* subject, const char* body) {
    mailer.SendMessageA("client.example", "a@example.org", "b@example.org", subject, body);
}

// What `body` throws as "rc text"; empty when it throws nothing.
std::string Thrown(const std::function<void()>& body) try {
    body();
    return "";
} catch (const KRException& e) {
    return std::to_string(e.rc) + " " + e.text;
}

TEST(EMailer, SendsTheExactDialogueAndReusesTheConnection) {
    Peer relay(-1, "-", 2);
    EMailer mailer("127.0.0.1", relay.port.c_str());
    mailer.SetTimeout(10);
    mailer.Connect();
    EXPECT_EQ(Thrown([&] { mailer.Connect(); }), "-1 Connect\n\nSocket not disconnected");
    const char* body = "line one\r\n.leading period\r\nlast";
    Send(mailer, "one", body);
    Send(mailer, "two", "");  // the relay accepts one connection only
    mailer.Disconnect();
    EXPECT_EQ(relay.Wait("received"), Dialogue("one", body) + Dialogue("two", ""));
}

// Replies are judged by their first byte alone, garbage too; a server that
// closes is survived. The same object connects again each time.
TEST(EMailer, RepliesAtEachCommand) {
    const std::string replies[] = {
        "421 busy\r\n", "550 refused\r\n", "XYZZY\r\n", "9", "\x80\xff garbage", "3", ""};
    EMailer mailer;
    for (int step = 0; step < 6; ++step) {
        for (int i = 0; i < 7; ++i) {
            SCOPED_TRACE(kCommands[step] + replies[i]);
            Peer relay(step, replies[i]);
            mailer.Disconnect();
            mailer.Connect("127.0.0.1", relay.port.c_str());
            std::string thrown = Thrown([&] { Send(mailer, "s", "b"); });
            std::string call = thrown.substr(thrown.find(' ') + 1, 5);
            // A close is noticed late, when a send or receive fails, or not at all.
            if (i == 6 && (call == "send\n" || call == "recv\n")) thrown.clear();
            EXPECT_EQ(thrown, i < 4 ? "-1 SendData: " + kCommands[step] + "\n\n" + replies[i] : "");
        }
    }
}

TEST(EMailer, BodyFileGoesInPiecesOf1024) {
    testutil::TempDir dir;
    std::string body;
    for (int i = 0; i < 2500; ++i) body += static_cast<char>('a' + i % 26);
    testutil::WriteFile(dir.File("body"), body);
    testutil::WriteFile(dir.File("empty"), "");
    for (std::string name : {"body", "empty"}) {
        Peer relay;
        EMailer mailer("127.0.0.1", relay.port.c_str());
        mailer.Connect();
        gSends.clear();
        gRecordSocket = mailer.sock;
        mailer.SendMessageFile("client.example", "a@example.org", "b@example.org", "File",
                               dir.File(name).c_str());
        gRecordSocket = -1;
        // HELO, MAIL, RCPT, DATA, SUBJECT, the pieces, end marker, QUIT.
        EXPECT_EQ(std::vector<size_t>(gSends.begin() + 5, gSends.end() - 2),
                  (name == "body" ? std::vector<size_t>{1024, 1024, 452} : std::vector<size_t>()));
        mailer.Disconnect();
        EXPECT_EQ(relay.Wait("received"), Dialogue("File", name == "body" ? body : ""));
    }
    Peer relay;
    EMailer mailer("127.0.0.1", relay.port.c_str());
    std::string thrown = Thrown([&] { mailer.SendMessageFile("c", "a", "b", "s", "/none"); });
    EXPECT_EQ(thrown.substr(0, 45), "2 Function: Open, Filename: /none, Mode: rb\r\n");
}

TEST(EMailer, UnknownServiceConnectsToPort25) {
    Peer relay(-1, "-", 1, 25);
    if (relay.port.empty()) GTEST_SKIP() << "port 25 is not free here";
    EMailer mailer("127.0.0.1", "no-such-service-name");
    Send(mailer, "s", "b");
    mailer.Disconnect();
    EXPECT_EQ(relay.Wait("received"), Dialogue("s", "b"));
}

// Nothing listens on port 1: header values must be checked before connecting.
TEST(EMailer, FailuresBeforeAndWhileConnectingAndTimeOut) {
    EMailer mailer("127.0.0.1", "1");
    for (const char* value : {"evil\r\nRCPT TO:<c@example.org>", "evil\nDATA", "evil\r"}) {
        for (int field = 0; field < 4; ++field) {
            const char* args[4] = {"x", "x", "x", "x"};
            args[field] = value;
            std::string thrown =
                Thrown([&] { mailer.SendMessageA(args[0], args[1], args[2], args[3], "b"); });
            EXPECT_EQ(thrown.substr(0, 24), "-1 EMailer::SendHeaders\n");
        }
    }
    EXPECT_EQ(mailer.sock, -1);
    EXPECT_EQ(Thrown([&] { mailer.Connect(); }), "111 connect\n\nWindows rc: 0x0000006F\n" +
                                                     std::string(std::strerror(ECONNREFUSED)) +
                                                     "\n");
    EXPECT_NE(mailer.sock, -1);  // the unconnected socket stays until Disconnect
    mailer.Disconnect();
    EXPECT_EQ(mailer.sock, -1);
    EMailer nowhere("no-such-host.invalid", "25");
    std::string thrown = Thrown([&] { nowhere.Connect(); });
    int rc = std::atoi(thrown.c_str());
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(rc));
    EXPECT_EQ(thrown, std::to_string(rc) + " gethostbyname\n\nWindows rc: 0x" + hex + "\n" +
                          gai_strerror(rc) + "\n");
    EXPECT_EQ(nowhere.sock, -1);

    Peer silent(-1, "-", 0);
    EMailer waiting("127.0.0.1", silent.port.c_str());
    waiting.SetTimeout(1);
    EXPECT_EQ(Thrown([&] { Send(waiting, "s", "b"); }),
              "11 recv\n\nWindows rc: 0x0000000B\n" + std::string(std::strerror(EAGAIN)) + "\n");
}

// Delivery through a real SMTP server; the server removes the dot-stuffing
// that krtool mail adds, so the text arrives as typed.
TEST(EMailerWithRealServer, TextFileAndToolMessagesArriveIntact) {
    Peer sink("sink");
    ASSERT_FALSE(sink.port.empty()) << "the SMTP server did not start";
    std::string body = "Dear partner,\r\nthe exchange ran at 10:00.\r\n\r\nRegards";
    const std::string head = "a@example.org b@example.org\nSUBJECT: ";
    EMailer mailer("127.0.0.1", sink.port.c_str());
    Send(mailer, "Report", body.c_str());
    mailer.Disconnect();
    EXPECT_EQ(sink.Wait("1"), head + "Report\r\n" + body + "\r\n");
    testutil::TempDir dir;
    for (int i = 0; i < 7; ++i) body += body;  // 128 copies, over 7000 bytes
    testutil::WriteFile(dir.File("body.txt"), body);
    mailer.SendMessageFile("client.example", "a@example.org", "b@example.org", "File",
                           dir.File("body.txt").c_str());
    mailer.Disconnect();
    EXPECT_EQ(sink.Wait("2"), head + "File\r\n" + body + "\r\n");
    testutil::WriteFile(dir.File("typed"), "first\n.\n.hidden line\nlast\n");
    std::string tool = std::string(KRTOOL_PATH) + " mail --exact --server 127.0.0.1 --service " +
                       sink.port + " --from a@example.org --to b@example.org --subject 'By tool'";
    EXPECT_EQ(testutil::Run(tool + " --helo h " + dir.File("typed")).status, 0);
    EXPECT_EQ(sink.Wait("3"), head + "By tool\r\nfirst\r\n.\r\n.hidden line\r\nlast\r\n\r\n");
    EXPECT_EQ(testutil::Run(tool + " --helo h /nonexistent 2>/dev/null").status, 1);
    EXPECT_EQ(testutil::Run(tool + " 2>/dev/null").status, 2);  // no --helo
}

TEST(SmtpCanonicalBody, ConvertsLineEndsAndStuffsPeriods) {
    EXPECT_EQ(SmtpCanonicalBody("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(SmtpCanonicalBody(".x\n.\n..y\nz."), "..x\r\n..\r\n...y\r\nz.");
}

}  // namespace
