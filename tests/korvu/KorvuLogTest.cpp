#include <gtest/gtest.h>
#include <log4cplus/appender.h>
#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/korvu/KorvuFixture.h"

namespace {

using korvutest::adminAuth;
using korvutest::extenAuth;
using korvutest::KorvuTest;

// Keeps every event's level and message.
class CapturingAppender : public log4cplus::Appender {
public:
    ~CapturingAppender() override { destructorImpl(); }
    void close() override {}

    std::vector<std::pair<log4cplus::LogLevel, std::string>> events;

protected:
    void append(const log4cplus::spi::InternalLoggingEvent& event) override {
        events.emplace_back(event.getLogLevel(), event.getMessage());
    }
};

class DatabaseErrorLog : public KorvuTest {
protected:
    void SetUp() override {
        appender = log4cplus::SharedAppenderPtr(capture = new CapturingAppender());
        logger.addAppender(appender);
        logger.setAdditivity(false);
        logger.setLogLevel(log4cplus::ERROR_LOG_LEVEL);
    }
    void TearDown() override {
        logger.removeAppender(appender);
        logger.setLogLevel(log4cplus::OFF_LOG_LEVEL);
    }

    log4cplus::Logger logger = log4cplus::Logger::getInstance("Korvu");
    log4cplus::SharedAppenderPtr appender;
    CapturingAppender* capture = nullptr;
};

TEST_F(DatabaseErrorLog, EachDatabaseErrorIsOneErrorLineWithItsText) {
    const korvu::Korvu missing(korvutest::missingPath(), validator, 20000);
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  14: unable to open database file",
                 [&] { missing.login(extenAuth()); });
    database.exec("DROP TABLE help");
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  1: no such table: help",
                 [&] { korvu.getHelp(adminAuth(), "en"); });

    ASSERT_EQ(2u, capture->events.size());
    EXPECT_EQ(log4cplus::ERROR_LOG_LEVEL, capture->events[0].first);
    EXPECT_EQ("SQL Error  14: unable to open database file", capture->events[0].second);
    EXPECT_EQ(log4cplus::ERROR_LOG_LEVEL, capture->events[1].first);
    EXPECT_EQ("SQL Error  1: no such table: help", capture->events[1].second);
}

TEST_F(DatabaseErrorLog, RefusalsOfTheCoreAreNotLogged) {
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.login(Auth{"101", "x", false});
    });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.setCurrency(extenAuth(), "x"); });
    EXPECT_TRUE(capture->events.empty());
}

}  // namespace
