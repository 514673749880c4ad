// EMailer: sends one plain-text message to one recipient through an SMTP
// relay, with the minimal dialogue its callers rely on.
// KRSmtpClient: the verified client beside it, for real mail: it checks every
// reply, speaks TLS and authenticates, and returns only when the relay has
// taken the message.
#ifndef KRTOOLS_MAILER_H
#define KRTOOLS_MAILER_H

#include <string>
#include <vector>

#include "krtools/exception.h"
#include "krtools/export.h"

// The minimal SMTP dialogue: HELO, MAIL FROM, RCPT TO, DATA, a "SUBJECT: "
// line, the body byte for byte, the end-of-data marker and QUIT. One reply is
// read after each command except the subject line and the body; a reply whose
// first byte is above '3' throws. A message ends with QUIT and leaves the
// object connected: call Disconnect before sending the next one.
//
// System failures throw KRException with the system error code as rc and the
// failing call's name and a line feed as text ("socket\n", "connect\n",
// "send\n", "recv\n", "closesocket\n"), followed by the system text; a failed
// name look-up throws "gethostbyname\n" with the resolver's code and text.
// A send or receive that waits longer than the time-out fails with "send\n"
// or "recv\n". Not copyable: the object owns its socket.
class KRTOOLS_API EMailer {
public:
    // The mail relay's host name or dotted address.
    std::string server;
    // The service name (or port number) of the relay.
    std::string service;
    // The connection's socket; -1 while not connected.
    int sock;

    // The relay "localhost", the service "mail".
    EMailer();
    // The given relay and service (non-null).
    EMailer(const char* server, const char* service);
    EMailer(const EMailer&) = delete;
    EMailer& operator=(const EMailer&) = delete;
    // Disconnects; a failure here is swallowed.
    ~EMailer();

    void SetServer(const char* server);
    void SetService(const char* service);
    // Seconds that one send, receive or connect may wait (default 300, the
    // least that clients should allow for most replies); 0 waits forever.
    // Applies from the next Connect.
    void SetTimeout(int seconds);

    // Replaces the relay and the service, then connects.
    void Connect(const char* server, const char* service);
    // Opens the connection. Throws KRException(-1, "Connect\n", "Socket not
    // disconnected") when already connected. The port is the service's, a
    // service made of digits is the port itself, and an unknown service is
    // port 25.
    void Connect();
    // Closes the connection; nothing happens when not connected.
    void Disconnect();

    // Sends one message whose body is `body` up to its NUL; connects first
    // when not connected. HELO name, sender, recipient and subject must not
    // contain CR or LF (KRException(-1, "EMailer::SendHeaders", ...) before
    // anything is sent).
    void SendMessageA(const char* helo, const char* from, const char* to, const char* subject,
                      const char* body);
    // As SendMessageA with the body read from the file `fileName` in pieces of
    // 1024 bytes. The file object's exceptions pass through unchanged.
    void SendMessageFile(const char* helo, const char* from, const char* to, const char* subject,
                         const char* fileName);

protected:
    // The dialogue up to and including the subject line.
    void SendHeaders(const char* helo, const char* from, const char* to, const char* subject);
    // One send of `length` bytes; when `readReply`, one receive of at most
    // 4095 bytes whose first byte above '3' throws KRException(-1,
    // "SendData: <data>\n", <reply>).
    void SendData(const char* data, int length, bool readReply);

private:
    void SendEndOfMessage();
    int timeoutSeconds_ = 300;
};

// Returns `body` made safe for the DATA phase: bare LF and bare CR become
// CRLF, and every line that begins with a period gets a second one, so no
// line of the body can end the message early. EMailer sends bodies byte for
// byte; callers that take text from users pass it through this first.
KRTOOLS_API std::string SmtpCanonicalBody(const std::string& body);

// How KRSmtpClient protects the connection.
enum class KRSmtpTls {
    kAuto,      // STARTTLS when the server offers it, clear text when not
    kRequired,  // STARTTLS; refused when the server does not offer it
    kNone,      // clear text only
    kImplicit,  // TLS from the first byte (the "submissions" port 465)
};

// Where and how KRSmtpClient delivers.
struct KRSmtpSettings {
    // The relay's host name or dotted address.
    std::string server = "localhost";
    // Service name or port; empty: 25, or 465 with implicit TLS. kAuto and
    // kRequired on port 465 mean implicit TLS.
    std::string service;
    // The name this client gives in EHLO (and HELO).
    std::string heloName = "localhost";
    // Seconds each reply, each send and the TLS handshake may take; 0 waits
    // forever.
    int timeoutSeconds = 300;
    KRSmtpTls tls = KRSmtpTls::kAuto;
    // PEM file of the certificates trusted for the relay; empty: the
    // system's. The relay's certificate must also carry `server` as its
    // DNS name or IP address.
    std::string caFile;
    // When `user` is not empty: AUTH PLAIN, or LOGIN when the relay offers
    // only that, over TLS only unless `authWithoutTls`.
    std::string user;
    std::string password;
    bool authWithoutTls = false;
};

// One message of KRSmtpClient.
struct KRMailMessage {
    // Bare addresses, without angle brackets.
    std::string from;
    std::vector<std::string> to;
    // Any text without CR or LF; sent RFC 2047 encoded (UTF-8) when it is
    // not printable ASCII.
    std::string subject;
    // The text; bare LF and bare CR become CRLF and lines starting with a
    // period are dot-stuffed. Bytes above 127 add MIME headers for UTF-8
    // text (and BODY=8BITMIME when the relay offers it).
    std::string body;
};

// The verified SMTP client (RFC 5321): reads the 220 greeting, reads whole
// replies (multi-line ones included, each one apart however they arrive) and
// accepts each only with a code its command allows; says EHLO (HELO when
// EHLO is refused); switches to TLS as `tls` says, verifying the chain and
// the host name; authenticates; sends MAIL FROM, one RCPT TO per recipient
// (every one must be accepted), DATA, then Date, From, To, Subject and
// Message-ID headers, a blank line and the body. A message is sent only when
// the relay answers 250 to its end; QUIT follows, its outcome ignored.
//
// Every failure throws KRException whose text names the step and says what
// happened, "RCPT TO:<b@example.org>: refused: 550 no such user" for
// example: rc -1 for the relay's doing (a refusal, a closed connection, a
// malformed reply or one over 64 KiB, a time-out, a failed certificate
// check) and for addresses, subjects or body lines that cannot be sent
// safely (refused before connecting); the system's code when a send or
// receive failed.
class KRTOOLS_API KRSmtpClient {
public:
    explicit KRSmtpClient(KRSmtpSettings settings);

    // Delivers `message` over a new connection; returns the relay's reply
    // to the end of the data.
    std::string Send(const KRMailMessage& message) const;

private:
    KRSmtpSettings settings_;
};

#endif  // KRTOOLS_MAILER_H
