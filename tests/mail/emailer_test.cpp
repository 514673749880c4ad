#include <dlfcn.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "krtools/mailer.h"
#include "scripted_server.h"
#include "testutil.h"

namespace {

using mailtest::GoodRelay;
using mailtest::Peer;
using mailtest::ScriptedServer;

// Sizes of the send() calls made on the socket being watched.
std::atomic<int> gRecordSocket{-1};
std::mutex gSendsMutex;
std::vector<size_t> gSends;

}  // namespace

// Takes precedence over the C library's send() so that the tests can see how
// the mailer splits what it sends.
extern "C" ssize_t send(int fd, const void* data, size_t length, int flags) {
    using SendFunction = ssize_t (*)(int, const void*, size_t, int);
    static auto next = reinterpret_cast<SendFunction>(dlsym(RTLD_NEXT, "send"));
    if (fd == gRecordSocket) {
        std::lock_guard<std::mutex> lock(gSendsMutex);
        gSends.push_back(length);
    }
    return next(fd, data, length, flags);
}

namespace {

const char* const kCommands[] = {"HELO", "MAIL FROM", "RCPT TO", "DATA", "end marker", "QUIT"};

std::string Dialogue(const std::string& subject, const std::string& body) {
    return "HELO client.example\r\nMAIL FROM:<a@example.org>\r\nRCPT TO:<b@example.org>\r\n"
           "DATA\r\nSUBJECT: " +
           subject + "\r\n" + body + "\r\n.\r\nQUIT\r\n";
}

void Send(EMailer& mailer, const char* subject, const char* body) {
    mailer.SendMessageA("client.example", "a@example.org", "b@example.org", subject, body);
}

KRException CatchFrom(const std::function<void()>& body) {
    try {
        body();
    } catch (const KRException& e) {
        return e;
    }
    ADD_FAILURE() << "no KRException";
    return KRException();
}

// A relay that answers `reply` to the command numbered `failAt` (0 = HELO,
// 4 = the end marker, 5 = QUIT) and behaves well before it.
ScriptedServer::Script FailingRelay(int failAt, std::string reply) {
    return [failAt, reply](Peer& peer) {
        const char* good[] = {"250 a\r\n", "250 b\r\n", "250 c\r\n",
                              "354 d\r\n", "250 e\r\n", "221 f\r\n"};
        for (int step = 0; step < 6; ++step) {
            bool ok = step == 4 ? peer.ReadUntil("\r\n.\r\n") : peer.ReadLine();
            if (!ok) return;
            peer.Send(step == failAt ? reply : good[step]);
            if (step == failAt) break;
        }
        peer.Drain(2);
    };
}

TEST(EMailer, SendsTheExactDialogueWithOneReplyPerCommand) {
    ScriptedServer server(GoodRelay);
    ASSERT_TRUE(server.listening());
    const char* body = "line one\r\n.leading period\r\nlast";
    EMailer mailer("127.0.0.1", server.port().c_str());
    mailer.SetTimeout(10);
    Send(mailer, "Hello", body);
    EXPECT_NE(mailer.sock, -1);
    mailer.Disconnect();
    EXPECT_EQ(mailer.sock, -1);
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(server.received(), Dialogue("Hello", body));
}

TEST(EMailer, ErrorReplyToAnyCommandThrowsWithCommandAndReply) {
    const std::string commands[] = {"HELO client.example\r\n",
                                    "MAIL FROM:<a@example.org>\r\n",
                                    "RCPT TO:<b@example.org>\r\n",
                                    "DATA\r\n",
                                    "\r\n.\r\n",
                                    "QUIT\r\n"};
    for (int step = 0; step < 6; ++step) {
        SCOPED_TRACE(kCommands[step]);
        const std::string reply = step % 2 ? "550 refused\r\n" : "421 busy\r\n";
        ScriptedServer server(FailingRelay(step, reply));
        EMailer mailer("127.0.0.1", server.port().c_str());
        mailer.SetTimeout(10);
        KRException e = CatchFrom([&] { Send(mailer, "s", "b"); });
        EXPECT_EQ(e.rc, -1);
        EXPECT_EQ(e.text, "SendData: " + commands[step] + "\n\n" + reply);
    }
}

TEST(EMailer, SecondMessageReusesTheConnectionAndConnectTwiceIsRefused) {
    ScriptedServer server([](Peer& peer) {
        if (mailtest::ServeMessage(peer) && mailtest::ServeMessage(peer)) peer.Drain(2);
    });
    EMailer mailer("127.0.0.1", server.port().c_str());
    mailer.SetTimeout(10);
    mailer.Connect();
    KRException e = CatchFrom([&] { mailer.Connect(); });
    EXPECT_EQ(e.rc, -1);
    EXPECT_EQ(e.text, "Connect\n\nSocket not disconnected");
    Send(mailer, "one", "first");
    Send(mailer, "two", "second");
    mailer.Disconnect();
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(server.accepted(), 1);
    EXPECT_EQ(server.received(), Dialogue("one", "first") + Dialogue("two", "second"));
}

TEST(EMailer, BodyFileGoesInPiecesOf1024) {
    testutil::TempDir dir;
    std::string body;
    for (int i = 0; i < 2500; ++i) body += static_cast<char>('a' + i % 26);
    testutil::WriteFile(dir.File("body"), body);
    testutil::WriteFile(dir.File("empty"), "");

    for (const auto& [name, expected] :
         {std::pair<std::string, std::vector<size_t>>{"body", {1024, 1024, 452}}, {"empty", {}}}) {
        ScriptedServer server(GoodRelay);
        EMailer mailer("127.0.0.1", server.port().c_str());
        mailer.SetTimeout(10);
        gSends.clear();
        mailer.Connect();
        gRecordSocket = mailer.sock;
        mailer.SendMessageFile("client.example", "a@example.org", "b@example.org", "File",
                               dir.File(name).c_str());
        gRecordSocket = -1;
        mailer.Disconnect();
        // HELO, MAIL, RCPT, DATA, SUBJECT, the pieces, end marker, QUIT.
        std::vector<size_t> pieces(gSends.begin() + 5, gSends.end() - 2);
        EXPECT_EQ(pieces, expected) << name;
        ASSERT_TRUE(server.WaitFinished(1));
        std::string content = name == "body" ? body : "";
        EXPECT_EQ(server.received(), Dialogue("File", content));
    }
}

TEST(EMailer, MissingBodyFileThrowsTheFileObjectsException) {
    ScriptedServer server(GoodRelay);
    EMailer mailer("127.0.0.1", server.port().c_str());
    mailer.SetTimeout(10);
    KRException e = CatchFrom([&] {
        mailer.SendMessageFile("c", "a@example.org", "b@example.org", "s", "/nonexistent/file");
    });
    EXPECT_EQ(e.rc, ENOENT);
    EXPECT_NE(mailer.sock, -1);
}

TEST(EMailer, LineBreaksInHeaderValuesAreRejectedBeforeConnecting) {
    ScriptedServer server(GoodRelay);
    EMailer mailer("127.0.0.1", server.port().c_str());
    const char* fine = "x@example.org";
    const char* bad[] = {"evil\r\nRCPT TO:<c@example.org>", "evil\nDATA", "evil\r"};
    for (const char* value : bad) {
        for (int field = 0; field < 4; ++field) {
            const char* args[4] = {fine, fine, fine, fine};
            args[field] = value;
            KRException e =
                CatchFrom([&] { mailer.SendMessageA(args[0], args[1], args[2], args[3], "body"); });
            EXPECT_EQ(e.rc, -1);
            EXPECT_EQ(e.text.rfind("EMailer::SendHeaders\n", 0), 0u) << e.text;
        }
    }
    EXPECT_EQ(mailer.sock, -1);
    EXPECT_EQ(server.accepted(), 0);
}

TEST(EMailer, UnknownServiceConnectsToPort25) {
    ScriptedServer server(GoodRelay, 25);
    if (!server.listening()) GTEST_SKIP() << "port 25 is not free here";
    EMailer mailer("127.0.0.1", "no-such-service-name");
    mailer.SetTimeout(10);
    Send(mailer, "s", "b");
    mailer.Disconnect();
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(server.received(), Dialogue("s", "b"));
}

TEST(EMailer, ConnectionFailuresCarryTheSystemCode) {
    // A port with no listener: bind one, learn its number, close it.
    std::string port;
    {
        ScriptedServer closed([](Peer&) {});
        port = closed.port();
    }
    EMailer mailer("127.0.0.1", port.c_str());
    KRException e = CatchFrom([&] { mailer.Connect(); });
    EXPECT_EQ(e.rc, ECONNREFUSED);
    EXPECT_EQ(e.text, std::string("connect\n\nWindows rc: 0x0000006F\n") +
                          std::strerror(ECONNREFUSED) + "\n");
    EXPECT_NE(mailer.sock, -1);  // the unconnected socket stays until Disconnect
    mailer.Disconnect();
    EXPECT_EQ(mailer.sock, -1);

    EMailer nowhere("no-such-host.invalid", "25");
    KRException r = CatchFrom([&] { nowhere.Connect(); });
    EXPECT_NE(r.rc, 0);
    EXPECT_EQ(r.text.rfind("gethostbyname\n\nWindows rc: 0x", 0), 0u) << r.text;
    EXPECT_NE(r.text.find(gai_strerror(r.rc)), std::string::npos) << r.text;
    EXPECT_EQ(nowhere.sock, -1);
}

TEST(EMailer, SilentServerTimesOutInsteadOfHanging) {
    ScriptedServer server([](Peer& peer) { peer.Drain(5); });
    EMailer mailer("127.0.0.1", server.port().c_str());
    mailer.SetTimeout(1);
    KRException e = CatchFrom([&] { Send(mailer, "s", "b"); });
    EXPECT_EQ(e.rc, EAGAIN);
    EXPECT_EQ(e.text.rfind("recv\n\nWindows rc: 0x0000000B\n", 0), 0u) << e.text;
}

TEST(EMailer, ServerClosingAtEachStepNeverCrashesOrHangs) {
    for (int closeAfter = 0; closeAfter < 6; ++closeAfter) {
        SCOPED_TRACE(closeAfter);
        ScriptedServer server([closeAfter](Peer& peer) {
            const char* good[] = {"250 a\r\n", "250 b\r\n", "250 c\r\n", "354 d\r\n", "250 e\r\n"};
            for (int step = 0; step < closeAfter; ++step) {
                bool ok = step == 4 ? peer.ReadUntil("\r\n.\r\n") : peer.ReadLine();
                if (!ok) return;
                peer.Send(good[step]);
            }
        });
        EMailer mailer("127.0.0.1", server.port().c_str());
        mailer.SetTimeout(5);
        // An empty reply passes, so a close may go unnoticed until a send
        // fails; either way the call returns and the object stays usable.
        try {
            Send(mailer, "s", "b");
        } catch (const KRException& e) {
            EXPECT_TRUE(e.text.rfind("send\n", 0) == 0 || e.text.rfind("recv\n", 0) == 0) << e.text;
        }
        mailer.Disconnect();

        ScriptedServer good(GoodRelay);
        mailer.Connect("127.0.0.1", good.port().c_str());
        Send(mailer, "again", "works");
        mailer.Disconnect();
        ASSERT_TRUE(good.WaitFinished(1));
        EXPECT_EQ(good.received(), Dialogue("again", "works"));
    }
}

TEST(EMailer, GarbageRepliesAreJudgedByTheirFirstByte) {
    const std::pair<std::string, bool> replies[] = {
        {"XYZZY\r\n", true}, {"\x80\xff garbage", false}, {"9", true}, {"3", false}};
    for (const auto& [reply, fails] : replies) {
        ScriptedServer server([reply = reply](Peer& peer) {
            while (peer.ReadLine()) peer.Send(reply);
        });
        EMailer mailer("127.0.0.1", server.port().c_str());
        mailer.SetTimeout(2);
        bool threw = false;
        try {
            Send(mailer, "s", "b");
        } catch (const KRException& e) {
            threw = true;
            EXPECT_EQ(e.text.rfind("SendData: HELO client.example\r\n\n\n", 0), 0u) << e.text;
        }
        EXPECT_EQ(threw, fails) << reply;
    }
}

}  // namespace
