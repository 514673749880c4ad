// TLS client sessions over OpenSSL with memory buffers on both sides.
#include "tls/tls_client.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "krtools/exception.h"

namespace krtls {

namespace {

constexpr size_t kPieceSize = 16384;

[[noreturn]] void ThrowTls(const std::string& reason) {
    throw KRException(-1, "TLS handshake", reason.c_str());
}

// The newest reason on OpenSSL's error queue, or `fallback`.
std::string OpenSslReason(const char* fallback) {
    unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return reason != nullptr ? reason : fallback;
}

bool IsIpAddress(const std::string& host) {
    ASN1_OCTET_STRING* address = a2i_IPADDRESS(host.c_str());
    ASN1_OCTET_STRING_free(address);
    ERR_clear_error();
    return address != nullptr;
}

SSL_CTX* NewContext(const std::string& caFile) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) ThrowTls(OpenSslReason("cannot create a TLS context"));
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    int loaded = caFile.empty() ? SSL_CTX_set_default_verify_paths(context)
                                : SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr);
    if (loaded != 1) {
        SSL_CTX_free(context);
        ThrowTls("cannot load the trusted certificates" +
                 (caFile.empty() ? std::string() : " from " + caFile));
    }
    return context;
}

// Sets the name to check and, for DNS names, the server name indication.
void ExpectHost(SSL* ssl, const std::string& host) {
    int ok = 0;
    if (IsIpAddress(host)) {
        ok = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
    } else {
        ok = SSL_set1_host(ssl, host.c_str()) == 1 &&
             SSL_set_tlsext_host_name(ssl, host.c_str()) == 1;
    }
    if (ok != 1) ThrowTls("cannot expect the host name " + host);
}

}  // namespace

struct ClientSession::State {
    Transport& transport;
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    BIO* incoming = nullptr;  // owned by ssl
    BIO* outgoing = nullptr;  // owned by ssl

    explicit State(Transport& lower) : transport(lower) {}
    ~State() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }

    // Sends what OpenSSL has written to the outgoing buffer.
    void Flush() {
        char piece[kPieceSize];
        int count;
        while ((count = BIO_read(outgoing, piece, sizeof piece)) > 0) {
            transport.SendAll(piece, static_cast<size_t>(count));
        }
    }

    // Moves received bytes into the incoming buffer; false when the peer
    // closed the connection.
    bool Fill() {
        char piece[kPieceSize];
        size_t count = transport.Receive(piece, sizeof piece);
        if (count == 0) return false;
        BIO_write(incoming, piece, static_cast<int>(count));
        return true;
    }
};

ClientSession::ClientSession(Transport& transport, const Verification& verification)
    : state_(new State(transport)) {
    ERR_clear_error();
    state_->context = NewContext(verification.caFile);
    state_->ssl = SSL_new(state_->context);
    state_->incoming = BIO_new(BIO_s_mem());
    state_->outgoing = BIO_new(BIO_s_mem());
    if (state_->ssl == nullptr || state_->incoming == nullptr || state_->outgoing == nullptr) {
        BIO_free(state_->incoming);
        BIO_free(state_->outgoing);
        ThrowTls(OpenSslReason("out of memory"));
    }
    SSL_set_bio(state_->ssl, state_->incoming, state_->outgoing);
    ExpectHost(state_->ssl, verification.hostName);
    SSL_set_connect_state(state_->ssl);
    for (;;) {
        int rc = SSL_do_handshake(state_->ssl);
        state_->Flush();
        if (rc == 1) return;
        if (SSL_get_error(state_->ssl, rc) == SSL_ERROR_WANT_READ) {
            if (!state_->Fill()) ThrowTls("the server closed the connection");
            continue;
        }
        long verdict = SSL_get_verify_result(state_->ssl);
        if (verdict != X509_V_OK) {
            ERR_clear_error();
            ThrowTls(std::string("certificate refused: ") + X509_verify_cert_error_string(verdict));
        }
        ThrowTls(OpenSslReason("the handshake failed"));
    }
}

ClientSession::~ClientSession() = default;

void ClientSession::Write(const char* data, size_t length) {
    while (length > 0) {
        size_t written = 0;
        int rc = SSL_write_ex(state_->ssl, data, length, &written);
        state_->Flush();
        if (rc != 1) throw KRException(-1, "TLS write", OpenSslReason("failed").c_str());
        data += written;
        length -= written;
    }
}

size_t ClientSession::Read(char* buffer, size_t capacity) {
    for (;;) {
        size_t count = 0;
        int rc = SSL_read_ex(state_->ssl, buffer, capacity, &count);
        state_->Flush();
        if (rc == 1) return count;
        int error = SSL_get_error(state_->ssl, rc);
        if (error == SSL_ERROR_ZERO_RETURN) return 0;
        if (error != SSL_ERROR_WANT_READ) {
            throw KRException(-1, "TLS read", OpenSslReason("failed").c_str());
        }
        if (!state_->Fill()) return 0;
    }
}

void ClientSession::Close() noexcept {
    try {
        SSL_shutdown(state_->ssl);
        state_->Flush();
    } catch (...) {
        // The connection is going away anyway.
    }
    ERR_clear_error();
}

}  // namespace krtls
