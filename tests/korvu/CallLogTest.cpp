#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "tests/korvu/ExtenTestHelpers.h"
#include "tests/korvu/KorvuFixture.h"

namespace {

using korvutest::adminAuth;
using korvutest::extenAuth;
using korvutest::SqlTrace;
using testsupport::Rows;

const std::string kHeaders =
    R"({"headers":["AcctId","start","exten_name","src","dst","billsec","disposition","cost"],"rows":[)";
const std::string kRow7 = R"(["7","2015-03-31 23:59:59","Carol","103","0048221111111","0","BUSY","0.0"])";
const std::string kRow6 = R"(["6","2015-03-31 18:00:00","Bob","102","0048600100200","40","ANSWERED","0.75"])";
const std::string kRow5 = R"(["5","2015-03-02 12:00:00",null,"555","101","10","ANSWERED","0.0"])";
const std::string kRow4 =
    R"(["4","2015-03-02 08:30:00","Alice","101","0048227654321","120","ANSWERED","1.25"])";
const std::string kRow3 = R"(["3","2015-03-01 00:00:00","Alice","101","102","30","ANSWERED","0.0"])";
const std::string kRow2 = R"(["2","2015-02-28 23:59:30","Bob","102","0049301234567","0","NO ANSWER","0.0"])";
const std::string kRow1 =
    R"(["1","2015-02-27 10:15:00","Alice","101","0048221234567","60","ANSWERED","0.5"])";

std::string listing(const std::vector<std::string>& rows) {
    std::string text = kHeaders;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        text += (i > 0 ? "," : "") + rows[i];
    }
    return text + "]}";
}

const std::string kCallLogsHead =
    "SELECT AcctId, start, exten.name as exten_name, src, dst, billsec, disposition, cost   FROM cdr LEFT "
    "JOIN "
    "exten ON exten.exten = src ";

class CallLogTest : public korvutest::KorvuTest {
protected:
    Rows cdrRows() const { return database.query("SELECT * FROM cdr ORDER BY AcctId"); }
    std::vector<std::string> acctIds() const {
        std::vector<std::string> ids;
        for (const auto& row : database.query("SELECT AcctId FROM cdr ORDER BY AcctId")) {
            ids.push_back(*row[0]);
        }
        return ids;
    }
};

using GetCallLogs = CallLogTest;

TEST_F(GetCallLogs, AdministratorListsEveryCallNewestFirst) {
    SqlTrace trace;
    const std::string text = korvu.getCallLogs(adminAuth(), nullptr, nullptr, nullptr, nullptr, nullptr);
    trace.stop();
    // The call from 555 has no exten row, so its name is null.
    EXPECT_EQ(listing({kRow7, kRow6, kRow5, kRow4, kRow3, kRow2, kRow1}), text);
    EXPECT_EQ(std::vector<std::string>{kCallLogsHead + " ORDER BY start DESC  LIMIT 20001  "}, trace.texts());
}

TEST_F(GetCallLogs, StatementTextsWithEveryArgument) {
    const auto limited = korvuWithLimit(1000);
    {
        SqlTrace trace;
        limited->getCallLogs(adminAuth(), nullptr, nullptr, nullptr, nullptr, nullptr);
        trace.stop();
        EXPECT_EQ(
            std::vector<std::string>{"SELECT AcctId, start, exten.name as exten_name, src, dst, billsec, "
                                     "disposition, cost   FROM cdr LEFT JOIN exten ON exten.exten = src  "
                                     "ORDER BY start DESC  LIMIT 1001  "},
            trace.texts());
    }
    const std::string exten = "101", from = "2015-02-01 00:00", to = "2015-03-31 23:59", name = "dst",
                      value = "0048";
    SqlTrace trace;
    const std::string text = limited->getCallLogs(adminAuth(), &exten, &from, &to, &name, &value);
    trace.stop();
    EXPECT_EQ(listing({kRow4, kRow1}), text);
    const auto statements = trace.statements();
    ASSERT_EQ(1u, statements.size());
    EXPECT_EQ(
        "SELECT AcctId, start, exten.name as exten_name, src, dst, billsec, disposition, cost   FROM cdr "
        "LEFT JOIN "
        "exten ON exten.exten = src  WHERE  exten.exten = ?   AND  start >= ?   AND  start <= ?   AND  dst "
        "like "
        "'%'||?||'%'  ORDER BY start DESC  LIMIT 1001  ",
        statements[0].sql);
    EXPECT_EQ(kCallLogsHead +
                  " WHERE  exten.exten = '101'   AND  start >= '2015-02-01 00:00'   AND  start <= "
                  "'2015-03-31 23:59'   "
                  "AND  dst like '%'||'0048'||'%'  ORDER BY start DESC  LIMIT 1001  ",
              statements[0].expanded);
}

TEST_F(GetCallLogs, ExtensionUserSeesOnlyItsOwnCalls) {
    const std::string own = "101";
    EXPECT_EQ(listing({kRow4, kRow3, kRow1}),
              korvu.getCallLogs(extenAuth(), &own, nullptr, nullptr, nullptr, nullptr));
    for (const std::string other : {"102", "101 ", "555"}) {
        SCOPED_TRACE(other);
        EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                     [&] { korvu.getCallLogs(extenAuth(), &other, nullptr, nullptr, nullptr, nullptr); });
    }
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getCallLogs(extenAuth(), nullptr, nullptr, nullptr, nullptr, nullptr); });
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.getCallLogs(Auth{"101", "x", false}, &own, nullptr, nullptr, nullptr, nullptr);
    });
}

TEST_F(GetCallLogs, ANumberWithoutExtenRowIsNeverMatchedByTheExtenCondition) {
    const std::string unknown = "555";
    EXPECT_EQ(listing({}), korvu.getCallLogs(adminAuth(), &unknown, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(GetCallLogs, DateBoundsCompareAsText) {
    const std::string from = "2015-03-01 00:00", to = "2015-03-31 23:59";
    // 2015-03-01 00:00:00 sorts after its minute's bound and is in; 23:59:59 sorts after the upper bound and
    // is out.
    EXPECT_EQ(listing({kRow6, kRow5, kRow4, kRow3}),
              korvu.getCallLogs(adminAuth(), nullptr, &from, &to, nullptr, nullptr));
    database.exec("INSERT INTO cdr (AcctId, src, dst, start) VALUES (8, '555', '1', '2015-03-31 23:59')");
    const std::string text = korvu.getCallLogs(adminAuth(), nullptr, nullptr, &to, nullptr, nullptr);
    EXPECT_EQ(listing({R"(["8","2015-03-31 23:59",null,"555","1","0","","0.0"])", kRow6, kRow5, kRow4, kRow3,
                       kRow2, kRow1}),
              text);
}

TEST_F(GetCallLogs, FilterColumnsSearchSubstringsWithLike) {
    const auto filtered = [&](const std::string& name, const std::string& value) {
        return korvu.getCallLogs(adminAuth(), nullptr, nullptr, nullptr, &name, &value);
    };
    // LIKE ignores the case of ASCII letters.
    EXPECT_EQ(listing({kRow6, kRow5, kRow4, kRow3, kRow2, kRow1}), filtered("disposition", "answer"));
    EXPECT_EQ(listing({kRow7, kRow6, kRow4, kRow3, kRow2, kRow1}), filtered("src", "10"));
    EXPECT_EQ(listing({kRow7, kRow6, kRow4, kRow3, kRow2, kRow1}), filtered("exten", "1"));
    EXPECT_EQ(listing({kRow6, kRow5, kRow3}), filtered("dst", "10"));
    // Wildcards in the value keep their meaning.
    EXPECT_EQ(listing({kRow7, kRow6, kRow5, kRow4, kRow3, kRow2, kRow1}), filtered("disposition", "%"));
    EXPECT_EQ(listing({kRow2}), filtered("disposition", "O_A"));
    EXPECT_EQ(listing({}), filtered("dst", "xyz"));
}

TEST_F(GetCallLogs, RefusedFiltersInOrder) {
    const std::string src = "src", upper = "SRC", empty, start = "start", value = "1", badDate = "2015-03-01",
                      other = "102";
    EXPECT_ERROR(korvu::InvalidArgException, 4, "filter value is null",
                 [&] { korvu.getCallLogs(adminAuth(), nullptr, nullptr, nullptr, &src, nullptr); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid value for 'filterName'",
                 [&] { korvu.getCallLogs(adminAuth(), nullptr, nullptr, nullptr, &upper, nullptr); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid value for 'filterName'",
                 [&] { korvu.getCallLogs(adminAuth(), nullptr, nullptr, nullptr, &start, &value); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Filed 'filterName' cannot be empty",
                 [&] { korvu.getCallLogs(adminAuth(), nullptr, nullptr, nullptr, &empty, &value); });
    // The filter name is judged before the bounds, and the own extension before the filter name.
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid value for 'filterName'",
                 [&] { korvu.getCallLogs(adminAuth(), nullptr, &badDate, &badDate, &upper, &value); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getCallLogs(extenAuth(), &other, &badDate, nullptr, &upper, nullptr); });
}

TEST_F(GetCallLogs, MalformedBoundsReportFromDateFirst) {
    const std::string good = "2015-03-01 00:00", shortDate = "2015-03-01", seconds = "2015-03-01 00:00:00",
                      letterT = "2015-03-01T00:00";
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid date format: 2015-03-01",
                 [&] { korvu.getCallLogs(adminAuth(), nullptr, &shortDate, &seconds, nullptr, nullptr); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid date format: 2015-03-01 00:00:00",
                 [&] { korvu.getCallLogs(adminAuth(), nullptr, &good, &seconds, nullptr, nullptr); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid date format: 2015-03-01T00:00",
                 [&] { korvu.getCallLogs(adminAuth(), nullptr, nullptr, &letterT, nullptr, nullptr); });
}

TEST_F(GetCallLogs, FilterValueWithoutNameIsADatabaseError) {
    const std::string value = "1";
    testing::internal::CaptureStderr();
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  25: column index out of range",
                 [&] { korvu.getCallLogs(adminAuth(), nullptr, nullptr, nullptr, nullptr, &value); });
    EXPECT_EQ("SQL Error  25: column index out of range\n", testing::internal::GetCapturedStderr());
}

TEST_F(GetCallLogs, RecordLimitIsAppliedToTheListing) {
    EXPECT_EQ(listing({kRow7, kRow6, kRow5, kRow4, kRow3, kRow2, kRow1}),
              korvuWithLimit(7)->getCallLogs(adminAuth(), nullptr, nullptr, nullptr, nullptr, nullptr));
    {
        SqlTrace trace;
        EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 6. ", [&] {
            korvuWithLimit(6)->getCallLogs(adminAuth(), nullptr, nullptr, nullptr, nullptr, nullptr);
        });
        trace.stop();
        EXPECT_EQ(std::vector<std::string>{kCallLogsHead + " ORDER BY start DESC  LIMIT 7  "}, trace.texts());
    }
    const auto none = korvuWithLimit(0);
    const std::string unknown = "555";
    EXPECT_EQ(listing({}), none->getCallLogs(adminAuth(), &unknown, nullptr, nullptr, nullptr, nullptr));
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 0. ",
                 [&] { none->getCallLogs(adminAuth(), nullptr, nullptr, nullptr, nullptr, nullptr); });
}

TEST_F(GetCallLogs, TheLargestRecordLimitDoesNotWrapAround) {
    SqlTrace trace;
    const std::string text =
        korvuWithLimit(4294967295u)->getCallLogs(adminAuth(), nullptr, nullptr, nullptr, nullptr, nullptr);
    trace.stop();
    EXPECT_EQ(listing({kRow7, kRow6, kRow5, kRow4, kRow3, kRow2, kRow1}), text);
    EXPECT_EQ(std::vector<std::string>{kCallLogsHead + " ORDER BY start DESC  LIMIT 4294967296  "},
              trace.texts());
}

TEST_F(GetCallLogs, TextsAreEscapedAsJsonStrings) {
    database.exec(
        "DELETE FROM cdr; INSERT INTO cdr (AcctId, src, dst, start, disposition, cost) VALUES "
        "(1, '101', 'a\"b\\c' || char(9) || char(1), '2015-01-01 00:00', '', NULL)");
    EXPECT_EQ(kHeaders + R"(["1","2015-01-01 00:00","Alice","101","a\"b\\c\t\u0001","0","",null]]})",
              korvu.getCallLogs(adminAuth(), nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(GetCallLogs, MissingDatabaseIsReportedOnStandardErrorToo) {
    const korvu::Korvu missing(korvutest::missingPath(), validator, 20000);
    testing::internal::CaptureStderr();
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  14: unable to open database file",
                 [&] { missing.getCallLogs(adminAuth(), nullptr, nullptr, nullptr, nullptr, nullptr); });
    EXPECT_EQ("SQL Error  14: unable to open database file\n", testing::internal::GetCapturedStderr());

    // Only the listing echoes its database errors.
    testing::internal::CaptureStderr();
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  14: unable to open database file",
                 [&] { missing.deleteCallLogs(adminAuth()); });
    EXPECT_ERROR(korvu::InternalError, 1, "SQL Error  14: unable to open database file",
                 [&] { missing.deleteCallLogs(adminAuth(), {1}); });
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

using DeleteCallLogs = CallLogTest;

TEST_F(DeleteCallLogs, DeletesEveryRecord) {
    SqlTrace trace;
    korvu.deleteCallLogs(adminAuth());
    trace.stop();
    EXPECT_TRUE(cdrRows().empty());
    EXPECT_EQ(std::vector<std::string>{"delete from cdr"}, trace.texts());
    korvu.deleteCallLogs(adminAuth());
}

TEST_F(DeleteCallLogs, DeletesTheListedRecordsWrittenIntoTheText) {
    SqlTrace trace;
    korvu.deleteCallLogs(adminAuth(), {3, 17, -2});
    trace.stop();
    EXPECT_EQ(std::vector<std::string>{"delete from cdr  where AcctId in ( 3,17,-2 ) "}, trace.texts());
    EXPECT_EQ((std::vector<std::string>{"1", "2", "4", "5", "6", "7"}), acctIds());

    korvu.deleteCallLogs(adminAuth(), {5, 5, 1});
    EXPECT_EQ((std::vector<std::string>{"2", "4", "6", "7"}), acctIds());
    const Rows before = cdrRows();
    korvu.deleteCallLogs(adminAuth(), {99});
    EXPECT_EQ(before, cdrRows());
}

TEST_F(DeleteCallLogs, RefusalsLeaveEveryRecord) {
    const Rows before = cdrRows();
    EXPECT_ERROR(korvu::InvalidArgException, 4, "acctIds is empty",
                 [&] { korvu.deleteCallLogs(adminAuth(), {}); });
    // Access is decided before the list is looked at.
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.deleteCallLogs(extenAuth(), {}); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.deleteCallLogs(extenAuth(), {1}); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.deleteCallLogs(extenAuth()); });
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.deleteCallLogs(Auth{"admin", "x", true}, {});
    });
    EXPECT_ERROR(korvu::AuthException, 6, "Invalid user or password", [&] {
        korvu.deleteCallLogs(Auth{"101", "x", false});
    });
    EXPECT_EQ(before, cdrRows());
}

}  // namespace
