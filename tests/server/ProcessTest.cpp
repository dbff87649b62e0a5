#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/HttpTestClient.h"
#include "tests/support/TempDatabase.h"

namespace {

using namespace std::chrono_literals;
using servertest::sendHttp;

const std::string EXECUTABLE = PELBRIN_SERVER_EXECUTABLE;
const std::string BANNER = "PelbrinSrv, ver 2.3.1 ('Dec  2 2015 07:26:53')";
const auto PATIENCE = 20s;  // generous: a slow or sanitized build must not fail a test

std::string uniquePath(const std::string& stem) {
    static std::atomic<int> counter{0};
    return testing::TempDir() + "pelbrin_process_" + std::to_string(getpid()) + "_" +
           std::to_string(counter++) + "_" + stem;
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Lines matching the console layout "<file>:<line> <LEVEL> <logger>  - <message>" for one level and message.
std::size_t countLogLines(const std::string& text, const std::string& level, const std::string& logger,
                          const std::string& message) {
    const std::regex shape("[A-Za-z]+\\.cpp:[0-9]+ " + level + " +" + logger + "  - (.*)");
    std::size_t count = 0;
    std::smatch match;
    for (const auto& line : linesOf(text)) {
        if (std::regex_match(line, match, shape) && match[1] == message) ++count;
    }
    return count;
}

// One run of the server executable with its output in files; killed by its pid when still running at the end.
class ServerProcess {
public:
    ServerProcess(const std::vector<std::string>& arguments)
        : outPath(uniquePath("stdout.txt")), errPath(uniquePath("stderr.txt")) {
        std::vector<std::string> all{EXECUTABLE};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& argument : all) argv.push_back(argument.data());
        argv.push_back(nullptr);

        pid = fork();
        if (pid == 0) {
            // Only async-signal-safe calls between fork and exec.
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~ServerProcess() {
        if (pid > 0 && !status) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        unlink(outPath.c_str());
        unlink(errPath.c_str());
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    void signal(int number) const { kill(pid, number); }

    // The exit status, or nothing when the process did not end in time or ended by a signal.
    std::optional<int> exitStatus() {
        const auto deadline = std::chrono::steady_clock::now() + PATIENCE;
        while (!status && std::chrono::steady_clock::now() < deadline) {
            int raw = 0;
            if (waitpid(pid, &raw, WNOHANG) == pid) {
                status = raw;
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        if (status && WIFEXITED(*status)) return WEXITSTATUS(*status);
        return std::nullopt;
    }

    // The signal that ended the process, or nothing when it exited or is still running.
    std::optional<int> killingSignal() {
        exitStatus();
        if (status && WIFSIGNALED(*status)) return WTERMSIG(*status);
        return std::nullopt;
    }

    bool running() {
        int raw = 0;
        if (!status && waitpid(pid, &raw, WNOHANG) == pid) status = raw;
        return !status;
    }

    // Waits until standard error holds the text; false when the process ended or time ran out first.
    bool waitForError(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + PATIENCE;
        while (std::chrono::steady_clock::now() < deadline) {
            if (errorText().find(text) != std::string::npos) return true;
            if (!running()) return errorText().find(text) != std::string::npos;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    std::string outputText() const { return readWhole(outPath); }
    std::string errorText() const { return readWhole(errPath); }

private:
    const std::string outPath;
    const std::string errPath;
    pid_t pid = -1;
    std::optional<int> status;
};

class ProcessTest : public testing::Test {
protected:
    std::vector<std::string> serving(std::vector<std::string> extra) const {
        std::vector<std::string> arguments{"-d", database.path(), "-u", "-p", std::to_string(port)};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    }

    // Starts the server and waits until it answers; with another free port when the first was taken.
    std::unique_ptr<ServerProcess> startServing(const std::vector<std::string>& extra) {
        for (int attempt = 0; attempt < 10; ++attempt) {
            port = servertest::freePort();
            auto process = std::make_unique<ServerProcess>(serving(extra));
            const auto deadline = std::chrono::steady_clock::now() + PATIENCE;
            while (process->running() && std::chrono::steady_clock::now() < deadline) {
                try {
                    if (sendHttp(port, "GET /Pelbrin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").body == BANNER) {
                        return process;
                    }
                } catch (const std::runtime_error&) {
                    // not listening yet
                }
                std::this_thread::sleep_for(20ms);
            }
        }
        ADD_FAILURE() << "the server never answered";
        return nullptr;
    }

    std::string banner() const {
        return sendHttp(port, "GET /Pelbrin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").body;
    }

    testsupport::TempDatabase database;
    std::uint16_t port = 0;
};

TEST_F(ProcessTest, SigtermStopsTheServerCleanly) {
    const auto server = startServing({"-k", "-l", "2"});
    ASSERT_TRUE(server);
    server->signal(SIGTERM);
    EXPECT_EQ(0, server->exitStatus());

    const std::string log = server->errorText();
    EXPECT_EQ(1u, countLogLines(log, "INFO ", "PelbrinSrv",
                                "server started. Port: " + std::to_string(port) + "   ssl: OFF"))
        << log;
    EXPECT_EQ(1u, countLogLines(log, "INFO ", "PelbrinSrv", "Got signal 15: Terminated")) << log;
    EXPECT_EQ(1u, countLogLines(log, "INFO ", "PelbrinSrv", "Server stopped")) << log;
    EXPECT_LT(log.find("Got signal 15: Terminated"), log.find("Server stopped"));
    EXPECT_EQ("Logging to console enabled\n", server->outputText());
}

TEST_F(ProcessTest, SigintStopsTheServerCleanly) {
    const auto server = startServing({"-k", "-l", "2"});
    ASSERT_TRUE(server);
    server->signal(SIGINT);
    EXPECT_EQ(0, server->exitStatus());
    const std::string log = server->errorText();
    EXPECT_EQ(1u, countLogLines(log, "INFO ", "PelbrinSrv", "Got signal 2: Interrupt")) << log;
    EXPECT_EQ(1u, countLogLines(log, "INFO ", "PelbrinSrv", "Server stopped")) << log;
}

TEST_F(ProcessTest, OtherSignalsEndTheProcessWithStatusOne) {
    for (const auto& [number, text] : std::vector<std::pair<int, std::string>>{
             {SIGHUP, "Got signal 1: Hangup"}, {SIGUSR1, "Got signal 10: User defined signal 1"}}) {
        SCOPED_TRACE(text);
        const auto server = startServing({"-k"});
        ASSERT_TRUE(server);
        server->signal(number);
        EXPECT_EQ(1, server->exitStatus());
        const std::string log = server->errorText();
        EXPECT_EQ(1u, countLogLines(log, "FATAL", "PelbrinSrv", text)) << log;
        EXPECT_EQ(std::string::npos, log.find("Server stopped")) << log;
    }
}

TEST_F(ProcessTest, FaultSignalsKeepTheirDefaultAction) {
    for (const int number : {SIGILL, SIGTRAP}) {
        SCOPED_TRACE(number);
        const auto server = startServing({"-k", "-l", "0"});
        ASSERT_TRUE(server);
        server->signal(number);
        EXPECT_EQ(number, server->killingSignal());
        EXPECT_EQ(std::string::npos, server->errorText().find("Got signal")) << server->errorText();
    }
}

TEST_F(ProcessTest, SigpipeIsOnlyLogged) {
    const auto server = startServing({"-k", "-l", "1"});
    ASSERT_TRUE(server);
    server->signal(SIGPIPE);
    ASSERT_TRUE(server->waitForError("Got signal 13: Broken pipe")) << server->errorText();
    EXPECT_TRUE(server->running());
    EXPECT_EQ(BANNER, banner());
    server->signal(SIGTERM);
    EXPECT_EQ(0, server->exitStatus());
    EXPECT_EQ(1u, countLogLines(server->errorText(), "DEBUG", "PelbrinSrv", "Got signal 13: Broken pipe"));
}

TEST_F(ProcessTest, ConsoleLoggingAtTheDefaultLevelLeavesInfoOut) {
    const auto server = startServing({"-k"});
    ASSERT_TRUE(server);
    server->signal(SIGTERM);
    EXPECT_EQ(0, server->exitStatus());
    EXPECT_EQ("", server->errorText());
    EXPECT_EQ("Logging to console enabled\n", server->outputText());
}

TEST_F(ProcessTest, WithoutALoggingOptionNothingIsLogged) {
    const auto server = startServing({"-z"});
    ASSERT_TRUE(server);
    EXPECT_EQ(BANNER, banner());
    server->signal(SIGTERM);
    EXPECT_EQ(0, server->exitStatus());
    EXPECT_EQ("", server->errorText());
    EXPECT_EQ("", server->outputText());
}

TEST_F(ProcessTest, TheConfigurationSummaryIsOneErrorRecord) {
    const auto server = startServing({"-k", "-z"});
    ASSERT_TRUE(server);
    server->signal(SIGTERM);
    EXPECT_EQ(0, server->exitStatus());
    const std::string log = server->errorText();
    const auto lines = linesOf(log);
    ASSERT_GE(lines.size(), 2u) << log;
    EXPECT_TRUE(std::regex_match(lines[0],
                                 std::regex("main\\.cpp:[0-9]+ ERROR PelbrinSrv  - Server configuration: ")))
        << lines[0];
    EXPECT_EQ(" database path: " + database.path(), lines[1]);
    EXPECT_NE(std::string::npos, log.find("\n listening port: " + std::to_string(port) + "\n")) << log;
    EXPECT_NE(std::string::npos, log.find("\n use dummy admin validator: 1\n")) << log;
}

TEST_F(ProcessTest, SslIsRefused) {
    port = servertest::freePort();
    ServerProcess byOption(serving({"-s"}));
    EXPECT_EQ(1, byOption.exitStatus());
    EXPECT_EQ(EXECUTABLE + ": SSL not supported yet\n", byOption.errorText());
    EXPECT_EQ("", byOption.outputText());

    const std::string config = uniquePath("ssl.cfg");
    std::ofstream(config) << "sslFlag = true;\n";
    ServerProcess byFile(serving({"-f", config}));
    EXPECT_EQ(1, byFile.exitStatus());
    EXPECT_EQ(EXECUTABLE + ": SSL not supported yet\n", byFile.errorText());
    unlink(config.c_str());
}

TEST_F(ProcessTest, APortInUseIsReportedAndEndsWithStatusOne) {
    const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(holder, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(0, ::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address));
    ASSERT_EQ(0, ::listen(holder, 1));
    socklen_t length = sizeof address;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);

    ServerProcess server(serving({"-k"}));
    EXPECT_EQ(1, server.exitStatus());
    const std::string log = server.errorText();
    EXPECT_EQ(1u, countLogLines(log, "ERROR", "PelbrinSrv", "Cannot start server")) << log;
    EXPECT_EQ(1u, linesOf(log).size()) << log;
    ::close(holder);
}

TEST_F(ProcessTest, StartUpRefusalsEndBeforeServing) {
    ServerProcess badOption({"-p", "1"});
    EXPECT_EQ(1, badOption.exitStatus());
    EXPECT_EQ(EXECUTABLE + ": Invalid listenning port number: 1\n", badOption.errorText());

    ServerProcess missingConfig({"-k", "-f", uniquePath("absent.cfg")});
    EXPECT_EQ(1, missingConfig.exitStatus());
    EXPECT_EQ(EXECUTABLE + ": Cannot read configureation file. FileIOException", missingConfig.errorText());
    // Logging is set up before the configuration error ends the start-up.
    EXPECT_EQ("Logging to console enabled\n", missingConfig.outputText());

    ServerProcess help({"-h", "-v"});
    EXPECT_EQ(0, help.exitStatus());
    EXPECT_EQ(0u, help.outputText().find("Pelbri http server\nUsage:  PelbrinSrv [OPTIONS]\n"));
    EXPECT_EQ(std::string::npos, help.outputText().find("platform:x86"));

    ServerProcess version({"-v"});
    EXPECT_EQ(0, version.exitStatus());
    EXPECT_EQ("PelbrinSrv v2.3.1   platform:x86    'Dec  2 2015 07:26:53'\n\n", version.outputText());
}

TEST_F(ProcessTest, TheConfigurationFileOverridesTheCommandLine) {
    const std::string config = uniquePath("override.cfg");
    std::unique_ptr<ServerProcess> server;
    for (int attempt = 0; attempt < 10 && !server; ++attempt) {
        const std::uint16_t filePort = servertest::freePort();
        std::ofstream(config) << "listeningPort = " << filePort
                              << ";\nlogToConsole = 1;\nlogLevel = 20000;\n";
        port = servertest::freePort();
        auto candidate = std::make_unique<ServerProcess>(serving({"-f", config}));
        if (candidate->waitForError("server started. Port: " + std::to_string(filePort) + "   ssl: OFF")) {
            port = filePort;
            server = std::move(candidate);
        }
    }
    unlink(config.c_str());
    ASSERT_TRUE(server);
    EXPECT_EQ(BANNER, banner());
    server->signal(SIGTERM);
    EXPECT_EQ(0, server->exitStatus());
}

TEST_F(ProcessTest, LogRecordsReachTheFileAndTheLogServer) {
    const int receiver = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(receiver, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, ::bind(receiver, reinterpret_cast<sockaddr*>(&address), sizeof address));
    socklen_t length = sizeof address;
    ::getsockname(receiver, reinterpret_cast<sockaddr*>(&address), &length);
    timeval timeout{10, 0};
    ::setsockopt(receiver, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const std::string logFile = uniquePath("server.log");

    const auto server =
        startServing({"-l", "2", "-o" + logFile, "-e127.0.0.1:" + std::to_string(ntohs(address.sin_port))});
    ASSERT_TRUE(server);
    server->signal(SIGTERM);
    EXPECT_EQ(0, server->exitStatus());
    EXPECT_EQ("Logging to file enabled\nLogging to server enabled\n", server->outputText());

    const auto lines = linesOf(readWhole(logFile));
    ASSERT_EQ(3u, lines.size()) << readWhole(logFile);
    const std::string stamp = "[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:,.]+ ";
    EXPECT_TRUE(
        std::regex_match(lines[0], std::regex(stamp +
                                              "main\\.cpp:[0-9]+ INFO  PelbrinSrv  - server started\\. "
                                              "Port: " +
                                              std::to_string(port) + "   ssl: OFF")))
        << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1],
                                 std::regex(stamp + "Signals\\.cpp:[0-9]+ INFO  PelbrinSrv  - Got signal 15: "
                                                    "Terminated")))
        << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2],
                                 std::regex(stamp + "main\\.cpp:[0-9]+ INFO  PelbrinSrv  - Server stopped")))
        << lines[2];
    unlink(logFile.c_str());
    unlink((logFile + ".1").c_str());

    char datagram[65536];
    const ssize_t size = ::recv(receiver, datagram, sizeof datagram, 0);
    ::close(receiver);
    ASSERT_GT(size, 0);
    const std::string record(datagram, static_cast<std::size_t>(size));
    utsname name{};
    ASSERT_EQ(0, uname(&name));
    const std::string platform =
        std::string(name.sysname) + " " + name.machine + " " + name.release + " " + name.version;
    EXPECT_EQ(0u, record.find("{ver: 1,log:[{tag:\"PelbrinSrv\",val:\"[pid:")) << record;
    EXPECT_NE(std::string::npos,
              record.find("] server started. Port: " + std::to_string(port) +
                          "   ssl: OFF\",src:\"PelbrinSrv\",usr:\"" + platform + "\",knd:\"log\","))
        << record;
    EXPECT_NE(std::string::npos, record.find(",dev:\"" + platform + "\",atr:[[\"App Version\",\"2.3.1\"],"))
        << record;
}

}  // namespace
