// Connection set-up shared by EMailer and KRSmtpClient (internal).
#ifndef KRTOOLS_MAIL_MAIL_SOCKET_H
#define KRTOOLS_MAIL_MAIL_SOCKET_H

#include <string>

namespace krmail {

// Why OpenConnection failed: the call ("gethostbyname", "socket",
// "connect"), its code (the resolver's for gethostbyname, else errno) and
// the matching text.
struct ConnectFailure {
    const char* call = "";
    int code = 0;
    std::string reason;
};

// Resolves `server`, opens a TCP socket into *sock (stored at once, so a
// socket whose connect fails stays there for the caller to close), sets the
// send and receive time-outs and connects to the service's port, or to
// `defaultPort` when the service is unknown. False with *failure filled
// when a step fails.
bool OpenConnection(const std::string& server, const std::string& service, int timeoutSeconds,
                    int defaultPort, int* sock, ConnectFailure* failure);

// The port that OpenConnection uses.
int ServicePort(const std::string& service, int defaultPort);

}  // namespace krmail

#endif  // KRTOOLS_MAIL_MAIL_SOCKET_H
