#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

// A socket of this type bound to 127.0.0.1 on a port the kernel picks.
inline int loopbackSocket(int type, unsigned short& port, bool listening = false) {
    const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        (listening && ::listen(fd, 16) != 0)) {
        throw std::system_error(errno, std::generic_category(), "no loopback socket");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// How long a test's socket waits for one read or write: beyond the server's 30 s busy time-out, so that only
// a hung server or peer runs into it.
inline const timeval SOCKET_PATIENCE{90, 0};

// An owned loopbackSocket(). Reads and writes time out but for a listening one, whose accept() would time out
// too; a stream one that is not listening refuses every connection.
struct Socket {
    explicit Socket(int type = SOCK_STREAM, bool listening = false)
        : fd(loopbackSocket(type, port, listening)) {
        const timeval timeout = listening ? timeval{0, 0} : SOCKET_PATIENCE;
        for (const int option : {SO_RCVTIMEO, SO_SNDTIMEO})
            ::setsockopt(fd, SOL_SOCKET, option, &timeout, sizeof timeout);
    }
    ~Socket() { ::close(fd); }
    Socket(const Socket&) = delete;  // the const member already forbids assignment

    unsigned short port = 0;  // before the socket, whose initialiser fills it in
    const int fd;
};

// A stand-in for the Asterisk manager interface: one thread serves the connections in turn with the greeting
// and, once a request is in up to its empty line, the answer; it records every byte until the client closes.
class FakePeer {
public:
    // AnswerGarbage sends binary noise ending in CR LF; NeverAnswer reads on in silence.
    enum class Behaviour { Answer, CloseAfterGreeting, NeverAnswer, AnswerGarbage };
    struct Script {
        Behaviour behaviour = Behaviour::Answer;
        std::string answer = kSuccessAnswer;
    };
    static inline const std::string kSuccessAnswer =
        "Response: Success\r\nActionID: 1\r\nMessage: Authentication accepted\r\n\r\n";
    static inline const std::string kErrorAnswer =
        "Response: Error\r\nActionID: 1\r\nMessage: Authentication failed\r\n\r\n";

    FakePeer() : FakePeer(Script()) {}
    explicit FakePeer(Behaviour behaviour) : FakePeer(Script{behaviour}) {}
    explicit FakePeer(Script script)
        : mScript(std::move(script)), mAcceptor([this] {
              for (int fd; (fd = ::accept4(mListen.fd, nullptr, nullptr, SOCK_CLOEXEC)) >= 0; ::close(fd))
                  serve(fd);
          }) {}
    ~FakePeer() { finish(); }

    unsigned short port() const { return mListen.port; }
    // Both stop the peer, once the client still connected closes: later connections are refused.
    std::size_t connectionCount() { return finish().size(); }
    std::string received(std::size_t connection = 0) { return finish().at(connection); }

private:
    const std::vector<std::string>& finish() {
        ::shutdown(mListen.fd, SHUT_RDWR);  // wakes the acceptor
        if (mAcceptor.joinable()) mAcceptor.join();
        return mReceived;
    }
    void serve(int fd) {
        const timeval limit{10, 0};  // beyond the server's 5 s manager time-out, so a silent peer outlasts it
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        std::string& received = mReceived.emplace_back();
        send(fd, "Asterisk Call Manager/1.1\r\n");
        const Behaviour behaviour = mScript.behaviour;
        if (behaviour == Behaviour::CloseAfterGreeting) ::shutdown(fd, SHUT_WR);  // a clean end, no reset
        std::string answer = behaviour == Behaviour::Answer ? mScript.answer : "";
        if (behaviour == Behaviour::AnswerGarbage) answer.assign("\x01\xff\x00 R3sp0nse:\tSucc\x7f\r\n", 21);
        char buffer[512];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            received.append(buffer, static_cast<std::size_t>(n));
            if (received.find("\r\n\r\n") != std::string::npos)
                send(fd, std::exchange(answer, std::string()));
        }
    }
    static void send(int fd, const std::string& text) { ::send(fd, text.data(), text.size(), MSG_NOSIGNAL); }

    const Script mScript;
    const Socket mListen{SOCK_STREAM, true};
    std::vector<std::string> mReceived;  // per connection; read only once the acceptor has ended
    std::thread mAcceptor;               // last, so all it uses exists
};

}  // namespace testsupport
