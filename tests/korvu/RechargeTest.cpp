#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/korvu/ExtenTestHelpers.h"
#include "tests/korvu/KorvuFixture.h"

namespace {

using korvutest::adminAuth;
using korvutest::extenAuth;
using korvutest::rowsOf;
using korvutest::SqlTrace;
using testsupport::Row;
using testsupport::Rows;

const std::vector<std::string> kHeaders = {"id",    "exten_id",    "recharge_date",
                                           "exten", "pre_balance", "charge"};
const Row kRecharge3 = {"3", "2", "2015-03-06 09:00:00", "102", "0.0", "30.0"};
const Row kRecharge2 = {"2", "1", "2015-03-05 11:30:00", "101", "10.0", "2.5"};
const Row kRecharge1 = {"1", "1", "2015-02-01 10:00:00", "101", "0.0", "10.0"};

using RechargeHistory = korvutest::KorvuTest;

TEST_F(RechargeHistory, AdministratorReadsEverythingNewestFirst) {
    SqlTrace trace;
    const auto table = korvu.getRechargeHistory(adminAuth(), nullptr, nullptr, nullptr);
    trace.stop();
    EXPECT_EQ(kHeaders, table->headers);
    EXPECT_EQ((Rows{kRecharge3, kRecharge2, kRecharge1}), rowsOf(*table));
    EXPECT_EQ(
        std::vector<std::string>{" select id, exten_id, recharge_date, exten, pre_balance, charge  from "
                                 "recharge_history order by recharge_date desc "},
        trace.texts());
}

TEST_F(RechargeHistory, EveryConditionIsBoundInOrder) {
    const std::string exten = "101", from = "2015-02-01 10:00", to = "2015-03-05 11:30";
    SqlTrace trace;
    const auto table = korvu.getRechargeHistory(adminAuth(), &exten, &from, &to);
    trace.stop();
    // 10:00:00 lies inside the lower bound's minute and is in; 11:30:00 sorts after the upper bound and is
    // out.
    EXPECT_EQ((Rows{kRecharge1}), rowsOf(*table));
    const auto statements = trace.statements();
    ASSERT_EQ(1u, statements.size());
    EXPECT_EQ(
        " select id, exten_id, recharge_date, exten, pre_balance, charge  from recharge_history WHERE  exten "
        "= ?   "
        "AND  recharge_date >= ?   AND  recharge_date <= ?   order by recharge_date desc ",
        statements[0].sql);
    EXPECT_EQ(
        " select id, exten_id, recharge_date, exten, pre_balance, charge  from recharge_history WHERE  exten "
        "= '101'  "
        " AND  recharge_date >= '2015-02-01 10:00'   AND  recharge_date <= '2015-03-05 11:30'   order by "
        "recharge_date desc ",
        statements[0].expanded);
}

TEST_F(RechargeHistory, BoundsOfSixteenCharactersAreInclusive) {
    database.exec(
        "INSERT INTO recharge_history (id, exten_id, recharge_date, exten, pre_balance, charge) VALUES "
        "(4, 2, '2015-03-06 09:00', '102', 30.0, 5.0)");
    const std::string from = "2015-03-05 11:30", to = "2015-03-06 09:00";
    const Row recharge4 = {"4", "2", "2015-03-06 09:00", "102", "30.0", "5.0"};
    EXPECT_EQ((Rows{recharge4, kRecharge2}),
              rowsOf(*korvu.getRechargeHistory(adminAuth(), nullptr, &from, &to)));
    EXPECT_EQ((Rows{kRecharge3, recharge4, kRecharge2}),
              rowsOf(*korvu.getRechargeHistory(adminAuth(), nullptr, &from, nullptr)));
}

TEST_F(RechargeHistory, ExtensionUserReadsOnlyItsOwnHistory) {
    const std::string own = "101", other = "102", upper = "101 ";
    EXPECT_EQ((Rows{kRecharge2, kRecharge1}),
              rowsOf(*korvu.getRechargeHistory(extenAuth(), &own, nullptr, nullptr)));
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getRechargeHistory(extenAuth(), nullptr, nullptr, nullptr); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getRechargeHistory(extenAuth(), &other, nullptr, nullptr); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getRechargeHistory(extenAuth(), &upper, nullptr, nullptr); });
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.getRechargeHistory(Auth{"101", "", false}, &own, nullptr, nullptr);
    });
}

TEST_F(RechargeHistory, ExtensionWithoutRechargesGivesOnlyTheHeaders) {
    const std::string exten = "103";
    const auto table = korvu.getRechargeHistory(adminAuth(), &exten, nullptr, nullptr);
    EXPECT_EQ(kHeaders, table->headers);
    EXPECT_TRUE(table->rows.empty());
}

TEST_F(RechargeHistory, MalformedBoundsReportFromDateFirst) {
    const std::string good = "2015-03-01 00:00", badFrom = "2015-03-01", badTo = "2015-03-31 23:59:59",
                      other = "102";
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid date format: 2015-03-01",
                 [&] { korvu.getRechargeHistory(adminAuth(), nullptr, &badFrom, &badTo); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid date format: 2015-03-31 23:59:59",
                 [&] { korvu.getRechargeHistory(adminAuth(), nullptr, &good, &badTo); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getRechargeHistory(extenAuth(), &other, &badFrom, &badTo); });
}

TEST_F(RechargeHistory, MissingTableIsReportedBeforeAMalformedBound) {
    database.exec("DROP TABLE recharge_history");
    const std::string badFrom = "2015-03-01";
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  1: no such table: recharge_history",
                 [&] { korvu.getRechargeHistory(adminAuth(), nullptr, &badFrom, nullptr); });
}

TEST_F(RechargeHistory, RecordLimit) {
    EXPECT_EQ(3u, korvuWithLimit(3)->getRechargeHistory(adminAuth(), nullptr, nullptr, nullptr)->rows.size());
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 2. ",
                 [&] { korvuWithLimit(2)->getRechargeHistory(adminAuth(), nullptr, nullptr, nullptr); });
}

TEST_F(RechargeHistory, MissingDatabase) {
    const korvu::Korvu missing(korvutest::missingPath(), validator, 20000);
    const std::string own = "101";
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  14: unable to open database file",
                 [&] { missing.getRechargeHistory(extenAuth(), &own, nullptr, nullptr); });
    EXPECT_TRUE(validator.asked.empty());
}

}  // namespace
