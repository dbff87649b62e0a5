#include "tests/support/FakePeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace testsupport {

const std::string FakePeer::kGreeting = "Asterisk Call Manager/1.1\r\n";
const std::string FakePeer::kSuccessAnswer =
    "Response: Success\r\nActionID: 1\r\nMessage: Authentication accepted\r\n\r\n";
const std::string FakePeer::kErrorAnswer =
    "Response: Error\r\nActionID: 1\r\nMessage: Authentication failed\r\n\r\n";
namespace {
const char kGarbage[] = "\x01\xff\x00 R3sp0nse:\tSucc\x7f\r\n";
}
const std::string FakePeer::kGarbageAnswer(kGarbage, sizeof kGarbage - 1);
const std::string FakePeer::kOverlongLine(200, 'A');

namespace {

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error("FakePeer: " + what + ": " + std::strerror(errno));
}

unsigned short boundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw systemError("getsockname");
    return ntohs(address.sin_port);
}

int loopbackSocket(int extraFlags) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | extraFlags, 0);
    if (fd < 0) throw systemError("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // the kernel picks a free port
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        throw systemError("bind");
    }
    return fd;
}

}  // namespace

struct FakePeer::Session {
    explicit Session(int socket) : fd(socket) {}
    int fd;
    std::string received;  // guarded by mMutex
    bool done = false;     // guarded by mMutex
};

FakePeer::FakePeer() : FakePeer(Script()) {}

FakePeer::FakePeer(Behaviour behaviour)
    : FakePeer([behaviour] {
          Script script;
          script.behaviour = behaviour;
          return script;
      }()) {}

FakePeer::FakePeer(Script script) : mScript(std::move(script)) {
    mListenFd = loopbackSocket(SOCK_NONBLOCK);
    if (::listen(mListenFd, 16) != 0 || ::pipe2(mStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        const std::runtime_error error = systemError("listen");
        ::close(mListenFd);
        throw error;
    }
    mPort = boundPort(mListenFd);
    mAcceptor = std::thread(&FakePeer::acceptLoop, this);
}

FakePeer::~FakePeer() {
    // The byte is never read: the pipe stays readable and wakes every poll below for good.
    const char stop = 's';
    while (::write(mStopPipe[1], &stop, 1) < 0 && errno == EINTR) {
    }
    mAcceptor.join();
    std::vector<std::thread> threads;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        threads.swap(mSessionThreads);
    }
    for (auto& thread : threads) thread.join();
    ::close(mListenFd);
    ::close(mStopPipe[0]);
    ::close(mStopPipe[1]);
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
                          [&] { return connection < mSessions.size() && mSessions[connection]->done; });
    return connection < mSessions.size() ? mSessions[connection]->received : std::string();
}

void FakePeer::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{mListenFd, POLLIN, 0}, {mStopPipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        acceptPending();
    }
}

void FakePeer::acceptPending() {
    const std::lock_guard<std::mutex> lock(mMutex);
    for (;;) {
        const int fd = ::accept4(mListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // EAGAIN: nothing more is waiting
        }
        mSessions.push_back(std::make_unique<Session>(fd));
        Session& session = *mSessions.back();
        mSessionThreads.emplace_back([this, &session] { serve(session); });
    }
}

bool FakePeer::sendAll(int fd, const std::string& bytes) const {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

FakePeer::ReadEnd FakePeer::readInto(Session& session, std::chrono::milliseconds timeout,
                                     const std::string* until) {
    for (;;) {
        pollfd fds[2] = {{session.fd, POLLIN, 0}, {mStopPipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(timeout.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return ReadEnd::TimedOut;
        if (fds[1].revents != 0) return ReadEnd::Stopped;
        char buffer[512];
        const ssize_t n = ::recv(session.fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return ReadEnd::Closed;  // a reset counts as closed too
        const std::lock_guard<std::mutex> lock(mMutex);
        session.received.append(buffer, static_cast<std::size_t>(n));
        if (until != nullptr && session.received.find(*until) != std::string::npos) return ReadEnd::Request;
    }
}

void FakePeer::serve(Session& session) {
    const int fd = session.fd;
    bool talking = mScript.greeting.empty() || sendAll(fd, mScript.greeting);
    if (talking && mScript.behaviour == Behaviour::CloseAfterGreeting) {
        // End of stream without a reset, so the client meets a clean close on its next read.
        ::shutdown(fd, SHUT_WR);
    } else if (talking) {
        talking = readInto(session, mScript.readTimeout, &mScript.requestEnd) == ReadEnd::Request;
        if (talking) {
            switch (mScript.behaviour) {
                case Behaviour::Answer:
                    talking = sendAll(fd, mScript.answer);
                    break;
                case Behaviour::OverlongLine:
                    talking = sendAll(fd, kOverlongLine);
                    break;
                case Behaviour::AnswerGarbage:
                    talking = sendAll(fd, kGarbageAnswer);
                    break;
                case Behaviour::NeverAnswer:
                case Behaviour::CloseAfterGreeting:
                    break;
            }
        }
    }
    if (talking) {
        // Anything the client sends beyond the request (it should send nothing) is recorded too.
        const auto wait =
            mScript.behaviour == Behaviour::NeverAnswer ? mScript.holdLimit : mScript.readTimeout;
        readInto(session, wait, nullptr);
    }
    ::close(fd);
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        session.done = true;
    }
    mSessionDone.notify_all();
}

RefusingPort::RefusingPort() : mFd(loopbackSocket(0)), mPort(boundPort(mFd)) {}

RefusingPort::~RefusingPort() { ::close(mFd); }

}  // namespace testsupport
