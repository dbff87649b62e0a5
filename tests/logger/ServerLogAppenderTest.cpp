#include <gtest/gtest.h>
#include <log4cplus/spi/loggingevent.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "logger/ServerLogAppender.h"
#include "tests/support/FakePeer.h"

namespace {

using Appender = log4cplus::helpers::SharedObjectPtr<korvuLoger::ServerLogAppender>;

// An event of 2015-12-02 07:26:53.456 UTC.
log4cplus::spi::InternalLoggingEvent event(const std::string& logger, log4cplus::LogLevel level,
                                           const std::string& message, const std::string& file, int line) {
    const auto time = log4cplus::helpers::from_time_t(1449041213) + std::chrono::milliseconds(456);
    return {logger, level, "",   log4cplus::MappedDiagnosticContextMap(), message, "thread", "thread", time,
            file,   line,  "f()"};
}

// One datagram per event to a UDP socket of the test's own. Seven bytes are escaped in every text but the
// logger name; the time is local.
TEST(LogRecord, DatagramsByteForByteAndAnAbsentServerOrNoSocketDisturbsNoCaller) {
    setenv("TZ", "UTC-3", 1);
    tzset();
    const Appender appender(new korvuLoger::ServerLogAppender()),
        unopened(new korvuLoger::ServerLogAppender());
    appender->host = "127.0.0.1";
    const int fd = testsupport::loopbackSocket(SOCK_DGRAM, appender->port);
    appender->createSocket();
    const timeval timeout{5, 0};  // a datagram that never comes reads as "<nothing>"
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const auto receive = [fd] {
        char buffer[2048];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        return n < 0 ? std::string("<nothing>") : std::string(buffer, static_cast<std::size_t>(n));
    };
    const std::string pid = std::to_string(getpid());
    appender->doAppend(event("Worker", log4cplus::INFO_LOG_LEVEL, "server started. Port: 10000   ssl: OFF",
                             "/home/build/PelbrinSrv/main.cpp", 142));
    EXPECT_EQ(
        R"({ver: 1,log:[{tag:"Worker",val:"[pid:)" + pid +
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
        R"({ver: 1,log:[{tag:"odd"name\",val:"[pid:)" + pid + R"(] q\"b\\n\nr\rt\tb\bf\f v)" +
            "\x0b o\x01 z\x7f h\xc3\xa9" +
            R"(",src:"Pelbrin\"Srv",usr:"ro\not",knd:"warning",dte:"2015-12-02 10:26:53.000",dev:"Linux\t#1 SMP",)"
            R"(atr:[["App Version","2.3\\1"],["File","we\"ird\\.cpp:12"]]}]})",
        receive());

    std::string kinds;
    for (int level : {0, 10000, 20000, 30000, 40000, 50000, 10001})
        kinds += appender->levelToKnd(level) + " ";
    EXPECT_EQ("debug debug log warning error error error ", kinds);

    ::close(fd);  // the log server is gone
    for (const Appender& quiet : {appender, unopened}) {
        EXPECT_NO_THROW(quiet->doAppend(event("L", log4cplus::ERROR_LOG_LEVEL, "lost", "f.cpp", 1)));
    }
}

}  // namespace
