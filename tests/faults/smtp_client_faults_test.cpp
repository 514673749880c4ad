// Injected failures of the socket calls under KRSmtpClient, against a
// scripted relay on loopback run by a thread of this test: failures and
// time-outs name the step with the injected code; interrupted calls and
// short sends are invisible to the relay.
#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>

#include "fault_plan.h"
#include "krtools/mailer.h"
#include "loopback_relay.h"

namespace {

// Greets, answers each command line (354 to DATA, 250 to the end of the
// data, 221 to QUIT, 250 otherwise) and keeps what it received.
void ServeSmtp(int peer, std::string& received) {
    LoopbackRelay::Reply(peer, "220 relay.example ready\r\n");
    char buffer[4096];
    std::string line;
    bool inData = false;
    for (ssize_t n; (n = recv(peer, buffer, sizeof buffer, 0)) > 0;) {
        received.append(buffer, static_cast<size_t>(n));
        for (ssize_t i = 0; i < n; ++i) {
            line += buffer[i];
            if (buffer[i] != '\n') continue;
            const char* reply = nullptr;
            if (inData) {
                if (line == ".\r\n") reply = "250 queued\r\n", inData = false;
            } else if (line.rfind("DATA", 0) == 0) {
                reply = "354 go on\r\n", inData = true;
            } else {
                reply = line.rfind("QUIT", 0) == 0 ? "221 bye\r\n" : "250 ok\r\n";
            }
            if (reply != nullptr) LoopbackRelay::Reply(peer, reply);
            line.clear();
        }
    }
}

struct ScriptedRelay : LoopbackRelay {
    ScriptedRelay() : LoopbackRelay(ServeSmtp) {}
};

KRMailMessage Message() {
    KRMailMessage message;
    message.from = "a@example.org";
    message.to = {"b@example.org"};
    message.subject = "Subject";
    message.body = "line one\nline two\n";
    return message;
}

KRSmtpSettings Settings(const std::string& port) {
    KRSmtpSettings settings;
    settings.server = "127.0.0.1";
    settings.service = port;
    settings.tls = KRSmtpTls::kNone;
    settings.timeoutSeconds = 5;
    return settings;
}

// (rc, whether the text holds `part`) of what Send throws.
std::pair<int, bool> Failure(const std::string& port, const std::string& part) {
    try {
        KRSmtpClient(Settings(port)).Send(Message());
    } catch (const KRException& e) {
        return {e.rc, e.text.find(part) != std::string::npos};
    }
    return {0, false};
}

TEST(SmtpClientFaults, FailuresAndTimeOutsNameTheStepWithTheCode) {
    struct Case {
        const char* call;
        int code, skip, rc;
        const char* text;
    };
    const Case cases[] = {
        {"poll", EIO, 0, EIO, "receive failed"},
        {"poll", ENOMEM, 2, ENOMEM, "receive failed"},
        {"recv", ECONNRESET, 1, ECONNRESET, "receive failed"},
        {"send", EPIPE, 1, EPIPE, "send failed"},
        {"send", EAGAIN, 0, -1, "timed out"},
        {"connect", ECONNREFUSED, 0, ECONNREFUSED, "connect"},
        {"getaddrinfo", EAI_FAIL, 0, EAI_FAIL, "gethostbyname"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " " + std::to_string(c.skip));
        ScriptedRelay relay;  // its listening socket is not counted
        faults::Scope scope;
        faults::Fail(c.call, c.code, c.skip);
        EXPECT_EQ(Failure(relay.port, c.text), std::make_pair(c.rc, true));
        EXPECT_EQ(faults::Calls("socket"), faults::Calls("close"));  // nothing left open
    }
}

TEST(SmtpClientFaults, InterruptionsAndShortSendsAreInvisibleToTheRelay) {
    std::string clean;
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        faults::Scope scope;
        ScriptedRelay relay;
        if (variant == 1) {
            faults::Fail("poll", EINTR, 1, 2);
            faults::Fail("recv", EINTR, 2, 2);
            faults::Fail("send", EINTR, 1, 3);
        }
        if (variant == 2) faults::Shorten("send", 5, -1);
        EXPECT_EQ(KRSmtpClient(Settings(relay.port)).Send(Message()).substr(0, 3), "250");
        std::string received = relay.Received();
        // The headers (Date, Message-ID) differ from run to run.
        const size_t headers = received.find("DATA\r\n") + 6;
        ASSERT_NE(received.find("\r\n\r\n", headers), std::string::npos);
        received.erase(headers, received.find("\r\n\r\n", headers) - headers);
        if (variant == 0) clean = received;
        EXPECT_EQ(received, clean);
    }
}

}  // namespace
