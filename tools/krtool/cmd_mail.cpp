// krtool mail: sends one message through an SMTP relay.
#include <netdb.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "command.h"
#include "krtools/exception.h"
#include "krtools/mailer.h"

namespace {

const char kUsage[] =
    "usage: krtool mail --server HOST [--service NAME|PORT] --from ADDR --to ADDR [--to ADDR ...]\n"
    "                   --subject TEXT [--helo NAME] [--timeout SECONDS]\n"
    "                   [--tls auto|required|none|implicit] [--ca FILE]\n"
    "                   [--user NAME [--password-file FILE] [--auth-without-tls]] [FILE|-]\n"
    "       krtool mail --exact --server HOST --service NAME|PORT --helo NAME --from ADDR\n"
    "                   --to ADDR --subject TEXT [--raw] [--timeout SECONDS] [FILE|-]\n"
    "Sends the text read from FILE or standard input as one message and exits 0\n"
    "only when the relay has accepted it. Every reply is checked; Date, From, To,\n"
    "Subject and Message-ID headers are added; bare line feeds become CRLF and\n"
    "lines beginning with a period are dot-stuffed. --tls auto (the default) uses\n"
    "STARTTLS when offered, required refuses to go on without it, implicit (the\n"
    "default on port 465) starts with TLS; certificates are checked against the\n"
    "system's trusted ones or --ca FILE, and must name HOST. With --user the\n"
    "password is the first line of --password-file FILE or the environment\n"
    "variable KRTOOL_MAIL_PASSWORD; it is sent only over TLS unless\n"
    "--auth-without-tls.\n"
    "--exact speaks the plain historical dialogue instead: no greeting read,\n"
    "replies judged by their first byte, a SUBJECT line and the body as given\n"
    "(converted as above unless --raw), one recipient.\n";

const char kPasswordVariable[] = "KRTOOL_MAIL_PASSWORD";

const std::vector<krtool::Option> kOptions = {
    {0, "server", "HOST", "the relay's host name or address (default localhost)"},
    {0, "service", "NAME|PORT", "a service name the system knows, or a port 1 to 65535"},
    {0, "from", "ADDR", "the sender's address"},
    {0, "to", "ADDR", "a recipient's address; repeat for more (--exact: one)"},
    {0, "subject", "TEXT", "the subject"},
    {0, "helo", "NAME", "the name sent with EHLO or HELO (--exact: required)"},
    {0, "timeout", "SECONDS", "time-out of every step, 1 to 86400 (default 300)"},
    {0, "tls", "MODE", "auto, required, none or implicit (default auto)"},
    {0, "ca", "FILE", "trusted certificates instead of the system's"},
    {0, "user", "NAME", "authenticate as NAME"},
    {0, "password-file", "FILE", "the password is the first line of FILE"},
    {0, "auth-without-tls", nullptr, "allow authentication without TLS"},
    {0, "exact", nullptr, "speak the plain historical dialogue"},
    {0, "raw", nullptr, "--exact: send the body unchanged"},
};

// The service checked: a port 1 to 65535, or a name the system knows.
std::string Service(const krtool::Args& args, const std::string& fallback) {
    const std::string service = args.Get("service", fallback);
    if (service.empty()) return service;
    if (service.find_first_not_of("0123456789") == std::string::npos) {
        args.Number("service", 1, 65535, 0);
        return service;
    }
    if (getservbyname(service.c_str(), "tcp") == nullptr) {
        throw krtool::UsageError("unknown service '" + service +
                                 "' (a name from /etc/services or a port 1 to 65535)");
    }
    return service;
}

int Timeout(const krtool::Args& args) {
    return static_cast<int>(args.Number("timeout", 1, 86400, 300));
}

void SendExact(EMailer& mailer, const krtool::Args& args, const std::string& input) {
    std::string helo = args.Require("--helo");
    std::string from = args.Require("--from");
    std::string to = args.Require("--to");
    std::string subject = args.Require("--subject");
    if (args.Has("--raw") && input != "-") {
        mailer.SendMessageFile(helo.c_str(), from.c_str(), to.c_str(), subject.c_str(),
                               input.c_str());
    } else {
        std::string body = krtool::ReadInput(input);
        if (!args.Has("--raw")) body = SmtpCanonicalBody(body);
        if (body.find('\0') != std::string::npos) {
            throw krtool::InputError("the body contains a NUL byte; send it with --raw FILE");
        }
        mailer.SendMessageA(helo.c_str(), from.c_str(), to.c_str(), subject.c_str(), body.c_str());
    }
    mailer.Disconnect();
}

int RunExact(const krtool::Args& args) {
    args.ExpectPositional(0, 1);
    const std::string input = args.InputAt(0);
    const std::string server = args.Get("--server", "localhost"), service = Service(args, "mail");
    const int timeout = Timeout(args);
    EMailer mailer(server.c_str(), service.c_str());
    mailer.SetTimeout(timeout);
    try {
        SendExact(mailer, args, input);
    } catch (const KRException& e) {
        if (e.rc != EAGAIN && e.rc != EWOULDBLOCK) throw;
        throw krtool::InputError(
            "no reply from " + server + ":" + service + " within " + std::to_string(timeout) + " s",
            krtool::LibraryDetail(e));
    }
    return 0;
}

KRSmtpTls TlsMode(const std::string& text) {
    if (text == "auto") return KRSmtpTls::kAuto;
    if (text == "required") return KRSmtpTls::kRequired;
    if (text == "none") return KRSmtpTls::kNone;
    if (text == "implicit") return KRSmtpTls::kImplicit;
    throw krtool::UsageError("--tls takes auto, required, none or implicit, not '" + text + "'");
}

// The first line of the password file, or the environment's password.
std::string Password(const krtool::Args& args) {
    if (args.Has("--password-file")) {
        std::string file = args.Get("--password-file");
        if (file.empty() || file == "-") {
            throw krtool::UsageError("--password-file needs a file, not standard input");
        }
        std::string text = krtool::ReadInput(file);
        return text.substr(0, text.find_first_of("\r\n"));
    }
    const char* value = std::getenv(kPasswordVariable);
    if (value == nullptr) {
        throw krtool::UsageError(std::string("--user needs --password-file or ") +
                                 kPasswordVariable);
    }
    return value;
}

KRSmtpSettings Settings(const krtool::Args& args) {
    KRSmtpSettings settings;
    settings.server = args.Get("--server", settings.server);
    settings.service = Service(args, "");
    settings.heloName = args.Get("--helo", settings.heloName);
    settings.timeoutSeconds = Timeout(args);
    settings.tls = TlsMode(args.Get("--tls", "auto"));
    settings.caFile = args.Get("--ca");
    settings.user = args.Get("--user");
    if (!settings.user.empty()) settings.password = Password(args);
    settings.authWithoutTls = args.Has("--auth-without-tls");
    return settings;
}

int RunVerified(const krtool::Args& args) {
    args.ExpectPositional(0, 1);
    if (args.Has("--raw")) throw krtool::UsageError("--raw needs --exact");
    KRMailMessage message;
    message.from = args.Require("--from");
    args.Require("--to");
    message.to = args.GetAll("to");
    message.subject = args.Require("--subject");
    KRSmtpClient client(Settings(args));
    message.body = krtool::ReadInput(args.Positional().empty() ? "-" : args.Positional()[0]);
    krtool::WriteOutput(client.Send(message) + "\n");
    return 0;
}

int RunMail(const krtool::Args& args) {
    if (!args.Has("--exact")) return RunVerified(args);
    for (const char* option :
         {"--tls", "--ca", "--user", "--password-file", "--auth-without-tls"}) {
        if (args.Has(option))
            throw krtool::UsageError(std::string(option) + " needs the verified mode");
    }
    if (args.GetAll("to").size() > 1) throw krtool::UsageError("--exact takes one --to");
    return RunExact(args);
}

}  // namespace

KRTOOL_COMMAND_TABLE("mail", "send a message through an SMTP relay", kUsage, kOptions, RunMail);
