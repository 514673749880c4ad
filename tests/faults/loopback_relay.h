// A relay on 127.0.0.1 for the mail fault tests: a thread of the test
// accepts one connection and serves it; faults armed by the test's own
// thread never touch the relay's calls.
#ifndef KRTOOLS_TESTS_FAULTS_LOOPBACK_RELAY_H
#define KRTOOLS_TESTS_FAULTS_LOOPBACK_RELAY_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>

// Listens on a port the system chooses; `serve` gets the accepted socket
// and a string to keep what it received.
class LoopbackRelay {
public:
    using Serve = std::function<void(int peer, std::string& received)>;

    explicit LoopbackRelay(Serve serve) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
        listen(listener_, 1);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port = std::to_string(ntohs(address.sin_port));
        thread_ = std::thread([this, serve] {
            const int peer = accept(listener_, nullptr, nullptr);
            if (peer < 0) return;
            serve(peer, received_);
            close(peer);
        });
    }
    ~LoopbackRelay() {
        shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        close(listener_);
    }
    LoopbackRelay(const LoopbackRelay&) = delete;
    LoopbackRelay& operator=(const LoopbackRelay&) = delete;

    // What arrived, once the client has closed the connection.
    std::string Received() {
        if (thread_.joinable()) thread_.join();
        return received_;
    }
    // Sends `text` whole (the peer is on loopback and reads everything).
    static void Reply(int peer, const char* text) {
        send(peer, text, std::strlen(text), MSG_NOSIGNAL);
    }

    std::string port;

private:
    int listener_;
    std::thread thread_;
    std::string received_;
};

#endif  // KRTOOLS_TESTS_FAULTS_LOOPBACK_RELAY_H
