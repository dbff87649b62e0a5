#include <climits>
#include <string>

#include "korvu/korvu/Korvu.h"
#include "korvu/korvu/SqlText.h"

namespace korvu {

namespace {

const std::string kDeleteAllCallLogs = "delete from cdr";
const std::string kDeleteCallLogsHead = "delete from cdr  where AcctId in ( ";

const std::string kStatisticsHead =
    "SELECT count(AcctId) AS calls, sum(duration) AS total_duration,  round(avg(duration)) AS avg_duration,  "
    "sum(cost) AS total_cost, ";
const std::string kCallLogsHead =
    "SELECT AcctId, start, exten.name as exten_name, src, dst, billsec, disposition, cost   FROM cdr LEFT "
    "JOIN "
    "exten ON exten.exten = src ";

// Ids go into the text: "( " before, "," between, " ) " after.
std::string deleteCallLogsText(const std::list<long long>& acctIds) {
    return kDeleteCallLogsHead + sqltext::joinedIds(acctIds, ",") + " ) ";
}

std::string statisticsText(bool monthly, const std::string* fromDate, const std::string* toDate,
                           const std::string* exten) {
    std::string text = kStatisticsHead;
    text += monthly ? " strftime('%Y-%m', start) " : " date(start) ";
    text += "AS date ";
    text += exten != nullptr ? ", src AS exten " : ", 'ALL' AS exten ";
    text += " FROM cdr ";
    // "date" is the grouping column here: cdr has no column of that name. Each bound is cut to the
    // group's own form, so the day (or month) of both bounds is counted whole; a day text compared
    // with a whole bound would sort before it and lose the first day.
    std::list<std::string> parts;
    if (fromDate != nullptr) {
        parts.push_back(monthly ? " ( date >=  strftime('%Y-%m', ?) ) " : " ( date >= substr(?, 1, 10) ) ");
    }
    if (toDate != nullptr) {
        parts.push_back(monthly ? " ( date <=  strftime('%Y-%m', ?)  ) " : " ( date <= substr(?, 1, 10) ) ");
    }
    if (exten != nullptr) {
        parts.push_back(" ( src = ? ) ");
    }
    if (!parts.empty()) {
        text += " WHERE ";
        const char* separator = "";
        for (const std::string& part : parts) {
            text += separator;
            text += part;
            separator = " AND ";
        }
    }
    text += " GROUP BY date ORDER BY date ASC, AcctId ASC ";
    return text;
}

std::string callLogsText(const std::string* exten, const std::string* fromDate, const std::string* toDate,
                         const std::string* filterName, unsigned recordLimit) {
    std::list<std::string> conditions;
    if (exten != nullptr) {
        conditions.push_back(" exten.exten = ? ");
    }
    if (fromDate != nullptr) {
        conditions.push_back(" start >= ? ");
    }
    if (toDate != nullptr) {
        conditions.push_back(" start <= ? ");
    }
    if (filterName != nullptr) {
        // Safe to write into the text: only the four column names are admitted before this.
        conditions.push_back(" " + *filterName + " like '%'||?||'%'");
    }
    std::string text = kCallLogsHead + sqltext::whereText(conditions);
    text += " ORDER BY start DESC ";
    // One row beyond the limit is enough to refuse; widened so the largest limit cannot wrap to LIMIT 0.
    text += " LIMIT " + std::to_string(static_cast<unsigned long long>(recordLimit) + 1) + "  ";
    return text;
}

}  // namespace

void Korvu::deleteCallLogs(const Auth& auth) const {
    run(auth, true, [](db::Database& connection) {
        const auto statement = db::prepare(connection, kDeleteAllCallLogs);
        db::step(*statement);
    });
}

void Korvu::deleteCallLogs(const Auth& auth, const std::list<long long>& acctIds) const {
    run(auth, true, [&acctIds](db::Database& connection) {
        if (acctIds.empty()) {
            throw InvalidArgException("acctIds is empty");
        }
        const auto statement = db::prepare(connection, deleteCallLogsText(acctIds));
        db::step(*statement);
    });
}

std::unique_ptr<KorvuData> Korvu::getStatistics(const Auth& auth, bool monthly, const std::string* fromDate,
                                                const std::string* toDate, const std::string* exten) const {
    return runForExten(auth, exten, [&](db::Database& connection) {
        // toDate is tested first, so with both bounds malformed its value is the one reported.
        if (toDate != nullptr) {
            checkDateFormatOrThrow(*toDate);
        }
        if (fromDate != nullptr) {
            checkDateFormatOrThrow(*fromDate);
        }
        const auto statement = db::prepare(connection, statisticsText(monthly, fromDate, toDate, exten));
        int k = 1;
        for (const std::string* value : {fromDate, toDate, exten}) {
            if (value != nullptr) {
                db::bindText(*statement, k++, *value);
            }
        }
        return performSelect(*statement);
    });
}

std::string Korvu::getCallLogs(const Auth& auth, const std::string* exten, const std::string* fromDate,
                               const std::string* toDate, const std::string* filterName,
                               const std::string* filterValue) const {
    return runForExten(
        auth, exten,
        [&](db::Database& connection) {
            if (filterName != nullptr) {
                checkStringArgOrThrow("filterName", *filterName, {"exten", "disposition", "dst", "src"});
                if (filterValue == nullptr) {
                    throw InvalidArgException("filter value is null");
                }
            }
            const auto statement =
                db::prepare(connection, callLogsText(exten, fromDate, toDate, filterName, recordLimit));
            const int k = sqltext::bindExtenAndDateBoundsOrThrow(*statement, exten, fromDate, toDate);
            // A value without a name meets no parameter; SQLite refuses the bind as a database error.
            if (filterValue != nullptr) {
                db::bindText(*statement, k, *filterValue);
            }
            const int limit =
                recordLimit > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(recordLimit);
            return performSelectAndReturnString(*statement, limit);
        },
        DbErrorEcho::alsoToStandardError);
}

}  // namespace korvu
