#pragma once

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// One row of a query result; SQL NULL is std::nullopt, every other value SQLite's text of it.
using Row = std::vector<std::optional<std::string>>;
using Rows = std::vector<Row>;

// Directory of schema.sql and seed.sql, ending in '/'.
std::string testDataDir();
// The whole content of a file; throws std::runtime_error when it cannot be read.
std::string readFile(const std::string& path);

// A database file of its own, built from the exchange's schema (and by default the seed rows), removed on
// destruction. Each call opens a connection of its own, so the code under test never shares one; failures
// throw std::runtime_error with SQLite's message.
class TempDatabase {
public:
    explicit TempDatabase(bool seeded = true);
    ~TempDatabase();
    TempDatabase(const TempDatabase&) = delete;
    TempDatabase& operator=(const TempDatabase&) = delete;

    const std::string& path() const { return mPath; }
    void exec(const std::string& sql) const;   // one or more statements
    Rows query(const std::string& sql) const;  // read-only; every row
    // First column of the first row; throws when no row comes back.
    std::optional<std::string> queryOne(const std::string& sql) const;

private:
    std::string mPath;
};

}  // namespace testsupport
