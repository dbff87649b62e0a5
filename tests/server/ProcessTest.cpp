#include <sys/resource.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/server/ServerProcess.h"

namespace servertest {
namespace {

const char HELP[] =
    "Pelbri http server\nUsage:  PelbrinSrv [OPTIONS]\nOptions: \n -h  show help \n -v  print version info\n"
    " -d  set path to database\n -c  set connection number limit\n -p  set listening port\n -s  use ssl\n"
    " -a  asterisk ip:port\n -e  set logging to log server, optional argument: log server ip:port\n"
    " -l  set log level\n -o  set logging to log file, optional argument: path to log file\n"
    " -k  set logging to console\n -r  set record number limit \n -t  set connection timeout \n"
    " -f  configuration file (options will be overriden with those in config file)\n"
    " -u  use dummy admin validator\n -z  print server configuration\n\nLog levels:\n 0: trace\n 1: debug\n"
    " 2: info\n 3: warn\n 4: error\n 5: fatal\n 6: logging is off\n\n";

const std::string CONSOLE = "Logging to console enabled\n";

// The one process this test has started and not yet reaped: the server.
pid_t onlyChild() {
    std::istringstream children(
        testsupport::readFile("/proc/self/task/" + std::to_string(getpid()) + "/children"));
    pid_t pid = -1, other = -1;
    children >> pid >> other;
    return other == -1 ? pid : -1;
}

// A refused or informative start ends by itself; a serving one is signalled. The last case also logs to a
// file and a log server.
TEST(ProcessEnd, StatusOutputAndLogOfEachStartAndSignal) {
    testsupport::TempDatabase db;
    const std::string sslConfig = uniquePath("ssl.cfg");
    std::ofstream(sslConfig) << "sslFlag = true;\n";
    const Socket taken, receiver(SOCK_DGRAM);
    ASSERT_EQ(0, ::listen(taken.fd, 1));
    const std::string logFile = uniquePath("server.log");
    const std::string started = "INFO  PelbrinSrv  - server started. Port: <port>   ssl: OFF\n";
    const std::string stopped = "INFO  PelbrinSrv  - Server stopped\n";
    const std::string pipe = "DEBUG PelbrinSrv  - Got signal 13: Broken pipe\n";
    const std::string term = "INFO  PelbrinSrv  - Got signal 15: Terminated\n";
    const std::string interrupt = "INFO  PelbrinSrv  - Got signal 2: Interrupt\n";
    // Ignored or continuing the process by default: only logged.
    const std::string harmless =
        "DEBUG PelbrinSrv  - Got signal 17: Child exited\nDEBUG PelbrinSrv  - Got signal 18: Continued\n"
        "DEBUG PelbrinSrv  - Got signal 23: Urgent I/O condition\nDEBUG PelbrinSrv  - Got signal 28: Window "
        "changed\n";
    // One ERROR record of many lines, ended by a line end of its own.
    const std::string summary =
        "ERROR PelbrinSrv  - Server configuration: \n database path: <db>\n connectionLimit: 7\n"
        " listening port: <port>\n use ssl: 0\n asterisk: 127.0.0.1:5038\n log server: 127.0.0.1:5140\n"
        " log to server: 0\n log file: /var/log/Pelbrin.log\n log to file: 0\n log to console: 1\n"
        " log level: 40000\n database record limit: 20000\n connection timeout: 30\n"
        " configuration file:  NONE\n use dummy admin validator: 0\n\n";
    const std::string everywhere = CONSOLE + "Logging to file enabled\nLogging to server enabled\n";
    const std::string udp = "-e127.0.0.1:" + std::to_string(receiver.port);
    using Case = std::tuple<std::vector<int>, std::vector<std::string>, int, std::string, std::string>;
    const std::string unreadable = EXECUTABLE + ": Cannot read configureation file. FileIOException";
    const std::string cannotStart = "ERROR PelbrinSrv  - Cannot start server\n";
    // {signals (none: it ends by itself), arguments, exit status, standard output, sourceless standard error}
    const std::vector<Case> cases{
        {{}, {"-f", sslConfig}, 1, "", EXECUTABLE + ": SSL not supported yet\n"},
        {{}, {"-p", "1"}, 1, "", EXECUTABLE + ": Invalid listenning port number: 1\n"},
        // Logging is set up before a configuration error ends the start-up.
        {{}, {"-k", "-f", uniquePath("absent.cfg")}, 1, CONSOLE, unreadable},
        {{}, {"-k", "-p", std::to_string(taken.port)}, 1, CONSOLE, cannotStart},
        {{}, {"-h", "-v"}, 0, HELP, ""},
        {{}, {"-v"}, 0, "PelbrinSrv v2.3.1   platform:x86    'Dec  2 2015 07:26:53'\n\n", ""},
        {{SIGPIPE, SIGTERM}, {"-k", "-l", "1"}, 0, CONSOLE, started + pipe + term + stopped},
        {{SIGCHLD, SIGCONT, SIGURG, SIGWINCH, SIGTERM}, {"-k", "-l", "1"}, 0, CONSOLE,
         started + harmless + term + stopped},
        // As systemd and timeout stop a service.
        {{SIGTERM, SIGCONT}, {"-k", "-l", "2"}, 0, CONSOLE, started + term + stopped},
        // Fault signals sent from outside, not raised by a fault.
        {{SIGSEGV}, {"-k"}, 1, CONSOLE, "FATAL PelbrinSrv  - Got signal 11: Segmentation fault\n"},
        {{SIGABRT}, {"-k"}, 1, CONSOLE, "FATAL PelbrinSrv  - Got signal 6: Aborted\n"},
        // The level only matters once an appender is on.
        {{SIGTERM}, {"-z", "-l", "0"}, 0, "", ""},
        // At the default level the start is not logged.
        {{SIGHUP}, {"-k", "-z"}, 1, CONSOLE, summary + "FATAL PelbrinSrv  - Got signal 1: Hangup\n"},
        {{SIGINT}, {"-k", "-l", "2", "-o" + logFile, udp}, 0, everywhere, started + interrupt + stopped}};
    std::string port;
    for (const auto& [signals, arguments, status, out, err] : cases) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        const auto process =
            signals.empty() ? std::make_unique<ServerProcess>(arguments) : startServer(db.path(), arguments);
        port = std::to_string(process->port);
        for (const int number : signals) {
            process->signal(number);
            const std::string logged = "DEBUG PelbrinSrv  - Got signal " + std::to_string(number) + ": ";
            if (err.find(logged) != std::string::npos) {  // only logged
                // Its record before the next signal is sent, so the records come in the order sent.
                waitForRecord(*process, logged);
                EXPECT_EQ(BANNER, sendHttp(process->port, get("/Pelbrin")).body);
            }
        }
        EXPECT_EQ(status, process->exitStatus());
        EXPECT_EQ(out, process->out());
        const std::string expected = std::regex_replace(err, std::regex("<port>"), port);
        EXPECT_EQ(std::regex_replace(expected, std::regex("<db>"), db.path()), sourceless(process->err()));
    }
    unlink(sslConfig.c_str());
    const std::string record = "server started. Port: " + port + "   ssl: OFF";
    EXPECT_NE(std::string::npos,
              testsupport::readFile(logFile).find(" INFO  PelbrinSrv  - " + record + "\n"));
    unlink(logFile.c_str());
    char datagram[65536];
    const ssize_t size = ::recv(receiver.fd, datagram, sizeof datagram, 0);
    ASSERT_GT(size, 0);
    const std::string sent(datagram, size);
    EXPECT_EQ(0u, sent.find("{ver: 1,log:[{tag:\"PelbrinSrv\",val:\"[pid:")) << sent;
    EXPECT_NE(std::string::npos, sent.find("] " + record + "\",src:\"PelbrinSrv\",usr:\"")) << sent;
    EXPECT_NE(std::string::npos, sent.find("\",atr:[[\"App Version\",\"2.3.1\"],")) << sent;
}

// Exhausted memory while serving ends the server from within by an abort. A sanitizer's allocator deals
// with exhausted memory itself.
TEST(ProcessEnd, AnAbortWithinTheServerIsLoggedAndEndsItWithStatusOne) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitized build";
#endif
    testsupport::TempDatabase db;
    // Six thousand calls with a destination of 10 kB each: their listing needs more than 32 MiB in one piece.
    db.exec(
        "WITH RECURSIVE n(i) AS (SELECT 1001 UNION ALL SELECT i + 1 FROM n WHERE i < 6000) "
        "INSERT INTO cdr (AcctId, src, dst, start) SELECT i, '101', printf('%010000d', i), "
        "'2016-01-01 00:00:00' FROM n");
    const auto server = startServer(db.path(), {"-u", "-k"});
    const pid_t pid = onlyChild();
    ASSERT_GT(pid, 0);
    // What the server holds by now and 16 MiB more: room for a request's small allocations, none for a text
    // that outgrows the 64 MiB heap glibc gives a thread.
    std::istringstream status(testsupport::readFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(status, line) && line.rfind("VmSize:", 0) != 0) {
    }
    const rlim_t limit = (std::stoull(line.substr(7)) + 16 * 1024) * 1024;
    const rlimit addressSpace{limit, limit};
    ASSERT_EQ(0, prlimit(pid, RLIMIT_AS, &addressSpace, nullptr));
    server->serving = false;
    EXPECT_EQ("", server->call(request("GET_CALL_LOGS", R"({"from_date":"2016-01-01 00:00"})")).body);
    EXPECT_EQ(1, server->exitStatus());
    EXPECT_NE(std::string::npos, server->err().find(" FATAL PelbrinSrv  - Got signal 6: Aborted\n"))
        << server->err();
}

// How the server stopped or ended, as its parent sees it, leaving it to be collected: "stopped by <signal>",
// "exited <status>", "killed by <signal>", or "" when it did neither within PATIENCE.
std::string stopOrEnd(pid_t pid) {
    for (const auto end = std::chrono::steady_clock::now() + PATIENCE; std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(10ms)) {
        siginfo_t info{};
        if (waitid(P_PID, pid, &info, WSTOPPED | WEXITED | WNOWAIT | WNOHANG) != 0 || info.si_pid != pid)
            continue;
        const std::string number = std::to_string(info.si_status);
        if (info.si_code == CLD_STOPPED) return "stopped by " + number;
        return (info.si_code == CLD_EXITED ? "exited " : "killed by ") + number;
    }
    return "";
}

// The terminal's stop signals suspend the server as any program, until SIGCONT; a request begun before the
// stop and finished during it is answered once the server continues.
TEST(JobControl, EachTerminalStopSignalSuspendsTheServerUntilItContinues) {
    testsupport::TempDatabase db;
    const std::vector<std::pair<int, std::string>> cases{{SIGTSTP, "Got signal 20: Stopped\n"},
                                                         {SIGTTIN, "Got signal 21: Stopped (tty input)\n"},
                                                         {SIGTTOU, "Got signal 22: Stopped (tty output)\n"}};
    for (const auto& [number, record] : cases) {
        SCOPED_TRACE(record);
        // In a group of its own: one run without a terminal may be orphaned, and the stop then discarded.
        const auto server = startServer(db.path(), {"-k", "-l", "1"}, nullptr, true);
        const pid_t pid = onlyChild();
        ASSERT_GT(pid, 0);
        Socket client;
        ASSERT_TRUE(connectToServer(client, server->port));
        const std::string text = get("/Pelbrin"), head = text.substr(0, 10), rest = text.substr(10);
        ::send(client.fd, head.data(), head.size(), MSG_NOSIGNAL);
        ::kill(pid, number);
        EXPECT_EQ("stopped by " + std::to_string(number), stopOrEnd(pid));
        ::send(client.fd, rest.data(), rest.size(), MSG_NOSIGNAL);
        ::kill(pid, SIGCONT);
        std::string reply;
        char buffer[4096];
        for (ssize_t n; (n = ::recv(client.fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, n);
        EXPECT_NE(std::string::npos, reply.find("\r\n\r\n" + BANNER)) << reply;
        const std::string continued = "DEBUG PelbrinSrv  - Got signal 18: Continued\n";
        // Before SIGTERM, which the server would take first.
        if (server->running()) waitForRecord(*server, continued);
        EXPECT_EQ(BANNER, sendHttp(server->port, get("/Pelbrin")).body);
        server->signal(SIGTERM);
        EXPECT_EQ(0, server->exitStatus());
        EXPECT_EQ("INFO  PelbrinSrv  - server started. Port: " + std::to_string(server->port) +
                      "   ssl: OFF\nDEBUG PelbrinSrv  - " + record + continued +
                      "INFO  PelbrinSrv  - Got signal 15: Terminated\nINFO  PelbrinSrv  - Server stopped\n",
                  sourceless(server->err()));
    }
}

// Ten clients charge without pause over the seven connection places; a stop lands amid their requests.
TEST(GracefulStop, ConcurrentChargesBegunBeforeAStopAreAllAnswered) {
    testsupport::TempDatabase db;
    const auto server = startServer(db.path(), {"-u", "-k", "-l", "2"});
    const std::string charge = request("CHARGE_EXTEN", R"({"exten_array":["1"],"value":"1"})");
    const int answered = answeredAmidAStop(*server, [&] { return server->call(charge).outcome; });
    const std::string port = std::to_string(server->port);
    EXPECT_EQ("INFO  PelbrinSrv  - server started. Port: " + port +
                  "   ssl: OFF\nINFO  PelbrinSrv  - Got signal 15: Terminated\n"
                  "INFO  PelbrinSrv  - Server stopped\n",
              sourceless(server->err()));
    // Every charge that was carried out was answered: none is counted twice by a client that tries again.
    EXPECT_EQ(12.5 + answered, std::stod(*db.queryOne("SELECT total_charge FROM exten WHERE id = 1")));
}

// A line break in the password would smuggle another action to the manager: refused without asking it.
TEST(AdminLogin, IsJudgedByTheManagerInterface) {
    testsupport::TempDatabase db;
    testsupport::FakePeer manager;
    const auto server = startServer(db.path(), {"-a", "127.0.0.1:" + std::to_string(manager.port())});
    const auto login = [&](const std::string& pass) {
        const std::string auth = R"({"name":"trivx","pass":")" + pass + R"(","admin":true})";
        return server->call(request("LOGIN", "null", auth)).body;
    };
    EXPECT_EQ(R"({"response":"LOGIN","error_code":0,"error_description":"SUCCESS","arg":null})",
              login("trivx"));
    EXPECT_EQ(
        R"({"response":"LOGIN","error_code":6,"error_description":"Invalid user or password","arg":null})",
        login("trivx\\r\\nAction: Logoff"));
    ASSERT_EQ(1u, manager.connectionCount());
    EXPECT_EQ("Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: trivx\r\n\r\n",
              manager.received(0));
}

}  // namespace
}  // namespace servertest
