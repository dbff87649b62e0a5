#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "db/DBException.h"

struct sqlite3_stmt;

namespace db {

class Database;

// Owns one prepared statement. It must be released before the connection it was prepared on,
// since sqlite3_close() refuses while statements are open.
class Stmt {
public:
    explicit Stmt(sqlite3_stmt* handle) noexcept : mHandle(handle) {}
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    sqlite3_stmt* handle() const noexcept { return mHandle; }

private:
    friend std::unique_ptr<Stmt> prepare(Database& database, const std::string& sql);

    sqlite3_stmt* mHandle;
};

// Bind positions count from 1, column positions from 0. The functions that can fail throw DBException.
std::unique_ptr<Stmt> prepare(Database& database, const std::string& sql);
// Returns SQLITE_ROW or SQLITE_DONE; every other result throws.
int step(Stmt& statement);

void bindText(Stmt& statement, int position, const std::string& value);
void bindDouble(Stmt& statement, int position, double value);
void bindNull(Stmt& statement, int position);
void bindInt(Stmt& statement, int position, long long value);
void bindInt(Stmt& statement, int position, long value);
void bindInt(Stmt& statement, int position, int value);

// Null for an SQL NULL; otherwise SQLite's text form of the value, up to its first NUL.
std::unique_ptr<std::string> columnText(Stmt& statement, int column);
// The same text without a copy, for readers that touch every cell: it stays valid only until the
// statement steps, resets or is finalized, or the column is read as another type.
std::optional<std::string_view> columnTextView(Stmt& statement, int column);
int columnInt(Stmt& statement, int column);
long long columnInt64(Stmt& statement, int column);
double columnDouble(Stmt& statement, int column);
std::string columnName(Stmt& statement, int column);
int columntCount(Stmt& statement);

// Results are SQLite's, unchecked.
int reset_stmt(Stmt& statement);
int clear_bindings(Stmt& statement);

}  // namespace db
