// krtool mail: sends one message through an SMTP relay.
#include <cstdlib>
#include <string>

#include "command.h"
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

int RunExact(const krtool::Args& args) {
    args.ExpectPositional(0, 1);
    std::string input = args.Positional().empty() ? "-" : args.Positional()[0];
    EMailer mailer(args.Get("--server", "localhost").c_str(),
                   args.Get("--service", "mail").c_str());
    mailer.SetTimeout(static_cast<int>(args.GetLong("--timeout", 300)));
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
    return 0;
}

// Every value given to a repeatable option, in order.
std::vector<std::string> AllValues(const std::vector<std::string>& argv, const std::string& name) {
    std::vector<std::string> values;
    for (size_t i = 0; i < argv.size() && argv[i] != "--"; ++i) {
        if (argv[i] == name && i + 1 < argv.size()) {
            values.push_back(argv[++i]);
        } else if (argv[i].rfind(name + "=", 0) == 0) {
            values.push_back(argv[i].substr(name.size() + 1));
        }
    }
    return values;
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
    settings.service = args.Get("--service");
    settings.heloName = args.Get("--helo", settings.heloName);
    settings.timeoutSeconds = static_cast<int>(args.GetLong("--timeout", 300));
    settings.tls = TlsMode(args.Get("--tls", "auto"));
    settings.caFile = args.Get("--ca");
    settings.user = args.Get("--user");
    if (!settings.user.empty()) settings.password = Password(args);
    settings.authWithoutTls = args.Has("--auth-without-tls");
    return settings;
}

int RunVerified(const krtool::Args& args, const std::vector<std::string>& argv) {
    args.ExpectPositional(0, 1);
    if (args.Has("--raw")) throw krtool::UsageError("--raw needs --exact");
    KRMailMessage message;
    message.from = args.Require("--from");
    args.Require("--to");
    message.to = AllValues(argv, "--to");
    message.subject = args.Require("--subject");
    KRSmtpClient client(Settings(args));
    message.body = krtool::ReadInput(args.Positional().empty() ? "-" : args.Positional()[0]);
    krtool::WriteOutput(client.Send(message) + "\n");
    return 0;
}

int RunMail(const std::vector<std::string>& argv) {
    krtool::Args args(argv,
                      {"--server", "--service", "--helo", "--from", "--to", "--subject",
                       "--timeout", "--tls", "--ca", "--user", "--password-file"},
                      {"--raw", "--exact", "--auth-without-tls"});
    if (!args.Has("--exact")) return RunVerified(args, argv);
    for (const char* option :
         {"--tls", "--ca", "--user", "--password-file", "--auth-without-tls"}) {
        if (args.Has(option))
            throw krtool::UsageError(std::string(option) + " needs the verified mode");
    }
    if (AllValues(argv, "--to").size() > 1) throw krtool::UsageError("--exact takes one --to");
    return RunExact(args);
}

}  // namespace

KRTOOL_COMMAND("mail", "send a message through an SMTP relay", kUsage, RunMail);
