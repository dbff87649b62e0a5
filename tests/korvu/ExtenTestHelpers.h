#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "korvu/korvu/KorvuData.h"
#include "tests/support/TempDatabase.h"

namespace korvutest {

// One statement run as SQLite saw it: the text as prepared, the text with its bound values written in, and
// how often that prepared statement had run before.
struct TracedStatement {
    std::string sql;
    std::string expanded;
    int earlierRuns = 0;
};

// Records every statement that any connection of this process starts while a SqlTrace lives. The billing
// core opens its own connections, so the hook is installed into every new connection by an auto extension.
class SqlTrace {
public:
    SqlTrace() {
        installOnce();
        std::lock_guard<std::mutex> lock(mutex());
        current() = this;
    }
    ~SqlTrace() { stop(); }

    // Ends the recording, so the test's own read-back stays out of it.
    void stop() {
        std::lock_guard<std::mutex> lock(mutex());
        if (current() == this) {
            current() = nullptr;
        }
    }
    SqlTrace(const SqlTrace&) = delete;
    SqlTrace& operator=(const SqlTrace&) = delete;

    std::vector<TracedStatement> statements() const {
        std::lock_guard<std::mutex> lock(mutex());
        return recorded;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> result;
        for (const TracedStatement& statement : statements()) {
            result.push_back(statement.sql);
        }
        return result;
    }

    std::vector<std::string> expandedTexts() const {
        std::vector<std::string> result;
        for (const TracedStatement& statement : statements()) {
            result.push_back(statement.expanded);
        }
        return result;
    }

private:
    static std::mutex& mutex() {
        static std::mutex instance;
        return instance;
    }
    static SqlTrace*& current() {
        static SqlTrace* instance = nullptr;
        return instance;
    }

    static int onTrace(unsigned type, void*, void* p, void*) {
        if (type != SQLITE_TRACE_STMT) {
            return 0;
        }
        auto* statement = static_cast<sqlite3_stmt*>(p);
        TracedStatement traced;
        traced.sql = sqlite3_sql(statement);
        const std::unique_ptr<char, void (*)(void*)> expanded(sqlite3_expanded_sql(statement), sqlite3_free);
        traced.expanded = expanded ? expanded.get() : "";
        traced.earlierRuns = sqlite3_stmt_status(statement, SQLITE_STMTSTATUS_RUN, 0);
        std::lock_guard<std::mutex> lock(mutex());
        if (current() != nullptr) {
            current()->recorded.push_back(traced);
        }
        return 0;
    }

    static int onOpen(sqlite3* connection, const char**, const sqlite3_api_routines*) {
        return sqlite3_trace_v2(connection, SQLITE_TRACE_STMT, &SqlTrace::onTrace, nullptr);
    }

    static void installOnce() {
        static const int result = sqlite3_auto_extension(reinterpret_cast<void (*)(void)>(&SqlTrace::onOpen));
        ASSERT_EQ(SQLITE_OK, result);
    }

    std::vector<TracedStatement> recorded;
};

inline testsupport::Rows rowsOf(const korvu::KorvuData& table) {
    testsupport::Rows rows;
    for (const auto& row : table.rows) {
        testsupport::Row cells;
        for (const auto& cell : row) {
            cells.push_back(cell.isNull() ? std::nullopt : std::optional<std::string>(cell.str()));
        }
        rows.push_back(cells);
    }
    return rows;
}

inline const std::optional<std::string> kNull = std::nullopt;

}  // namespace korvutest
