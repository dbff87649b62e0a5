#pragma once

#include <log4cplus/appender.h>
#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace servertest {

using LogEvent = std::pair<log4cplus::LogLevel, std::string>;

// Keeps every event of one named logger while it lives; the logger's records reach nothing else then.
class LogCapture {
public:
    LogCapture(const std::string& loggerName, log4cplus::LogLevel level)
        : logger(log4cplus::Logger::getInstance(loggerName)) {
        appender = log4cplus::SharedAppenderPtr(store = new Store());
        logger.addAppender(appender);
        logger.setAdditivity(false);
        logger.setLogLevel(level);
    }
    ~LogCapture() {
        logger.removeAppender(appender);
        logger.setAdditivity(true);
        logger.setLogLevel(log4cplus::NOT_SET_LOG_LEVEL);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Events arrive from the server's connection threads.
    std::vector<LogEvent> events() const {
        std::lock_guard<std::mutex> lock(store->mutex);
        return store->events;
    }

private:
    class Store : public log4cplus::Appender {
    public:
        ~Store() override { destructorImpl(); }
        void close() override {}

        mutable std::mutex mutex;
        std::vector<LogEvent> events;

    protected:
        void append(const log4cplus::spi::InternalLoggingEvent& event) override {
            std::lock_guard<std::mutex> lock(mutex);
            events.emplace_back(event.getLogLevel(), event.getMessage());
        }
    };

    log4cplus::Logger logger;
    log4cplus::SharedAppenderPtr appender;
    Store* store = nullptr;
};

}  // namespace servertest
