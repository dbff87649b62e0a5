#pragma once

#include <gtest/gtest.h>
#include <log4cplus/logger.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/Auth.h"
#include "korvu/korvu/Korvu.h"
#include "tests/support/ExpectError.h"
#include "tests/support/TempDatabase.h"
#include "validator/AdminValidator.h"

namespace korvutest {

// Accepts one fixed pair and records every question it was asked.
class FakeAdminValidator : public korvu::AdminValidator {
public:
    bool validate(const std::string& user, const std::string& password) override {
        asked.emplace_back(user, password);
        if (failure) {
            failure();
        }
        return user == "admin" && password == "adminpass";
    }

    std::vector<std::pair<std::string, std::string>> asked;
    std::function<void()> failure;  // set to make validate() throw
};

inline Auth adminAuth() { return Auth{"admin", "adminpass", true}; }
inline Auth extenAuth() { return Auth{"101", "secret101", false}; }

// A path in the temporary directory that no test creates.
inline std::string missingPath() {
    static std::atomic<int> counter{0};
    return testing::TempDir() + "korvu_missing_" + std::to_string(getpid()) + "_" +
           std::to_string(counter++) + ".db";
}

class KorvuTest : public testing::Test {
protected:
    void SetUp() override { log4cplus::Logger::getInstance("Korvu").setLogLevel(log4cplus::OFF_LOG_LEVEL); }

    std::unique_ptr<korvu::Korvu> korvuWithLimit(unsigned limit) {
        return std::make_unique<korvu::Korvu>(database.path(), validator, limit);
    }

    std::optional<std::string> currency() const {
        return database.queryOne("SELECT settings_value FROM settings WHERE settings_key = 'CURRENCY'");
    }

    testsupport::TempDatabase database;
    FakeAdminValidator validator;
    korvu::Korvu korvu{database.path(), validator, 20000};
};

}  // namespace korvutest
