#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <log4cplus/consoleappender.h>
#include <log4cplus/layout.h>
#include <log4cplus/logger.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "korvu/worker/Worker.h"
#include "tests/support/TempDatabase.h"
#include "validator/DummyAdminValidator.h"

// Global allocation that can be told to fail for large blocks, so exhausted memory can be provoked
// at a chosen step of a request. Kept in an executable of its own.
namespace {
std::atomic<std::size_t> failFromBytes{0};  // 0: never fail
}  // namespace

void* operator new(std::size_t size) {
    const std::size_t limit = failFromBytes.load();
    if (limit != 0 && size >= limit) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

constexpr std::size_t kHuge = 1 << 20;

std::string adminRequest(const std::string& method, const std::string& arg) {
    return "{\"request\":\"" + method + "\",\"arg\":" + arg +
           ",\"auth\":{\"name\":\"trivx\",\"pass\":\"trivx\",\"admin\":true}}";
}

// Worker's lines go to standard error, where the death test reads them.
void logWorkerToStandardError() {
    log4cplus::SharedAppenderPtr console(new log4cplus::ConsoleAppender(true, true));
    console->setLayout(std::make_unique<log4cplus::PatternLayout>("%p %m%n"));
    log4cplus::Logger logger = log4cplus::Logger::getInstance("Worker");
    logger.addAppender(console);
    logger.setAdditivity(false);
    logger.setLogLevel(log4cplus::WARN_LOG_LEVEL);
}

class ExhaustedMemoryDeathTest : public testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        log4cplus::Logger::getInstance("Korvu").setLogLevel(log4cplus::OFF_LOG_LEVEL);
        log4cplus::Logger::getInstance("Worker").setLogLevel(log4cplus::OFF_LOG_LEVEL);
    }

    testsupport::TempDatabase database;
    korvu::DummyAdminValidator validator{"trivx", "trivx"};
    Worker worker{database.path(), validator, "2.3.1", "d", 20000};
};

TEST_F(ExhaustedMemoryDeathTest, WhileParsingIsLoggedAtFatalAndEndsTheProcess) {
    // Copying the method name out of the parsed tree is the dispatcher's own step.
    const std::string text = adminRequest(std::string(kHuge, 'M'), "null");
    EXPECT_DEATH(
        {
            logWorkerToStandardError();
            failFromBytes = kHuge / 2;
            worker.processRequest(text);
        },
        "FATAL Failed to allocate memory std::bad_alloc");
}

TEST_F(ExhaustedMemoryDeathTest, InsideAHandlerEndsTheProcessWithoutALogLine) {
    const std::string text = adminRequest("ECHO", "{\"value\":\"" + std::string(kHuge, 'v') + "\"}");
    EXPECT_DEATH(
        {
            logWorkerToStandardError();
            failFromBytes = kHuge / 2;
            worker.processRequest(text);
        },
        testing::Not(testing::HasSubstr("Failed to allocate memory")));
}

TEST_F(ExhaustedMemoryDeathTest, SameRequestsSucceedWhenMemoryIsAvailable) {
    const std::string name(kHuge, 'M');
    EXPECT_EQ("{\"response\":\"" + name +
                  "\",\"error_code\":3,\"error_description\":\"unknown method\",\"arg\":null}",
              worker.processRequest(adminRequest(name, "null")));
    const std::string value(kHuge, 'v');
    EXPECT_EQ(
        "{\"response\":\"ECHO\",\"error_code\":0,\"error_description\":\"SUCCESS\",\"arg\":{\"value\":\"" +
            value + "\"}}",
        worker.processRequest(adminRequest("ECHO", "{\"value\":\"" + value + "\"}")));
}

}  // namespace
