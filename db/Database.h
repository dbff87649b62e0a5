#pragma once

#include <memory>
#include <string>

#include "db/DBException.h"

struct sqlite3;

namespace db {

// Owns one SQLite connection; closing it is the destructor's job, also while an exception unwinds.
class Database {
public:
    explicit Database(sqlite3* handle) noexcept : mHandle(handle) {}
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* handle() const noexcept { return mHandle; }

private:
    friend std::unique_ptr<Database> openDatabase(const std::string& path, int flags, int busyTimeoutMs);

    sqlite3* mHandle;
};

// Throws DBException; never creates the file unless the flags ask for it.
std::unique_ptr<Database> openDatabase(const std::string& path, int flags, int busyTimeoutMs);
// Throws DBException.
void exec(Database& database, const char* sql);
int changes(Database& database);
int totalChanges(Database& database);

}  // namespace db
