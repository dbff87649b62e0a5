#include <string>

#include "korvu/korvu/Korvu.h"
#include "korvu/korvu/SqlText.h"

namespace korvu {

namespace {

const std::string kRechargeHistoryHead =
    " select id, exten_id, recharge_date, exten, pre_balance, charge  from recharge_history";
const std::string kRechargeHistoryTail = " order by recharge_date desc ";

std::string rechargeHistoryText(const std::string* exten, const std::string* fromDate,
                                const std::string* toDate) {
    std::list<std::string> conditions;
    if (exten != nullptr) {
        conditions.push_back(" exten = ? ");
    }
    if (fromDate != nullptr) {
        conditions.push_back(" recharge_date >= ? ");
    }
    if (toDate != nullptr) {
        conditions.push_back(" recharge_date <= ? ");
    }
    return kRechargeHistoryHead + sqltext::whereText(conditions) + kRechargeHistoryTail;
}

}  // namespace

std::unique_ptr<KorvuData> Korvu::getRechargeHistory(const Auth& auth, const std::string* exten,
                                                     const std::string* fromDate,
                                                     const std::string* toDate) const {
    return runForExten(auth, exten, [&](db::Database& connection) {
        const auto statement = db::prepare(connection, rechargeHistoryText(exten, fromDate, toDate));
        sqltext::bindExtenAndDateBoundsOrThrow(*statement, exten, fromDate, toDate);
        return performSelect(*statement);
    });
}

}  // namespace korvu
