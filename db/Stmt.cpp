#include "db/Stmt.h"

#include <sqlite3.h>

#include "db/Database.h"

namespace db {

namespace {

// Built from the statement's connection so it carries that connection's own code and message.
// A statement without a handle has no connection to ask; SQLite's text for the result is used then.
[[noreturn]] void throwFailure(Stmt& statement, int result) {
    sqlite3* connection = sqlite3_db_handle(statement.handle());
    if (connection == nullptr) {
        throw DBException(result, sqlite3_errstr(result));
    }
    throw DBException(connection);
}

void checkBind(Stmt& statement, int result) {
    if (result != SQLITE_OK) {
        throwFailure(statement, result);
    }
}

}  // namespace

Stmt::~Stmt() {
    if (mHandle != nullptr) {
        sqlite3_finalize(mHandle);
    }
}

std::unique_ptr<Stmt> prepare(Database& database, const std::string& sql) {
    std::unique_ptr<Stmt> statement(new Stmt(nullptr));
    const int result = sqlite3_prepare_v2(database.handle(), sql.c_str(), -1, &statement->mHandle, nullptr);
    if (result != SQLITE_OK) {
        throw DBException(result, sqlite3_errmsg(database.handle()));
    }
    return statement;
}

int step(Stmt& statement) {
    const int result = sqlite3_step(statement.handle());
    if (result != SQLITE_ROW && result != SQLITE_DONE) {
        throwFailure(statement, result);
    }
    return result;
}

void bindText(Stmt& statement, int position, const std::string& value) {
    checkBind(statement,
              sqlite3_bind_text(statement.handle(), position, value.c_str(), -1, SQLITE_TRANSIENT));
}

void bindDouble(Stmt& statement, int position, double value) {
    checkBind(statement, sqlite3_bind_double(statement.handle(), position, value));
}

void bindNull(Stmt& statement, int position) {
    checkBind(statement, sqlite3_bind_null(statement.handle(), position));
}

void bindInt(Stmt& statement, int position, long long value) {
    checkBind(statement, sqlite3_bind_int64(statement.handle(), position, value));
}

// A long is 64 bits wide here; sqlite3_bind_int would cut it to 32.
void bindInt(Stmt& statement, int position, long value) {
    checkBind(statement, sqlite3_bind_int64(statement.handle(), position, value));
}

void bindInt(Stmt& statement, int position, int value) {
    checkBind(statement, sqlite3_bind_int(statement.handle(), position, value));
}

std::unique_ptr<std::string> columnText(Stmt& statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement.handle(), column);
    if (text == nullptr) {
        return nullptr;
    }
    return std::make_unique<std::string>(reinterpret_cast<const char*>(text));
}

std::optional<std::string_view> columnTextView(Stmt& statement, int column) {
    // strlen rather than sqlite3_column_bytes: it stops at the first NUL as columnText does.
    const unsigned char* text = sqlite3_column_text(statement.handle(), column);
    if (text == nullptr) {
        return std::nullopt;
    }
    return std::string_view(reinterpret_cast<const char*>(text));
}

int columnInt(Stmt& statement, int column) { return sqlite3_column_int(statement.handle(), column); }

long long columnInt64(Stmt& statement, int column) {
    return sqlite3_column_int64(statement.handle(), column);
}

double columnDouble(Stmt& statement, int column) { return sqlite3_column_double(statement.handle(), column); }

std::string columnName(Stmt& statement, int column) {
    const char* name = sqlite3_column_name(statement.handle(), column);
    return name != nullptr ? name : "";
}

int columntCount(Stmt& statement) { return sqlite3_column_count(statement.handle()); }

int reset_stmt(Stmt& statement) { return sqlite3_reset(statement.handle()); }

int clear_bindings(Stmt& statement) { return sqlite3_clear_bindings(statement.handle()); }

}  // namespace db
