#pragma once

#include <cjson/cJSON.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>
#include <vector>

#include "tests/support/FakePeer.h"  // Socket, with the socket headers
#include "tests/support/TempDatabase.h"

// The built server run as a process of its own, and a raw HTTP client to talk to it.
namespace servertest {

using namespace std::chrono_literals;
using testsupport::Socket;

const std::string EXECUTABLE = PELBRIN_SERVER_EXECUTABLE;
const std::string BANNER = "PelbrinSrv, ver 2.3.1 ('Dec  2 2015 07:26:53')";
const std::string USER101 = R"({"name":"101","pass":"secret101","admin":false})";
const std::string FORM = "application/x-www-form-urlencoded";
const auto PATIENCE = 20s;  // generous: a sanitized build starts slowly

inline std::string uniquePath(const std::string& stem) {
    static int counter = 0;
    return testing::TempDir() + "pelbrin" + std::to_string(getpid()) + "_" + std::to_string(++counter) + stem;
}

struct HttpReply {
    std::string raw;  // empty when the server closed without answering
    int status = 0;
    std::string headers;  // every header line but the date and the length, which vary
    std::string body;
};

inline bool connectToServer(const Socket& client, std::uint16_t port) {
    sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    // Once the server has let the port go, a client bound to that very port would connect to itself and
    // read back its own request, never closed.
    return client.port != port &&
           ::connect(client.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

inline HttpReply sendHttp(std::uint16_t port, const std::string& text) {
    Socket client;
    if (!connectToServer(client, port)) return {};
    ::send(client.fd, text.data(), text.size(), MSG_NOSIGNAL);  // an early close shows as no reply
    HttpReply reply;
    char buffer[65536];
    ssize_t n;
    while ((n = ::recv(client.fd, buffer, sizeof buffer, 0)) > 0) reply.raw.append(buffer, n);
    // A hung server ends the reply as it is; a reset is the server's own early close.
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        ADD_FAILURE() << "the server sent nothing for " << testsupport::SOCKET_PATIENCE.tv_sec << " s after "
                      << reply.raw.size() << " bytes of its reply";
    std::sscanf(reply.raw.c_str(), "HTTP/%*s %d", &reply.status);
    const auto headStart = reply.raw.find("\r\n") + 2, headEnd = reply.raw.find("\r\n\r\n");
    if (headEnd == std::string::npos) return reply;
    reply.headers = std::regex_replace(reply.raw.substr(headStart, headEnd + 2 - headStart),
                                       std::regex("(Date|Content-Length): [^\r]*\r\n"), "");
    reply.body = reply.raw.substr(headEnd + 4);
    return reply;
}

inline std::string get(const std::string& target) { return "GET " + target + " HTTP/1.1\r\nHost: a\r\n\r\n"; }

inline std::string post(const std::string& contentType, const std::string& body) {
    return "POST /Pelbrin HTTP/1.1\r\nHost: a\r\nContent-Type: " + contentType +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline std::string urlEncode(const std::string& text) {
    std::string out;
    for (const unsigned char c : text)
        out += std::isalnum(c) ? std::string(1, c)
                               : std::string{'%', "0123456789ABCDEF"[c >> 4], "0123456789ABCDEF"[c & 15]};
    return out;
}

inline std::string request(const std::string& method, const std::string& arg,
                           const std::string& auth = R"({"name":"trivx","pass":"trivx","admin":true})") {
    return R"({"request":")" + method + R"(","arg":)" + arg + R"(,"auth":)" + auth + "}";
}

// Console log text without the "<file>.cpp:<line> " that starts each record.
inline std::string sourceless(const std::string& text) {
    return std::regex_replace(text, std::regex("(^|\n)[A-Za-z]+\\.cpp:[0-9]+ "), "$1");
}

// An answer: its text, "<error_code> <error_description>" (empty when none came) and the number of rows in
// its result table (-1 when it has none).
struct Reply {
    explicit Reply(const std::string& text) : body(text) {
        const std::unique_ptr<cJSON, void (*)(cJSON*)> json(cJSON_Parse(text.c_str()), cJSON_Delete);
        const cJSON* code = cJSON_GetObjectItemCaseSensitive(json.get(), "error_code");
        const cJSON* description = cJSON_GetObjectItemCaseSensitive(json.get(), "error_description");
        const cJSON* table = cJSON_GetObjectItemCaseSensitive(json.get(), "arg");
        if (cJSON_IsNumber(code) && cJSON_IsString(description))
            outcome = std::to_string(code->valueint) + " " + description->valuestring;
        table = cJSON_GetObjectItemCaseSensitive(table, "rows");
        rows = cJSON_IsArray(table) ? cJSON_GetArraySize(table) : -1;
    }

    std::string body, outcome;
    int rows = -1;
};

inline Reply call(std::uint16_t port, const std::string& json) {
    return Reply(sendHttp(port, post(FORM, "request=" + urlEncode(json))).body);
}

// A fresh directory under /tmp with a copy of the server, which the user nobody may enter, run and write in
// (a database there gets its journal): the checkout may lie where only root may enter, as a clone in root's
// home or in a "mktemp -d" directory does. Removed with all it holds.
class NobodysDirectory {
public:
    NobodysDirectory() {
        std::string name = "/tmp/pelbrin-nobody-XXXXXX";
        if (!mkdtemp(name.data())) throw std::system_error(errno, std::generic_category(), "no directory");
        path = name + "/";
        executable = path + "PelbrinSrv";
        try {
            namespace fs = std::filesystem;
            fs::copy_file(EXECUTABLE, executable);
            fs::permissions(executable, fs::perms(0755));
            if (::chmod(name.c_str(), 0755) != 0 ||
                (geteuid() == 0 && ::chown(name.c_str(), NOBODY, NOBODY) != 0))
                throw std::system_error(errno, std::generic_category(), "directory not for nobody");
        } catch (...) {
            std::filesystem::remove_all(path);
            throw;
        }
    }
    ~NobodysDirectory() { std::filesystem::remove_all(path); }
    NobodysDirectory(const NobodysDirectory&) = delete;
    NobodysDirectory& operator=(const NobodysDirectory&) = delete;

    static constexpr uid_t NOBODY = 65534;  // user and group
    std::string path, executable;           // path ends in "/"
};

// One run of the built server with its output in files, by its pid. Once started to serve it must still run
// at the end unless the test signalled it (a sanitizer finding ends it). asNobody: the server's copy in that
// directory runs, as nobody when root runs the tests, so file modes bind it. ownGroup: the server runs in a
// process group of its own, which the test, outside it in the same session, keeps from being orphaned; the
// kernel discards a stop signal sent to an orphaned group, as a test run without a terminal may be in.
class ServerProcess {
public:
    explicit ServerProcess(std::vector<std::string> arguments, const NobodysDirectory* asNobody = nullptr,
                           bool ownGroup = false) {
        arguments.insert(arguments.begin(), asNobody ? asNobody->executable : EXECUTABLE);
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if ((pid = fork()) == 0) {
            if (ownGroup && setpgid(0, 0) != 0) _exit(126);
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const uid_t nobody = NobodysDirectory::NOBODY;
            if (asNobody && geteuid() == 0 &&
                (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
                _exit(126);
            if (out >= 0 && err >= 0 && dup2(out, 1) >= 0 && dup2(err, 2) >= 0) execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~ServerProcess() {
        EXPECT_TRUE(!serving || running()) << "the server ended by itself, status " << exitStatus();
        if (running()) ::kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        for (const std::string& path : {outPath, errPath}) unlink(path.c_str());
    }
    ServerProcess(const ServerProcess&) = delete;

    void signal(int number) {
        serving = false;
        ::kill(pid, number);
    }
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
    std::string out() const { return testsupport::readFile(outPath); }
    std::string err() const { return testsupport::readFile(errPath); }
    Reply call(const std::string& json) const { return servertest::call(port, json); }

    std::uint16_t port = 0;
    bool serving = false;

private:
    const std::string outPath = uniquePath("stdout"), errPath = uniquePath("stderr");
    pid_t pid = -1;
    int status = 0;
    bool ended = false;
};

// Waits at most PATIENCE for the text to appear in the server's standard error; whether it did.
inline bool waitForRecord(ServerProcess& process, const std::string& text) {
    const auto end = std::chrono::steady_clock::now() + PATIENCE;
    while (process.err().find(text) == std::string::npos && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(10ms);
    return process.err().find(text) != std::string::npos;
}

// Adds "-d <database> -p <port>" and waits for the banner; tries another port when one was taken.
inline std::unique_ptr<ServerProcess> startServer(const std::string& database,
                                                  std::vector<std::string> arguments,
                                                  const NobodysDirectory* asNobody = nullptr,
                                                  bool ownGroup = false) {
    arguments.insert(arguments.begin(), {"-d", database, "-p", ""});
    for (int attempt = 0; attempt < 10; ++attempt) {
        const std::uint16_t port = Socket().port;
        arguments[3] = std::to_string(port);
        auto server = std::make_unique<ServerProcess>(arguments, asNobody, ownGroup);
        server->port = port;
        for (auto end = std::chrono::steady_clock::now() + PATIENCE;
             server->running() && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms)) {
            if (sendHttp(port, get("/Pelbrin")).body == BANNER) {
                server->serving = true;
                return server;
            }
        }
    }
    throw std::runtime_error("the server never answered");
}

// Ten clients send charges without pause, over more places than the server has connections, until a SIGTERM
// sent amid them has ended it with status 0; the number of charges answered SUCCESS. charge sends one and
// gives its outcome, empty when the server refused or closed the connection.
inline int answeredAmidAStop(ServerProcess& server, const std::function<std::string()>& charge) {
    std::atomic<int> answered{0};
    std::atomic<bool> ended{false};
    std::vector<std::thread> clients;
    for (int client = 0; client < 10; ++client)
        clients.emplace_back([&] {
            while (!ended) {
                const std::string outcome = charge();
                if (outcome.empty()) {  // refused at the limit, or stopping
                    std::this_thread::sleep_for(1ms);
                    continue;
                }
                EXPECT_EQ("0 SUCCESS", outcome);
                ++answered;
            }
        });
    while (answered < 30 && server.running()) std::this_thread::sleep_for(1ms);
    server.signal(SIGTERM);
    EXPECT_EQ(0, server.exitStatus());
    ended = true;
    for (auto& t : clients) t.join();
    return answered;
}

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

}  // namespace servertest
