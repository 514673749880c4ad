// Injected failures of the resolver and socket calls under the mailer, with
// a relay on loopback run by a thread of this test (its calls are never
// touched: faults apply to the arming thread only).
#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "fault_plan.h"
#include "krtools/mailer.h"
#include "loopback_relay.h"

namespace {

// Answers every piece it receives with "250 ok" and keeps it.
struct Relay : LoopbackRelay {
    Relay()
        : LoopbackRelay([](int peer, std::string& received) {
              char buffer[4096];
              for (ssize_t n; (n = recv(peer, buffer, sizeof buffer, 0)) > 0;) {
                  received.append(buffer, static_cast<size_t>(n));
                  Reply(peer, "250 ok\r\n");
              }
          }) {}
};

std::pair<int, std::string> Thrown(const std::function<void()>& body) {
    try {
        body();
    } catch (const KRException& e) {
        return {e.rc, e.text.substr(0, e.text.find('\n') + 1)};
    }
    return {0, "none"};
}

const char kBody[] = "line one\r\nline two\r\n";

void Send(EMailer& mailer) {
    mailer.SendMessageA("client.example", "a@example.org", "b@example.org", "Subject", kBody);
}

TEST(MailFaults, ConnectionSetUpFailuresAndTheSocketLeftBehind) {
    faults::Scope scope;
    struct Case {
        const char* call;
        int code;
        const char* text;
        bool socketKept;
    };
    const Case cases[] = {
        {"getaddrinfo", EAI_NONAME, "gethostbyname\n", false},
        {"getaddrinfo", EAI_AGAIN, "gethostbyname\n", false},
        {"socket", EMFILE, "socket\n", false},
        {"setsockopt", ENOBUFS, "connect\n", true},
        {"connect", ECONNREFUSED, "connect\n", true},
        {"connect", ETIMEDOUT, "connect\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        Relay relay;
        EMailer mailer("127.0.0.1", relay.port.c_str());
        faults::Fail(c.call, c.code);
        EXPECT_EQ(Thrown([&] { mailer.Connect(); }), std::make_pair(c.code, std::string(c.text)));
        EXPECT_EQ(mailer.sock != -1, c.socketKept);
        faults::Reset();
        mailer.Disconnect();
        EXPECT_EQ(mailer.sock, -1);
        EXPECT_EQ(faults::Calls("close"), c.socketKept ? 1 : 0);
    }
}

TEST(MailFaults, RealRefusalOnAClosedLoopbackPort) {
    std::string port;
    {
        Relay closed;  // bound, then released at the end of the scope
        port = closed.port;
    }
    EMailer mailer("127.0.0.1", port.c_str());
    EXPECT_EQ(Thrown([&] { mailer.Connect(); }),
              std::make_pair(ECONNREFUSED, std::string("connect\n")));
}

// send and recv failures (a time-out is EAGAIN) throw and leave the
// connection as it was; interrupted calls are retried and short sends
// completed, so the relay gets every octet.
TEST(MailFaults, TransferFailuresThrowWhileInterruptionsAndShortSendsAreHidden) {
    const std::pair<const char*, int> failures[] = {{"send", EPIPE},
                                                    {"send", ECONNRESET},
                                                    {"send", EAGAIN},
                                                    {"recv", EAGAIN},
                                                    {"recv", ECONNRESET}};
    for (const auto& [call, code] : failures) {
        SCOPED_TRACE(call);
        faults::Scope scope;
        Relay relay;
        EMailer mailer("127.0.0.1", relay.port.c_str());
        mailer.Connect();
        const int socket = mailer.sock;
        faults::Fail(call, code, 1);
        EXPECT_EQ(Thrown([&] { Send(mailer); }), std::make_pair(code, std::string(call) + "\n"));
        EXPECT_EQ(mailer.sock, socket);
    }
    std::string clean;
    for (int variant = 0; variant < 3; ++variant) {
        faults::Scope scope;
        Relay relay;
        EMailer mailer("127.0.0.1", relay.port.c_str());
        mailer.Connect();
        if (variant == 1) faults::Fail("send", EINTR, 0, 3);
        if (variant == 1) faults::Fail("recv", EINTR, 0, 2);
        if (variant == 2) faults::Shorten("send", 3, -1);
        Send(mailer);
        mailer.Disconnect();
        const std::string received = relay.Received();
        if (variant == 0) clean = received;
        EXPECT_EQ(received, clean) << variant;
        EXPECT_NE(received.find(kBody), std::string::npos);
    }
}

TEST(MailFaults, FailedCloseStillReleasesTheSocket) {
    faults::Scope scope;
    Relay relay;
    EMailer mailer("127.0.0.1", relay.port.c_str());
    mailer.Connect();
    faults::Fail("close", EIO);
    EXPECT_EQ(Thrown([&] { mailer.Disconnect(); }),
              std::make_pair(EIO, std::string("closesocket\n")));
    EXPECT_EQ(mailer.sock, -1);
}

}  // namespace
