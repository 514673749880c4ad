// krtool mail: sends one message through an SMTP relay.
#include <string>

#include "command.h"
#include "krtools/mailer.h"

namespace {

const char kUsage[] =
    "usage: krtool mail --server HOST --service NAME|PORT --helo NAME --from ADDR --to ADDR\n"
    "                   --subject TEXT [--raw] [--timeout SECONDS] [FILE|-]\n"
    "Sends the body read from FILE or standard input as one message. Bare line\n"
    "feeds become CRLF and lines beginning with a period are dot-stuffed, unless\n"
    "--raw sends the bytes unchanged.\n";

int RunMail(const std::vector<std::string>& argv) {
    krtool::Args args(
        argv, {"--server", "--service", "--helo", "--from", "--to", "--subject", "--timeout"},
        {"--raw"});
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

}  // namespace

KRTOOL_COMMAND("mail", "send a message through an SMTP relay", kUsage, RunMail);
