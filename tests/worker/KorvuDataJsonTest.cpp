#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "db/Database.h"
#include "db/Stmt.h"
#include "korvu/korvu/Korvu.h"
#include "korvu/worker/Worker.h"
#include "tests/support/TempDatabase.h"
#include "validator/DummyAdminValidator.h"

namespace {

using korvu::KorvuData;
using korvu::NullableString;

NullableString text(const std::string& value) { return NullableString(value, false); }
NullableString null() { return NullableString(); }

TEST(ResultTableJson, HeadersThenRowsWithNullUnquoted) {
    KorvuData data;
    data.headers = {"a", "b"};
    data.rows = {{text("1"), null()}, {text("2"), text("x")}};
    EXPECT_EQ(R"({"headers":["a","b"],"rows":[["1",null],["2","x"]]})", Worker::korvuDataToJsonString(data));
}

TEST(ResultTableJson, NoRowsKeepsTheHeaders) {
    KorvuData data;
    data.headers = {"settings_key", "settings_value"};
    EXPECT_EQ(R"({"headers":["settings_key","settings_value"],"rows":[]})",
              Worker::korvuDataToJsonString(data));
    EXPECT_EQ(R"({"headers":[],"rows":[]})", Worker::korvuDataToJsonString(KorvuData()));
}

TEST(ResultTableJson, NamesAndValuesAreEscapedEmptyTextIsTwoQuotes) {
    KorvuData data;
    data.headers = {"q\"", "back\\slash"};
    data.rows = {{text(""), text("line\nfeed\ttab\x01"
                                 "end/")},
                 {text("Gr\xC3\xBC\xC3\x9F"
                       "e"),
                  null()}};
    EXPECT_EQ(
        "{\"headers\":[\"q\\\"\",\"back\\\\slash\"],\"rows\":[[\"\",\"line\\nfeed\\ttab\\u0001end/"
        "\"],[\"Gr\xC3\xBC\xC3\x9F"
        "e\",null]]}",
        Worker::korvuDataToJsonString(data));
}

TEST(ResultTableJson, EachRowIsWrittenWithTheCellsItHolds) {
    KorvuData data;
    data.headers = {"a", "b"};
    data.rows = {{text("1")}, {}};
    EXPECT_EQ(R"({"headers":["a","b"],"rows":[["1"],[]]})", Worker::korvuDataToJsonString(data));
}

// The Worker's rendering of a table and the billing core's direct rendering of the same statement.
class SameTextAsTheCore : public testing::Test {
protected:
    std::string viaTable(const std::string& sql) {
        const auto connection = db::openDatabase(database.path(), SQLITE_OPEN_READWRITE, 1000);
        const auto statement = db::prepare(*connection, sql);
        return Worker::korvuDataToJsonString(*core.performSelect(*statement));
    }
    std::string direct(const std::string& sql) {
        const auto connection = db::openDatabase(database.path(), SQLITE_OPEN_READWRITE, 1000);
        const auto statement = db::prepare(*connection, sql);
        return core.performSelectAndReturnString(*statement, 100);
    }

    testsupport::TempDatabase database{false};
    korvu::DummyAdminValidator validator{"trivx", "trivx"};
    korvu::Korvu core{database.path(), validator, 100};
};

TEST_F(SameTextAsTheCore, ForEscapesNullsNumbersAndEmptyResults) {
    database.exec(
        "CREATE TABLE t (\"we\"\"ird\" TEXT, n INTEGER, r REAL, e TEXT);"
        "INSERT INTO t VALUES ('a\"b\\c', 5, 1.5, '');"
        "INSERT INTO t VALUES (NULL, NULL, -0.25, char(9, 10, 13, 1, 31, 47));"
        "INSERT INTO t VALUES ('"
        "\xC3\xA9"
        "', 0, 100.0, NULL);");
    const std::string sql = "SELECT \"we\"\"ird\", n, r, e, n + 1 AS next FROM t ORDER BY rowid";
    const std::string expected =
        R"({"headers":["we\"ird","n","r","e","next"],"rows":[["a\"b\\c","5","1.5","","6"],[null,null,"-0.25","\t\n\r\u0001\u001f/",null],[")"
        "\xC3\xA9"
        R"(","0","100.0",null,"1"]]})";
    EXPECT_EQ(expected, viaTable(sql));
    EXPECT_EQ(expected, direct(sql));

    const std::string none = "SELECT n, e FROM t WHERE 0";
    EXPECT_EQ(R"({"headers":["n","e"],"rows":[]})", viaTable(none));
    EXPECT_EQ(viaTable(none), direct(none));
}

TEST_F(SameTextAsTheCore, ForTheSeededCallRecords) {
    testsupport::TempDatabase seeded;
    korvu::Korvu seededCore(seeded.path(), validator, 100);
    const std::string sql =
        "SELECT AcctId, start, exten.name as exten_name, src, dst, billsec, disposition, cost   FROM cdr "
        "LEFT JOIN exten ON exten.exten = src  ORDER BY start DESC";
    const auto connection = db::openDatabase(seeded.path(), SQLITE_OPEN_READWRITE, 1000);
    const auto first = db::prepare(*connection, sql);
    const std::string rendered = Worker::korvuDataToJsonString(*seededCore.performSelect(*first));
    const auto second = db::prepare(*connection, sql);
    EXPECT_EQ(rendered, seededCore.performSelectAndReturnString(*second, 100));
    EXPECT_NE(std::string::npos,
              rendered.find(R"(["5","2015-03-02 12:00:00",null,"555","101","10","ANSWERED","0.0"])"));
}

}  // namespace
