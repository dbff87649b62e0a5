#include "PelbrinSrv/Logging.h"

#include <log4cplus/consoleappender.h>
#include <log4cplus/fileappender.h>
#include <log4cplus/layout.h>
#include <log4cplus/logger.h>
#include <sys/utsname.h>

#include <cstdint>
#include <iostream>
#include <memory>
#include <vector>

#include "PelbrinSrv/Version.h"
#include "logger/ServerLogAppender.h"

namespace {

const char CONSOLE_PATTERN[] = "%b:%L %-5p %c %x - %m%n";
const char FILE_PATTERN[] = "%d %b:%L %-5p %c %x - %m%n";
const long MAX_LOG_FILE_SIZE = 1048576;
const int LOG_FILE_BACKUPS = 1;

log4cplus::SharedAppenderPtr consoleAppender() {
    log4cplus::SharedAppenderPtr appender(new log4cplus::ConsoleAppender(true /* standard error */, true));
    appender->setLayout(std::unique_ptr<log4cplus::Layout>(new log4cplus::PatternLayout(CONSOLE_PATTERN)));
    return appender;
}

log4cplus::SharedAppenderPtr fileAppender(const std::string& path) {
    log4cplus::SharedAppenderPtr appender(
        new log4cplus::RollingFileAppender(path, MAX_LOG_FILE_SIZE, LOG_FILE_BACKUPS, true));
    appender->setLayout(std::unique_ptr<log4cplus::Layout>(new log4cplus::PatternLayout(FILE_PATTERN)));
    return appender;
}

log4cplus::SharedAppenderPtr serverAppender(const pa::IpPort& logServer) {
    auto* server = new korvuLoger::ServerLogAppender();
    log4cplus::SharedAppenderPtr appender(server);
    server->host = logServer.ip;
    server->port = static_cast<std::uint16_t>(logServer.port);
    server->createSocket();
    server->setApplicationName(PROGRAM_NAME);
    server->setApplicationVerion(PROGRAM_VERSION);
    const std::string platform = getPlatformInfo();
    // The log server shows the host's platform as the user.
    server->setUserName(platform);
    server->setPlatformInfo(platform);
    return appender;
}

}  // namespace

void setUpLogging(const pa::ProgArgs& args) {
    std::vector<log4cplus::SharedAppenderPtr> appenders;
    if (args.logToConsole != 0) {
        appenders.push_back(consoleAppender());
        std::cout << "Logging to console enabled" << std::endl;
    }
    if (args.logToFile != 0) {
        appenders.push_back(fileAppender(args.logFile));
        std::cout << "Logging to file enabled" << std::endl;
    }
    if (args.logToServer != 0) {
        appenders.push_back(serverAppender(args.logServerIpPort));
        std::cout << "Logging to server enabled" << std::endl;
    }
    log4cplus::Logger root = log4cplus::Logger::getRoot();
    root.setLogLevel(appenders.empty() ? log4cplus::OFF_LOG_LEVEL : args.logLevel);
    for (const auto& appender : appenders) {
        root.addAppender(appender);
    }
}

std::string getPlatformInfo() {
    utsname name{};
    if (uname(&name) != 0) return "";
    return std::string(name.sysname) + " " + name.machine + " " + name.release + " " + name.version;
}
