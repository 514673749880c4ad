// One SMTP connection with bounded waits and an optional TLS layer.
#include "mail/smtp_channel.h"

#include <cerrno>
#include <climits>

#include "krtools/exception.h"
#include "mail/mail_socket.h"
#include "platform/platform.h"

namespace krmail {

namespace {

// The system's text for `code`, without its line feed.
std::string SystemText(int code) {
    std::string text = krplatform::SystemErrorText(code);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

}  // namespace

SmtpChannel::SmtpChannel(int timeoutSeconds)
    : sock_(krplatform::kInvalidSocket), timeoutSeconds_(timeoutSeconds > 0 ? timeoutSeconds : 0) {}

SmtpChannel::~SmtpChannel() { Close(); }

void SmtpChannel::Open(const std::string& server, const std::string& service, int defaultPort) {
    Close();
    ConnectFailure failure;
    if (!OpenConnection(server, service, timeoutSeconds_, defaultPort, &sock_, &failure)) {
        step_ = "connect to " + server + " port " + service;
        Fail(std::string(failure.call) + " failed: " + failure.reason, failure.code);
    }
}

void SmtpChannel::StartTls(const krtls::Verification& verification) {
    step_ = "TLS handshake";
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds_);
    try {
        tls_.reset(new krtls::ClientSession(*this, verification));
    } catch (const KRException& error) {
        if (error.text.rfind("TLS handshake\n", 0) != 0) throw;
        Fail(error.text.substr(error.text.find('\n') + 1));
    }
}

void SmtpChannel::Send(const std::string& bytes, const std::string& step) {
    step_ = step;
    if (!tls_) return SendAll(bytes.data(), bytes.size());
    try {
        tls_->Write(bytes.data(), bytes.size());
    } catch (const KRException& error) {
        RethrowTlsFailure(error);
    }
}

SmtpReply SmtpChannel::ReadReply(const std::string& step) {
    step_ = step;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds_);
    for (;;) {
        SmtpReply reply;
        size_t used = 0;
        switch (ScanReply(pending_, &reply, &used)) {
            case ReplyScan::kComplete:
                pending_.erase(0, used);
                return reply;
            case ReplyScan::kMalformed:
                Fail("malformed reply \"" + Printable(pending_) + "\"");
            case ReplyScan::kTooLong:
                Fail("reply longer than " + std::to_string(kMaxReplySize) + " bytes");
            case ReplyScan::kIncomplete:
                break;
        }
        char piece[4096];
        size_t count = tls_ ? ReadTls(piece, sizeof piece) : Receive(piece, sizeof piece);
        if (count == 0) {
            Fail(pending_.empty() ? "the server closed the connection without a reply"
                                  : "the server closed the connection within a reply \"" +
                                        Printable(pending_) + "\"");
        }
        pending_.append(piece, count);
    }
}

void SmtpChannel::ExpectNothingPending(const std::string& step) {
    step_ = step;
    if (pending_.empty() && !tls_ && krplatform::WaitForSocketInput(sock_, 0) == 0) {
        char piece[4096];
        long count = krplatform::SocketReceive(sock_, piece, sizeof piece);
        if (count == 0) Fail("the server closed the connection");
        if (count > 0) pending_.append(piece, static_cast<size_t>(count));
    }
    if (!pending_.empty()) {
        Fail("the server sent \"" + Printable(pending_) + "\" out of turn");
    }
}

void SmtpChannel::Close() noexcept {
    if (tls_) tls_->Close();
    tls_.reset();
    pending_.clear();
    if (sock_ != krplatform::kInvalidSocket) krplatform::CloseSocket(sock_);
    sock_ = krplatform::kInvalidSocket;
}

void SmtpChannel::SendAll(const char* data, size_t length) {
    while (length > 0) {
        long sent = krplatform::SocketSend(sock_, data, length);
        if (sent < 0) {
            int code = krplatform::LastError();
            if (code == EINTR) continue;
            if (code == EAGAIN || code == EWOULDBLOCK) {
                Fail("timed out after " + std::to_string(timeoutSeconds_) + " s sending");
            }
            Fail("send failed: " + SystemText(code), code);
        }
        data += sent;
        length -= static_cast<size_t>(sent);
    }
}

size_t SmtpChannel::Receive(char* buffer, size_t capacity) {
    for (;;) {
        int rc = krplatform::WaitForSocketInput(sock_, RemainingMilliseconds());
        if (rc == EINTR) continue;
        if (rc == ETIMEDOUT) {
            Fail("timed out after " + std::to_string(timeoutSeconds_) +
                 " s waiting for the server");
        }
        if (rc != 0) Fail("receive failed: " + SystemText(rc), rc);
        long count = krplatform::SocketReceive(sock_, buffer, capacity);
        if (count >= 0) return static_cast<size_t>(count);
        int code = krplatform::LastError();
        if (code != EINTR && code != EAGAIN && code != EWOULDBLOCK) {
            Fail("receive failed: " + SystemText(code), code);
        }
    }
}

size_t SmtpChannel::ReadTls(char* buffer, size_t capacity) {
    try {
        return tls_->Read(buffer, capacity);
    } catch (const KRException& error) {
        RethrowTlsFailure(error);
    }
}

void SmtpChannel::RethrowTlsFailure(const KRException& error) const {
    // The transport's own failures already name the step.
    if (error.text.rfind("TLS ", 0) != 0) throw error;
    std::string text = error.text;
    text.replace(text.find('\n'), 1, ": ");
    Fail(text);
}

int SmtpChannel::RemainingMilliseconds() {
    if (timeoutSeconds_ == 0) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline_ - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

void SmtpChannel::Fail(const std::string& what, int rc) const {
    throw KRException(rc, (step_ + ": " + what).c_str());
}

}  // namespace krmail
