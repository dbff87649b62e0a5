#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

// One row of a query result; SQL NULL is std::nullopt, every other value SQLite's text of it.
using Row = std::vector<std::optional<std::string>>;
using Rows = std::vector<Row>;

inline std::string testDataDir() { return PELBRIN_TEST_DATA_DIR "/"; }  // ends in '/'

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A database file of its own, built from the exchange's schema (and by default the seed rows), removed on
// destruction. Each call opens a connection of its own, so the code under test never shares one; SQL
// failures throw std::runtime_error with SQLite's message.
class TempDatabase {
public:
    explicit TempDatabase(bool seeded = true) : mPath(testing::TempDir() + "pelbrin-test-XXXXXX") {
        ::close(::mkstemp(mPath.data()));  // SQLite takes the empty file for an empty database
        // One transaction without syncing: the file is thrown away anyway, and tests build many.
        exec("PRAGMA synchronous = OFF; BEGIN;\n" + readFile(testDataDir() + "schema.sql") +
             (seeded ? readFile(testDataDir() + "seed.sql") : "") + "\nCOMMIT");
    }
    ~TempDatabase() {
        for (const char* suffix : {"", "-journal"}) std::remove((mPath + suffix).c_str());
    }
    TempDatabase(const TempDatabase&) = delete;
    TempDatabase& operator=(const TempDatabase&) = delete;

    const std::string& path() const { return mPath; }
    void exec(const std::string& sql) const { run(sql, SQLITE_OPEN_READWRITE); }  // one or more statements
    Rows query(const std::string& sql) const { return run(sql, SQLITE_OPEN_READONLY); }
    // First column of the first row; throws std::out_of_range when there is none.
    std::optional<std::string> queryOne(const std::string& sql) const { return query(sql).at(0).at(0); }

private:
    // Runs every statement of the text and returns the rows they give.
    Rows run(const std::string& sql, int flags) const {
        sqlite3* handle = nullptr;
        const int opened = sqlite3_open_v2(mPath.c_str(), &handle, flags, nullptr);
        const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> connection(handle,
                                                                            sqlite3_close);  // even failed
        const auto check = [&](bool ok) {
            if (!ok)
                throw std::runtime_error("SQL failed: " + std::string(sqlite3_errmsg(handle)) +
                                         " in: " + sql);
        };
        check(opened == SQLITE_OK);
        sqlite3_busy_timeout(handle, 30000);  // the code under test may hold a lock for a moment
        Rows rows;
        for (const char* next = sql.c_str(); *next != '\0';) {
            sqlite3_stmt* raw = nullptr;
            check(sqlite3_prepare_v2(handle, next, -1, &raw, &next) == SQLITE_OK);
            // Declared after its connection, so finalized first.
            const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw, sqlite3_finalize);
            int step = SQLITE_DONE;
            while (raw != nullptr && (step = sqlite3_step(raw)) == SQLITE_ROW) {
                Row& row = rows.emplace_back();
                for (int i = 0; i < sqlite3_column_count(raw); ++i) {
                    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, i));
                    const auto size = static_cast<std::size_t>(sqlite3_column_bytes(raw, i));
                    row.push_back(text ? std::make_optional<std::string>(text, size) : std::nullopt);
                }
            }
            check(step == SQLITE_DONE);
        }
        return rows;
    }

    std::string mPath;
};

}  // namespace testsupport
