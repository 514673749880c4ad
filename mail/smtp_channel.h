// One SMTP connection of KRSmtpClient: commands out, whole replies in, each
// wait bounded, optionally switched to TLS (internal).
#ifndef KRTOOLS_MAIL_SMTP_CHANNEL_H
#define KRTOOLS_MAIL_SMTP_CHANNEL_H

#include <chrono>
#include <memory>
#include <string>

#include "krtools/exception.h"
#include "mail/smtp_reply.h"
#include "tls/tls_client.h"

namespace krmail {

// Failures throw KRException whose text starts with the step's name and a
// colon: rc -1 for what the server did (closed, malformed, too long, timed
// out), the system's code when a send or receive failed.
class SmtpChannel : private krtls::Transport {
public:
    // Each reply, and each send, may take `timeoutSeconds` (0: no limit).
    explicit SmtpChannel(int timeoutSeconds);
    ~SmtpChannel() override;
    SmtpChannel(const SmtpChannel&) = delete;
    SmtpChannel& operator=(const SmtpChannel&) = delete;

    // Connects as EMailer does, to `defaultPort` for an unknown service.
    void Open(const std::string& server, const std::string& service, int defaultPort);
    // Runs the TLS handshake over the connection; later traffic is
    // encrypted.
    void StartTls(const krtls::Verification& verification);
    bool Secure() const { return tls_ != nullptr; }
    // Sends all of `bytes`.
    void Send(const std::string& bytes, const std::string& step);
    // The next complete reply.
    SmtpReply ReadReply(const std::string& step);
    // Throws when the server has sent anything that no command asked for
    // (replies out of step, or plain text injected before a TLS switch).
    void ExpectNothingPending(const std::string& step);
    // Closes the connection (TLS closing alert first); never throws.
    void Close() noexcept;

private:
    void SendAll(const char* data, size_t length) override;
    size_t Receive(char* buffer, size_t capacity) override;
    // A TLS read, its failures named by the step.
    size_t ReadTls(char* buffer, size_t capacity);
    // Throws `error` again, or, when it is the TLS layer's own ("TLS read"
    // or "TLS write"), as a failure of the step.
    [[noreturn]] void RethrowTlsFailure(const KRException& error) const;
    // Milliseconds left before the current deadline; -1 without a limit.
    int RemainingMilliseconds();
    [[noreturn]] void Fail(const std::string& what, int rc = -1) const;

    int sock_;
    int timeoutSeconds_;
    std::chrono::steady_clock::time_point deadline_;
    std::string step_;     // what the current wait is for
    std::string pending_;  // received bytes not yet taken as a reply
    std::unique_ptr<krtls::ClientSession> tls_;
};

}  // namespace krmail

#endif  // KRTOOLS_MAIL_SMTP_CHANNEL_H
