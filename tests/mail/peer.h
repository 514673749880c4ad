// The loopback SMTP peers of tests/mail/smtp_peer.py, run from the tests.
#ifndef KRTOOLS_TESTS_MAIL_PEER_H
#define KRTOOLS_TESTS_MAIL_PEER_H

#include <string>

#include "testutil.h"

// tests/mail/smtp_peer.py in a fresh folder; `port` is empty if it fails to start.
class Peer {
    testutil::TempDir dir_;
    std::string pid_;

public:
    explicit Peer(const std::string& arguments)
        : pid_(testutil::Run("/usr/bin/python3 " KRTOOLS_SOURCE_DIR "/tests/mail/smtp_peer.py " +
                             dir_.path() + " " + arguments + " >/dev/null 2>&1 & printf %s $!")
                   .output),
          port(Wait("port")) {}
    // The scripted relay: command `step` gets `reply`, "" closes.
    explicit Peer(int step = -1, const std::string& reply = "-", int messages = 1, int port = 0)
        : Peer(std::to_string(port) + " " + std::to_string(step) + " " +
               testutil::ShellQuote(reply) + " " + std::to_string(messages)) {}
    ~Peer() { testutil::Run("grep -qs smtp_peer /proc/" + pid_ + "/cmdline && kill " + pid_); }
    // The peer's file `name` once it appears; empty after 10 s without it.
    std::string Wait(const std::string& name) const {
        std::string file = testutil::ShellQuote(dir_.File(name));
        return testutil::Run("for i in $(seq 1000); do [ -e " + file +
                             " ] && break; sleep 0.01; done; cat " + file + " 2>/dev/null")
            .output;
    }
    // The path of the peer's file `name`.
    std::string File(const std::string& name) const { return dir_.File(name); }
    const std::string port;
};

#endif  // KRTOOLS_TESTS_MAIL_PEER_H
