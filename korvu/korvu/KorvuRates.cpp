#include <sqlite3.h>

#include <list>
#include <string>
#include <string_view>
#include <utility>

#include "korvu/korvu/Korvu.h"
#include "korvu/korvu/RateCollision.h"

namespace korvu {

namespace {

const char* const kDeleteRate = "DELETE FROM rate WHERE id = ?";
// Two blanks after UPDATE: the statement text is kept exactly as the exchange's tools know it.
const char* const kActivateRate = "UPDATE  rate SET active = ? WHERE id = ?";
const char* const kInsertRate =
    "INSERT INTO rate (prefix, number_length, rate, bill_unit, from_hour, to_hour, init_cost, init_time, "
    "extensions, active, last_mod) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, CURRENT_TIMESTAMP)";
const char* const kUpdateRate =
    "UPDATE rate SET prefix = ?, number_length = ?, rate = ?, bill_unit = ?, from_hour = ?, to_hour = ?, "
    "init_cost = ?, init_time = ?, extensions = ?, active = ?, last_mod = CURRENT_TIMESTAMP WHERE id = ?";
const char* const kRateCount = "SELECT count(*) from rate where rate.id = ? ";
const char* const kRateHistory = "SELECT * FROM rate_history WHERE id = ? ORDER BY last_mod DESC";
const char* const kAllRates = " SELECT * FROM rate ORDER BY id ASC, prefix ASC ";
const char* const kRatesOfExten =
    "SELECT rate.prefix, rate.number_length, rate.rate, rate.from_hour, rate.to_hour, rate.init_cost,   "
    "rate.init_time, rate.bill_unit, rate.last_mod  FROM rate, cache_rate_to_exten WHERE "
    "cache_rate_to_exten.rate_id = rate.id AND cache_rate_to_exten.exten = ? ";
const char* const kOnlyActive = " AND active != 0 ";
const char* const kActiveRates =
    "Select rate.id, rate.prefix, rate.number_length, rate.from_hour, rate.to_hour, rate.extensions from "
    "rate "
    "where rate.active = 1 order by rate.id";

// The value checks of adding and updating, made before the database is opened.
void checkRateValuesOrThrow(const int* numberLength, double rate, int billUnit, const std::string& fromHour,
                            const std::string& toHour, double initCost, double initTime) {
    Korvu::checkHourFormatOrThrow(fromHour);
    Korvu::checkHourFormatOrThrow(toHour);
    Korvu::checkIfNotNegativeOrThrow("rate", rate);
    Korvu::checkIfNotNegativeOrThrow("bill_unit", billUnit);
    Korvu::checkIfNotNegativeOrThrow("init_cost", initCost);
    Korvu::checkIfNotNegativeOrThrow("init_time", initTime);
    if (numberLength != nullptr) {
        Korvu::checkIfNotNegativeOrThrow("number_length", *numberLength);
    }
}

// Positions 1 to 9, the same in the insert and the update.
void bindRateValues(db::Stmt& statement, const std::string& prefix, const int* numberLength, double rate,
                    int billUnit, const std::string& fromHour, const std::string& toHour, double initCost,
                    double initTime, const std::string& extensions) {
    db::bindText(statement, 1, prefix);
    if (numberLength != nullptr) {
        db::bindInt(statement, 2, *numberLength);
    } else {
        db::bindNull(statement, 2);
    }
    db::bindDouble(statement, 3, rate);
    db::bindInt(statement, 4, billUnit);
    db::bindText(statement, 5, fromHour);
    db::bindText(statement, 6, toHour);
    db::bindDouble(statement, 7, initCost);
    db::bindDouble(statement, 8, initTime);
    db::bindText(statement, 9, extensions);
}

// Ends a rate write begun with BEGIN: any collision in the whole active set undoes it.
void commitUnlessCollidingOrThrow(db::Database& connection, int collisions) {
    if (collisions > 0) {
        db::exec(connection, "ROLLBACK");
        throw CorruptedRatesTableException("Corrupted rates table - " + std::to_string(collisions) +
                                           " are colliding");
    }
    db::exec(connection, "COMMIT");
}

// NULL in a text column of an active rate reads as the empty text, as NULL number_length reads as 0.
std::string_view textOrEmpty(db::Stmt& statement, int column) {
    const auto text = db::columnTextView(statement, column);
    return text ? *text : std::string_view();
}

// One record per comma-separated piece of the row's extensions, as splitExtensions cuts them. The
// check reads every active rate on each write, so the pieces are cut from SQLite's buffer in place.
void appendRateRecords(db::Stmt& statement, std::list<RateRecord>& records) {
    const int id = db::columnInt(statement, 0);
    const std::string_view prefix = textOrEmpty(statement, 1);
    const int numberLength = db::columnInt(statement, 2);
    const std::string_view fromHour = textOrEmpty(statement, 3);
    const std::string_view toHour = textOrEmpty(statement, 4);
    const std::string_view extensions = textOrEmpty(statement, 5);
    std::string_view::size_type start = 0;
    for (;;) {
        const auto comma = extensions.find(',', start);
        // Filled where it stands in the list: each text is copied once.
        RateRecord& record = records.emplace_back();
        record.id = id;
        record.prefix = prefix;
        record.numberLength = numberLength;
        record.fromHour = fromHour;
        record.toHour = toHour;
        record.extensions = extensions.substr(start, comma == std::string_view::npos ? comma : comma - start);
        if (comma == std::string_view::npos) return;
        start = comma + 1;
    }
}

}  // namespace

void Korvu::deleteRate(const Auth& auth, long long id) const {
    run(auth, true, [id](db::Database& connection) {
        const auto statement = db::prepare(connection, kDeleteRate);
        db::bindInt(*statement, 1, id);
        db::step(*statement);
        if (db::changes(connection) == 0) {
            throw RateNotFoundException(mStrRateNotFound);
        }
    });
}

void Korvu::activateRate(const Auth& auth, long long id, int active) const {
    run(auth, true, [&](db::Database& connection) {
        db::exec(connection, "BEGIN");
        const auto statement = db::prepare(connection, kActivateRate);
        checkIfZeroOrOneOrThrow("active", active);
        db::bindInt(*statement, 1, active);
        db::bindInt(*statement, 2, id);
        db::step(*statement);
        // An id that no rate has changed nothing; refused as deleting or updating it is.
        if (db::changes(connection) == 0) {
            db::exec(connection, "ROLLBACK");
            throw RateNotFoundException(mStrRateNotFound);
        }
        commitUnlessCollidingOrThrow(connection, checkRatesTable(auth, connection));
    });
}

void Korvu::addRate(const Auth& auth, const std::string& prefix, const int* numberLength, double rate,
                    int billUnit, const std::string& fromHour, const std::string& toHour, double initCost,
                    double initTime, const std::string& extensions, int active) const {
    checkRateValuesOrThrow(numberLength, rate, billUnit, fromHour, toHour, initCost, initTime);
    run(auth, true, [&](db::Database& connection) {
        db::exec(connection, "BEGIN");
        const auto statement = db::prepare(connection, kInsertRate);
        bindRateValues(*statement, prefix, numberLength, rate, billUnit, fromHour, toHour, initCost, initTime,
                       extensions);
        // Tested only now, inside the transaction: a wrong password is reported before a bad flag.
        checkIfZeroOrOneOrThrow("active", active);
        db::bindInt(*statement, 10, active);
        db::step(*statement);
        commitUnlessCollidingOrThrow(connection, checkRatesTable(auth, connection));
    });
}

void Korvu::updateRate(const Auth& auth, long long id, const std::string& prefix, const int* numberLength,
                       double rate, int billUnit, const std::string& fromHour, const std::string& toHour,
                       double initCost, double initTime, const std::string& extensions, int active) const {
    checkRateValuesOrThrow(numberLength, rate, billUnit, fromHour, toHour, initCost, initTime);
    run(auth, true, [&](db::Database& connection) {
        if (getRateCount(id, connection) <= 0) {
            throw RateNotFoundException(mStrRateNotFound);
        }
        db::exec(connection, "BEGIN");
        const auto statement = db::prepare(connection, kUpdateRate);
        bindRateValues(*statement, prefix, numberLength, rate, billUnit, fromHour, toHour, initCost, initTime,
                       extensions);
        checkIfZeroOrOneOrThrow("active", active);
        db::bindInt(*statement, 10, active);
        db::bindInt(*statement, 11, id);
        db::step(*statement);
        commitUnlessCollidingOrThrow(connection, checkRatesTable(auth, connection));
    });
}

std::unique_ptr<KorvuData> Korvu::getRateHistory(const Auth& auth, long long id) const {
    return run(auth, true, [this, id](db::Database& connection) {
        const auto statement = db::prepare(connection, kRateHistory);
        db::bindInt(*statement, 1, id);
        return performSelect(*statement);
    });
}

std::unique_ptr<KorvuData> Korvu::getRates(const Auth& auth) const {
    return run(auth, true, [this](db::Database& connection) {
        const auto statement = db::prepare(connection, kAllRates);
        return performSelect(*statement);
    });
}

std::unique_ptr<KorvuData> Korvu::getRate(const Auth& auth, const std::string& exten) const {
    std::string sql = kRatesOfExten;
    if (!isAdmin(auth)) {
        sql += kOnlyActive;  // an extension user sees only the rates in force
    }
    return getExtenData(auth, sql, exten);
}

int Korvu::getRateCount(long long id, db::Database& connection) const {
    const auto statement = db::prepare(connection, kRateCount);
    db::bindInt(*statement, 1, id);
    return db::step(*statement) == SQLITE_ROW ? db::columnInt(*statement, 0) : 0;
}

int Korvu::checkRatesTable(const Auth&, db::Database& connection) const {
    try {
        std::list<RateRecord> records;
        {
            const auto statement = db::prepare(connection, kActiveRates);
            while (db::step(*statement) == SQLITE_ROW) {
                appendRateRecords(*statement, records);
            }
        }
        return performCheckRatesTable(std::move(records));
    } catch (const db::DBException& error) {
        throw internalError(error);
    }
}

int Korvu::performCheckRatesTable(std::list<RateRecord> records) const {
    return countRateCollisions(records);
}

bool Korvu::checkRateHours(const std::string& fromHour1, const std::string& toHour1,
                           const std::string& fromHour2, const std::string& toHour2) {
    return rateHoursCompatible(fromHour1, toHour1, fromHour2, toHour2);
}

}  // namespace korvu
