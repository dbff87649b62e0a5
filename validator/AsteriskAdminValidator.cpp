#include "validator/AsteriskAdminValidator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "korvu/korvu/KorvuException.h"

namespace korvu {

namespace {

// The only user name the manager interface is ever asked about.
const char kAdminUser[] = "trivx";
const char kLineEnd[] = "\r\n";
// A line, CR LF included, holds at most this many bytes.
const std::size_t kMaxLine = 128;

// strerror() may share one buffer between threads; several requests validate at once.
std::string systemText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

bool endsWithLineEnd(const std::string& text) {
    return text.size() >= 2 && text.compare(text.size() - 2, 2, kLineEnd) == 0;
}

int milliseconds(std::chrono::milliseconds timeout) {
    return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INT_MAX));
}

void setTimeout(int descriptor, int option, std::chrono::milliseconds timeout) {
    const int ms = milliseconds(timeout);
    timeval limit{};
    limit.tv_sec = ms / 1000;
    limit.tv_usec = (ms % 1000) * 1000;
    if (::setsockopt(descriptor, SOL_SOCKET, option, &limit, sizeof limit) != 0) {
        throw AsteriskAdminValidator::SocketException(systemText(errno));
    }
}

// Waits for a non-blocking connect to finish and reports its outcome.
void awaitConnection(int descriptor, std::chrono::milliseconds timeout) {
    pollfd ready{descriptor, POLLOUT, 0};
    int result;
    do {
        result = ::poll(&ready, 1, milliseconds(timeout));
    } while (result < 0 && errno == EINTR);
    if (result < 0) throw AsteriskAdminValidator::SocketException(systemText(errno));
    if (result == 0) throw AsteriskAdminValidator::SocketException(systemText(ETIMEDOUT));
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) throw AsteriskAdminValidator::SocketException(systemText(error));
}

// Closes the descriptor on every way out of validate().
class Socket {
public:
    explicit Socket(int fd) : descriptor(fd) {}
    ~Socket() { AsteriskAdminValidator::closeSocket(descriptor); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int get() const { return descriptor; }

private:
    int descriptor;
};

std::string loginAction(const std::string& user, const std::string& password) {
    std::string action = "Action: Login\r\nActionID: 1\r\n";
    action += "Username: " + user + "\r\n";
    action += "Secret: " + password + "\r\n";
    action += "\r\n";  // the empty line ends the action
    return action;
}

}  // namespace

AsteriskAdminValidator::SocketException::SocketException(const std::string& text) : message(text) {}

AsteriskAdminValidator::SocketException::~SocketException() noexcept = default;

const char* AsteriskAdminValidator::SocketException::what() const noexcept { return message.c_str(); }

AsteriskAdminValidator::AsteriskAdminValidator(const std::string& address, unsigned short portNumber,
                                               std::chrono::milliseconds limit)
    : ip(address), port(portNumber), timeout(limit) {}

AsteriskAdminValidator::~AsteriskAdminValidator() = default;

bool AsteriskAdminValidator::validate(const std::string& user, const std::string& password) {
    if (user != kAdminUser) return false;
    // A line break would end the Secret line early and let the rest pass as further actions.
    if (password.find_first_of(kLineEnd) != std::string::npos) return false;
    try {
        const Socket socket(createSocket());
        connect(socket.get(), ip, port, timeout);
        std::string line;
        readLine(socket.get(), line);  // the greeting; its content does not matter
        writeLine(socket.get(), loginAction(user, password));
        readLine(socket.get(), line);
        return line == "Response: Success\r\n";
    } catch (const SocketException& e) {
        throw InternalError(std::string("Asterisk connection problem: ") + e.what());
    }
}

int AsteriskAdminValidator::createSocket() {
    const int descriptor = ::socket(AF_INET, SOCK_STREAM, 0);
    if (descriptor < 0) throw SocketException(systemText(errno));
    return descriptor;
}

void AsteriskAdminValidator::connect(int descriptor, const std::string& ip, unsigned short port,
                                     std::chrono::milliseconds timeout) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::inet_addr(ip.c_str());
    address.sin_port = htons(port);

    // Non-blocking only while connecting, so the wait for the handshake has a limit.
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) < 0) {
        throw SocketException(systemText(errno));
    }
    if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) throw SocketException(systemText(errno));
        awaitConnection(descriptor, timeout);
    }
    if (::fcntl(descriptor, F_SETFL, flags) < 0) throw SocketException(systemText(errno));
    setTimeout(descriptor, SO_RCVTIMEO, timeout);
    setTimeout(descriptor, SO_SNDTIMEO, timeout);
}

void AsteriskAdminValidator::readLine(int descriptor, std::string& line) {
    line.clear();
    for (;;) {
        char byte;
        const ssize_t result = ::read(descriptor, &byte, 1);
        if (result == 0) throw SocketException("Read error");
        if (result < 0) {
            if (errno == EINTR) continue;
            throw SocketException(systemText(errno));
        }
        line.push_back(byte);
        // Every CR LF ends a line, also one standing alone, so an empty line is never joined to the next.
        if (endsWithLineEnd(line)) return;
        if (line.size() >= kMaxLine) throw SocketException("Read error");
    }
}

void AsteriskAdminValidator::writeLine(int descriptor, std::string text) {
    if (!endsWithLineEnd(text)) text += kLineEnd;
    std::size_t written = 0;
    while (written < text.size()) {
        // MSG_NOSIGNAL: a peer that has gone away must give an error, not SIGPIPE.
        const ssize_t result = ::send(descriptor, text.data() + written, text.size() - written, MSG_NOSIGNAL);
        if (result < 0) {
            if (errno == EINTR) continue;
            throw SocketException(systemText(errno));
        }
        written += static_cast<std::size_t>(result);
    }
}

void AsteriskAdminValidator::closeSocket(int descriptor) {
    if (descriptor >= 0) ::close(descriptor);
}

}  // namespace korvu
