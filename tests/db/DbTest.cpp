#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "db/DBException.h"
#include "db/Database.h"
#include "db/Stmt.h"
#include "tests/support/TempDatabase.h"

namespace {

using testsupport::Rows;

// Expects a DBException with exactly this code and what() text, also when caught as std::exception.
template <typename F>
void expectDbError(int code, const std::string& what, F call) {
    try {
        call();
        ADD_FAILURE() << "nothing thrown, expected: " << what;
    } catch (const std::exception& e) {
        const auto* error = dynamic_cast<const db::DBException*>(&e);
        ASSERT_NE(nullptr, error) << e.what();
        EXPECT_EQ(code, error->errorNumber());
        EXPECT_EQ(what, e.what());
        EXPECT_EQ(what, "SQL Error  " + std::to_string(code) + ": " + error->errorMessage());
    }
}

// A file holding t(id INTEGER, name TEXT) and one connection to it.
class DbLayer : public testing::Test {
protected:
    DbLayer() { file.exec("CREATE TABLE t (id INTEGER, name TEXT)"); }
    const testsupport::TempDatabase file{false};
    const std::unique_ptr<db::Database> database =
        db::openDatabase(file.path(), SQLITE_OPEN_READWRITE, 30000);
};

TEST(OpenDatabase, MissingFileFailsWithCode14AndCreatesNoFile) {
    const std::string path = testing::TempDir() + "absent-" + std::to_string(getpid()) + ".db";
    expectDbError(14, "SQL Error  14: unable to open database file",
                  [&] { db::openDatabase(path, SQLITE_OPEN_READWRITE, 30000); });
    EXPECT_FALSE(std::ifstream(path).good());
}

TEST_F(DbLayer, ColumnTextTellsNullFromEmptyAndGivesNumbersAsText) {
    db::exec(*database, "INSERT INTO t VALUES (5, NULL), (6, ''), (7, CAST(X'61006263' AS TEXT))");
    const auto statement = db::prepare(*database, "SELECT id, name, 2.5 FROM t ORDER BY id");
    // The copying reader and the view must agree on every cell.
    const auto text = [&](int column) {
        const std::unique_ptr<std::string> value = db::columnText(*statement, column);
        const std::optional<std::string_view> view = db::columnTextView(*statement, column);
        EXPECT_EQ(value != nullptr, view.has_value());
        if (value && view) {
            EXPECT_EQ(*value, *view);
        }
        return value ? "'" + *value + "'" : "NULL";
    };
    ASSERT_EQ(SQLITE_ROW, db::step(*statement));
    EXPECT_EQ("'5' NULL '2.5'", text(0) + " " + text(1) + " " + text(2));
    ASSERT_EQ(SQLITE_ROW, db::step(*statement));
    EXPECT_EQ("''", text(1));
    ASSERT_EQ(SQLITE_ROW, db::step(*statement));
    EXPECT_EQ("'a'", text(1));  // a stored NUL ends the text
}

TEST_F(DbLayer, BindsKeepTheirValuesAndTextEndsAtItsFirstNul) {
    const auto insert = db::prepare(*database, "INSERT INTO t VALUES (?, ?)");
    db::bindInt(*insert, 1, 5000000000LL);
    db::bindText(*insert, 2, std::string("ab\0cd", 5));
    EXPECT_EQ(SQLITE_DONE, db::step(*insert));
    db::reset_stmt(*insert);
    db::clear_bindings(*insert);
    db::bindInt(*insert, 1, 6000000000L);  // a long must not be cut to 32 bits
    EXPECT_EQ(SQLITE_DONE, db::step(*insert));
    EXPECT_EQ((Rows{{"5000000000", "ab"}, {"6000000000", std::nullopt}}),
              file.query("SELECT * FROM t ORDER BY rowid"));
    db::reset_stmt(*insert);
    expectDbError(25, "SQL Error  25: column index out of range", [&] { db::bindText(*insert, 3, "x"); });
}

TEST_F(DbLayer, StepGivesRowOrDoneAndThrowsOnEveryOtherResult) {
    db::exec(*database, "INSERT INTO t VALUES (1, 'a'); CREATE TABLE u (id INTEGER NOT NULL)");
    const auto select = db::prepare(*database, "SELECT name FROM t");
    EXPECT_EQ(100, db::step(*select));
    EXPECT_EQ(101, db::step(*select));
    EXPECT_EQ(101, db::step(*db::prepare(*database, "UPDATE t SET name = 'b'")));
    EXPECT_EQ(1, db::changes(*database));
    EXPECT_EQ(101, db::step(*db::prepare(*database, "UPDATE t SET name = 'c' WHERE id = 99")));
    EXPECT_EQ(0, db::changes(*database));
    EXPECT_EQ(2, db::totalChanges(*database));

    const auto refused = db::prepare(*database, "INSERT INTO u VALUES (NULL)");
    expectDbError(19, "SQL Error  19: NOT NULL constraint failed: u.id", [&] { db::step(*refused); });
    db::Stmt none(nullptr);
    expectDbError(21, "SQL Error  21: bad parameter or other API misuse", [&] { db::step(none); });
    expectDbError(1, "SQL Error  1: no such table: missing",
                  [&] { db::prepare(*database, "SELECT * FROM missing"); });
    EXPECT_EQ((Rows{{"1", "b"}}), file.query("SELECT * FROM t"));
    EXPECT_EQ(Rows{}, file.query("SELECT * FROM u"));
}

TEST_F(DbLayer, BusyDatabaseFailsWithCode5AfterTheTimeOut) {
    db::exec(*database, "BEGIN; INSERT INTO t VALUES (1, 'held')");
    const auto waiter = db::openDatabase(file.path(), SQLITE_OPEN_READWRITE, 50);
    const auto insert = db::prepare(*waiter, "INSERT INTO t VALUES (2, 'late')");
    expectDbError(5, "SQL Error  5: database is locked", [&] { db::step(*insert); });
    EXPECT_EQ(Rows{}, file.query("SELECT * FROM t"));
}

}  // namespace
