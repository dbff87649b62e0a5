#pragma once

#include <gtest/gtest.h>
#include <log4cplus/logger.h>

#include <functional>
#include <list>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "common/Auth.h"
#include "korvu/korvu/Korvu.h"
#include "tests/support/ExpectError.h"
#include "tests/support/TempDatabase.h"
#include "validator/AdminValidator.h"

namespace korvutest {

struct FakeAdminValidator : korvu::AdminValidator {
    bool validate(const std::string& user, const std::string& password) override {
        return user == "admin" && password == "adminpass";
    }
};

inline const Auth kAdmin{"admin", "adminpass", true}, kUser{"101", "secret101", false};
inline const Auth kBadAdmin{"admin", "wrong", true}, kBadUser{"101", "wrong", false};

// Cells joined by '|', each row ended by ';', NULL as '~': a whole table compares as one literal.
inline std::string flat(const testsupport::Rows& rows) {
    std::string text;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) text += (i ? "|" : "") + row[i].value_or("~");
        text += ";";
    }
    return text;
}
inline std::string flat(const korvu::KorvuData& table) {
    std::string text;
    for (const auto& row : table.rows) {
        for (std::size_t i = 0; i < row.size(); ++i)
            text += (i ? "|" : "") + (row[i].isNull() ? "~" : row[i].str());
        text += ";";
    }
    return text;
}
inline std::string whole(const korvu::KorvuData& table) {
    return flat(testsupport::Rows{{table.headers.begin(), table.headers.end()}}) + flat(table);
}

// Code, message and a call that must fail with exactly them; the code names the exception class.
using Refusals = std::vector<std::tuple<int, std::string, std::function<void()>>>;

class KorvuTest : public testing::Test {
protected:
    KorvuTest() { log4cplus::Logger::getInstance("Korvu").setLogLevel(log4cplus::OFF_LOG_LEVEL); }
    std::unique_ptr<korvu::Korvu> withLimit(unsigned limit, const std::string& path = "") {
        return std::make_unique<korvu::Korvu>(path.empty() ? database.path() : path, validator, limit);
    }
    // An optional text argument (nullptr: not given), alive until the test ends.
    const std::string* s(const char* text) { return text ? &texts.emplace_back(text) : nullptr; }
    std::string q(const std::string& sql) const { return flat(database.query(sql)); }
    std::string writable() const {
        return q("SELECT * FROM exten") + q("SELECT * FROM rate") + q("SELECT * FROM cdr") +
               q("SELECT * FROM settings");
    }
    // Each call fails as given and leaves every table as it was.
    void refused(const Refusals& refusals) const {
        for (std::size_t i = 0; i < refusals.size(); ++i) {
            const auto& [code, message, call] = refusals[i];
            SCOPED_TRACE("refusal " + std::to_string(i) + ": " + message);
            const std::string before = writable();
            testsupport::expectError<korvu::KorvuException>(code, message, call);
            EXPECT_EQ(before, writable());
        }
    }

    testsupport::TempDatabase database;
    FakeAdminValidator validator;
    korvu::Korvu korvu{database.path(), validator, 20000};
    std::list<std::string> texts;
};

}  // namespace korvutest
