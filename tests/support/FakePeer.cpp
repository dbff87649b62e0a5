#include "tests/support/FakePeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

// A TCP socket bound to 127.0.0.1 on a free port; a listening one does not block.
int loopbackSocket(bool listening, unsigned short& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (listening ? SOCK_NONBLOCK : 0), 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        (listening && ::listen(fd, 16) != 0)) {
        throw std::runtime_error(std::string("no loopback socket: ") + std::strerror(errno));
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Accepted sockets block, so one send takes the whole text.
bool sendAll(int fd, const std::string& bytes) {
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

}  // namespace

const std::string FakePeer::kGreeting = "Asterisk Call Manager/1.1\r\n";
const std::string FakePeer::kSuccessAnswer =
    "Response: Success\r\nActionID: 1\r\nMessage: Authentication accepted\r\n\r\n";
const std::string FakePeer::kErrorAnswer =
    "Response: Error\r\nActionID: 1\r\nMessage: Authentication failed\r\n\r\n";
const std::string FakePeer::kGarbageAnswer("\x01\xff\x00 R3sp0nse:\tSucc\x7f\r\n", 21);
const std::string FakePeer::kOverlongLine(200, 'A');

FakePeer::FakePeer() : FakePeer(Script()) {}
FakePeer::FakePeer(Behaviour behaviour) : FakePeer(Script(behaviour)) {}
FakePeer::FakePeer(Script script) : mScript(std::move(script)), mListenFd(loopbackSocket(true, mPort)) {
    mAcceptor = std::thread([this] {
        pollfd listener{mListenFd, POLLIN, 0};
        do ::poll(&listener, 1, -1);
        while (acceptPending());
    });
}

FakePeer::~FakePeer() {
    {
        // Shutting the sockets down wakes the acceptor and every session's read for good.
        const std::lock_guard<std::mutex> lock(mMutex);
        ::shutdown(mListenFd, SHUT_RDWR);
        for (Session& session : mSessions) {
            if (!session.done) ::shutdown(session.fd, SHUT_RDWR);
        }
    }
    mAcceptor.join();
    for (std::thread& thread : mThreads) thread.join();
    ::close(mListenFd);
}

std::size_t FakePeer::connectionCount() {
    acceptPending();
    const std::lock_guard<std::mutex> lock(mMutex);
    return mSessions.size();
}

std::string FakePeer::received(std::size_t connection) {
    acceptPending();
    std::unique_lock<std::mutex> lock(mMutex);
    mSessionDone.wait_for(lock, mScript.readTimeout + std::chrono::seconds(2),
                          [&] { return connection < mSessions.size() && mSessions[connection].done; });
    return connection < mSessions.size() ? mSessions[connection].received : std::string();
}

// Accepts what the kernel has completed; false once the listener is shut down.
bool FakePeer::acceptPending() {
    const std::lock_guard<std::mutex> lock(mMutex);
    for (;;) {
        const int fd = ::accept4(mListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return errno != EINVAL;  // EAGAIN: nothing more is waiting
        Session& session = mSessions.emplace_back(Session{fd, {}, false});
        mThreads.emplace_back([this, &session] { serve(session); });
    }
}

// Records what arrives until the request is complete (when asked), the client closes or the timeout runs
// out; true only for a complete request.
bool FakePeer::record(Session& session, std::chrono::milliseconds timeout, bool untilRequest) {
    const timeval limit{timeout.count() / 1000, timeout.count() % 1000 * 1000};
    ::setsockopt(session.fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char buffer[512];
    for (;;) {
        const ssize_t n = ::recv(session.fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;  // closed, reset or timed out
        const std::lock_guard<std::mutex> lock(mMutex);
        session.received.append(buffer, static_cast<std::size_t>(n));
        if (untilRequest && session.received.find(mScript.requestEnd) != std::string::npos) return true;
    }
}

void FakePeer::serve(Session& session) {
    const Behaviour behaviour = mScript.behaviour;
    const std::string& answer = behaviour == Behaviour::Answer          ? mScript.answer
                                : behaviour == Behaviour::OverlongLine  ? kOverlongLine
                                : behaviour == Behaviour::AnswerGarbage ? kGarbageAnswer
                                                                        : std::string();
    // CloseAfterGreeting ends the stream cleanly, without a reset. Whatever the client sends after its
    // request (it should send nothing) is recorded too.
    if (sendAll(session.fd, mScript.greeting) &&
        (behaviour == Behaviour::CloseAfterGreeting
             ? ::shutdown(session.fd, SHUT_WR) == 0
             : record(session, mScript.readTimeout, true) && sendAll(session.fd, answer))) {
        record(session, behaviour == Behaviour::NeverAnswer ? mScript.holdLimit : mScript.readTimeout, false);
    }
    const std::lock_guard<std::mutex> lock(mMutex);
    ::close(session.fd);
    session.done = true;
    mSessionDone.notify_all();
}

RefusingPort::RefusingPort() : mFd(loopbackSocket(false, mPort)) {}
RefusingPort::~RefusingPort() { ::close(mFd); }

}  // namespace testsupport
