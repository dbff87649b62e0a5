#include "db/DBException.h"

#include <sqlite3.h>

#include <sstream>

#include "db/Database.h"

namespace db {

namespace {

// sqlite3_errmsg() may return null only when SQLite itself ran out of memory.
std::string lastMessage(sqlite3* handle) noexcept {
    const char* message = sqlite3_errmsg(handle);
    return message != nullptr ? message : "";
}

}  // namespace

DBException::DBException(int code, const std::string& message) noexcept { init(code, message); }

DBException::DBException(Database& database) noexcept : DBException(database.handle()) {}

// The message is taken before the code, so both describe the same failure.
DBException::DBException(sqlite3* handle) noexcept {
    const std::string message = lastMessage(handle);
    init(sqlite3_errcode(handle), message);
}

DBException::~DBException() noexcept = default;

void DBException::init(int code, const std::string& message) noexcept {
    // Building the texts can only fail on exhausted memory, which ends the process anyway.
    mCode = code;
    mMessage = message;
    std::ostringstream text;
    text << "SQL Error  " << mCode << ": " << mMessage;
    whatText = text.str();
}

}  // namespace db
