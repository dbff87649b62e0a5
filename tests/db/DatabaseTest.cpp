#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <exception>
#include <string>

#include "db/DBException.h"
#include "db/Database.h"
#include "db/Stmt.h"
#include "tests/db/DbTestFiles.h"

namespace {

using dbtest::TempFile;

int countRows(db::Database& database, const std::string& sql) {
    const auto statement = db::prepare(database, sql);
    EXPECT_EQ(SQLITE_ROW, db::step(*statement));
    return db::columnInt(*statement, 0);
}

TEST(OpenDatabase, MissingFileFailsWithCode14AndCreatesNoFile) {
    const std::string path = dbtest::uniquePath("absent");
    try {
        db::openDatabase(path, SQLITE_OPEN_READWRITE, 30000);
        FAIL() << "opened a missing file";
    } catch (const db::DBException& e) {
        EXPECT_EQ(14, e.errorNumber());
        EXPECT_EQ("unable to open database file", e.errorMessage());
        EXPECT_STREQ("SQL Error  14: unable to open database file", e.what());
    }
    EXPECT_FALSE(dbtest::fileExists(path));
}

TEST(OpenDatabase, ExistingFileOpensAndKeepsItsTables) {
    TempFile file;
    const auto database = file.open();
    ASSERT_NE(nullptr, database->handle());
    EXPECT_EQ(0, countRows(*database, "SELECT count(*) FROM t"));
}

TEST(DBExceptionText, IsCodeAndMessageAfterTwoBlanks) {
    const db::DBException error(5, "database is locked");
    EXPECT_EQ(5, error.errorNumber());
    EXPECT_EQ("database is locked", error.errorMessage());
    EXPECT_STREQ("SQL Error  5: database is locked", error.what());

    const db::DBException negative(-3, "");
    EXPECT_STREQ("SQL Error  -3: ", negative.what());
}

TEST(DBExceptionText, IsTheSameWhenCaughtAsStdException) {
    try {
        throw db::DBException(1, "no such table: x");
    } catch (const std::exception& e) {
        EXPECT_STREQ("SQL Error  1: no such table: x", e.what());
    }
}

TEST(DBExceptionText, TakesTheConnectionsLastError) {
    TempFile file;
    const auto database = file.open();
    EXPECT_NE(SQLITE_OK,
              sqlite3_exec(database->handle(), "SELECT * FROM missing", nullptr, nullptr, nullptr));
    const db::DBException fromDatabase(*database);
    EXPECT_STREQ("SQL Error  1: no such table: missing", fromDatabase.what());
    const db::DBException fromHandle(database->handle());
    EXPECT_STREQ("SQL Error  1: no such table: missing", fromHandle.what());
}

TEST(Exec, RunsTransactionsAndReportsFailures) {
    TempFile file;
    const auto database = file.open();
    db::exec(*database, "BEGIN");
    db::exec(*database, "INSERT INTO t VALUES (1, 'a')");
    db::exec(*database, "ROLLBACK");
    EXPECT_EQ(0, countRows(*database, "SELECT count(*) FROM t"));

    db::exec(*database, "BEGIN");
    try {
        db::exec(*database, "BEGIN");
        FAIL() << "nested BEGIN accepted";
    } catch (const db::DBException& e) {
        EXPECT_STREQ("SQL Error  1: cannot start a transaction within a transaction", e.what());
    }
    db::exec(*database, "INSERT INTO t VALUES (1, 'a')");
    db::exec(*database, "COMMIT");
    EXPECT_EQ(1, countRows(*file.open(), "SELECT count(*) FROM t"));

    try {
        db::exec(*database, "BOGUS");
        FAIL() << "syntax error accepted";
    } catch (const db::DBException& e) {
        EXPECT_EQ(1, e.errorNumber());
        EXPECT_EQ("near \"BOGUS\": syntax error", e.errorMessage());
    }
}

TEST(Changes, CountTheLastStatementAndTheConnectionsTotal) {
    TempFile file;
    const auto database = file.open();
    EXPECT_EQ(0, db::totalChanges(*database));
    db::exec(*database, "INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'b')");
    EXPECT_EQ(3, db::changes(*database));

    db::exec(*database, "UPDATE t SET name = 'c' WHERE name = 'b'");
    EXPECT_EQ(2, db::changes(*database));

    db::exec(*database, "UPDATE t SET name = 'd' WHERE id = 99");
    EXPECT_EQ(0, db::changes(*database));
    EXPECT_EQ(5, db::totalChanges(*database));
}

TEST(BusyDatabase, WriterFailsWithCode5AfterTheTimeOut) {
    TempFile file;
    const auto holder = file.open();
    db::exec(*holder, "BEGIN");
    db::exec(*holder, "INSERT INTO t VALUES (1, 'held')");

    const auto waiter = file.open(50);
    const auto insert = db::prepare(*waiter, "INSERT INTO t VALUES (2, 'late')");
    try {
        db::step(*insert);
        FAIL() << "wrote past another connection's write lock";
    } catch (const db::DBException& e) {
        EXPECT_EQ(5, e.errorNumber());
        EXPECT_STREQ("SQL Error  5: database is locked", e.what());
    }
    try {
        db::exec(*waiter, "BEGIN IMMEDIATE");
        FAIL() << "took a write lock another connection holds";
    } catch (const db::DBException& e) {
        EXPECT_STREQ("SQL Error  5: database is locked", e.what());
    }

    db::exec(*holder, "ROLLBACK");
    db::reset_stmt(*insert);
    EXPECT_EQ(SQLITE_DONE, db::step(*insert));
    EXPECT_EQ(1, countRows(*holder, "SELECT count(*) FROM t WHERE name = 'late'"));
    EXPECT_EQ(0, countRows(*holder, "SELECT count(*) FROM t WHERE name = 'held'"));
}

}  // namespace
