#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <log4cplus/spi/loggingevent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "logger/ServerLogAppender.h"

namespace {

using korvuLoger::ServerLogAppender;

const std::string kPid = std::to_string(getpid());

// An event of 2015-12-02 07:26:53.456 UTC.
log4cplus::spi::InternalLoggingEvent event(const std::string& logger, log4cplus::LogLevel level,
                                           const std::string& message, const std::string& file, int line) {
    const auto time = log4cplus::helpers::from_time_t(1449041213) + std::chrono::milliseconds(456);
    return log4cplus::spi::InternalLoggingEvent(logger, level, "", log4cplus::MappedDiagnosticContextMap(),
                                                message, "thread", "thread", time, file, line, "f()");
}

// An appender sending to a UDP socket of the test's own on 127.0.0.1.
class LogRecord : public testing::Test {
protected:
    void SetUp() override {
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        const timeval timeout{5, 0};  // a datagram that never comes reads as "<nothing>"
        ASSERT_EQ(0, ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) |
                         ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) |
                         ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout));
        appender->host = "127.0.0.1";
        appender->port = ntohs(address.sin_port);
        appender->createSocket();
    }
    void TearDown() override { ::close(fd); }
    std::string receive() const {
        char buffer[2048];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        return n < 0 ? "<nothing>" : std::string(buffer, static_cast<std::size_t>(n));
    }
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const log4cplus::helpers::SharedObjectPtr<ServerLogAppender> appender{new ServerLogAppender()};
};

// One datagram per event. Seven bytes are escaped in every text but the logger name; the time is local.
TEST_F(LogRecord, DatagramsByteForByte) {
    setenv("TZ", "UTC-3", 1);
    tzset();
    appender->doAppend(event("Worker", log4cplus::INFO_LOG_LEVEL, "server started. Port: 10000   ssl: OFF",
                             "/home/build/PelbrinSrv/main.cpp", 142));
    EXPECT_EQ(
        R"({ver: 1,log:[{tag:"Worker",val:"[pid:)" + kPid +
            R"(] server started. Port: 10000   ssl: OFF",src:"",usr:"unknown",knd:"log",)"
            R"(dte:"2015-12-02 10:26:53.000",dev:"",atr:[["App Version",""],["File","main.cpp:142"]]}]})",
        receive());

    appender->setApplicationName("Pelbrin\"Srv");
    appender->setApplicationVerion("2.3\\1");
    appender->setUserName("ro\not");
    appender->setPlatformInfo("Linux\t#1 SMP");
    appender->close();  // does nothing: the socket stays open until destruction
    appender->doAppend(event("odd\"name\\", log4cplus::WARN_LOG_LEVEL,
                             "q\"b\\n\nr\rt\tb\bf\f v\x0b o\x01 z\x7f h\xc3\xa9", "/a\"b/we\"ird\\.cpp", 12));
    EXPECT_EQ(
        R"({ver: 1,log:[{tag:"odd"name\",val:"[pid:)" + kPid + R"(] q\"b\\n\nr\rt\tb\bf\f v)" +
            "\x0b o\x01 z\x7f h\xc3\xa9" +
            R"(",src:"Pelbrin\"Srv",usr:"ro\not",knd:"warning",dte:"2015-12-02 10:26:53.000",dev:"Linux\t#1 SMP",)"
            R"(atr:[["App Version","2.3\\1"],["File","we\"ird\\.cpp:12"]]}]})",
        receive());

    std::string kinds;
    for (int level : {0, 10000, 20000, 30000, 40000, 50000, 10001})
        kinds += appender->levelToKnd(level) + " ";
    EXPECT_EQ("debug debug log warning error error error ", kinds);
}

TEST_F(LogRecord, AbsentServerOrNoSocketDisturbsNoCaller) {
    ::close(fd);  // the log server is gone
    fd = -1;
    EXPECT_NO_THROW(appender->doAppend(event("L", log4cplus::ERROR_LOG_LEVEL, "lost", "f.cpp", 1)));
    const log4cplus::helpers::SharedObjectPtr<ServerLogAppender> unopened(new ServerLogAppender());
    EXPECT_NO_THROW(unopened->doAppend(event("L", log4cplus::ERROR_LOG_LEVEL, "lost", "f.cpp", 1)));
}

}  // namespace
