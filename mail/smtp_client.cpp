// KRSmtpClient: the verified SMTP dialogue.
#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <utility>

#include "krtools/mailer.h"
#include "mail/mail_socket.h"
#include "mail/smtp_channel.h"
#include "mail/smtp_message.h"
#include "platform/platform.h"

namespace {

constexpr int kSmtpPort = 25;
constexpr int kSubmissionsPort = 465;

bool StartsWithWord(const std::string& line, const std::string& word) {
    if (line.size() < word.size() || (line.size() > word.size() && line[word.size()] != ' ')) {
        return false;
    }
    return std::equal(word.begin(), word.end(), line.begin(), [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) ==
               std::toupper(static_cast<unsigned char>(b));
    });
}

// The EHLO reply's extension lines ("250-STARTTLS" gives "STARTTLS").
class Extensions {
public:
    Extensions() = default;
    explicit Extensions(const krmail::SmtpReply& reply) {
        for (size_t i = 1; i < reply.lines.size(); ++i) lines_.push_back(reply.lines[i].substr(4));
    }
    bool Offers(const std::string& keyword) const { return Find(keyword) != nullptr; }
    // Whether the AUTH line names `mechanism`.
    bool OffersAuth(const std::string& mechanism) const {
        const std::string* line = Find("AUTH");
        if (line == nullptr) return false;
        std::string padded = " " + *line + " ";
        std::transform(padded.begin(), padded.end(), padded.begin(), ::toupper);
        return padded.find(" " + mechanism + " ") != std::string::npos;
    }

private:
    const std::string* Find(const std::string& keyword) const {
        for (const std::string& line : lines_) {
            if (StartsWithWord(line, keyword)) return &line;
        }
        return nullptr;
    }
    std::vector<std::string> lines_;
};

[[noreturn]] void Refuse(const std::string& step, const std::string& what) {
    throw KRException(-1, (step + ": " + what).c_str());
}

// One delivery over one connection.
class Dialogue {
public:
    Dialogue(const KRSmtpSettings& settings, const KRMailMessage& message)
        : settings_(settings), message_(message), channel_(settings.timeoutSeconds) {}

    std::string Run(const std::string& content) {
        Connect();
        Greet();
        Secure();
        Authenticate();
        std::string accepted = Transfer(content);
        Quit();
        return accepted;
    }

    // Says goodbye after a refusal, without waiting for the answer.
    void Abandon() noexcept {
        try {
            if (refused_) channel_.Send("QUIT\r\n", "QUIT");
        } catch (const KRException&) {
            // The connection is closed below either way.
        }
        channel_.Close();
    }

private:
    bool ImplicitTls() const {
        int port = krmail::ServicePort(settings_.service, kSmtpPort);
        return settings_.tls == KRSmtpTls::kImplicit ||
               (settings_.tls != KRSmtpTls::kNone && !settings_.service.empty() &&
                port == kSubmissionsPort);
    }

    void Connect() {
        bool implicit = ImplicitTls();
        channel_.Open(settings_.server, settings_.service, implicit ? kSubmissionsPort : kSmtpPort);
        if (implicit) channel_.StartTls(Verification());
    }

    krtls::Verification Verification() const { return {settings_.server, settings_.caFile}; }

    void Greet() {
        krmail::SmtpReply greeting = channel_.ReadReply("greeting");
        Expect("greeting", greeting, {220});
        Hello();
    }

    void Hello() {
        krmail::SmtpReply reply = Command("EHLO " + settings_.heloName, "EHLO", {});
        if (reply.code == 250) {
            extensions_ = Extensions(reply);
            return;
        }
        Expect("EHLO", reply, {500, 501, 502, 504, 550});  // EHLO unknown or refused
        extensions_ = Extensions();
        Command("HELO " + settings_.heloName, "HELO", {250});
    }

    void Secure() {
        if (channel_.Secure() || settings_.tls == KRSmtpTls::kNone) return;
        if (!extensions_.Offers("STARTTLS")) {
            if (settings_.tls == KRSmtpTls::kRequired) {
                Refuse("STARTTLS", "the server does not offer STARTTLS");
            }
            return;
        }
        Command("STARTTLS", "STARTTLS", {220});
        channel_.ExpectNothingPending("STARTTLS");
        channel_.StartTls(Verification());
        Hello();
    }

    void Authenticate() {
        if (settings_.user.empty()) return;
        if (!channel_.Secure() && !settings_.authWithoutTls) {
            Refuse("AUTH", "refused to send the password over a connection without TLS");
        }
        if (extensions_.OffersAuth("PLAIN")) {
            std::string credentials =
                std::string(1, '\0') + settings_.user + '\0' + settings_.password;
            Command("AUTH PLAIN " + krmail::Base64(credentials), "AUTH PLAIN", {235});
        } else if (extensions_.OffersAuth("LOGIN")) {
            Command("AUTH LOGIN", "AUTH LOGIN", {334});
            Command(krmail::Base64(settings_.user), "AUTH LOGIN user name", {334});
            Command(krmail::Base64(settings_.password), "AUTH LOGIN password", {235});
        } else {
            Refuse("AUTH", "the server offers neither AUTH PLAIN nor AUTH LOGIN");
        }
    }

    std::string Transfer(const std::string& content) {
        std::string mail = "MAIL FROM:<" + message_.from + ">";
        if (krmail::HasEightBitBytes(message_.body) && extensions_.Offers("8BITMIME")) {
            mail += " BODY=8BITMIME";
        }
        Command(mail, "MAIL FROM", {250});
        for (const std::string& to : message_.to) {
            std::string rcpt = "RCPT TO:<" + to + ">";
            Command(rcpt, rcpt, {250, 251});
        }
        Command("DATA", "DATA", {354});
        channel_.Send(content, "message");
        krmail::SmtpReply reply = channel_.ReadReply("end of data");
        Expect("end of data", reply, {250});
        return reply.Text();
    }

    void Quit() noexcept {
        try {
            Command("QUIT", "QUIT", {221});
        } catch (const KRException&) {
            // The message is delivered; how the server says goodbye does not matter.
        }
        channel_.Close();
    }

    // Sends one command and reads its reply; an empty `accepted` leaves
    // the judgement to the caller.
    krmail::SmtpReply Command(const std::string& line, const std::string& step,
                              std::initializer_list<int> accepted) {
        channel_.ExpectNothingPending(step);
        channel_.Send(line + "\r\n", step);
        krmail::SmtpReply reply = channel_.ReadReply(step);
        if (accepted.size() != 0) Expect(step, reply, accepted);
        return reply;
    }

    void Expect(const std::string& step, const krmail::SmtpReply& reply,
                std::initializer_list<int> accepted) {
        if (std::find(accepted.begin(), accepted.end(), reply.code) != accepted.end()) return;
        refused_ = true;
        Refuse(step, "refused: " + reply.Text());
    }

    const KRSmtpSettings& settings_;
    const KRMailMessage& message_;
    krmail::SmtpChannel channel_;
    Extensions extensions_;
    bool refused_ = false;
};

void CheckHeloName(const std::string& name) {
    if (name.empty() || name.find_first_of(" \t\r\n<>") != std::string::npos) {
        Refuse("EHLO", "the client name \"" + name + "\" is empty or has blanks or line breaks");
    }
}

std::string MessageIdDomain(const KRMailMessage& message, const std::string& heloName) {
    size_t at = message.from.rfind('@');
    std::string domain = at == std::string::npos ? "" : message.from.substr(at + 1);
    bool plain = !domain.empty() && domain.find_first_of("\"[]\\ ") == std::string::npos;
    return plain ? domain : heloName;
}

}  // namespace

KRSmtpClient::KRSmtpClient(KRSmtpSettings settings) : settings_(std::move(settings)) {}

std::string KRSmtpClient::Send(const KRMailMessage& message) const {
    CheckHeloName(settings_.heloName);
    krmail::CheckAddress(message.from, "sender");
    if (message.to.empty()) Refuse("RCPT TO", "no recipient");
    for (const std::string& to : message.to) krmail::CheckAddress(to, "recipient");
    std::string content =
        krmail::ComposeMessage(message, krplatform::CurrentTime(),
                               krmail::NewMessageId(MessageIdDomain(message, settings_.heloName)));
    Dialogue dialogue(settings_, message);
    try {
        return dialogue.Run(content);
    } catch (...) {
        dialogue.Abandon();
        throw;
    }
}
