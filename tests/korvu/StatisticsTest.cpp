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
using testsupport::Rows;

const std::vector<std::string> kHeaders = {"calls",      "total_duration", "avg_duration",
                                           "total_cost", "date",           "exten"};

using Statistics = korvutest::KorvuTest;

TEST_F(Statistics, DailySumsOfEveryCall) {
    SqlTrace trace;
    const auto table = korvu.getStatistics(adminAuth(), false, nullptr, nullptr, nullptr);
    trace.stop();
    EXPECT_EQ(kHeaders, table->headers);
    const Rows expected = {
        {"1", "70", "70.0", "0.5", "2015-02-27", "ALL"},  {"1", "20", "20.0", "0.0", "2015-02-28", "ALL"},
        {"1", "35", "35.0", "0.0", "2015-03-01", "ALL"},  {"2", "145", "73.0", "1.25", "2015-03-02", "ALL"},
        {"2", "50", "25.0", "0.75", "2015-03-31", "ALL"},
    };
    EXPECT_EQ(expected, rowsOf(*table));
    EXPECT_EQ(
        std::vector<std::string>{
            "SELECT count(AcctId) AS calls, sum(duration) AS total_duration,  "
            "round(avg(duration)) AS avg_duration,  sum(cost) AS total_cost,  date(start) "
            "AS date , 'ALL' AS exten  FROM cdr  GROUP BY date ORDER BY date ASC, AcctId "
            "ASC "},
        trace.texts());
}

TEST_F(Statistics, DailyBoundsSkipTheFirstDayAndKeepTheLast) {
    const std::string from = "2015-03-01 00:00", to = "2015-03-31 23:59", toMidnight = "2015-03-31 00:00";
    const Rows expected = {
        {"2", "145", "73.0", "1.25", "2015-03-02", "ALL"},
        {"2", "50", "25.0", "0.75", "2015-03-31", "ALL"},
    };
    EXPECT_EQ(expected, rowsOf(*korvu.getStatistics(adminAuth(), false, &from, &to, nullptr)));
    EXPECT_EQ(expected, rowsOf(*korvu.getStatistics(adminAuth(), false, &from, &toMidnight, nullptr)));
}

TEST_F(Statistics, MonthlySumsWithEveryArgument) {
    const Rows all = {
        {"2", "90", "45.0", "0.5", "2015-02", "ALL"},
        {"5", "230", "46.0", "2.0", "2015-03", "ALL"},
    };
    EXPECT_EQ(all, rowsOf(*korvu.getStatistics(adminAuth(), true, nullptr, nullptr, nullptr)));

    const std::string from = "2015-03-01 00:00", to = "2015-03-31 23:59";
    EXPECT_EQ((Rows{{"5", "230", "46.0", "2.0", "2015-03", "ALL"}}),
              rowsOf(*korvu.getStatistics(adminAuth(), true, &from, &to, nullptr)));

    const std::string exten = "101";
    SqlTrace trace;
    const auto table = korvu.getStatistics(adminAuth(), true, &from, &to, &exten);
    trace.stop();
    EXPECT_EQ((Rows{{"2", "165", "83.0", "1.25", "2015-03", "101"}}), rowsOf(*table));
    const auto statements = trace.statements();
    ASSERT_EQ(1u, statements.size());
    EXPECT_EQ(
        "SELECT count(AcctId) AS calls, sum(duration) AS total_duration,  round(avg(duration)) AS "
        "avg_duration,  "
        "sum(cost) AS total_cost,  strftime('%Y-%m', start) AS date , src AS exten  FROM cdr  WHERE  ( date "
        ">=  "
        "strftime('%Y-%m', ?) )  AND  ( date <=  strftime('%Y-%m', ?)  )  AND  ( src = ? )  GROUP BY date "
        "ORDER BY "
        "date ASC, AcctId ASC ",
        statements[0].sql);
    EXPECT_EQ(
        "SELECT count(AcctId) AS calls, sum(duration) AS total_duration,  round(avg(duration)) AS "
        "avg_duration,  "
        "sum(cost) AS total_cost,  strftime('%Y-%m', start) AS date , src AS exten  FROM cdr  WHERE  ( date "
        ">=  "
        "strftime('%Y-%m', '2015-03-01 00:00') )  AND  ( date <=  strftime('%Y-%m', '2015-03-31 23:59')  )  "
        "AND  ( "
        "src = '101' )  GROUP BY date ORDER BY date ASC, AcctId ASC ",
        statements[0].expanded);
}

TEST_F(Statistics, DailyConditionsAreBoundInOrder) {
    const std::string from = "2015-02-01 00:00", to = "2015-03-02 00:00", exten = "101";
    SqlTrace trace;
    const auto table = korvu.getStatistics(adminAuth(), false, &from, &to, &exten);
    trace.stop();
    const Rows expected = {
        {"1", "70", "70.0", "0.5", "2015-02-27", "101"},
        {"1", "35", "35.0", "0.0", "2015-03-01", "101"},
        {"1", "130", "130.0", "1.25", "2015-03-02", "101"},
    };
    EXPECT_EQ(expected, rowsOf(*table));
    EXPECT_EQ(
        std::vector<std::string>{
            "SELECT count(AcctId) AS calls, sum(duration) AS total_duration,  round(avg(duration)) AS "
            "avg_duration,  sum(cost) AS total_cost,  date(start) AS date , src AS exten  FROM cdr  WHERE  ( "
            "date >= '2015-02-01 00:00' )  AND  ( date <= '2015-03-02 00:00' )  AND  ( src = '101' )  GROUP "
            "BY "
            "date ORDER BY date ASC, AcctId ASC "},
        trace.expandedTexts());
}

TEST_F(Statistics, MonthThirteenPassesTheShapeTest) {
    const std::string month13 = "2015-13-01 00:00";
    // strftime cannot read it, so no month matches; the daily form compares it as text.
    EXPECT_TRUE(korvu.getStatistics(adminAuth(), true, &month13, nullptr, nullptr)->rows.empty());
    EXPECT_TRUE(korvu.getStatistics(adminAuth(), true, nullptr, &month13, nullptr)->rows.empty());
    EXPECT_EQ(5u, korvu.getStatistics(adminAuth(), false, nullptr, &month13, nullptr)->rows.size());
    EXPECT_TRUE(korvu.getStatistics(adminAuth(), false, &month13, nullptr, nullptr)->rows.empty());
}

TEST_F(Statistics, ExtensionUserGetsOnlyItsOwnSums) {
    const std::string own = "101", other = "102", padded = "101 ";
    const auto table = korvu.getStatistics(extenAuth(), true, nullptr, nullptr, &own);
    EXPECT_EQ(
        (Rows{{"1", "70", "70.0", "0.5", "2015-02", "101"}, {"2", "165", "83.0", "1.25", "2015-03", "101"}}),
        rowsOf(*table));
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getStatistics(extenAuth(), false, nullptr, nullptr, nullptr); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getStatistics(extenAuth(), false, nullptr, nullptr, &other); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getStatistics(extenAuth(), false, nullptr, nullptr, &padded); });
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.getStatistics(Auth{"101", "x", false}, false, nullptr, nullptr, &own);
    });
    // A number without calls gives the headers and no rows.
    const std::string quiet = "999";
    const auto empty = korvu.getStatistics(adminAuth(), false, nullptr, nullptr, &quiet);
    EXPECT_EQ(kHeaders, empty->headers);
    EXPECT_TRUE(empty->rows.empty());
}

TEST_F(Statistics, MalformedBoundsReportToDateFirst) {
    const std::string good = "2015-03-01 00:00", badFrom = "2015-03-01", badTo = "2015-03-31 23:59:59",
                      other = "102";
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid date format: 2015-03-31 23:59:59",
                 [&] { korvu.getStatistics(adminAuth(), false, &badFrom, &badTo, nullptr); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid date format: 2015-03-01",
                 [&] { korvu.getStatistics(adminAuth(), true, &badFrom, &good, nullptr); });
    // The own-extension rule comes first.
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getStatistics(extenAuth(), false, &badFrom, &badTo, &other); });
}

TEST_F(Statistics, RecordLimit) {
    EXPECT_EQ(5u,
              korvuWithLimit(5)->getStatistics(adminAuth(), false, nullptr, nullptr, nullptr)->rows.size());
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 4. ",
                 [&] { korvuWithLimit(4)->getStatistics(adminAuth(), false, nullptr, nullptr, nullptr); });
}

TEST_F(Statistics, MissingDatabase) {
    const korvu::Korvu missing(korvutest::missingPath(), validator, 20000);
    testing::internal::CaptureStderr();
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  14: unable to open database file",
                 [&] { missing.getStatistics(adminAuth(), false, nullptr, nullptr, nullptr); });
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

}  // namespace
