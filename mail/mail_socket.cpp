// Connection set-up shared by the mailers.
#include "mail/mail_socket.h"

#include <cstdint>
#include <cstdio>

#include "krtools/exception.h"
#include "platform/platform.h"

namespace krmail {

namespace {

// A failed name look-up carries the resolver's code and text in place of
// the system text.
[[noreturn]] void ThrowResolverError(int code, const std::string& resolverText) {
    KRException error(code, "gethostbyname\n");
    char line[32];
    std::snprintf(line, sizeof line, "Windows rc: 0x%08X\n", static_cast<uint32_t>(code));
    error.text += '\n';
    error.text += line;
    error.text += resolverText;
    error.text += '\n';
    throw error;
}

}  // namespace

void ThrowSystemError(const char* call, int code) {
    KRException error(code, call);
    error.FormatSystemErrorMsg();
    throw error;
}

int ServicePort(const std::string& service, int defaultPort) {
    int port = krplatform::LookupServicePort(service.c_str());
    return port != 0 ? port : defaultPort;
}

void ConnectSocket(const std::string& server, const std::string& service, int timeoutSeconds,
                   int defaultPort, int* sock) {
    uint32_t address = 0;
    std::string resolverText;
    int rc = krplatform::ResolveIPv4(server.c_str(), &address, &resolverText);
    if (rc != 0) ThrowResolverError(rc, resolverText);

    rc = krplatform::OpenTcpSocket(sock);
    if (rc != 0) ThrowSystemError("socket\n", rc);
    rc = krplatform::SetSocketTimeouts(*sock, timeoutSeconds);
    if (rc == 0) rc = krplatform::ConnectSocket(*sock, address, ServicePort(service, defaultPort));
    if (rc != 0) ThrowSystemError("connect\n", rc);
}

}  // namespace krmail
