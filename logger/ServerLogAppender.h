#pragma once

#include <log4cplus/appender.h>
#include <log4cplus/spi/loggingevent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>

namespace korvuLoger {

// Sends every event to the log server as one UDP datagram; nothing is read back and no failure is reported,
// so an absent log server never disturbs the other appenders.
class ServerLogAppender : public log4cplus::Appender {
public:
    ServerLogAppender();
    ~ServerLogAppender() override;

    ServerLogAppender(const ServerLogAppender&) = delete;
    ServerLogAppender& operator=(const ServerLogAppender&) = delete;

    // Opens the UDP socket towards host:port; set both first.
    void createSocket();

    void setApplicationName(const std::string& value);
    void setApplicationVerion(const std::string& value);
    void setUserName(const std::string& value);
    void setPlatformInfo(const std::string& value);

    std::string escapedText(const std::string& text) const;
    std::string fileLineString(const log4cplus::spi::InternalLoggingEvent& event);
    const std::string& levelToKnd(int level);

    // Does nothing: the socket is the appender's own and is closed by its destructor alone.
    void close() override;

    std::string host;
    std::uint16_t port = 0;

protected:
    void append(const log4cplus::spi::InternalLoggingEvent& event) override;

private:
    std::string record(const log4cplus::spi::InternalLoggingEvent& event);
    std::string timeText(const log4cplus::spi::InternalLoggingEvent& event) const;
    void closeSocket() noexcept;

    int socket = -1;
    sockaddr_in addr{};
    socklen_t addrLen = 0;
    std::string userName = "unknown";
    std::string appName;
    std::string appVersion;
    std::string platformInfo;
    std::string debugKind = "debug";
    std::string logKind = "log";
    std::string warningKind = "warning";
    std::string errorKind = "error";
    std::string dateFormat = "%F %T.000";
};

}  // namespace korvuLoger
