#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDatabase.h"

namespace servertest {

using namespace std::chrono_literals;

const std::string EXECUTABLE = PELBRIN_SERVER_EXECUTABLE;
const std::string BANNER = "PelbrinSrv, ver 2.3.1 ('Dec  2 2015 07:26:53')";
const auto PATIENCE = 20s;  // generous: a sanitized build starts slowly

inline std::string uniquePath(const std::string& stem) {
    static int counter = 0;
    return testing::TempDir() + "pelbrin" + std::to_string(getpid()) + "_" + std::to_string(++counter) + stem;
}

inline std::string readWhole(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// A socket of the given type bound to a loopback port the kernel picks; reads time out.
struct Socket {
    explicit Socket(int type = SOCK_STREAM) : fd(::socket(AF_INET, type, 0)) {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) throw std::runtime_error("bind");
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        const timeval timeout{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    ~Socket() { ::close(fd); }
    Socket(const Socket&) = delete;  // the const members already forbid assignment

    const int fd;
    std::uint16_t port = 0;
};

struct HttpReply {
    std::string raw;  // empty when the server closed without answering
    int status = 0;
    std::string body;

    // Every value given to the header, so a doubled one shows.
    std::vector<std::string> header(const std::string& name) const {
        std::vector<std::string> values;
        const std::string head = raw.substr(0, raw.find("\r\n\r\n") + 2);
        const std::regex line("\r\n" + name + ": ([^\r]*)", std::regex::icase);
        for (std::sregex_iterator it(head.begin(), head.end(), line), end; it != end; ++it)
            values.push_back((*it)[1]);
        return values;
    }
};

// Sends the pieces with a pause between them and reads until the server closes; no reply when nobody listens.
inline HttpReply sendHttp(std::uint16_t port, const std::vector<std::string>& pieces,
                          std::chrono::milliseconds pause = 0ms) {
    Socket client;
    sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    HttpReply reply;
    if (::connect(client.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return reply;
    for (const std::string& piece : pieces) {
        if (&piece != &pieces.front()) std::this_thread::sleep_for(pause);
        ::send(client.fd, piece.data(), piece.size(), MSG_NOSIGNAL);  // an early close shows as no reply
    }
    char buffer[65536];
    for (ssize_t n; (n = ::recv(client.fd, buffer, sizeof buffer, 0)) > 0;) reply.raw.append(buffer, n);
    std::sscanf(reply.raw.c_str(), "HTTP/%*s %d", &reply.status);
    const auto headEnd = reply.raw.find("\r\n\r\n");
    if (headEnd != std::string::npos) reply.body = reply.raw.substr(headEnd + 4);
    return reply;
}

inline std::string get(const std::string& target) { return "GET " + target + " HTTP/1.1\r\nHost: a\r\n\r\n"; }

inline std::string post(const std::string& contentType, const std::string& body,
                        const std::string& path = "/Pelbrin") {
    return "POST " + path + " HTTP/1.1\r\nHost: a\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline std::string urlEncode(const std::string& text) {
    std::string encoded;
    for (const unsigned char c : text) {
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", c);
        encoded += std::isalnum(c) || c == '-' || c == '_' || c == '.' ? std::string(1, c) : escaped;
    }
    return encoded;
}

// Console log text without the "<file>.cpp:<line> " that starts each record.
inline std::string sourceless(const std::string& text) {
    return std::regex_replace(text, std::regex("(^|\n)[A-Za-z]+\\.cpp:[0-9]+ "), "$1");
}

// One run of the built server with its output in files; killed by its pid when still running at the end.
class ServerProcess {
public:
    explicit ServerProcess(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), EXECUTABLE);
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out >= 0 && err >= 0 && dup2(out, 1) >= 0 && dup2(err, 2) >= 0) execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~ServerProcess() {
        if (running()) kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        unlink(outPath.c_str());
        unlink(errPath.c_str());
    }
    ServerProcess(const ServerProcess&) = delete;

    void signal(int number) const { kill(pid, number); }
    bool running() {
        if (!ended && waitpid(pid, &status, WNOHANG) == pid) ended = true;
        return !ended;
    }
    // The exit status, 128 + the signal that killed it, or -1 when it still runs after PATIENCE.
    int exitStatus() {
        const auto end = std::chrono::steady_clock::now() + PATIENCE;
        while (running() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(10ms);
        return ended ? (WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) : -1;
    }
    std::string out() const { return readWhole(outPath); }
    std::string err() const { return readWhole(errPath); }

private:
    const std::string outPath = uniquePath("stdout");
    const std::string errPath = uniquePath("stderr");
    pid_t pid = -1;
    int status = 0;
    bool ended = false;
};

// Runs the server on a free port with a fresh database.
class ServerTest : public testing::Test {
protected:
    // Adds "-d <database> -p <port>" and waits for the banner; tries another port when one was taken.
    std::unique_ptr<ServerProcess> start(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"-d", database.path(), "-p", ""});
        for (int attempt = 0; attempt < 10; ++attempt) {
            port = Socket().port;
            arguments[3] = std::to_string(port);
            auto server = std::make_unique<ServerProcess>(arguments);
            const auto end = std::chrono::steady_clock::now() + PATIENCE;
            while (server->running() && std::chrono::steady_clock::now() < end) {
                if (sendHttp(port, {get("/Pelbrin")}).body == BANNER) return server;
                std::this_thread::sleep_for(20ms);
            }
        }
        throw std::runtime_error("the server never answered");
    }

    testsupport::TempDatabase database;
    std::uint16_t port = 0;
};

}  // namespace servertest
