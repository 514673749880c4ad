// Connection set-up shared by the mailers.
#include "mail/mail_socket.h"

#include <cstdint>

#include "platform/platform.h"

namespace krmail {

namespace {

bool Failed(const char* call, int code, const std::string& reason, ConnectFailure* failure) {
    failure->call = call;
    failure->code = code;
    failure->reason = reason;
    return false;
}

bool SystemFailure(const char* call, int code, ConnectFailure* failure) {
    std::string reason = krplatform::SystemErrorText(code);
    if (!reason.empty() && reason.back() == '\n') reason.pop_back();
    return Failed(call, code, reason, failure);
}

}  // namespace

int ServicePort(const std::string& service, int defaultPort) {
    int port = krplatform::LookupServicePort(service.c_str());
    return port != 0 ? port : defaultPort;
}

bool OpenConnection(const std::string& server, const std::string& service, int timeoutSeconds,
                    int defaultPort, int* sock, ConnectFailure* failure) {
    uint32_t address = 0;
    std::string resolverText;
    int rc = krplatform::ResolveIPv4(server.c_str(), &address, &resolverText);
    if (rc != 0) return Failed("gethostbyname", rc, resolverText, failure);

    rc = krplatform::OpenTcpSocket(sock);
    if (rc != 0) return SystemFailure("socket", rc, failure);
    rc = krplatform::SetSocketTimeouts(*sock, timeoutSeconds);
    if (rc == 0) rc = krplatform::ConnectSocket(*sock, address, ServicePort(service, defaultPort));
    if (rc != 0) return SystemFailure("connect", rc, failure);
    return true;
}

}  // namespace krmail
