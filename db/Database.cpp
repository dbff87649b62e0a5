#include "db/Database.h"

#include <sqlite3.h>

namespace db {

Database::~Database() {
    if (mHandle != nullptr) {
        sqlite3_close(mHandle);
    }
}

std::unique_ptr<Database> openDatabase(const std::string& path, int flags, int busyTimeoutMs) {
    std::unique_ptr<Database> database(new Database(nullptr));
    // SQLite usually hands back a handle even when opening fails; it enters its owner first
    // so the failure path closes it.
    int result = sqlite3_open_v2(path.c_str(), &database->mHandle, flags, nullptr);
    if (result != SQLITE_OK) {
        throw DBException(result, sqlite3_errmsg(database->mHandle));
    }
    result = sqlite3_busy_timeout(database->mHandle, busyTimeoutMs);
    if (result != SQLITE_OK) {
        throw DBException(result, sqlite3_errmsg(database->mHandle));
    }
    return database;
}

void exec(Database& database, const char* sql) {
    if (sqlite3_exec(database.handle(), sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        throw DBException(database);
    }
}

int changes(Database& database) { return sqlite3_changes(database.handle()); }

int totalChanges(Database& database) { return sqlite3_total_changes(database.handle()); }

}  // namespace db
