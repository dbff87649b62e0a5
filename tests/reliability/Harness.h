#pragma once

#include <arpa/inet.h>
#include <cjson/cJSON.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDatabase.h"

namespace reliability {

using namespace std::chrono_literals;

const std::string BANNER = "PelbrinSrv, ver 2.3.1 ('Dec  2 2015 07:26:53')";
const std::string ADMIN = R"({"name":"trivx","pass":"trivx","admin":true})";
const std::string USER101 = R"({"name":"101","pass":"secret101","admin":false})";

inline std::string request(const std::string& method, const std::string& arg,
                           const std::string& auth = ADMIN) {
    return R"({"request":")" + method + R"(","arg":)" + arg + R"(,"auth":)" + auth + "}";
}

// A loopback port that was free a moment ago.
inline unsigned short freePort(int type = SOCK_STREAM) {
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Sends the bytes and returns the reply body once the server closes; empty when nothing was answered.
inline std::string roundTrip(unsigned short port, const std::string& bytes) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const timeval limit{90, 0};  // beyond the server's 30 s busy time-out
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    std::string raw;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        for (ssize_t n = 0, sent = 0; sent < static_cast<ssize_t>(bytes.size()); sent += n) {
            if ((n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL)) <= 0) break;
        }
        char buffer[65536];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) raw.append(buffer, n);
    }
    ::close(fd);
    const auto head = raw.find("\r\n\r\n");
    return head == std::string::npos ? std::string() : raw.substr(head + 4);
}

inline std::string urlEncode(const std::string& text) {
    std::string out;
    for (const unsigned char c : text) {
        out += std::isalnum(c) ? std::string(1, c)
                               : std::string{'%', "0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 15]};
    }
    return out;
}

inline std::string postForm(const std::string& body) {
    return "POST /Pelbrin HTTP/1.1\r\nHost: x\r\nContent-Type: "
           "application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// An answer taken apart; code -1 when none came.
struct Reply {
    explicit Reply(const std::string& text) : body(text), json(cJSON_Parse(text.c_str()), cJSON_Delete) {
        const cJSON* c = cJSON_GetObjectItemCaseSensitive(json.get(), "error_code");
        const cJSON* d = cJSON_GetObjectItemCaseSensitive(json.get(), "error_description");
        code = cJSON_IsNumber(c) ? c->valueint : -1;
        if (cJSON_IsString(d)) description = d->valuestring;
    }
    const cJSON* arg(const char* key) const {
        return cJSON_GetObjectItemCaseSensitive(cJSON_GetObjectItemCaseSensitive(json.get(), "arg"), key);
    }
    int rows() const { return cJSON_IsArray(arg("rows")) ? cJSON_GetArraySize(arg("rows")) : -1; }
    std::string value() const { return cJSON_IsString(arg("value")) ? arg("value")->valuestring : "?"; }

    std::string body;
    std::unique_ptr<cJSON, void (*)(cJSON*)> json;
    int code = -1;
    std::string description;
};

inline void expectReply(const Reply& reply, int code, const std::string& description) {
    EXPECT_EQ(code, reply.code) << reply.body.substr(0, 300);
    EXPECT_EQ(description, reply.description);
}

inline Reply call(unsigned short port, const std::string& json) {
    return Reply(roundTrip(port, postForm("request=" + urlEncode(json))));
}

// The built server on a free port, by its pid: it must still run at the end unless the test killed it (a
// sanitizer finding ends it). asNobody: a root test run starts it as nobody, so file modes bind it.
class Server {
public:
    Server(const std::string& database, std::vector<std::string> options,
           const std::string& err = "/dev/null", bool asNobody = false) {
        for (int attempt = 0; attempt < 10 && !up; ++attempt) {
            port = freePort();
            std::vector<std::string> all{PELBRIN_SERVER_EXECUTABLE, "-d", database, "-p",
                                         std::to_string(port)};
            all.insert(all.end(), options.begin(), options.end());
            std::vector<char*> argv;
            for (auto& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            ended = false;
            if ((pid = ::fork()) == 0) {
                const int out = ::open("/dev/null", O_WRONLY),
                          log = ::open(err.c_str(), O_WRONLY | O_CREAT, 0600);
                if (asNobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                    ::_exit(126);
                if (::dup2(out, 1) >= 0 && ::dup2(log, 2) >= 0) ::execv(argv[0], argv.data());
                ::_exit(127);
            }
            for (auto end = std::chrono::steady_clock::now() + 20s;
                 alive() && !up && std::chrono::steady_clock::now() < end;) {
                if (!(up = roundTrip(port, "GET /Pelbrin HTTP/1.1\r\nHost: x\r\n\r\n") == BANNER))
                    std::this_thread::sleep_for(20ms);
            }
            if (!up) stop();
        }
        EXPECT_TRUE(up) << "the server never answered";
    }
    ~Server() {
        EXPECT_TRUE(killed || alive()) << "the server ended by itself, status " << status;
        stop();
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    bool alive() {
        if (!ended && ::waitpid(pid, &status, WNOHANG) == pid) ended = true;
        return !ended;
    }
    void kill() {
        killed = true;
        stop();
    }
    Reply call(const std::string& json) const { return reliability::call(port, json); }

    unsigned short port = 0;

private:
    void stop() {
        if (alive()) ::kill(pid, SIGKILL);
        if (!ended) ::waitpid(pid, &status, 0);
        ended = true;
    }
    pid_t pid = -1;
    int status = 0;
    bool up = false, ended = false, killed = false;
};

// Every row of every table, so any stray write shows.
inline std::string dump(const testsupport::TempDatabase& db) {
    std::string text;
    for (const char* table : {"cdr", "exten", "rate", "rate_history", "cache_rate_to_exten", "settings",
                              "help", "recharge_history"}) {
        text += std::string("## ") + table + "\n";
        for (const auto& row : db.query(std::string("SELECT * FROM ") + table + " ORDER BY rowid")) {
            for (const auto& cell : row) text += (cell ? "'" + *cell + "'" : "NULL") + "|";
            text += "\n";
        }
    }
    return text;
}

}  // namespace reliability
