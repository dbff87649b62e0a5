#include <sqlite3.h>

#include <cmath>
#include <string>

#include "korvu/korvu/Korvu.h"
#include "korvu/korvu/SqlText.h"

namespace korvu {

namespace {

// "(" is part of the head, ")" closes the list.
std::string withIdList(const std::string& head, const std::list<long long>& ids) {
    return head + sqltext::joinedIds(ids, ", ") + ")";
}

int countOf(db::Stmt& statement) {
    return db::step(statement) == SQLITE_ROW ? db::columnInt(statement, 0) : 0;
}

const std::string kExtenCountById = "SELECT count(*) from exten where exten.id = ? ";
const std::string kExtenCountByIdAndExten =
    "SELECT count(*) from exten where exten.id = ? and exten.exten = ?";
const std::string kExtenCount = "SELECT count(*) from exten where exten.exten = ? ";
const std::string kExtenCountByPrepaid =
    "SELECT count(*) from exten where exten.id = ? and exten.prepaid = ? ";
const std::string kExtenListCount = "SELECT count(*) from exten where exten.id in (";

const std::string kGetExten =
    "select  exten.id, exten, outboundcid, name, email, dialplan, analog_phone, vm, sip, can_reinvite, iax2, "
    "t38, "
    "agent, nat, pickupgroup, delete_vm, dtmf_mode, video_call, permit_ip, provision_man, provision_mac, "
    "alaw, "
    "ulaw, g729, gsm, speex, h261, h263, h263p, h264, bill_status, total_charge, balance, limit_credit, "
    "prepaid, "
    "last_mod, active from exten where exten.exten = ?";

const std::string kGetExtensHead =
    "select\t id, exten.exten, name, active, bill_status, total_charge, limit_credit, balance, last_mod, "
    "prepaid  from exten ";
const std::string kGetExtensTail = " order by exten.exten ";

const std::string kUpdateExten =
    "UPDATE exten SET bill_status = ?, limit_credit = ?, prepaid = ?, last_mod = CURRENT_TIMESTAMP WHERE id "
    "IN (";
const std::string kUpdateExtenWithPass =
    "UPDATE exten SET bill_status = ?, limit_credit = ?, prepaid = ?, www_pass = ?, last_mod = "
    "CURRENT_TIMESTAMP "
    "WHERE (id = ?)";
const std::string kClearExten =
    "update exten set total_charge = 0, balance = 0, last_mod = CURRENT_TIMESTAMP where id IN (";
const std::string kChangeExtenPass =
    "UPDATE exten\tSET www_pass = ?, last_mod = CURRENT_TIMESTAMP WHERE id = ?";
const std::string kChargeExten =
    "update exten set total_charge = total_charge + ?, balance = balance + ?, last_mod = CURRENT_TIMESTAMP "
    "where id IN (";
const std::string kPrepaidOf = "select prepaid from exten where id =?";
// How many of the rows' totals are infinite: a sum beyond the largest double became so; abs() catches
// either sign.
const std::string kNonFiniteTotals =
    "select coalesce(sum((abs(total_charge) > 1.7976931348623157e308) + (abs(balance) > "
    "1.7976931348623157e308)), 0) from exten where id IN (";

const std::string kValueNotPositive = "value must be greater than zero";
const std::string kValueOutOfRange = "value is out of range";

// Splits the ids, in list order, by their prepaid value; other values, and rows deleted since the
// list check, join neither group. The read is prepared once and rewound for every id.
void groupByPrepaid(db::Database& connection, const std::list<long long>& ids,
                    std::list<long long>& prepaidIds, std::list<long long>& postpaidIds) {
    const auto statement = db::prepare(connection, kPrepaidOf);
    for (const long long id : ids) {
        db::bindInt(*statement, 1, id);
        if (db::step(*statement) == SQLITE_ROW) {
            // NULL reads as 0.
            const int prepaid = db::columnInt(*statement, 0);
            if (prepaid == 1) {
                prepaidIds.push_back(id);
            } else if (prepaid == 0) {
                postpaidIds.push_back(id);
            }
        }
        db::reset_stmt(*statement);
        db::clear_bindings(*statement);
    }
}

int nonFiniteTotals(db::Database& connection, const std::list<long long>& ids) {
    if (ids.empty()) {
        return 0;
    }
    const auto statement = db::prepare(connection, withIdList(kNonFiniteTotals, ids));
    return countOf(*statement);
}

}  // namespace

int Korvu::getExtenCountById(long long id, db::Database& connection) const {
    const auto statement = db::prepare(connection, kExtenCountById);
    db::bindInt(*statement, 1, id);
    return countOf(*statement);
}

int Korvu::getExtenCountByIdAndExten(long long id, const std::string& exten, db::Database& connection) const {
    const auto statement = db::prepare(connection, kExtenCountByIdAndExten);
    db::bindInt(*statement, 1, id);
    db::bindText(*statement, 2, exten);
    return countOf(*statement);
}

int Korvu::getExtenCount(const std::string& exten, db::Database& connection) const {
    const auto statement = db::prepare(connection, kExtenCount);
    db::bindText(*statement, 1, exten);
    return countOf(*statement);
}

int Korvu::getExtenCountByPrepaid(long long id, int prepaid, db::Database& connection) const {
    const auto statement = db::prepare(connection, kExtenCountByPrepaid);
    db::bindInt(*statement, 1, id);
    db::bindInt(*statement, 2, prepaid);
    return countOf(*statement);
}

bool Korvu::checkExtenList(const std::list<long long>& ids, db::Database& connection) const {
    // A repeated id is counted once by the database, so repetition fails the check as well.
    const auto statement = db::prepare(connection, withIdList(kExtenListCount, ids));
    return countOf(*statement) != static_cast<int>(ids.size());
}

std::unique_ptr<KorvuData> Korvu::getExtenData(const Auth& auth, const std::string& sql,
                                               const std::string& exten) const {
    return run(auth, false, [&](db::Database& connection) {
        if (exten.empty()) {
            throw InvalidArgException("exten is empty");
        }
        // Refused before the existence test, so a user cannot probe for other numbers.
        if (!auth.admin && exten != auth.name) {
            throw AccessDeniedException(mStrAccessDenied);
        }
        if (getExtenCount(exten, connection) == 0) {
            throw ExtenNotFoundException(mStrExtenNotFound);
        }
        const auto statement = db::prepare(connection, sql);
        db::bindText(*statement, 1, exten);
        return performSelect(*statement);
    });
}

std::unique_ptr<KorvuData> Korvu::getExten(const Auth& auth, const std::string& exten) const {
    return getExtenData(auth, kGetExten, exten);
}

std::unique_ptr<KorvuData> Korvu::getExtens(const Auth& auth, const std::string* exten,
                                            const std::string* billStatus, const int* prepaid) const {
    std::list<std::string> conditions;
    if (exten != nullptr) {
        conditions.push_back(" exten.exten  like '%'||?||'%' ");
    }
    if (billStatus != nullptr) {
        conditions.push_back(" bill_status = ? ");
    }
    if (prepaid != nullptr) {
        conditions.push_back(" prepaid = ? ");
    }
    const std::string sql = kGetExtensHead + sqltext::whereText(conditions) + kGetExtensTail;
    return run(auth, true, [&](db::Database& connection) {
        const auto statement = db::prepare(connection, sql);
        int k = 1;
        if (exten != nullptr) {
            db::bindText(*statement, k++, *exten);
        }
        if (billStatus != nullptr) {
            checkStringArgOrThrow("bill_status", *billStatus, {"LOCK", "FREE"});
            db::bindText(*statement, k++, *billStatus);
        }
        if (prepaid != nullptr) {
            checkIfZeroOrOneOrThrow("prepaid", *prepaid);
            db::bindInt(*statement, k, *prepaid);
        }
        return performSelect(*statement);
    });
}

void Korvu::updateExten(const Auth& auth, const std::list<long long>& ids, const std::string& billStatus,
                        double limitCredit, int prepaid) const {
    run(auth, true, [&](db::Database& connection) {
        if (checkExtenList(ids, connection)) {
            throw ExtenNotFoundException(mStrExtenNotFound);
        }
        const auto statement = db::prepare(connection, withIdList(kUpdateExten, ids));
        checkBillStatusOrThrow(billStatus);
        db::bindText(*statement, 1, billStatus);
        db::bindDouble(*statement, 2, limitCredit);
        checkIfZeroOrOneOrThrow("prepaid", prepaid);
        db::bindInt(*statement, 3, prepaid);
        db::step(*statement);
    });
}

void Korvu::updateExtenWithPass(const Auth& auth, long long id, const std::string& billStatus,
                                double limitCredit, int prepaid, const std::string& password) const {
    run(auth, true, [&](db::Database& connection) {
        // Tested first, as updateExten tests its list: the same request answers the same with or
        // without a new password.
        if (getExtenCountById(id, connection) == 0) {
            throw ExtenNotFoundException(mStrExtenNotFound);
        }
        const auto statement = db::prepare(connection, kUpdateExtenWithPass);
        checkBillStatusOrThrow(billStatus);
        db::bindText(*statement, 1, billStatus);
        db::bindDouble(*statement, 2, limitCredit);
        checkIfZeroOrOneOrThrow("prepaid", prepaid);
        db::bindInt(*statement, 3, prepaid);
        db::bindText(*statement, 4, password);
        db::bindInt(*statement, 5, id);
        db::step(*statement);
    });
}

void Korvu::clearExten(const Auth& auth, const std::list<long long>& ids) const {
    run(auth, true, [&](db::Database& connection) {
        if (checkExtenList(ids, connection)) {
            throw ExtenNotFoundException(mStrExtenNotFound);
        }
        const auto statement = db::prepare(connection, withIdList(kClearExten, ids));
        db::step(*statement);
    });
}

void Korvu::changeExtenPass(const Auth& auth, long long id, const std::string& newPass) const {
    run(auth, false, [&](db::Database& connection) {
        if (getExtenCountById(id, connection) == 0) {
            throw ExtenNotFoundException(mStrExtenNotFound);
        }
        if (newPass.empty()) {
            throw InvalidArgException("new pass is empty");
        }
        if (!auth.admin && getExtenCountByIdAndExten(id, auth.name, connection) == 0) {
            // This refusal has its own text, trailing blank included.
            throw AccessDeniedException("can not change the another exten password ");
        }
        const auto statement = db::prepare(connection, kChangeExtenPass);
        db::bindText(*statement, 1, newPass);
        db::bindInt(*statement, 2, id);
        db::step(*statement);
    });
}

void Korvu::performChargeExten(db::Database& connection, const std::list<long long>& ids,
                               double value) const {
    const auto statement = db::prepare(connection, withIdList(kChargeExten, ids));
    db::bindDouble(*statement, 1, value);
    db::bindDouble(*statement, 2, value);
    db::step(*statement);
}

void Korvu::chargeExten(const Auth& auth, const std::list<long long>& ids, double value) const {
    run(auth, true, [&](db::Database& connection) {
        if (checkExtenList(ids, connection)) {
            throw ExtenNotFoundException(mStrExtenNotFound);
        }
        // Written so that NaN fails too; an overlong digit string arrives here as infinity.
        if (!(value > 0)) {
            throw InvalidArgException(kValueNotPositive);
        }
        if (std::isinf(value)) {
            throw InvalidArgException(kValueOutOfRange);
        }
        std::list<long long> prepaidIds;
        std::list<long long> postpaidIds;
        groupByPrepaid(connection, ids, prepaidIds, postpaidIds);
        std::list<long long> charged = prepaidIds;
        charged.insert(charged.end(), postpaidIds.begin(), postpaidIds.end());
        // No ROLLBACK on failure: closing the connection discards the open transaction, and the frame
        // closes it before reporting. IMMEDIATE takes the write lock at once, waiting out another writer
        // (a deferred transaction that reads first would get SQLITE_BUSY at once instead): no write can
        // then land between the count below and the charge it judges. The grouping, read before, only
        // decides which of two like statements charges a row.
        db::exec(connection, "BEGIN IMMEDIATE");
        const int alreadyNonFinite = nonFiniteTotals(connection, charged);
        if (!prepaidIds.empty()) {
            performChargeExten(connection, prepaidIds, value);
        }
        if (!postpaidIds.empty()) {
            performChargeExten(connection, postpaidIds, value);
        }
        // A finite amount can still overflow a large total; such a charge must not be kept. A total
        // stored infinite elsewhere stays infinite and is no reason to refuse the other rows; adding a
        // finite amount never makes a total finite again, so a count that grew means an overflow.
        if (nonFiniteTotals(connection, charged) > alreadyNonFinite) {
            throw InvalidArgException(kValueOutOfRange);
        }
        db::exec(connection, "COMMIT");
    });
}

}  // namespace korvu
