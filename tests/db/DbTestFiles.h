#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "db/Database.h"
#include "db/Stmt.h"

namespace dbtest {

// A unique file per call, so tests may run in parallel processes and threads.
inline std::string uniquePath(const std::string& stem) {
    static std::atomic<int> counter{0};
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    return testing::TempDir() + "db_" + info->test_suite_name() + "_" + info->name() + "_" + stem + "_" +
           std::to_string(getpid()) + "_" + std::to_string(counter++) + ".db";
}

inline bool fileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}

// A fresh database file with one table t(id INTEGER, name TEXT), removed again at the end.
class TempFile {
public:
    TempFile() : mPath(uniquePath("t")) {
        const auto database = db::openDatabase(mPath, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, 1000);
        db::exec(*database, "CREATE TABLE t (id INTEGER, name TEXT)");
    }
    ~TempFile() { std::remove(mPath.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return mPath; }
    std::unique_ptr<db::Database> open(int timeoutMs = 30000) const {
        return db::openDatabase(mPath, SQLITE_OPEN_READWRITE, timeoutMs);
    }

private:
    std::string mPath;
};

}  // namespace dbtest
