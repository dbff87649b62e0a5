#pragma once

#include <exception>
#include <string>

struct sqlite3;

namespace db {

class Database;

// The database layer's only error. Deliberately not an Exception: the billing core must
// convert it before anything reaches a client.
class DBException : public std::exception {
public:
    DBException(int code, const std::string& message) noexcept;
    explicit DBException(Database& database) noexcept;  // that connection's last error
    explicit DBException(sqlite3* handle) noexcept;     // that connection's last error
    ~DBException() noexcept override;

    int errorNumber() const { return mCode; }
    const std::string& errorMessage() const { return mMessage; }
    const char* what() const noexcept override { return whatText.c_str(); }

private:
    void init(int code, const std::string& message) noexcept;

    int mCode = 0;
    std::string mMessage;
    std::string whatText;
};

}  // namespace db
