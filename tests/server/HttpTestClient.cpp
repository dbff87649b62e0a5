#include "tests/server/HttpTestClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <thread>

namespace servertest {

namespace {

// Closes the descriptor when the test is done with it.
class Socket {
public:
    Socket() : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        if (fd < 0) throw std::runtime_error("socket() failed");
    }
    ~Socket() { ::close(fd); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    const int fd;
};

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void parse(HttpReply& reply) {
    const auto headerEnd = reply.raw.find("\r\n\r\n");
    if (headerEnd == std::string::npos) return;
    const std::string head = reply.raw.substr(0, headerEnd + 2);
    reply.body = reply.raw.substr(headerEnd + 4);
    std::size_t lineEnd = head.find("\r\n");
    std::sscanf(head.substr(0, lineEnd).c_str(), "HTTP/%*s %d", &reply.status);
    for (std::size_t start = lineEnd + 2; start < head.size(); start = lineEnd + 2) {
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd - start);
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        const auto valueStart = line.find_first_not_of(' ', colon + 1);
        reply.headers.emplace_back(line.substr(0, colon),
                                   valueStart == std::string::npos ? "" : line.substr(valueStart));
    }
}

}  // namespace

std::vector<std::string> HttpReply::header(const std::string& name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : headers) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0) values.push_back(value);
    }
    return values;
}

std::uint16_t freePort() {
    Socket probe;
    sockaddr_in address = loopback(0);
    if (::bind(probe.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("bind() failed");
    }
    socklen_t length = sizeof address;
    ::getsockname(probe.fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

HttpReply sendHttp(std::uint16_t port, const std::vector<std::string>& pieces,
                   std::chrono::milliseconds pause) {
    Socket client;
    timeval timeout{10, 0};
    ::setsockopt(client.fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(client.fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address = loopback(port);
    if (::connect(client.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("connect() failed");
    }
    bool sending = true;
    for (std::size_t i = 0; i < pieces.size() && sending; ++i) {
        if (i > 0) std::this_thread::sleep_for(pause);
        for (std::size_t sent = 0; sent < pieces[i].size();) {
            const ssize_t n =
                ::send(client.fd, pieces[i].data() + sent, pieces[i].size() - sent, MSG_NOSIGNAL);
            if (n <= 0) {
                sending = false;
                break;
            }
            sent += static_cast<std::size_t>(n);
        }
    }
    HttpReply reply;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(client.fd, buffer, sizeof buffer, 0)) > 0;) {
        reply.raw.append(buffer, static_cast<std::size_t>(n));
    }
    parse(reply);
    return reply;
}

HttpReply sendHttp(std::uint16_t port, const std::string& bytes) {
    return sendHttp(port, std::vector<std::string>{bytes});
}

std::string postRequest(const std::string& path, const std::string& contentType, const std::string& body) {
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string urlEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    return encoded;
}

}  // namespace servertest
