// EMailer: sends one plain-text message to one recipient through an SMTP
// relay.
#ifndef KRTOOLS_MAILER_H
#define KRTOOLS_MAILER_H

#include <string>

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

#endif  // KRTOOLS_MAILER_H
