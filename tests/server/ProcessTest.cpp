#include <fstream>

#include "tests/server/ServerProcess.h"
#include "tests/support/FakePeer.h"

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

TEST(StartUp, EndsBeforeServingOnRefusalsHelpAndVersion) {
    const std::string sslConfig = uniquePath("ssl.cfg");
    std::ofstream(sslConfig) << "sslFlag = true;\n";
    const Socket taken;
    ASSERT_EQ(0, ::listen(taken.fd, 1));
    const std::string unreadable = EXECUTABLE + ": Cannot read configureation file. FileIOException";
    using Case = std::tuple<std::vector<std::string>, int, std::string, std::string>;
    // {arguments, exit status, standard output, standard error without sources}
    const std::vector<Case> cases{
        {{"-s"}, 1, "", EXECUTABLE + ": SSL not supported yet\n"},
        {{"-f", sslConfig}, 1, "", EXECUTABLE + ": SSL not supported yet\n"},
        {{"-p", "1"}, 1, "", EXECUTABLE + ": Invalid listenning port number: 1\n"},
        // Logging is set up before a configuration error ends the start-up.
        {{"-k", "-f", uniquePath("absent.cfg")}, 1, CONSOLE, unreadable},
        {{"-k", "-p", std::to_string(taken.port)}, 1, CONSOLE, "ERROR PelbrinSrv  - Cannot start server\n"},
        {{"-h", "-v"}, 0, HELP, ""},
        {{"-v"}, 0, "PelbrinSrv v2.3.1   platform:x86    'Dec  2 2015 07:26:53'\n\n", ""}};
    for (const auto& [arguments, status, out, err] : cases) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        ServerProcess process(arguments);
        EXPECT_EQ(status, process.exitStatus());
        EXPECT_EQ(out, process.out());
        EXPECT_EQ(err, sourceless(process.err()));
    }
    unlink(sslConfig.c_str());
}

// The last case also logs to a file and a log server.
TEST(Signals, StopOrEndTheServerAndAreLogged) {
    testsupport::TempDatabase db;
    const Socket receiver(SOCK_DGRAM);
    const std::string logFile = uniquePath("server.log");
    const std::string started = "INFO  PelbrinSrv  - server started. Port: <port>   ssl: OFF\n";
    const std::string stopped = "INFO  PelbrinSrv  - Server stopped\n";
    const std::string pipe = "DEBUG PelbrinSrv  - Got signal 13: Broken pipe\n";
    const std::string term = "INFO  PelbrinSrv  - Got signal 15: Terminated\n";
    const std::string interrupt = "INFO  PelbrinSrv  - Got signal 2: Interrupt\n";
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
    // {signals, arguments, exit status, standard output, log}
    const std::vector<Case> cases{
        {{SIGPIPE, SIGTERM}, {"-k", "-l", "1"}, 0, CONSOLE, started + pipe + term + stopped},
        // The level only matters once an appender is on.
        {{SIGTERM}, {"-z", "-l", "0"}, 0, "", ""},
        // At the default level the start is not logged.
        {{SIGHUP}, {"-k", "-z"}, 1, CONSOLE, summary + "FATAL PelbrinSrv  - Got signal 1: Hangup\n"},
        {{SIGINT}, {"-k", "-l", "2", "-o" + logFile, udp}, 0, everywhere, started + interrupt + stopped}};
    std::string port;
    for (const auto& [signals, arguments, status, out, log] : cases) {
        SCOPED_TRACE(testing::PrintToString(arguments));
        const auto server = startServer(db.path(), arguments);
        port = std::to_string(server->port);
        for (const int number : signals) {
            server->signal(number);
            if (number == SIGPIPE) {  // only logged
                EXPECT_EQ(BANNER, sendHttp(server->port, {get("/Pelbrin")}).body);
            }
        }
        EXPECT_EQ(status, server->exitStatus());
        const std::string expected = std::regex_replace(log, std::regex("<port>"), port);
        EXPECT_EQ(std::regex_replace(expected, std::regex("<db>"), db.path()), sourceless(server->err()));
        EXPECT_EQ(out, server->out());
    }
    const std::string record = "server started. Port: " + port + "   ssl: OFF";
    EXPECT_NE(std::string::npos, readFile(logFile).find(" INFO  PelbrinSrv  - " + record + "\n"));
    unlink(logFile.c_str());
    char datagram[65536];
    const ssize_t size = ::recv(receiver.fd, datagram, sizeof datagram, 0);
    ASSERT_GT(size, 0);
    const std::string sent(datagram, size);
    EXPECT_EQ(0u, sent.find("{ver: 1,log:[{tag:\"PelbrinSrv\",val:\"[pid:")) << sent;
    EXPECT_NE(std::string::npos, sent.find("] " + record + "\",src:\"PelbrinSrv\",usr:\"")) << sent;
    EXPECT_NE(std::string::npos, sent.find("\",atr:[[\"App Version\",\"2.3.1\"],")) << sent;
}

TEST(AdminLogin, IsJudgedByTheManagerInterfaceUnlessTheDummyIsAsked) {
    using testsupport::FakePeer;
    testsupport::TempDatabase db;
    const std::string ok = R"({"response":"LOGIN","error_code":0,"error_description":"SUCCESS","arg":null})";
    const std::string refused =
        R"({"response":"LOGIN","error_code":6,"error_description":"Invalid user or password","arg":null})";
    using Logins = std::vector<std::pair<std::string, std::string>>;
    // {dummy validator, the manager's answer, passwords with their replies, connections to the manager}
    const std::vector<std::tuple<bool, std::string, Logins, std::size_t>> cases{
        // A line break would smuggle another action to the manager.
        {false, FakePeer::kSuccessAnswer, {{"trivx", ok}, {"trivx\\r\\nAction: Logoff", refused}}, 1},
        {false, FakePeer::kErrorAnswer, {{"trivx", refused}}, 1},
        {true, FakePeer::kErrorAnswer, {{"trivx", ok}, {"x", refused}}, 0}};
    for (const auto& [dummy, answer, logins, connections] : cases) {
        FakePeer::Script script;
        script.answer = answer;
        FakePeer manager(script);
        std::vector<std::string> arguments{"-a", "127.0.0.1:" + std::to_string(manager.port())};
        if (dummy) arguments.push_back("-u");
        const auto server = startServer(db.path(), arguments);
        for (const auto& [pass, reply] : logins) {
            const std::string auth = R"({"name":"trivx","pass":")" + pass + R"(","admin":true})";
            EXPECT_EQ(reply, server->call(request("LOGIN", "null", auth)).body) << pass;
        }
        ASSERT_EQ(connections, manager.connectionCount());
        if (connections == 1) {
            EXPECT_EQ("Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: trivx\r\n\r\n",
                      manager.received(0));
        }
    }
}

}  // namespace
}  // namespace servertest
