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

using Connection = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

[[noreturn]] void fail(sqlite3* connection, const std::string& sql) {
    throw std::runtime_error("SQL failed: " + std::string(sqlite3_errmsg(connection)) + "\n  in: " + sql);
}

// Runs every statement of the text on a connection of its own and returns the rows they give.
Rows run(const std::string& path, const std::string& sql, int flags) {
    sqlite3* handle = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &handle, flags, nullptr);
    const Connection connection(handle, sqlite3_close);  // a failed open still allocates a handle
    if (opened != SQLITE_OK) fail(handle, "open " + path);
    sqlite3_busy_timeout(handle, 30000);  // the code under test may hold a lock for a moment
    Rows rows;
    for (const char* next = sql.c_str(); *next != '\0';) {
        sqlite3_stmt* raw = nullptr;
        const int prepared = sqlite3_prepare_v2(handle, next, -1, &raw, &next);
        // Declared after its connection, so finalized first.
        const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw, sqlite3_finalize);
        if (prepared != SQLITE_OK) fail(handle, sql);
        int step = SQLITE_DONE;
        while (raw != nullptr && (step = sqlite3_step(raw)) == SQLITE_ROW) {
            Row& row = rows.emplace_back();
            for (int i = 0; i < sqlite3_column_count(raw); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(raw, i));
                const auto size = static_cast<std::size_t>(sqlite3_column_bytes(raw, i));
                row.push_back(text ? std::optional<std::string>(std::string(text, size)) : std::nullopt);
            }
        }
        if (step != SQLITE_DONE) fail(handle, sql);
    }
    return rows;
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

TempDatabase::TempDatabase(bool seeded) {
    static std::atomic<unsigned> counter{0};
    mPath = testing::TempDir() + "pelbrin-test-" + std::to_string(::getpid()) + "-" +
            std::to_string(counter++) + ".db";
    std::remove(mPath.c_str());
    // One transaction without syncing: the file is thrown away anyway, and tests build many.
    run(mPath,
        "PRAGMA synchronous = OFF; BEGIN;\n" + readFile(testDataDir() + "schema.sql") +
            (seeded ? readFile(testDataDir() + "seed.sql") : "") + "\nCOMMIT",
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

TempDatabase::~TempDatabase() {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) std::remove((mPath + suffix).c_str());
}

void TempDatabase::exec(const std::string& sql) const { run(mPath, sql, SQLITE_OPEN_READWRITE); }
Rows TempDatabase::query(const std::string& sql) const { return run(mPath, sql, SQLITE_OPEN_READONLY); }

std::optional<std::string> TempDatabase::queryOne(const std::string& sql) const {
    const Rows rows = query(sql);
    if (rows.empty() || rows.front().empty()) throw std::runtime_error("no row from: " + sql);
    return rows.front().front();
}

}  // namespace testsupport
