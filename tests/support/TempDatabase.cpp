#include "tests/support/TempDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace testsupport {

namespace {

struct SqliteClose {
    void operator()(sqlite3* h) const noexcept { sqlite3_close(h); }
};
struct StmtFinalize {
    void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using Connection = std::unique_ptr<sqlite3, SqliteClose>;
using Statement = std::unique_ptr<sqlite3_stmt, StmtFinalize>;

constexpr int kBusyTimeoutMs = 30000;

std::string uniquePath() {
    static std::atomic<unsigned> counter{0};
    return testing::TempDir() + "pelbrin-test-" + std::to_string(::getpid()) + "-" +
           std::to_string(counter++) + ".db";
}

Connection open(const std::string& path, int flags) {
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &handle, flags, nullptr);
    Connection connection(handle);  // owned before the result is looked at: a failed open still allocates
    if (rc != SQLITE_OK) {
        throw std::runtime_error("cannot open " + path + ": " +
                                 (handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc)));
    }
    sqlite3_busy_timeout(connection.get(), kBusyTimeoutMs);
    return connection;
}

void execOn(sqlite3* connection, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(connection, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(connection);
        sqlite3_free(error);
        throw std::runtime_error("SQL failed: " + message + "\n  in: " + sql);
    }
}

}  // namespace

std::string testDataDir() { return PELBRIN_TEST_DATA_DIR "/"; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TempDatabase::TempDatabase(bool seeded) : mPath(uniquePath()) {
    std::remove(mPath.c_str());
    const std::string schema = readFile(testDataDir() + "schema.sql");
    const std::string seed = seeded ? readFile(testDataDir() + "seed.sql") : std::string();
    const Connection connection = open(mPath, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    // One transaction without syncing: the file is thrown away anyway, and tests build many.
    execOn(connection.get(), "PRAGMA synchronous = OFF; BEGIN");
    execOn(connection.get(), schema);
    if (seeded) execOn(connection.get(), seed);
    execOn(connection.get(), "COMMIT");
}

TempDatabase::~TempDatabase() {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::remove((mPath + suffix).c_str());
}

void TempDatabase::exec(const std::string& sql) const {
    const Connection connection = open(mPath, SQLITE_OPEN_READWRITE);
    execOn(connection.get(), sql);
}

Rows TempDatabase::query(const std::string& sql) const {
    const Connection connection = open(mPath, SQLITE_OPEN_READONLY);
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(connection.get(), sql.c_str(), -1, &raw, nullptr);
    const Statement statement(raw);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("SQL failed: " + std::string(sqlite3_errmsg(connection.get())) +
                                 "\n  in: " + sql);
    }
    Rows rows;
    const int columns = sqlite3_column_count(statement.get());
    for (;;) {
        const int step = sqlite3_step(statement.get());
        if (step == SQLITE_DONE) return rows;
        if (step != SQLITE_ROW) {
            throw std::runtime_error("SQL failed: " + std::string(sqlite3_errmsg(connection.get())) +
                                     "\n  in: " + sql);
        }
        Row row;
        for (int i = 0; i < columns; ++i) {
            const unsigned char* text = sqlite3_column_text(statement.get(), i);
            if (text == nullptr) {
                row.emplace_back(std::nullopt);
            } else {
                row.emplace_back(
                    std::string(reinterpret_cast<const char*>(text),
                                static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), i))));
            }
        }
        rows.push_back(std::move(row));
    }
}

std::optional<std::string> TempDatabase::queryOne(const std::string& sql) const {
    const Rows rows = query(sql);
    if (rows.empty() || rows.front().empty()) throw std::runtime_error("no row from: " + sql);
    return rows.front().front();
}

}  // namespace testsupport
