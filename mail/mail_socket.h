// Connection set-up shared by EMailer and KRSmtpClient (internal).
#ifndef KRTOOLS_MAIL_MAIL_SOCKET_H
#define KRTOOLS_MAIL_MAIL_SOCKET_H

#include <string>

namespace krmail {

// Throws KRException(code, call) completed with the system's text.
[[noreturn]] void ThrowSystemError(const char* call, int code);

// Resolves `server`, opens a TCP socket into *sock (stored at once, so a
// socket whose connect fails stays there for the caller to close), sets the
// send and receive time-outs and connects to the service's port, or to
// `defaultPort` when the service is unknown. Failures throw
// "gethostbyname\n", "socket\n" or "connect\n" with the system's code.
void ConnectSocket(const std::string& server, const std::string& service, int timeoutSeconds,
                   int defaultPort, int* sock);

// The port that ConnectSocket would use.
int ServicePort(const std::string& service, int defaultPort);

}  // namespace krmail

#endif  // KRTOOLS_MAIL_MAIL_SOCKET_H
