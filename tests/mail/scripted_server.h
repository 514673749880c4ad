// A scripted SMTP peer on loopback for the mailer tests: it listens on an
// ephemeral port, accepts connections on its own thread and runs a script
// against each one.
#ifndef KRTOOLS_TESTS_MAIL_SCRIPTED_SERVER_H
#define KRTOOLS_TESTS_MAIL_SCRIPTED_SERVER_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace mailtest {

// One accepted connection, seen from the server side.
class Peer {
public:
    explicit Peer(int fd) : fd_(fd) {}
    ~Peer() { Close(); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // Reads until `marker` has arrived (true) or the client closed or 10
    // seconds passed (false). Everything read is kept in received().
    bool ReadUntil(const std::string& marker) {
        while (received_.find(marker, consumed_) == std::string::npos) {
            if (!ReadSome()) return false;
        }
        consumed_ = received_.find(marker, consumed_) + marker.size();
        return true;
    }
    bool ReadLine() { return ReadUntil("\r\n"); }
    // Reads whatever arrives until the client closes or `seconds` pass.
    void Drain(int seconds) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (fd_ >= 0 && std::chrono::steady_clock::now() < deadline) {
            struct pollfd p = {fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char buffer[8192];
            ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            received_.append(buffer, static_cast<size_t>(n));
        }
    }
    void Send(const std::string& bytes) {
        if (fd_ >= 0) (void)::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    const std::string& received() const { return received_; }

private:
    bool ReadSome(int timeoutMs = 10000) {
        if (fd_ < 0) return false;
        struct pollfd p = {fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return false;
        char buffer[8192];
        ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        received_.append(buffer, static_cast<size_t>(n));
        return true;
    }

    int fd_;
    std::string received_;
    size_t consumed_ = 0;
};

// Runs `script` on every accepted connection (one at a time) until stopped.
class ScriptedServer {
public:
    using Script = std::function<void(Peer&)>;

    explicit ScriptedServer(Script script, int port = 0) : script_(std::move(script)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        struct sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0) {
            ::close(listener_);
            listener_ = -1;
            return;
        }
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ScriptedServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) ::close(listener_);
    }

    bool listening() const { return listener_ >= 0; }
    std::string port() const { return std::to_string(port_); }
    int accepted() const { return accepted_; }
    // Waits until `count` connections have run their script to the end.
    bool WaitFinished(int count, int seconds = 10) {
        for (int i = 0; i < seconds * 100 && finished_ < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return finished_ >= count;
    }
    // Everything received on all connections so far, in order.
    std::string received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

private:
    void Serve() {
        while (!stop_) {
            struct pollfd p = {listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) continue;
            ++accepted_;
            Peer peer(fd);
            script_(peer);
            peer.Close();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                received_ += peer.received();
            }
            ++finished_;
        }
    }

    Script script_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> finished_{0};
    std::mutex mutex_;
    std::string received_;
};

// Serves one message as a well-behaved relay: no greeting, one reply after
// each command, 354 after DATA. False when the client went away.
inline bool ServeMessage(Peer& peer) {
    for (const char* reply :
         {"250 hello\r\n", "250 sender ok\r\n", "250 recipient ok\r\n", "354 go ahead\r\n"}) {
        if (!peer.ReadLine()) return false;
        peer.Send(reply);
    }
    if (!peer.ReadUntil("\r\n.\r\n")) return false;
    peer.Send("250 queued\r\n");
    if (!peer.ReadUntil("QUIT\r\n")) return false;
    peer.Send("221 bye\r\n");
    return true;
}

// One message, then the connection is kept open until the client closes.
inline void GoodRelay(Peer& peer) {
    if (ServeMessage(peer)) peer.Drain(2);
}

}  // namespace mailtest

#endif  // KRTOOLS_TESTS_MAIL_SCRIPTED_SERVER_H
