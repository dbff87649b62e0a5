#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <fstream>

#include "db/Database.h"
#include "db/Stmt.h"
#include "tests/support/TempDatabase.h"

namespace {

// What the DBException thrown says, checked to read "SQL Error  <code>: <message>".
template <typename F>
std::string dbError(F call) {
    try {
        call();
    } catch (const db::DBException& e) {
        EXPECT_EQ("SQL Error  " + std::to_string(e.errorNumber()) + ": " + e.errorMessage(), e.what());
        return e.what();
    }
    return "nothing thrown";
}

class DbLayer : public testing::Test {
protected:
    DbLayer() { file.exec("CREATE TABLE t (id INTEGER NOT NULL, name TEXT)"); }
    const testsupport::TempDatabase file{false};
    const std::unique_ptr<db::Database> database =
        db::openDatabase(file.path(), SQLITE_OPEN_READWRITE, 30000);
};

// Binds keep 64-bit values and end a text at its first NUL; the copying reader and the view agree on every
// cell, tell NULL from empty, give numbers as text and stop at a stored NUL.
TEST_F(DbLayer, BoundAndStoredValuesReadBackAsText) {
    db::exec(*database, "INSERT INTO t VALUES (7, CAST(X'61006263' AS TEXT))");
    const auto insert = db::prepare(*database, "INSERT INTO t VALUES (?, ?), (?, NULL), (8, '')");
    db::bindInt(*insert, 1, 5000000000LL);
    db::bindText(*insert, 2, std::string("ab\0cd", 5));
    db::bindInt(*insert, 3, 6000000000L);  // a long must not be cut to 32 bits
    EXPECT_EQ("SQL Error  25: column index out of range", dbError([&] { db::bindText(*insert, 4, "x"); }));
    EXPECT_EQ(SQLITE_DONE, db::step(*insert));
    const auto select = db::prepare(*database, "SELECT id, name, 2.5 FROM t ORDER BY rowid");
    std::string cells;
    while (db::step(*select) == SQLITE_ROW) {
        for (int column = 0; column < 3; ++column) {
            const std::unique_ptr<std::string> value = db::columnText(*select, column);
            const std::optional<std::string_view> view = db::columnTextView(*select, column);
            EXPECT_EQ(value ? "'" + *value + "'" : "NULL", view ? "'" + std::string(*view) + "'" : "NULL");
            cells += (value ? "'" + *value + "'" : "NULL") + " ";
        }
    }
    EXPECT_EQ("'7' 'a' '2.5' '5000000000' 'ab' '2.5' '6000000000' NULL '2.5' '8' '' '2.5' ", cells);
}

// Step gives ROW or DONE and throws on anything else. A missing file is not created; a connection kept
// from writing by another one's lock gives up once its time-out has passed.
TEST_F(DbLayer, EveryOtherResultThrowsSqlitesCodeAndText) {
    const std::string absent = testing::TempDir() + "absent-" + std::to_string(getpid()) + ".db";
    EXPECT_EQ("SQL Error  14: unable to open database file",
              dbError([&] { db::openDatabase(absent, SQLITE_OPEN_READWRITE, 30000); }));
    EXPECT_FALSE(std::ifstream(absent).good());
    const auto select = db::prepare(*database, "SELECT 1");
    EXPECT_EQ(SQLITE_ROW, db::step(*select));
    EXPECT_EQ(SQLITE_DONE, db::step(*select));
    const auto refused = db::prepare(*database, "INSERT INTO t VALUES (NULL, 'x')");
    EXPECT_EQ("SQL Error  19: NOT NULL constraint failed: t.id", dbError([&] { db::step(*refused); }));
    EXPECT_EQ("SQL Error  1: no such table: missing",
              dbError([&] { db::prepare(*database, "SELECT * FROM missing"); }));
    db::exec(*database, "BEGIN; INSERT INTO t VALUES (1, 'held')");
    const auto waiter = db::openDatabase(file.path(), SQLITE_OPEN_READWRITE, 50);
    const auto late = db::prepare(*waiter, "INSERT INTO t VALUES (2, 'late')");
    EXPECT_EQ("SQL Error  5: database is locked", dbError([&] { db::step(*late); }));
}

}  // namespace
