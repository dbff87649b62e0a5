#pragma once

#include <gtest/gtest.h>
#include <log4cplus/appender.h>
#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "korvu/worker/Worker.h"
#include "tests/support/TempDatabase.h"
#include "validator/DummyAdminValidator.h"

namespace workertest {

inline const std::string kVersion = "2.3.1";
inline const std::string kBuiltDate = "'Dec  2 2015 07:26:53'";

// A request text; arg is inserted as JSON text unchanged.
inline std::string request(const std::string& method, const std::string& arg, const std::string& name,
                           const std::string& pass, bool admin) {
    return "{\"request\":\"" + method + "\",\"arg\":" + arg + ",\"auth\":{\"name\":\"" + name +
           "\",\"pass\":\"" + pass + "\",\"admin\":" + (admin ? "true" : "false") + "}}";
}

// As the administrator accepted by the built-in validator of the fixture.
inline std::string adminRequest(const std::string& method, const std::string& arg = "null") {
    return request(method, arg, "trivx", "trivx", true);
}

// As the extension user 101 with its web password from the seed.
inline std::string extenRequest(const std::string& method, const std::string& arg = "null") {
    return request(method, arg, "101", "secret101", false);
}

inline std::string success(const std::string& method, const std::string& arg = "null") {
    return "{\"response\":\"" + method +
           "\",\"error_code\":0,\"error_description\":\"SUCCESS\",\"arg\":" + arg + "}";
}

// description is written into the expected text as it stands, so JSON escapes must be given escaped.
inline std::string failure(const std::string& method, int code, const std::string& description) {
    return "{\"response\":\"" + method + "\",\"error_code\":" + std::to_string(code) +
           ",\"error_description\":\"" + description + "\",\"arg\":null}";
}

// A path in the temporary directory that no test creates.
inline std::string missingPath() {
    static std::atomic<int> counter{0};
    return testing::TempDir() + "worker_missing_" + std::to_string(getpid()) + "_" +
           std::to_string(counter++) + ".db";
}

inline bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Keeps the level and message of every event; log4cplus serialises appends per appender.
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

class WorkerTest : public testing::Test {
protected:
    void SetUp() override {
        log4cplus::Logger::getInstance("Worker").setLogLevel(log4cplus::OFF_LOG_LEVEL);
        log4cplus::Logger::getInstance("Korvu").setLogLevel(log4cplus::OFF_LOG_LEVEL);
    }

    std::string process(const std::string& text) { return worker.processRequest(text); }

    testsupport::TempDatabase database;
    korvu::DummyAdminValidator validator{"trivx", "trivx"};
    Worker worker{database.path(), validator, kVersion, kBuiltDate, 20000};
};

}  // namespace workertest
