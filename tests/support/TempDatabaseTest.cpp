#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "tests/support/ExpectError.h"
#include "tests/support/TempDatabase.h"

namespace {

using testsupport::Row;
using testsupport::Rows;
using testsupport::TempDatabase;

bool fileExists(const std::string& path) { return std::ifstream(path).good(); }

TEST(TempDatabaseFile, IsUniqueAndRemovedOnDestruction) {
    std::string first;
    {
        const TempDatabase a;
        const TempDatabase b;
        first = a.path();
        EXPECT_NE(a.path(), b.path());
        EXPECT_EQ(0u, a.path().rfind(testing::TempDir(), 0));
        EXPECT_TRUE(fileExists(a.path()));
    }
    EXPECT_FALSE(fileExists(first));
}

TEST(TempDatabaseFile, SeedIsOptional) {
    const TempDatabase empty(false);
    EXPECT_EQ(std::optional<std::string>("0"), empty.queryOne("SELECT count(*) FROM exten"));
    const TempDatabase seeded;
    EXPECT_EQ(std::optional<std::string>("3"), seeded.queryOne("SELECT count(*) FROM exten"));
}

TEST(TempDatabaseAccess, QueryReadsNullsAndTextsOfTheSeed) {
    const TempDatabase db;
    const Rows rows =
        db.query("SELECT id, exten, www_pass, bill_status, prepaid, total_charge FROM exten ORDER BY id");
    const Rows expected{{"1", "101", "secret101", "FREE", "0", "12.5"},
                        {"2", "102", "secret102", "LOCK", "1", "30.0"},
                        {"3", "103", "secret103", "FREE", "1", "0.0"}};
    EXPECT_EQ(expected, rows);
    EXPECT_EQ((Rows{{"0049", std::nullopt}}),
              db.query("SELECT prefix, number_length FROM rate WHERE id = 2"));
    EXPECT_EQ(std::optional<std::string>("EUR"),
              db.queryOne("SELECT settings_value FROM settings WHERE settings_key = 'CURRENCY'"));
    EXPECT_EQ(std::nullopt, db.queryOne("SELECT NULL"));
}

TEST(TempDatabaseAccess, ExecChangesAreSeenByQueryAndFailuresThrow) {
    const TempDatabase db;
    db.exec("UPDATE exten SET balance = 7.5 WHERE id = 1; DELETE FROM cdr WHERE AcctId > 2");
    EXPECT_EQ(std::optional<std::string>("7.5"), db.queryOne("SELECT balance FROM exten WHERE id = 1"));
    EXPECT_EQ(std::optional<std::string>("2"), db.queryOne("SELECT count(*) FROM cdr"));

    EXPECT_THROW(db.exec("UPDATE no_such_table SET a = 1"), std::runtime_error);
    EXPECT_THROW(db.query("SELECT nothing FROM exten"), std::runtime_error);
    EXPECT_THROW(db.queryOne("SELECT id FROM exten WHERE id = 99"), std::runtime_error);
    // query() reads through a read-only connection.
    EXPECT_THROW(db.query("DELETE FROM exten"), std::runtime_error);
    EXPECT_EQ(std::optional<std::string>("3"), db.queryOne("SELECT count(*) FROM exten"));
}

// Every statement text of the billing core must prepare against the schema; a missing or
// ambiguous column shows up here rather than in some operation's test.
TEST(TestSchema, PreparesEveryStatementOfTheBillingCore) {
    const TempDatabase db;
    const char* const statements[] = {
        "SELECT count(*) FROM exten where exten = ? and www_pass = ?",
        "DELETE FROM rate WHERE id = ?",
        "UPDATE  rate SET active = ? WHERE id = ?",
        "INSERT INTO rate (prefix, number_length, rate, bill_unit, from_hour, to_hour, init_cost, init_time, "
        "extensions, active, last_mod) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, CURRENT_TIMESTAMP)",
        "UPDATE rate SET prefix = ?, number_length = ?, rate = ?, bill_unit = ?, from_hour = ?, to_hour = ?, "
        "init_cost = ?, init_time = ?, extensions = ?, active = ?, last_mod = CURRENT_TIMESTAMP WHERE id = ?",
        "SELECT count(*) from rate where rate.id = ? ",
        "SELECT * FROM rate_history WHERE id = ? ORDER BY last_mod DESC",
        " SELECT * FROM rate ORDER BY id ASC, prefix ASC ",
        "SELECT rate.prefix, rate.number_length, rate.rate, rate.from_hour, rate.to_hour, rate.init_cost,   "
        "rate.init_time, rate.bill_unit, rate.last_mod  FROM rate, cache_rate_to_exten WHERE "
        "cache_rate_to_exten.rate_id = rate.id AND cache_rate_to_exten.exten = ?  AND active != 0 ",
        "Select rate.id, rate.prefix, rate.number_length, rate.from_hour, rate.to_hour, rate.extensions from "
        "rate where rate.active = 1 order by rate.id",
        "SELECT count(*) from exten where exten.id = ? ",
        "SELECT count(*) from exten where exten.id = ? and exten.exten = ?",
        "SELECT count(*) from exten where exten.exten = ? ",
        "SELECT count(*) from exten where exten.id = ? and exten.prepaid = ? ",
        "SELECT count(*) from exten where exten.id in (1, -2)",
        "select  exten.id, exten, outboundcid, name, email, dialplan, analog_phone, vm, sip, can_reinvite, "
        "iax2, "
        "t38, agent, nat, pickupgroup, delete_vm, dtmf_mode, video_call, permit_ip, provision_man, "
        "provision_mac, "
        "alaw, ulaw, g729, gsm, speex, h261, h263, h263p, h264, bill_status, total_charge, balance, "
        "limit_credit, "
        "prepaid, last_mod, active from exten where exten.exten = ?",
        "select\t id, exten.exten, name, active, bill_status, total_charge, limit_credit, balance, last_mod, "
        "prepaid  from exten  WHERE  exten.exten  like '%'||?||'%'  AND  bill_status = ?  AND  prepaid = ?  "
        "order by exten.exten ",
        "UPDATE exten SET bill_status = ?, limit_credit = ?, prepaid = ?, last_mod = CURRENT_TIMESTAMP WHERE "
        "id "
        "IN (1, 2)",
        "UPDATE exten SET bill_status = ?, limit_credit = ?, prepaid = ?, www_pass = ?, last_mod = "
        "CURRENT_TIMESTAMP WHERE (id = ?)",
        "update exten set total_charge = 0, balance = 0, last_mod = CURRENT_TIMESTAMP where id IN (1)",
        "UPDATE exten\tSET www_pass = ?, last_mod = CURRENT_TIMESTAMP WHERE id = ?",
        "update exten set total_charge = total_charge + ?, balance = balance + ?, last_mod = "
        "CURRENT_TIMESTAMP "
        "where id IN ()",
        "select prepaid from exten where id =?",
        "delete from cdr",
        "delete from cdr  where AcctId in ( 3,17,-2 ) ",
        "SELECT count(AcctId) AS calls, sum(duration) AS total_duration,  round(avg(duration)) AS "
        "avg_duration,  "
        "sum(cost) AS total_cost,  strftime('%Y-%m', start) AS date , src AS exten  FROM cdr  WHERE  ( date "
        ">=  "
        "strftime('%Y-%m', ?) )  AND  ( date <=  strftime('%Y-%m', ?)  )  AND  ( src = ? )  GROUP BY date "
        "ORDER "
        "BY date ASC, AcctId ASC ",
        "SELECT AcctId, start, exten.name as exten_name, src, dst, billsec, disposition, cost   FROM cdr "
        "LEFT "
        "JOIN exten ON exten.exten = src  WHERE  exten.exten = ?   AND  start >= ?   AND  start <= ?   AND  "
        "dst "
        "like '%'||?||'%'  ORDER BY start DESC  LIMIT 1001  ",
        "SELECT AcctId FROM cdr LEFT JOIN exten ON exten.exten = src WHERE  exten like '%'||?||'%' AND  "
        "disposition like '%'||?||'%' AND  src like '%'||?||'%'",
        " select id, exten_id, recharge_date, exten, pre_balance, charge  from recharge_history WHERE  exten "
        "= ? "
        "  AND  recharge_date >= ?   AND  recharge_date <= ?   order by recharge_date desc ",
        "select settings_key, settings_value from settings",
        "update settings set settings_value = ? where  settings_key = 'CURRENCY' ",
        " SELECT key, value FROM help where lang=?",
    };
    sqlite3* raw = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(db.path().c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr));
    for (const char* sql : statements) {
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(raw, sql, -1, &statement, nullptr))
            << sqlite3_errmsg(raw) << "\n  in: " << sql;
        sqlite3_finalize(statement);
    }
    sqlite3_close(raw);
}

// The seed's call records and the statistics statement: the documented seed contents that
// other tests rely on.
TEST(TestSchema, SeedGivesTheDocumentedDailySums) {
    const TempDatabase db;
    const Rows expected{{"1", "70", "70.0", "0.5", "2015-02-27", "ALL"},
                        {"1", "20", "20.0", "0.0", "2015-02-28", "ALL"},
                        {"1", "35", "35.0", "0.0", "2015-03-01", "ALL"},
                        {"2", "145", "73.0", "1.25", "2015-03-02", "ALL"},
                        {"2", "50", "25.0", "0.75", "2015-03-31", "ALL"}};
    EXPECT_EQ(
        expected,
        db.query("SELECT count(AcctId) AS calls, sum(duration) AS total_duration,  round(avg(duration)) "
                 "AS avg_duration,  sum(cost) AS total_cost,  date(start) AS date , 'ALL' AS exten  FROM "
                 "cdr  GROUP BY date ORDER BY date ASC, AcctId ASC "));
}

struct Coded : std::exception {
    int code;
    std::string message;
    Coded(int c, std::string m) : code(c), message(std::move(m)) {}
    int errorCode() const { return code; }
    const std::string& errorMessage() const { return message; }
    const char* what() const noexcept override { return message.c_str(); }
};

TEST(ExpectErrorHelper, PassesOnlyForTheExactCodeAndMessage) {
    testsupport::expectError<Coded>(6, "Invalid user or password",
                                    [] { throw Coded(6, "Invalid user or password"); });
    EXPECT_NONFATAL_FAILURE(testsupport::expectError<Coded>(6, "x", [] { throw Coded(7, "x"); }),
                            "error code of");
    EXPECT_NONFATAL_FAILURE(testsupport::expectError<Coded>(6, "x", [] { throw Coded(6, "x "); }),
                            "error message of");
    EXPECT_NONFATAL_FAILURE(testsupport::expectError<Coded>(6, "x", [] {}), "nothing was thrown");
    EXPECT_NONFATAL_FAILURE(
        testsupport::expectError<Coded>(6, "x", [] { throw std::runtime_error("other"); }),
        "std::runtime_error was thrown: other");
    EXPECT_NONFATAL_FAILURE(testsupport::expectError<Coded>(6, "x", [] { throw 5; }),
                            "not derived from std::exception");
}

}  // namespace
