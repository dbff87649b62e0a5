#include <gtest/gtest.h>
#include <log4cplus/spi/loggingevent.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "logger/ServerLogAppender.h"
#include "tests/support/FakePeer.h"

namespace {

using Appender = log4cplus::helpers::SharedObjectPtr<korvuLoger::ServerLogAppender>;

// One datagram per event to a UDP socket of the test's own. Seven bytes are escaped in every text but the
// logger name; the time is local and the file loses its folders.
TEST(LogRecord, DatagramsByteForByteAndAnAbsentServerOrNoSocketDisturbsNoCaller) {
    setenv("TZ", "UTC-3", 1);
    tzset();
    const Appender appender(new korvuLoger::ServerLogAppender()),
        unopened(new korvuLoger::ServerLogAppender());
    appender->host = "127.0.0.1";
    const int fd = testsupport::loopbackSocket(SOCK_DGRAM, appender->port);
    appender->createSocket();
    appender->setApplicationName("Pelbrin\"Srv");
    appender->setApplicationVerion("2.3\\1");
    appender->setUserName("ro\not");
    appender->setPlatformInfo("Linux\t#1 SMP");
    appender->close();  // does nothing: the socket stays open until destruction
    const log4cplus::spi::InternalLoggingEvent event(  // at 2015-12-02 07:26:53.456 UTC
        "odd\"name\\", log4cplus::WARN_LOG_LEVEL, "", log4cplus::MappedDiagnosticContextMap(),
        "q\"b\\n\nr\rt\tb\bf\f v\x0b o\x01 z\x7f h\xc3\xa9", "thread", "thread",
        log4cplus::helpers::from_time_t(1449041213) + std::chrono::milliseconds(456), "/a\"b/we\"ird\\.cpp",
        12, "f()");
    appender->doAppend(event);
    const timeval timeout{5, 0};  // a datagram that never comes fails the check instead of hanging it
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    char datagram[2048];
    const ssize_t size = ::recv(fd, datagram, sizeof datagram, 0);
    EXPECT_EQ(
        R"({ver: 1,log:[{tag:"odd"name\",val:"[pid:)" + std::to_string(getpid()) +
            R"(] q\"b\\n\nr\rt\tb\bf\f v)" + "\x0b o\x01 z\x7f h\xc3\xa9" +
            R"(",src:"Pelbrin\"Srv",usr:"ro\not",knd:"warning",dte:"2015-12-02 10:26:53.000",dev:"Linux\t#1 SMP",)"
            R"(atr:[["App Version","2.3\\1"],["File","we\"ird\\.cpp:12"]]}]})",
        std::string(datagram, static_cast<std::size_t>(std::max<ssize_t>(size, 0))));

    // Texts never set: the user is "unknown", the others empty.
    const Appender plain(new korvuLoger::ServerLogAppender());
    plain->host = appender->host;
    plain->port = appender->port;
    plain->createSocket();
    plain->doAppend(event);
    const ssize_t plainSize = ::recv(fd, datagram, sizeof datagram, 0);
    const std::string defaults(datagram, static_cast<std::size_t>(std::max<ssize_t>(plainSize, 0)));
    EXPECT_NE(std::string::npos,
              defaults.find(R"(",src:"",usr:"unknown",knd:"warning",dte:"2015-12-02 10:26:53.000",dev:"",)"
                            R"(atr:[["App Version",""],)"))
        << defaults;

    std::string kinds;
    for (int level : {0, 10000, 20000, 30000, 40000, 50000, 10001})
        kinds += appender->levelToKnd(level) + " ";
    EXPECT_EQ("debug debug log warning error error error ", kinds);

    ::close(fd);  // the log server is gone
    for (const Appender& quiet : {appender, unopened}) EXPECT_NO_THROW(quiet->doAppend(event));
}

}  // namespace
