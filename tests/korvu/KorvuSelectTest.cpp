#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "db/Database.h"
#include "db/Stmt.h"
#include "tests/korvu/KorvuFixture.h"

namespace {

using korvutest::KorvuTest;

// Counts 1..n in a column named x.
std::string numbers(int n) {
    return "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " + std::to_string(n) +
           ") SELECT x FROM n";
}

class ResultTable : public KorvuTest {
protected:
    std::unique_ptr<db::Database> connection =
        db::openDatabase(database.path(), SQLITE_OPEN_READWRITE, 30000);

    std::unique_ptr<korvu::KorvuData> select(const korvu::Korvu& core, const std::string& sql) {
        const auto statement = db::prepare(*connection, sql);
        return core.performSelect(*statement);
    }
    std::string selectJson(const korvu::Korvu& core, const std::string& sql, int limit) {
        const auto statement = db::prepare(*connection, sql);
        return core.performSelectAndReturnString(*statement, limit);
    }
};

TEST_F(ResultTable, CellsAreTextOrNull) {
    const auto table = select(korvu, "SELECT 1 AS a, NULL AS b, '' AS c, 2.5, 'x' AS \"q\"\"uote\"");
    const std::vector<std::string> headers = {"a", "b", "c", "2.5", "q\"uote"};
    EXPECT_EQ(headers, table->headers);
    ASSERT_EQ(1u, table->rows.size());
    const auto& row = table->rows[0];
    ASSERT_EQ(5u, row.size());
    EXPECT_FALSE(row[0].isNull());
    EXPECT_EQ("1", row[0].str());
    EXPECT_TRUE(row[1].isNull());
    EXPECT_EQ("", row[1].str());
    EXPECT_FALSE(row[2].isNull());
    EXPECT_EQ("", row[2].str());
    EXPECT_EQ("2.5", row[3].str());
    EXPECT_EQ("x", row[4].str());
}

TEST_F(ResultTable, NoRowsKeepsTheColumnNames) {
    const auto table = select(korvu, "SELECT key, value FROM help WHERE lang = 'xx'");
    const std::vector<std::string> headers = {"key", "value"};
    EXPECT_EQ(headers, table->headers);
    EXPECT_TRUE(table->rows.empty());
    EXPECT_EQ(R"({"headers":["key","value"],"rows":[]})",
              selectJson(korvu, "SELECT key, value FROM help WHERE lang = 'xx'", 20000));
}

TEST_F(ResultTable, RowsComeInStatementOrder) {
    const auto table = select(korvu, "SELECT exten, www_pass FROM exten ORDER BY id DESC");
    ASSERT_EQ(3u, table->rows.size());
    EXPECT_EQ("103", table->rows[0][0].str());
    EXPECT_EQ("secret102", table->rows[1][1].str());
    EXPECT_EQ("101", table->rows[2][0].str());
}

TEST_F(ResultTable, ExactlyTheRecordLimitIsReturnedAndOneMoreIsRefused) {
    const auto table = select(korvu, numbers(20000));
    ASSERT_EQ(20000u, table->rows.size());
    EXPECT_EQ("20000", table->rows.back()[0].str());

    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 20000. ",
                 [&] { select(korvu, numbers(20001)); });
}

TEST_F(ResultTable, SmallLimitsOnBothReaders) {
    const auto three = korvuWithLimit(3);
    EXPECT_EQ(3u, select(*three, numbers(3))->rows.size());
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 3. ",
                 [&] { select(*three, numbers(4)); });

    EXPECT_EQ(R"({"headers":["x"],"rows":[["1"],["2"],["3"]]})", selectJson(*three, numbers(3), 3));
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 3. ",
                 [&] { selectJson(*three, numbers(4), 3); });
}

TEST_F(ResultTable, LimitZeroPassesOnlyAnEmptyResult) {
    const auto none = korvuWithLimit(0);
    EXPECT_TRUE(select(*none, "SELECT x FROM (SELECT 1 AS x) WHERE x = 2")->rows.empty());
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 0. ",
                 [&] { select(*none, numbers(1)); });
    EXPECT_EQ(R"({"headers":["x"],"rows":[]})", selectJson(*none, "SELECT 1 AS x WHERE 0", 0));
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 0. ",
                 [&] { selectJson(*none, numbers(1), 0); });
}

TEST_F(ResultTable, RefusalAlwaysNamesTheRecordLimit) {
    const auto seven = korvuWithLimit(7);
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 7. ", [&] {
        const auto statement = db::prepare(*connection, numbers(2));
        seven->performSelect(*statement, 1);
    });
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 7. ",
                 [&] { selectJson(*seven, numbers(2), 1); });
}

TEST_F(ResultTable, HugeRecordLimitDoesNotRefuseEverything) {
    const auto huge = korvuWithLimit(4000000000u);
    EXPECT_EQ(2u, select(*huge, numbers(2))->rows.size());
}

TEST_F(ResultTable, JsonTextIsExact) {
    EXPECT_EQ(R"({"headers":["a","b"],"rows":[["1",null],["2","x"]]})",
              selectJson(korvu, "SELECT 1 AS a, NULL AS b UNION ALL SELECT 2, 'x'", 20000));
    EXPECT_EQ(R"({"headers":["e","i","r"],"rows":[["","5","2.5"]]})",
              selectJson(korvu, "SELECT '' AS e, 5 AS i, 2.5 AS r", 20000));
}

TEST_F(ResultTable, JsonTextEscapesNamesAndValues) {
    const std::string sql =
        "SELECT 'q\"b\\s/' || char(9) || char(10) || char(13) || char(8) || char(12) || char(1) || char(31) "
        "|| char(127) AS \"we\"\"ird\\\", 'żółw' AS u";
    EXPECT_EQ(
        "{\"headers\":[\"we\\\"ird\\\\\",\"u\"],"
        "\"rows\":[[\"q\\\"b\\\\s/\\t\\n\\r\\b\\f\\u0001\\u001f\x7f\",\"żółw\"]]}",
        selectJson(korvu, sql, 20000));
}

TEST_F(ResultTable, FailingStepPassesTheDatabaseError) {
    const std::string overflow =
        "SELECT CASE WHEN x = 2 THEN abs(-9223372036854775807 - 1) ELSE x END AS v FROM (" + numbers(3) + ")";
    for (int json = 0; json < 2; ++json) {
        try {
            if (json) {
                selectJson(korvu, overflow, 20000);
            } else {
                select(korvu, overflow);
            }
            FAIL() << "no database error";
        } catch (const db::DBException& e) {
            EXPECT_STREQ("SQL Error  1: integer overflow", e.what());
        }
    }
}

TEST(NullableString, KeepsTextAndFlagApart) {
    const korvu::NullableString none;
    EXPECT_TRUE(none.isNull());
    EXPECT_EQ("", none.str());

    const korvu::NullableString fromNull{std::unique_ptr<std::string>()};
    EXPECT_TRUE(fromNull.isNull());
    EXPECT_EQ("", fromNull.str());

    korvu::NullableString value{std::make_unique<std::string>("")};
    EXPECT_FALSE(value.isNull());
    value.setStr("abc");
    EXPECT_FALSE(value.isNull());
    value.setNull(true);
    EXPECT_EQ("abc", value.str());
    value.str() += "d";
    EXPECT_EQ("abcd", value.str());

    const korvu::NullableString flagged("x", true);
    EXPECT_TRUE(flagged.isNull());
    EXPECT_EQ("x", flagged.str());
}

}  // namespace
