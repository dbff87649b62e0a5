#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "logger/ServerLogAppender.h"

namespace {

using korvuLoger::ServerLogAppender;
using AppenderPtr = log4cplus::helpers::SharedObjectPtr<ServerLogAppender>;

// 2015-12-02 07:26:53.456 UTC
const std::time_t FIXED_SECONDS = 1449041213;

// A UDP socket on 127.0.0.1 with a kernel-chosen port; reads time out so a missing datagram fails the test.
class Receiver {
public:
    Receiver() {
        fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        socklen_t length = sizeof(address);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        boundPort = ntohs(address.sin_port);
        timeval timeout{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    }
    ~Receiver() { close(); }
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    std::uint16_t port() const { return boundPort; }

    void close() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }

    // One datagram, or "<nothing>" when none arrived in time.
    std::string receive() const {
        std::vector<char> buffer(70000);
        const ssize_t length = recv(fd, buffer.data(), buffer.size(), 0);
        if (length < 0) return "<nothing>";
        return std::string(buffer.data(), static_cast<std::size_t>(length));
    }

    bool nothingPending() const {
        char byte = 0;
        return recv(fd, &byte, 1, MSG_DONTWAIT) < 0;
    }

private:
    int fd = -1;
    std::uint16_t boundPort = 0;
};

AppenderPtr appenderFor(std::uint16_t port) {
    AppenderPtr appender(new ServerLogAppender());
    appender->host = "127.0.0.1";
    appender->port = port;
    appender->createSocket();
    return appender;
}

log4cplus::spi::InternalLoggingEvent eventAt(const std::string& loggerName, log4cplus::LogLevel level,
                                             const std::string& message, const std::string& file, int line) {
    const log4cplus::helpers::Time time =
        log4cplus::helpers::from_time_t(FIXED_SECONDS) + std::chrono::milliseconds(456);
    return log4cplus::spi::InternalLoggingEvent(loggerName, level, "",
                                                log4cplus::MappedDiagnosticContextMap(), message, "thread",
                                                "thread", time, file, line, "f()");
}

std::string pidText() { return std::to_string(getpid()); }

// The record with the fields a test varies; everything else as the appender's defaults give it.
std::string expectedRecord(const std::string& tag, const std::string& val, const std::string& src,
                           const std::string& usr, const std::string& knd, const std::string& dev,
                           const std::string& version, const std::string& fileLine) {
    return "{ver: 1,log:[{tag:\"" + tag + "\",val:\"[pid:" + pidText() + "] " + val + "\",src:\"" + src +
           "\",usr:\"" + usr + "\",knd:\"" + knd + "\",dte:\"2015-12-02 07:26:53.000\",dev:\"" + dev +
           "\",atr:[[\"App Version\",\"" + version + "\"],[\"File\",\"" + fileLine + "\"]]}]}";
}

std::string localText(std::time_t seconds) {
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[32] = {};
    std::strftime(buffer, sizeof(buffer), "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

int openDescriptorCount() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count;
}

// Collects the messages it is given, to show that other appenders keep working.
class CollectingAppender : public log4cplus::Appender {
public:
    ~CollectingAppender() override { destructorImpl(); }
    void close() override {}
    std::vector<std::string> messages;

protected:
    void append(const log4cplus::spi::InternalLoggingEvent& event) override {
        messages.push_back(event.getMessage());
    }
};

class LogRecord : public testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    Receiver receiver;
};

TEST_F(LogRecord, WholeDatagramByteForByte) {
    const AppenderPtr appender = appenderFor(receiver.port());
    appender->setApplicationName("PelbrinSrv");
    appender->setApplicationVerion("2.3.1");
    appender->setUserName("Linux x86_64 6.1.0 #1 SMP");
    appender->setPlatformInfo("Linux x86_64 6.1.0 #1 SMP");
    appender->doAppend(eventAt("Worker", log4cplus::INFO_LOG_LEVEL, "server started. Port: 10000   ssl: OFF",
                               "/home/build/PelbrinSrv/main.cpp", 142));
    EXPECT_EQ(
        "{ver: 1,log:[{tag:\"Worker\",val:\"[pid:" + pidText() +
            "] server started. Port: 10000   ssl: OFF\",src:\"PelbrinSrv\",usr:\"Linux x86_64 6.1.0 #1 "
            "SMP\",knd:\"log\",dte:\"2015-12-02 07:26:53.000\",dev:\"Linux x86_64 6.1.0 #1 SMP\",atr:[[\"App "
            "Version\",\"2.3.1\"],[\"File\",\"main.cpp:142\"]]}]}",
        receiver.receive());
    EXPECT_TRUE(receiver.nothingPending());
}

TEST_F(LogRecord, DefaultsLeaveUserUnknownAndOtherTextsEmpty) {
    const AppenderPtr appender = appenderFor(receiver.port());
    appender->doAppend(eventAt("Korvu", log4cplus::ERROR_LOG_LEVEL, "m", "Korvu.cpp", 7));
    EXPECT_EQ(expectedRecord("Korvu", "m", "", "unknown", "error", "", "", "Korvu.cpp:7"),
              receiver.receive());
}

TEST_F(LogRecord, MessageIsEscapedButLoggerNameIsNot) {
    const AppenderPtr appender = appenderFor(receiver.port());
    appender->doAppend(eventAt("odd\"name\\", log4cplus::WARN_LOG_LEVEL,
                               "q\"b\\n\nr\rt\tb\bf\f v\x0b o\x01 z\x7f h\xc3\xa9", "/a/b/c.cpp", 1));
    EXPECT_EQ(expectedRecord("odd\"name\\", "q\\\"b\\\\n\\nr\\rt\\tb\\bf\\f v\x0b o\x01 z\x7f h\xc3\xa9", "",
                             "unknown", "warning", "", "", "c.cpp:1"),
              receiver.receive());
}

TEST_F(LogRecord, SettersStoreEscapedTexts) {
    const AppenderPtr appender = appenderFor(receiver.port());
    appender->setApplicationName("a\"pp");
    appender->setApplicationVerion("v\\1");
    appender->setUserName("us\ner");
    appender->setPlatformInfo("Linux\t#1");
    appender->doAppend(eventAt("L", log4cplus::DEBUG_LOG_LEVEL, "", "x.cpp", 0));
    EXPECT_EQ(expectedRecord("L", "", "a\\\"pp", "us\\ner", "debug", "Linux\\t#1", "v\\\\1", "x.cpp:0"),
              receiver.receive());
}

TEST_F(LogRecord, FileAttributeHoldsBaseNameAndLine) {
    const AppenderPtr appender = appenderFor(receiver.port());
    const auto fileOf = [&](const std::string& file, int line) {
        return appender->fileLineString(eventAt("L", log4cplus::INFO_LOG_LEVEL, "m", file, line));
    };
    EXPECT_EQ("HttpServer.cpp:88", fileOf("/work/PelbrinSrv/HttpServer.cpp", 88));
    EXPECT_EQ("plain.cpp:5", fileOf("plain.cpp", 5));
    EXPECT_EQ(":3", fileOf("/dir/", 3));
    EXPECT_EQ("we\\\"ird\\\\.cpp:12", fileOf("/a\"b/we\"ird\\.cpp", 12));
    EXPECT_EQ(":-1", fileOf("", -1));
}

TEST_F(LogRecord, LevelsMapToKinds) {
    const AppenderPtr appender = appenderFor(receiver.port());
    EXPECT_EQ("debug", appender->levelToKnd(0));
    EXPECT_EQ("debug", appender->levelToKnd(10000));
    EXPECT_EQ("log", appender->levelToKnd(20000));
    EXPECT_EQ("warning", appender->levelToKnd(30000));
    EXPECT_EQ("error", appender->levelToKnd(40000));
    EXPECT_EQ("error", appender->levelToKnd(50000));
    EXPECT_EQ("error", appender->levelToKnd(60000));
    EXPECT_EQ("error", appender->levelToKnd(10001));
    EXPECT_EQ("error", appender->levelToKnd(-1));

    const std::vector<std::pair<log4cplus::LogLevel, std::string>> cases = {
        {log4cplus::TRACE_LOG_LEVEL, "debug"}, {log4cplus::DEBUG_LOG_LEVEL, "debug"},
        {log4cplus::INFO_LOG_LEVEL, "log"},    {log4cplus::WARN_LOG_LEVEL, "warning"},
        {log4cplus::ERROR_LOG_LEVEL, "error"}, {log4cplus::FATAL_LOG_LEVEL, "error"}};
    for (const auto& c : cases) {
        appender->doAppend(eventAt("L", c.first, "m", "f.cpp", 1));
        EXPECT_EQ(expectedRecord("L", "m", "", "unknown", c.second, "", "", "f.cpp:1"), receiver.receive())
            << c.first;
    }
}

TEST_F(LogRecord, TimeIsLocalTimeToTheSecond) {
    setenv("TZ", "UTC-3", 1);
    tzset();
    const AppenderPtr appender = appenderFor(receiver.port());
    appender->doAppend(eventAt("L", log4cplus::INFO_LOG_LEVEL, "m", "f.cpp", 1));
    const std::string datagram = receiver.receive();
    EXPECT_NE(std::string::npos, datagram.find(",dte:\"2015-12-02 10:26:53.000\",")) << datagram;
}

TEST_F(LogRecord, LoggerMacroEventReachesTheServer) {
    const AppenderPtr appender = appenderFor(receiver.port());
    log4cplus::Logger logger = log4cplus::Logger::getInstance("ServerLogAppenderTest.Macro");
    logger.setAdditivity(false);
    logger.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
    logger.addAppender(log4cplus::SharedAppenderPtr(appender.get()));
    const std::string before = localText(std::time(nullptr));
    const int line = __LINE__ + 1;
    LOG4CPLUS_WARN(logger, "disk " << 93 << "% full");
    const std::string after = localText(std::time(nullptr));
    logger.removeAllAppenders();

    const std::string datagram = receiver.receive();
    const std::string head = "{ver: 1,log:[{tag:\"ServerLogAppenderTest.Macro\",val:\"[pid:" + pidText() +
                             "] disk 93% full\",src:\"\",usr:\"unknown\",knd:\"warning\",dte:\"";
    const std::string tail =
        ".000\",dev:\"\",atr:[[\"App Version\",\"\"],[\"File\",\"ServerLogAppenderTest.cpp:" +
        std::to_string(line) + "\"]]}]}";
    ASSERT_EQ(head.size() + 19 + tail.size(), datagram.size()) << datagram;
    EXPECT_EQ(head, datagram.substr(0, head.size()));
    EXPECT_EQ(tail, datagram.substr(datagram.size() - tail.size()));
    // The event's own time, taken between the two readings of the clock.
    const std::string stamp = datagram.substr(head.size(), 19);
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
}

TEST_F(LogRecord, CloseKeepsSending) {
    const AppenderPtr appender = appenderFor(receiver.port());
    appender->close();
    appender->doAppend(eventAt("L", log4cplus::INFO_LOG_LEVEL, "after close", "f.cpp", 1));
    EXPECT_EQ(expectedRecord("L", "after close", "", "unknown", "log", "", "", "f.cpp:1"),
              receiver.receive());
}

TEST(LogServerFailures, AbsentServerDisturbsNeitherCallerNorOtherAppenders) {
    std::uint16_t deadPort = 0;
    {
        Receiver gone;
        deadPort = gone.port();
    }
    const AppenderPtr toServer = appenderFor(deadPort);
    AppenderPtr unopened(new ServerLogAppender());  // socket never created: every send fails
    unopened->host = "not an address";
    log4cplus::helpers::SharedObjectPtr<CollectingAppender> collector(new CollectingAppender());

    log4cplus::Logger logger = log4cplus::Logger::getInstance("ServerLogAppenderTest.Absent");
    logger.setAdditivity(false);
    logger.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
    logger.addAppender(log4cplus::SharedAppenderPtr(toServer.get()));
    logger.addAppender(log4cplus::SharedAppenderPtr(unopened.get()));
    logger.addAppender(log4cplus::SharedAppenderPtr(collector.get()));
    EXPECT_NO_THROW({
        for (int i = 0; i < 5; ++i) LOG4CPLUS_ERROR(logger, "record " << i);
    });
    logger.removeAllAppenders();

    EXPECT_EQ((std::vector<std::string>{"record 0", "record 1", "record 2", "record 3", "record 4"}),
              collector->messages);
}

TEST(LogServerFailures, OversizedRecordIsDroppedAndSendingGoesOn) {
    setenv("TZ", "UTC", 1);
    tzset();
    Receiver receiver;
    const AppenderPtr appender = appenderFor(receiver.port());
    EXPECT_NO_THROW(
        appender->doAppend(eventAt("L", log4cplus::INFO_LOG_LEVEL, std::string(70000, 'x'), "f.cpp", 1)));
    appender->doAppend(eventAt("L", log4cplus::INFO_LOG_LEVEL, "next", "f.cpp", 2));
    EXPECT_EQ(expectedRecord("L", "next", "", "unknown", "log", "", "", "f.cpp:2"), receiver.receive());
}

TEST(LogServerSocket, OneDescriptorOwnedAndClosedOnDestruction) {
    const int before = openDescriptorCount();
    {
        AppenderPtr appender(new ServerLogAppender());
        appender->host = "127.0.0.1";
        appender->port = 9;
        appender->createSocket();
        appender->createSocket();
        appender->createSocket();
        EXPECT_EQ(before + 1, openDescriptorCount());
    }
    EXPECT_EQ(before, openDescriptorCount());
}

}  // namespace
