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

// One open connection to a database file, for a test that must hold a transaction (and its lock) across
// statements. SQL failures throw std::runtime_error with SQLite's message.
class Connection {
public:
    explicit Connection(const std::string& path, int flags = SQLITE_OPEN_READWRITE)
        : mHandle(nullptr, sqlite3_close) {
        sqlite3* handle = nullptr;
        const int opened = sqlite3_open_v2(path.c_str(), &handle, flags, nullptr);
        mHandle.reset(handle);
        // Waits out locks the code under test holds for a moment.
        if (opened != SQLITE_OK || sqlite3_busy_timeout(handle, 30000) != SQLITE_OK) fail("open " + path);
    }

    // Runs every statement of the text and returns the rows they give; a value's text ends at a NUL it holds.
    Rows exec(const std::string& sql) const {
        const auto addRow = [](void* rows, int count, char** values, char**) {
            Row& row = static_cast<Rows*>(rows)->emplace_back();
            for (int i = 0; i < count; ++i)
                row.push_back(values[i] ? std::optional<std::string>(values[i]) : std::nullopt);
            return 0;
        };
        Rows rows;
        if (sqlite3_exec(mHandle.get(), sql.c_str(), addRow, &rows, nullptr) != SQLITE_OK) fail(sql);
        return rows;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("SQL failed: " + std::string(sqlite3_errmsg(mHandle.get())) +
                                 " in: " + what);
    }

    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> mHandle;
};

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
    void exec(const std::string& sql) const { Connection(mPath).exec(sql); }  // one or more statements
    Rows query(const std::string& sql) const { return Connection(mPath, SQLITE_OPEN_READONLY).exec(sql); }
    // First column of the first row; throws std::out_of_range when there is none.
    std::optional<std::string> queryOne(const std::string& sql) const { return query(sql).at(0).at(0); }

private:
    std::string mPath;
};

}  // namespace testsupport
