// TCP sockets and name resolution.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace krplatform {

int ResolveIPv4(const char* host, uint32_t* address, std::string* errorText) {
    struct addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* found = nullptr;
    int rc = getaddrinfo(host, nullptr, &hints, &found);
    if (rc != 0) {
        if (errorText != nullptr) *errorText = gai_strerror(rc);
        return rc;
    }
    const auto* in = reinterpret_cast<const struct sockaddr_in*>(found->ai_addr);
    *address = in->sin_addr.s_addr;
    freeaddrinfo(found);
    return 0;
}

int LookupServicePort(const char* service) {
    if (*service != '\0' && std::strspn(service, "0123456789") == std::strlen(service)) {
        long port = std::strtol(service, nullptr, 10);
        return port > 0 && port < 65536 ? static_cast<int>(port) : 0;
    }
    struct servent entry;
    struct servent* result = nullptr;
    char buffer[1024];
    if (getservbyname_r(service, nullptr, &entry, buffer, sizeof buffer, &result) != 0 ||
        result == nullptr) {
        return 0;
    }
    return ntohs(static_cast<uint16_t>(result->s_port));
}

int OpenTcpSocket(SocketHandle* handle) {
    *handle = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return *handle == kInvalidSocket ? errno : 0;
}

int SetSocketTimeouts(SocketHandle handle, int seconds) {
    struct timeval limit;
    limit.tv_sec = seconds > 0 ? seconds : 0;
    limit.tv_usec = 0;
    if (setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0) return errno;
    if (setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) return errno;
    return 0;
}

int ConnectSocket(SocketHandle handle, uint32_t address, int port) {
    struct sockaddr_in peer;
    std::memset(&peer, 0, sizeof peer);
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    peer.sin_addr.s_addr = address;
    if (connect(handle, reinterpret_cast<const struct sockaddr*>(&peer), sizeof peer) != 0) {
        return errno;
    }
    return 0;
}

long SocketSend(SocketHandle handle, const void* data, size_t length) {
    const char* next = static_cast<const char*>(data);
    size_t left = length;
    while (left > 0) {
        const ssize_t sent = send(handle, next, left, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0) return -1;
        next += sent;
        left -= static_cast<size_t>(sent);
    }
    return static_cast<long>(length);
}

long SocketReceive(SocketHandle handle, void* buffer, size_t length) {
    ssize_t received;
    do {
        received = recv(handle, buffer, length, 0);
    } while (received < 0 && errno == EINTR);
    return static_cast<long>(received);
}

int CloseSocket(SocketHandle handle) { return close(handle) == 0 ? 0 : errno; }

int WaitForSocketInput(SocketHandle handle, int milliseconds) {
    struct pollfd entry;
    entry.fd = handle;
    entry.events = POLLIN;
    entry.revents = 0;
    int rc = poll(&entry, 1, milliseconds);
    if (rc < 0) return errno;
    return rc == 0 ? ETIMEDOUT : 0;
}

}  // namespace krplatform
