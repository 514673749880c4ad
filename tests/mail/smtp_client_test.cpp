// KRSmtpClient and `krtool mail` against aiosmtpd and scripted hostile peers
// on loopback.
#include <cerrno>
#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "krtools/mailer.h"
#include "peer.h"
#include "testutil.h"

namespace {

const std::string kGreeting = ">220 relay.test ready\\r\\n";
const int kRaceRuns = 100;

std::string Outcome(const KRSmtpSettings& settings, const KRMailMessage& message) try {
    return "delivered: " + KRSmtpClient(settings).Send(message);
} catch (const KRException& e) {
    return e.text;
}

KRSmtpSettings At(const Peer& peer, KRSmtpTls tls = KRSmtpTls::kNone) {
    KRSmtpSettings settings;
    settings.server = "127.0.0.1";
    settings.service = peer.port;
    settings.timeoutSeconds = 5;
    settings.tls = tls;
    return settings;
}

KRMailMessage Simple() { return {"a@example.org", {"b@example.org"}, "s", "body\n"}; }

// Arguments of smtp_peer.py for a scripted peer serving `runs` connections;
// more peers follow with Then.
std::string Script(int runs, const std::vector<std::string>& steps) {
    std::string arguments = "script " + std::to_string(runs);
    for (const std::string& step : steps) arguments += " " + testutil::ShellQuote(step);
    return arguments;
}

std::string Then(int runs, const std::vector<std::string>& steps) {
    return " --" + Script(runs, steps).substr(6);
}

// Settings for peer or server `index` of `relay`.
KRSmtpSettings At(const Peer& relay, int index, KRSmtpTls tls = KRSmtpTls::kNone) {
    KRSmtpSettings settings = At(relay, tls);
    settings.service = relay.Wait("port." + std::to_string(index));
    return settings;
}

// A relay that answers `text` to the connection and to every command.
std::vector<std::string> EveryReply(const std::string& text) {
    std::vector<std::string> steps = {">" + text};
    for (const char* read : {"<", "<", "<", "<", "<data", "<"}) {
        steps.push_back(read);
        steps.push_back(">" + text);
    }
    return steps;
}

// The greeting, then each reply after reading a command (the message after
// the fifth).
std::vector<std::string> Answering(const std::vector<std::string>& replies) {
    std::vector<std::string> steps = {kGreeting};
    for (size_t i = 0; i < replies.size(); ++i) {
        steps.push_back(i == 4 ? "<data" : "<");
        steps.push_back(replies[i]);
    }
    return steps;
}

const std::vector<std::string> kGoodReplies = {">250 relay.test\\r\\n", ">250 ok\\r\\n",
                                               ">250 ok\\r\\n",         ">354 go\\r\\n",
                                               ">250 queued\\r\\n",     ">221 bye\\r\\n"};

std::string Tool(const std::string& port, const std::string& options) {
    return std::string(KRTOOL_PATH) + " mail --server 127.0.0.1 --service " + port +
           " --from a@example.org --to b@example.org --subject s --timeout 5 " + options +
           " /dev/null 2>&1";
}

struct Hostile {
    const char* name;
    std::vector<std::string> steps;
    std::string expected;  // the error's beginning, or a pattern for the whole
    bool pattern = false;
    int runs = kRaceRuns;  // fewer where timing cannot matter
};

// Every hostile relay ends in an error naming the step, in each of 100
// connections, and the tool exits 1 with that message.
TEST(KRSmtpClient, HostileRelaysEndInAnErrorNamingTheStep) {
    std::string longReply = ">";
    for (int i = 0; i < 1000; ++i) longReply += "250-" + std::string(68, 'x') + "\\r\\n";
    const Hostile cases[] = {
        {"closes at once", {"close"}, "greeting: the server closed the connection without a reply"},
        {"stops sending",
         {"shutdown"},
         "greeting: the server closed the connection without a reply"},
        {"-ERR", EveryReply("-ERR go away\\r\\n"), "greeting: malformed reply \"-"},
        {"+OK", EveryReply("+OK\\r\\n"), "greeting: malformed reply \"+"},
        {"NUL bytes", EveryReply("\\x00\\x00\\x00\\r\\n"), "greeting: malformed reply \"\\x00"},
        {"0", EveryReply("0"), "greeting: malformed reply \"0\""},
        {" 554", EveryReply(" 554\\r\\n"), "greeting: malformed reply \" "},
        {"421 to EHLO, then carrying on",
         Answering({">421 closing\\r\\n", kGoodReplies[1], kGoodReplies[2], kGoodReplies[3],
                    kGoodReplies[4], kGoodReplies[5]}),
         "EHLO: refused: 421 closing"},
        {"550 to RCPT, then carrying on",
         Answering({kGoodReplies[0], kGoodReplies[1], ">550 no such user\\r\\n", kGoodReplies[3],
                    kGoodReplies[4], kGoodReplies[5]}),
         "RCPT TO:<b@example.org>: refused: 550 no such user"},
        {"two replies at once", Answering({kGoodReplies[0], ">250 ok\\r\\n250 again\\r\\n"}),
         "RCPT TO:<b@example.org>: the server sent \"250 again\\x0D\\x0A\" out of turn"},
        {"reset during DATA",
         Answering({kGoodReplies[0], kGoodReplies[1], kGoodReplies[2], kGoodReplies[3], "reset"}),
         "(message: send|end of data: receive) failed: (Connection reset by peer|Broken pipe)",
         true},
        {"multi-line codes differ", Answering({">250-a\\r\\n251 b\\r\\n"}),
         "EHLO: malformed reply \"250-a\\x0D\\x0A251 b", false, 5},
        {"reply over 64 KiB", Answering({longReply}), "EHLO: reply longer than 65536 bytes", false,
         5},
    };
    std::string arguments = "script 1 close";  // peer 1 is not used
    for (const Hostile& hostile : cases) arguments += Then(hostile.runs + 1, hostile.steps);
    Peer relays(arguments);
    std::string tools;  // the tool against each peer, all at once
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::string port = relays.Wait("port." + std::to_string(i + 2));
        tools += "(" + Tool(port, "") + "; echo \" $?\") >" + relays.File("tool." + port) + " & ";
    }
    testutil::Run(tools + "wait");
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Hostile& hostile = cases[i];
        SCOPED_TRACE(hostile.name);
        KRSmtpSettings settings = At(relays, static_cast<int>(i + 2));
        int matched = 0;
        std::string outcome;
        for (int run = 0; run < hostile.runs; ++run) {
            outcome = Outcome(settings, Simple());
            matched += hostile.pattern ? std::regex_match(outcome, std::regex(hostile.expected))
                                       : outcome.rfind(hostile.expected, 0) == 0;
        }
        EXPECT_EQ(matched, hostile.runs) << outcome;
        std::string tool = testutil::ReadFile(relays.File("tool." + settings.service));
        EXPECT_EQ(tool.substr(tool.size() - 3), " 1\n");
        std::string expected = hostile.pattern ? "" : "krtool: " + hostile.expected;
        EXPECT_EQ(tool.substr(0, expected.size()), expected);
    }
}

// STARTTLS is answered, then plain text follows that would be taken as the
// first reply inside TLS.
TEST(KRSmtpClient, TextInjectedBeforeTheTlsSwitchIsRefused) {
    Peer relay(Script(1, Answering({">250-relay.test\\r\\n250 STARTTLS\\r\\n",
                                    ">220 go ahead\\r\\n250 injected\\r\\n"})));
    EXPECT_EQ(Outcome(At(relay, KRSmtpTls::kAuto), Simple()),
              "STARTTLS: the server sent \"250 injected\\x0D\\x0A\" out of turn");
}

TEST(KRSmtpClient, TimeOutNamesTheStep) {
    Peer relay(Script(1, {kGreeting, "<", "~~250 slow relay\\r\\n"}));
    KRSmtpSettings settings = At(relay);
    settings.timeoutSeconds = 1;
    EXPECT_EQ(Outcome(settings, Simple()), "EHLO: timed out after 1 s waiting for the server");
}

// The client's lines of a transcript, Date and Message-ID masked.
std::string ClientLines(const std::string& transcript) {
    static const std::regex kVarying(R"((Date|Message-ID): .*?\\r\\n)");
    std::string lines;
    std::istringstream in(transcript);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("S: ", 0) != 0) lines += std::regex_replace(line, kVarying, "$1: *") + "\n";
    }
    return lines;
}

// Late, split, dripping and HELO-only relays deliver; the client says the
// same each time and never speaks before its turn.
TEST(KRSmtpClient, SlowAndFragmentedRelaysDeliver) {
    std::vector<std::string> late = Answering(kGoodReplies);
    late.insert(late.begin(), "sleep=0.3");
    std::vector<std::string> split = {">22",
                                      "sleep=0.01",
                                      ">0 relay.test",
                                      "sleep=0.01",
                                      ">ready\\r\\n",
                                      "<",
                                      ">250-relay.test\\r\\n250-PIPE",
                                      "sleep=0.01",
                                      ">LINING\\r",
                                      "sleep=0.01",
                                      ">\\n250 8BITMIME\\r\\n"};
    for (size_t i = 1; i < kGoodReplies.size(); ++i) {
        split.insert(split.end(), {i == 4 ? "<data" : "<", kGoodReplies[i].substr(0, 3),
                                   "sleep=0.01", ">" + kGoodReplies[i].substr(3)});
    }
    std::vector<std::string> drip = Answering(kGoodReplies);
    for (std::string& step : drip) step[0] = step[0] == '>' ? '~' : step[0];
    std::vector<std::string> helo = Answering(kGoodReplies);
    helo.insert(helo.begin() + 1, {"<", ">502 unknown command\\r\\n"});
    Peer relays(Script(1, late) + Then(1, split) + Then(1, drip) + Then(1, helo));
    const std::string dialogue =
        "C: MAIL FROM:<a@example.org>\\r\\n\nC: RCPT TO:<b@example.org>\\r\\n\nC: DATA\\r\\n\n"
        "C: Date: *From: a@example.org\\r\\nTo: b@example.org\\r\\nSubject: s\\r\\n"
        "Message-ID: *\\r\\nbody\\r\\n.\\r\\n\nC: QUIT\\r\\n\n";
    const char* names[] = {"late greeting", "split replies", "dripping bytes", "HELO fallback"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(Outcome(At(relays, i + 1), Simple()), "delivered: 250 queued");
        std::string hello = i == 3 ? "C: EHLO localhost\\r\\n\nC: HELO localhost\\r\\n\n"
                                   : "C: EHLO localhost\\r\\n\n";
        EXPECT_EQ(ClientLines(relays.Wait("transcript." + std::to_string(i + 1) + ".1")),
                  hello + dialogue);
    }
}

TEST(KRSmtpClient, UnsafeValuesAreRefusedBeforeConnecting) {
    KRSmtpSettings settings;
    settings.server = "127.0.0.1";
    settings.service = "1";  // nothing listens: a check that passes ends in "connect"
    const std::pair<std::string, std::string> addresses[] = {
        {"a@x> SIZE=1", "angle bracket"},
        {"b@x\r\nRCPT TO:<c@x>", "control character or line break"},
        {"b@x\nDATA", "control character or line break"},
        {"b c@x", "blank outside quotes"},
        {"\"open@x", "unclosed quote"},
        {"", "empty"},
    };
    for (const auto& [address, fault] : addresses) {
        KRMailMessage message = Simple();
        message.from = address;
        EXPECT_EQ(Outcome(settings, message), "sender address \"" + address + "\": " + fault);
        message = Simple();
        message.to.push_back(address);
        EXPECT_EQ(Outcome(settings, message), "recipient address \"" + address + "\": " + fault);
    }
    KRMailMessage message = Simple();
    message.to = {"\"b c\"@x", "postmaster"};
    EXPECT_EQ(Outcome(settings, message), "connect to 127.0.0.1 port 1: connect failed: " +
                                              std::string(strerror(ECONNREFUSED)));
    message.to.clear();
    EXPECT_EQ(Outcome(settings, message), "RCPT TO: no recipient");
    message = Simple();
    message.subject = "s\r\nBcc: x@y";
    EXPECT_EQ(Outcome(settings, message), "message: line break in the subject");
    message = Simple();
    message.body = "short\n" + std::string(999, 'x');
    EXPECT_EQ(Outcome(settings, message), "message: body line 2 is longer than 998 bytes");
    message.body = std::string("a\0b", 3);
    EXPECT_EQ(Outcome(settings, message), "message: the body holds a NUL byte");
    settings.heloName = "evil\r\nMAIL";
    EXPECT_EQ(Outcome(settings, Simple()).substr(0, 22), "EHLO: the client name ");
    testutil::CommandResult tool =
        testutil::Run(std::string(KRTOOL_PATH) +
                      " mail --server 127.0.0.1 --service 1 --from "
                      "'a@x> SIZE=1' --to b@x --subject s /dev/null 2>&1");
    EXPECT_EQ(tool.status, 1);
    EXPECT_EQ(tool.output, "krtool: sender address \"a@x> SIZE=1\": angle bracket\n");
}

// Test certificates made with the openssl command (tests/mail/make_certs.sh).
class Certificates {
public:
    Certificates() {
        EXPECT_EQ(testutil::Run("sh " KRTOOLS_SOURCE_DIR "/tests/mail/make_certs.sh " + dir_.path())
                      .status,
                  0);
    }
    // aiosmtpd options serving certificate `name`.
    std::string Serving(const std::string& name) const {
        return "cert=" + dir_.File(name + ".pem") + " key=" + dir_.File(name + ".key");
    }
    std::string Ca() const { return dir_.File("ca.pem"); }

private:
    testutil::TempDir dir_;
};

// What Python's mail parser reads from the message files `names` of
// `relay`, each followed by "--".
std::string Received(const Peer& relay, const std::vector<std::string>& names) {
    std::string files;
    for (const std::string& name : names) {
        relay.Wait(name);
        files += " " + testutil::ShellQuote(relay.File(name));
    }
    return testutil::Run("/usr/bin/python3 " KRTOOLS_SOURCE_DIR "/tests/mail/read_message.py" +
                         files)
        .output;
}

const char kSubject[] = "Grüße aus Köln: Bericht ½ € – überfällig ✓ (Quartal 4)";

KRMailMessage Letter() {
    return {"a@example.org",
            {"b@example.org", "c@example.org"},
            kSubject,
            "From: x\n.hidden\n..two dots\nbare LF\r\nCRLF\n\n.\nlast"};
}

std::string Expected(const std::string& status) {
    return std::string("a@example.org b@example.org c@example.org\n") + status +
           "\nDate From To Subject Message-ID\nFrom: a@example.org\n"
           "To: b@example.org, c@example.org\nSubject: " +
           kSubject +
           "\nDate: recent\nMessage-ID: valid\n\n"
           "From: x\r\n.hidden\r\n..two dots\r\nbare LF\r\nCRLF\r\n\r\n.\r\nlast\r\n--\n";
}

// The aiosmtpd servers of these tests, in one process.
enum Server {
    kPlain = 1,
    kPlainAuth,
    kStartTls,
    kStartTlsAuth,
    kImplicit,
    kImplicitLogin,
    kExpired,
    kWrongName,
    kUntrusted,
    kForTheTool,
};

class RealServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        certificates_ = new Certificates;
        std::string good = certificates_->Serving("good");
        servers_ = new Peer(
            "smtpd -- auth=u:pw auth-clear -- " + good + " -- " + good +
            " auth=u:pw auth-required -- implicit " + good + " -- implicit " + good +
            " auth=u:pw auth-required login-only -- " + certificates_->Serving("expired") + " -- " +
            certificates_->Serving("wrongname") + " -- " + certificates_->Serving("untrusted") +
            " -- " + good + " auth=u:pw auth-required");
    }
    static void TearDownTestSuite() {
        delete servers_;
        delete certificates_;
    }
    // Settings for `server` by name, trusting the test CA.
    static KRSmtpSettings For(Server server, KRSmtpTls tls) {
        KRSmtpSettings settings = At(*servers_, server, tls);
        settings.server = "localhost";
        settings.caFile = certificates_->Ca();
        return settings;
    }
    static Certificates* certificates_;
    static Peer* servers_;
};

Certificates* RealServer::certificates_ = nullptr;
Peer* RealServer::servers_ = nullptr;

struct Route {
    const char* name;
    Server server;
    KRSmtpTls tls;
    bool tlsUsed;
    const char* auth;  // the mechanism the client must choose, or null
};

// One letter over each route arrives exactly as written; the relays' rules
// on TLS and AUTH hold.
TEST_F(RealServer, LettersArriveOverEveryRoute) {
    const Route routes[] = {
        {"plain", kPlain, KRSmtpTls::kNone, false, nullptr},
        {"plain, AUTH forced", kPlainAuth, KRSmtpTls::kAuto, false, "PLAIN"},
        {"STARTTLS", kStartTls, KRSmtpTls::kRequired, true, nullptr},
        {"STARTTLS, AUTH", kStartTlsAuth, KRSmtpTls::kAuto, true, "PLAIN"},
        {"implicit TLS", kImplicit, KRSmtpTls::kImplicit, true, nullptr},
        {"implicit TLS, AUTH LOGIN", kImplicitLogin, KRSmtpTls::kImplicit, true, "LOGIN"},
    };
    std::vector<std::string> files;
    std::string expected;
    for (const Route& route : routes) {
        SCOPED_TRACE(route.name);
        KRSmtpSettings settings = For(route.server, route.tls);
        if (route.tls == KRSmtpTls::kImplicit) settings.server = "127.0.0.1";  // an IP name
        if (route.auth != nullptr) {
            settings.user = "u";
            settings.password = "wrong";
            std::string step = std::string("AUTH ") + route.auth +
                               (route.auth == std::string("LOGIN") ? " password" : "");
            EXPECT_EQ(Outcome(settings, Letter()),
                      !route.tlsUsed
                          ? "AUTH: refused to send the password over a connection without TLS"
                          : step + ": refused: 535 5.7.8 Authentication credentials invalid");
            settings.password = "pw";
            settings.authWithoutTls = !route.tlsUsed;
        }
        EXPECT_EQ(Outcome(settings, Letter()), "delivered: 250 OK");
        files.push_back(std::to_string(route.server) + "-1");
        expected += Expected(std::string("tls=") + (route.tlsUsed ? "yes" : "no") +
                             " auth=" + (route.auth ? std::string(route.auth) + ":u" : "-"));
        if (route.auth != nullptr && route.tlsUsed) {
            settings.user.clear();
            EXPECT_EQ(Outcome(settings, Letter()),
                      "MAIL FROM: refused: 530 5.7.0 Authentication required");
        }
    }
    EXPECT_EQ(Received(*servers_, files), expected);
}

TEST_F(RealServer, ToolDeliversWithTlsAndPasswordFile) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("body"), Letter().body);
    testutil::WriteFile(dir.File("password"), "pw\n");
    std::string tool = std::string(KRTOOL_PATH) + " mail --server localhost --service " +
                       servers_->Wait("port." + std::to_string(kForTheTool)) +
                       " --from a@example.org --to b@example.org --to c@example.org --subject " +
                       testutil::ShellQuote(kSubject) + " --ca " + certificates_->Ca() +
                       " --user u ";
    testutil::CommandResult result =
        testutil::Run(tool + "--password-file " + dir.File("password") + " " + dir.File("body"));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "250 OK\n");
    EXPECT_EQ(Received(*servers_, {std::to_string(kForTheTool) + "-1"}),
              Expected("tls=yes auth=PLAIN:u"));
    result = testutil::Run("KRTOOL_MAIL_PASSWORD=bad " + tool + dir.File("body") + " 2>&1");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output,
              "krtool: AUTH PLAIN: refused: 535 5.7.8 Authentication credentials invalid\n");
    result = testutil::Run("KRTOOL_MAIL_PASSWORD=pw " + tool + "--tls none " + dir.File("body") +
                           " 2>&1");
    EXPECT_EQ(result.output,
              "krtool: AUTH: refused to send the password over a connection without TLS\n");
}

// Certificates that must not be trusted, and a relay without STARTTLS when
// it is required.
TEST_F(RealServer, UntrustworthyRelaysAreRefused) {
    const std::pair<Server, std::string> refusals[] = {
        {kExpired, "certificate has expired"},
        {kWrongName, "hostname mismatch"},
        {kUntrusted, "unable to get local issuer certificate"},
        {kStartTls, "unable to get local issuer certificate"},  // the system's store only
    };
    for (const auto& [server, reason] : refusals) {
        SCOPED_TRACE(server);
        KRSmtpSettings settings = For(server, KRSmtpTls::kAuto);
        if (server == kStartTls) settings.caFile.clear();
        EXPECT_EQ(Outcome(settings, Simple()), "TLS handshake: certificate refused: " + reason);
    }
    KRSmtpSettings plain = For(kPlain, KRSmtpTls::kRequired);
    EXPECT_EQ(Outcome(plain, Simple()), "STARTTLS: the server does not offer STARTTLS");
    testutil::CommandResult tool = testutil::Run(Tool(plain.service, "--tls required"));
    EXPECT_EQ(tool.status, 1);
    EXPECT_EQ(tool.output, "krtool: STARTTLS: the server does not offer STARTTLS\n");
}

}  // namespace
