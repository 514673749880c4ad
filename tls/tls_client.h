// The TLS seam: a verified TLS client session over a byte stream that the
// caller moves (internal to the library, not installed). No other folder
// calls OpenSSL's TLS library.
#ifndef KRTOOLS_TLS_TLS_CLIENT_H
#define KRTOOLS_TLS_TLS_CLIENT_H

#include <cstddef>
#include <memory>
#include <string>

namespace krtls {

// The clear byte stream beneath a session, usually a connected socket. Its
// failures (time-outs included) are thrown by the implementation and pass
// through the session unchanged.
class Transport {
public:
    virtual ~Transport() = default;
    // Sends all `length` bytes.
    virtual void SendAll(const char* data, size_t length) = 0;
    // Receives between 1 and `capacity` bytes; 0 when the peer closed.
    virtual size_t Receive(char* buffer, size_t capacity) = 0;
};

// What the server's certificate chain is checked against.
struct Verification {
    // The name the certificate must carry (DNS name or IP address text).
    std::string hostName;
    // PEM file of trusted certificates; empty: the system's trusted ones.
    std::string caFile;
};

// A TLS 1.2 or later client session. OpenSSL works on memory buffers only;
// every byte travels through the Transport, so exceptions thrown there
// never cross OpenSSL's frames.
class ClientSession {
public:
    // Runs the handshake and verifies the chain and the host name. Throws
    // KRException(-1, "TLS handshake", <reason>) when it fails.
    ClientSession(Transport& transport, const Verification& verification);
    ~ClientSession();
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    // Encrypts and sends all `length` bytes; KRException(-1, "TLS write",
    // <reason>) when OpenSSL fails.
    void Write(const char* data, size_t length);
    // Receives between 1 and `capacity` bytes of plain text; 0 when the
    // peer ended the session or closed the connection. KRException(-1,
    // "TLS read", <reason>) when the records are bad.
    size_t Read(char* buffer, size_t capacity);
    // Sends the closing alert; failures are ignored.
    void Close() noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace krtls

#endif  // KRTOOLS_TLS_TLS_CLIENT_H
