#include "korvu/korvu/Korvu.h"

#include <log4cplus/loggingmacros.h>
#include <sqlite3.h>

#include <iostream>

#include "validator/AdminValidator.h"

namespace korvu {

namespace {

// Read and write, never create: the exchange owns the database file. A connection lives within one
// operation on one thread, so SQLite need not lock it on every call.
constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
constexpr int kBusyTimeoutMs = 30000;

}  // namespace

log4cplus::Logger Korvu::logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Korvu"));

const std::string Korvu::mStrAuthException = "Invalid user or password";
const std::string Korvu::mStrAccessDenied = "Access denied";
const std::string Korvu::mStrExtenNotFound = "Exten not found";
const std::string Korvu::mStrRateNotFound = "Rate not found";

Korvu::Korvu(const std::string& databasePath, AdminValidator& adminValidator, unsigned maxRows)
    : dbPath(databasePath), validator(adminValidator), recordLimit(maxRows) {}

Korvu::~Korvu() = default;

bool Korvu::isAdmin(const Auth& auth) const { return auth.admin; }

void Korvu::login(const Auth& auth) const {
    run(auth, false, [](db::Database&) {});
}

void Korvu::authorizeOrThrow(const Auth& auth, bool adminRequired, db::Database& connection) const {
    // An administrator is never looked up in the exten table, even when the name matches an extension.
    const bool valid =
        auth.admin ? validator.validate(auth.name, auth.pass) : checkExtenAuth(auth, connection);
    if (!valid) {
        throw AuthException(mStrAuthException);
    }
    if (adminRequired && !auth.admin) {
        throw AccessDeniedException(mStrAccessDenied);
    }
}

bool Korvu::checkExtenAuth(const Auth& auth, db::Database& connection) const {
    const auto statement =
        db::prepare(connection, "SELECT count(*) FROM exten where exten = ? and www_pass = ?");
    db::bindText(*statement, 1, auth.name);
    db::bindText(*statement, 2, auth.pass);
    // Two matching rows are as good as none: the caller must name exactly one extension.
    return db::step(*statement) == SQLITE_ROW && db::columnInt(*statement, 0) == 1;
}

std::unique_ptr<db::Database> Korvu::openDatabase() const {
    return db::openDatabase(dbPath, kOpenFlags, kBusyTimeoutMs);
}

void Korvu::checkOwnExtenOrThrow(const Auth& auth, const std::string* exten) {
    if (!auth.admin && (exten == nullptr || *exten != auth.name)) {
        throw AccessDeniedException(mStrAccessDenied);
    }
}

InternalError Korvu::internalError(const db::DBException& error, DbErrorEcho echo) {
    if (echo == DbErrorEcho::alsoToStandardError) {
        std::cerr << error.what() << std::endl;
    }
    LOG4CPLUS_ERROR(logger, error.what());
    return InternalError(error.what());
}

}  // namespace korvu
