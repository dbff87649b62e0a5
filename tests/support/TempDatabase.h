#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace testsupport {

// One row of a query result; SQL NULL is std::nullopt, every other value SQLite's text of it.
using Row = std::vector<std::optional<std::string>>;
using Rows = std::vector<Row>;

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A database file of its own in the directory (ending in "/"), built from the exchange's schema (and by
// default the seed rows), removed on destruction. Each call opens a connection of its own, so the code under
// test never shares one; SQL failures throw std::runtime_error with SQLite's message.
class TempDatabase {
public:
    explicit TempDatabase(bool seeded = true, const std::string& directory = testing::TempDir())
        : mPath(directory + "pelbrin-test-XXXXXX") {
        ::close(::mkstemp(mPath.data()));  // SQLite takes the empty file for an empty database
        // One transaction without syncing: the file is thrown away anyway, and tests build many.
        exec("PRAGMA synchronous = OFF; BEGIN;\n" + readFile(PELBRIN_TEST_DATA_DIR "/schema.sql") +
             (seeded ? readFile(PELBRIN_TEST_DATA_DIR "/seed.sql") : "") + "\nCOMMIT");
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
    // Runs every statement of the text, waiting out locks the code under test holds for a moment, and returns
    // the rows they give; a value's text ends at a NUL it holds.
    Rows run(const std::string& sql, int flags) const {
        sqlite3* handle = nullptr;
        const int opened = sqlite3_open_v2(mPath.c_str(), &handle, flags, nullptr);
        const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> connection(handle, sqlite3_close);
        const auto addRow = [](void* rows, int count, char** values, char**) {
            Row& row = static_cast<Rows*>(rows)->emplace_back();
            for (int i = 0; i < count; ++i)
                row.push_back(values[i] ? std::optional<std::string>(values[i]) : std::nullopt);
            return 0;
        };
        Rows rows;
        if (opened != SQLITE_OK || sqlite3_busy_timeout(handle, 30000) != SQLITE_OK ||
            sqlite3_exec(handle, sql.c_str(), addRow, &rows, nullptr) != SQLITE_OK)
            throw std::runtime_error("SQL failed: " + std::string(sqlite3_errmsg(handle)) + " in: " + sql);
        return rows;
    }

    std::string mPath;
};

}  // namespace testsupport
