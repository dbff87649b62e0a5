#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "db/DBException.h"
#include "db/Database.h"
#include "db/Stmt.h"
#include "tests/db/DbTestFiles.h"

namespace {

using dbtest::TempFile;

class StmtTest : public testing::Test {
protected:
    TempFile file;
    std::unique_ptr<db::Database> database = file.open();

    // One value through a bound parameter and back out as SQLite's text form.
    std::unique_ptr<std::string> roundTrip(const std::string& sql) {
        const auto statement = db::prepare(*database, sql);
        EXPECT_EQ(SQLITE_ROW, db::step(*statement));
        return db::columnText(*statement, 0);
    }

    void expectFailure(int code, const std::string& what, void (*call)(db::Stmt&), db::Stmt& statement) {
        try {
            call(statement);
            FAIL() << "no DBException";
        } catch (const db::DBException& e) {
            EXPECT_EQ(code, e.errorNumber());
            EXPECT_EQ(what, e.what());
        }
    }
};

TEST_F(StmtTest, ColumnTextTellsNullFromEmptyAndGivesNumbersAsText) {
    db::exec(*database, "INSERT INTO t VALUES (5, NULL), (6, ''), (7, 'x')");
    const auto statement = db::prepare(*database, "SELECT id, name, 2.5 FROM t ORDER BY id");

    ASSERT_EQ(SQLITE_ROW, db::step(*statement));
    EXPECT_EQ(nullptr, db::columnText(*statement, 1));
    const auto five = db::columnText(*statement, 0);
    ASSERT_NE(nullptr, five);
    EXPECT_EQ("5", *five);
    const auto real = db::columnText(*statement, 2);
    ASSERT_NE(nullptr, real);
    EXPECT_EQ("2.5", *real);
    EXPECT_EQ(0, db::columnInt(*statement, 1));

    ASSERT_EQ(SQLITE_ROW, db::step(*statement));
    const auto empty = db::columnText(*statement, 1);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ("", *empty);

    ASSERT_EQ(SQLITE_ROW, db::step(*statement));
    EXPECT_EQ("x", *db::columnText(*statement, 1));
    EXPECT_EQ(SQLITE_DONE, db::step(*statement));
}

TEST_F(StmtTest, TextWithNulIsBoundOnlyUpToIt) {
    const auto statement = db::prepare(*database, "INSERT INTO t VALUES (1, ?)");
    db::bindText(*statement, 1, std::string("ab\0cd", 5));
    EXPECT_EQ(SQLITE_DONE, db::step(*statement));
    EXPECT_EQ("ab", *roundTrip("SELECT name FROM t"));
    EXPECT_EQ("2", *roundTrip("SELECT length(name) FROM t"));
}

TEST_F(StmtTest, BoundTextIsCopiedBeforeBindReturns) {
    const auto statement = db::prepare(*database, "SELECT ?");
    {
        std::string value(64, 'q');
        db::bindText(*statement, 1, value);
        value.assign(64, 'z');
    }
    ASSERT_EQ(SQLITE_ROW, db::step(*statement));
    EXPECT_EQ(std::string(64, 'q'), *db::columnText(*statement, 0));
}

TEST_F(StmtTest, EveryBindKeepsItsValue) {
    const auto statement = db::prepare(*database, "SELECT ?, ?, ?, ?, ?, typeof(?5)");
    db::bindInt(*statement, 1, 5000000000LL);
    db::bindInt(*statement, 2, 6000000000L);
    db::bindInt(*statement, 3, -7);
    db::bindDouble(*statement, 4, 1.25);
    db::bindNull(*statement, 5);
    ASSERT_EQ(SQLITE_ROW, db::step(*statement));
    EXPECT_EQ(5000000000LL, db::columnInt64(*statement, 0));
    EXPECT_EQ(6000000000LL, db::columnInt64(*statement, 1));
    EXPECT_EQ(-7, db::columnInt(*statement, 2));
    EXPECT_DOUBLE_EQ(1.25, db::columnDouble(*statement, 3));
    EXPECT_EQ(nullptr, db::columnText(*statement, 4));
    EXPECT_EQ("null", *db::columnText(*statement, 5));
}

TEST_F(StmtTest, StepAnswersRowThenDone) {
    db::exec(*database, "INSERT INTO t VALUES (1, 'a')");
    const auto statement = db::prepare(*database, "SELECT name FROM t");
    EXPECT_EQ(100, db::step(*statement));
    EXPECT_EQ(101, db::step(*statement));

    const auto update = db::prepare(*database, "UPDATE t SET name = 'b'");
    EXPECT_EQ(101, db::step(*update));
}

TEST_F(StmtTest, ColumnNamesAndCountFollowTheResult) {
    const auto statement = db::prepare(*database, "SELECT id AS ident, t.name, 1 + 1 FROM t");
    ASSERT_EQ(3, db::columntCount(*statement));
    EXPECT_EQ("ident", db::columnName(*statement, 0));
    EXPECT_EQ("name", db::columnName(*statement, 1));
    EXPECT_EQ("1 + 1", db::columnName(*statement, 2));
    EXPECT_EQ(0, db::columntCount(*db::prepare(*database, "DELETE FROM t")));
}

TEST_F(StmtTest, OnlyTheFirstStatementOfATextIsCompiled) {
    const auto statement = db::prepare(*database, "INSERT INTO t VALUES (1, 'a'); DROP TABLE t");
    EXPECT_EQ(SQLITE_DONE, db::step(*statement));
    EXPECT_EQ("1", *roundTrip("SELECT count(*) FROM t"));
}

TEST_F(StmtTest, ResetAndClearBindingsServeASecondRun) {
    const auto statement = db::prepare(*database, "INSERT INTO t VALUES (?, ?)");
    db::bindInt(*statement, 1, 1);
    db::bindText(*statement, 2, "first");
    EXPECT_EQ(SQLITE_DONE, db::step(*statement));
    EXPECT_EQ(SQLITE_OK, db::reset_stmt(*statement));
    EXPECT_EQ(SQLITE_OK, db::clear_bindings(*statement));
    db::bindInt(*statement, 1, 2);
    EXPECT_EQ(SQLITE_DONE, db::step(*statement));
    EXPECT_EQ("2", *roundTrip("SELECT count(*) FROM t"));
    EXPECT_EQ("1", *roundTrip("SELECT count(*) FROM t WHERE id = 2 AND name IS NULL"));
}

TEST_F(StmtTest, PrepareFailureCarriesSqliteCodeAndMessage) {
    try {
        db::prepare(*database, "SELECT * FROM missing");
        FAIL() << "prepared a statement on a missing table";
    } catch (const db::DBException& e) {
        EXPECT_EQ(1, e.errorNumber());
        EXPECT_STREQ("SQL Error  1: no such table: missing", e.what());
    }
}

TEST_F(StmtTest, BindFailuresThrow) {
    const auto statement = db::prepare(*database, "SELECT ?");
    expectFailure(
        25, "SQL Error  25: column index out of range", [](db::Stmt& s) { db::bindText(s, 2, "x"); },
        *statement);
    expectFailure(
        25, "SQL Error  25: column index out of range", [](db::Stmt& s) { db::bindInt(s, 0, 1); },
        *statement);
    expectFailure(
        25, "SQL Error  25: column index out of range", [](db::Stmt& s) { db::bindNull(s, 3); }, *statement);
    expectFailure(
        25, "SQL Error  25: column index out of range", [](db::Stmt& s) { db::bindDouble(s, 3, 1.0); },
        *statement);

    // Binding to a statement that is mid-run, not reset, is an API misuse.
    db::bindInt(*statement, 1, 1);
    ASSERT_EQ(SQLITE_ROW, db::step(*statement));
    expectFailure(
        21, "SQL Error  21: bad parameter or other API misuse", [](db::Stmt& s) { db::bindInt(s, 1, 2LL); },
        *statement);
}

TEST_F(StmtTest, StepOnAStatementWithoutHandleIsMisuse) {
    db::Stmt empty(nullptr);
    expectFailure(
        21, "SQL Error  21: bad parameter or other API misuse", [](db::Stmt& s) { db::step(s); }, empty);
}

TEST_F(StmtTest, StepFailureIsBuiltFromTheStatementsConnection) {
    db::exec(*database, "CREATE TABLE u (id INTEGER NOT NULL)");
    const auto statement = db::prepare(*database, "INSERT INTO u VALUES (NULL)");
    expectFailure(
        19, "SQL Error  19: NOT NULL constraint failed: u.id", [](db::Stmt& s) { db::step(s); }, *statement);
}

}  // namespace
