// Bare loops over the SQLite C interface: per operation they open the database, run exactly the
// statements the service runs for the same request (the extension user's password lookup included)
// and close it again, with nothing of the product in between. The call-record loop also writes the
// rows as the same JSON text, escaping in place.

#include <sqlite3.h>

#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "bench/BenchTool.h"
#include "bench/BenchUtil.h"

namespace bench {

namespace {

// Opened as the service opens: read-write, never creating, 30 s busy time-out.
constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;

const char* const kExtenAuth = "SELECT count(*) FROM exten where exten = ? and www_pass = ?";
const char* const kSettings = "select settings_key, settings_value from settings";
// The listing statement as the service builds it for a lower date bound only.
const char* const kCallLogs =
    "SELECT AcctId, start, exten.name as exten_name, src, dst, billsec, disposition, cost   FROM cdr LEFT "
    "JOIN "
    "exten ON exten.exten = src  WHERE  start >= ?  ORDER BY start DESC  LIMIT 20001  ";
const char* const kInsertRate =
    "INSERT INTO rate (prefix, number_length, rate, bill_unit, from_hour, to_hour, init_cost, init_time, "
    "extensions, active, last_mod) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, CURRENT_TIMESTAMP)";
const char* const kActivateRate = "UPDATE  rate SET active = ? WHERE id = ?";
const char* const kActiveRates =
    "Select rate.id, rate.prefix, rate.number_length, rate.from_hour, rate.to_hour, rate.extensions from "
    "rate "
    "where rate.active = 1 order by rate.id";
const char* const kExtenListCount = "SELECT count(*) from exten where exten.id in (";
const char* const kPrepaidOf = "select prepaid from exten where id =?";
const char* const kChargeExten =
    "update exten set total_charge = total_charge + ?, balance = balance + ?, last_mod = CURRENT_TIMESTAMP "
    "where id IN (";
const char* const kNonFiniteTotals =
    "select count(*) from exten where (abs(total_charge) > 1.7976931348623157e308 or abs(balance) > "
    "1.7976931348623157e308) and id IN (";

void bindText(sqlite3_stmt* s, int i, const std::string& v) {
    sqlite3_bind_text(s, i, v.c_str(), -1, SQLITE_TRANSIENT);
}

int stepOrDie(sqlite3* db, sqlite3_stmt* s) {
    const int result = sqlite3_step(s);
    if (result != SQLITE_ROW && result != SQLITE_DONE) die(std::string("step: ") + sqlite3_errmsg(db));
    return result;
}

int countOf(sqlite3* db, const std::string& sql) {
    const auto s = prepareOrDie(db, sql);
    return stepOrDie(db, s.get()) == SQLITE_ROW ? sqlite3_column_int(s.get(), 0) : 0;
}

bool extenAuth(sqlite3* db, const std::string& user, const std::string& pass) {
    const auto s = prepareOrDie(db, kExtenAuth);
    bindText(s.get(), 1, user);
    bindText(s.get(), 2, pass);
    return stepOrDie(db, s.get()) == SQLITE_ROW && sqlite3_column_int(s.get(), 0) == 1;
}

// Reads every cell of a result the way a result-table reader must: names first, then each value's text.
std::uint64_t readTable(sqlite3* db, sqlite3_stmt* s) {
    std::uint64_t bytes = 0;
    const int columns = sqlite3_column_count(s);
    for (int i = 0; i < columns; ++i) bytes += std::strlen(sqlite3_column_name(s, i));
    while (stepOrDie(db, s) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            if (sqlite3_column_text(s, i) != nullptr)
                bytes += static_cast<std::uint64_t>(sqlite3_column_bytes(s, i));
        }
    }
    return bytes;
}

// The collision check's read: every active rate's key and hours.
std::uint64_t readActiveRates(sqlite3* db) {
    const auto s = prepareOrDie(db, kActiveRates);
    std::uint64_t bytes = 0;
    while (stepOrDie(db, s.get()) == SQLITE_ROW) {
        bytes += static_cast<std::uint64_t>(sqlite3_column_int(s.get(), 0) != 0);
        for (const int i : {1, 3, 4, 5}) {
            if (sqlite3_column_text(s.get(), i) != nullptr)
                bytes += static_cast<std::uint64_t>(sqlite3_column_bytes(s.get(), i));
        }
        bytes += static_cast<std::uint64_t>(sqlite3_column_int(s.get(), 2));
    }
    return bytes;
}

std::string idList(const char* head, const long long* ids, int count) {
    std::string text = head;
    for (int i = 0; i < count; ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(ids[i]);
    }
    return text + ")";
}

}  // namespace

std::uint64_t bareActivateRate(const std::string& dbPath, long long rateId, int active) {
    const auto db = openOrDie(dbPath, kOpenFlags);
    execOrDie(db.get(), "BEGIN");
    {
        const auto s = prepareOrDie(db.get(), kActivateRate);
        sqlite3_bind_int(s.get(), 1, active);
        sqlite3_bind_int64(s.get(), 2, rateId);
        stepOrDie(db.get(), s.get());
    }
    const std::uint64_t bytes = readActiveRates(db.get());
    execOrDie(db.get(), "COMMIT");
    return bytes;
}

std::string callLogsJson(sqlite3* db, const std::string& fromDate) {
    const auto s = prepareOrDie(db, kCallLogs);
    bindText(s.get(), 1, fromDate);
    std::string out;
    out.reserve(1 << 16);
    out += "{\"headers\":[";
    const int columns = sqlite3_column_count(s.get());
    for (int i = 0; i < columns; ++i) {
        if (i > 0) out += ',';
        appendJsonString(out, sqlite3_column_name(s.get(), i));
    }
    out += "],\"rows\":[";
    int count = 0;
    while (stepOrDie(db, s.get()) == SQLITE_ROW) {
        if (count++ > 0) out += ',';
        out += '[';
        for (int i = 0; i < columns; ++i) {
            if (i > 0) out += ',';
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), i));
            if (text != nullptr)
                appendJsonString(out, text);
            else
                out += "null";
        }
        out += ']';
    }
    if (count > 20000) die("the listing holds more than 20000 rows");
    out += "]}";
    return out;
}

int runSqliteFloor(const std::string& mode, const std::string& dbPath, unsigned threads, double seconds,
                   const std::map<std::string, std::string>& options) {
    auto option = [&options](const std::string& key) {
        const auto it = options.find(key);
        if (it == options.end()) die("missing option " + key + "=");
        return it->second;
    };
    LoopBody body;
    if (mode == "login" || mode == "settings") {
        const std::string user = option("user");
        const std::string pass = option("pass");
        const bool settings = mode == "settings";
        body = [=](unsigned, std::uint64_t, LoopResult& own) {
            const auto db = openOrDie(dbPath, kOpenFlags);
            if (!extenAuth(db.get(), user, pass)) ++own.failures;
            if (settings) {
                const auto s = prepareOrDie(db.get(), kSettings);
                own.bytes += readTable(db.get(), s.get());
            }
        };
    } else if (mode == "calllogs") {
        const std::string fromDate = option("from");
        const auto out = options.find("out");
        if (out != options.end()) {
            const auto db = openOrDie(dbPath, kOpenFlags);
            writeFile(out->second, callLogsJson(db.get(), fromDate));
        }
        body = [=](unsigned, std::uint64_t, LoopResult& own) {
            const auto db = openOrDie(dbPath, kOpenFlags);
            own.bytes += callLogsJson(db.get(), fromDate).size();
        };
    } else if (mode == "addrate") {
        body = [=](unsigned thread, std::uint64_t sequence, LoopResult& own) {
            const auto db = openOrDie(dbPath, kOpenFlags);
            execOrDie(db.get(), "BEGIN");
            {
                const auto s = prepareOrDie(db.get(), kInsertRate);
                bindText(s.get(), 1, "88" + std::to_string(thread * 10000000ULL + sequence));
                sqlite3_bind_int(s.get(), 2, 11);
                sqlite3_bind_double(s.get(), 3, 0.25);
                sqlite3_bind_int(s.get(), 4, 60);
                bindText(s.get(), 5, "08:00");
                bindText(s.get(), 6, "20:00");
                sqlite3_bind_double(s.get(), 7, 0);
                sqlite3_bind_double(s.get(), 8, 0);
                bindText(s.get(), 9, "101,102");
                sqlite3_bind_int(s.get(), 10, 1);
                stepOrDie(db.get(), s.get());
            }
            own.bytes += readActiveRates(db.get());
            execOrDie(db.get(), "COMMIT");
        };
    } else if (mode == "activate") {
        const long long rateId = std::stoll(option("rate"));
        body = [=](unsigned, std::uint64_t sequence, LoopResult& own) {
            own.bytes += bareActivateRate(dbPath, rateId, sequence % 2 == 1 ? 1 : 0);
        };
    } else if (mode == "charge") {
        const int extens = std::stoi(option("extens"));
        body = [=](unsigned thread, std::uint64_t sequence, LoopResult& own) {
            thread_local std::mt19937 random(thread * 7919u + 17u);
            long long ids[3];
            threeDistinctIds(random, extens, ids);
            const auto db = openOrDie(dbPath, kOpenFlags);
            if (countOf(db.get(), idList(kExtenListCount, ids, 3)) != 3) ++own.failures;
            long long prepaid[3];
            long long postpaid[3];
            int prepaidCount = 0;
            int postpaidCount = 0;
            {
                const auto s = prepareOrDie(db.get(), kPrepaidOf);
                for (const long long id : ids) {
                    sqlite3_bind_int64(s.get(), 1, id);
                    if (stepOrDie(db.get(), s.get()) == SQLITE_ROW) {
                        const int p = sqlite3_column_int(s.get(), 0);
                        if (p == 1)
                            prepaid[prepaidCount++] = id;
                        else if (p == 0)
                            postpaid[postpaidCount++] = id;
                    }
                    sqlite3_reset(s.get());
                    sqlite3_clear_bindings(s.get());
                }
            }
            execOrDie(db.get(), "BEGIN");
            for (const auto& group :
                 {std::make_pair(prepaid, prepaidCount), std::make_pair(postpaid, postpaidCount)}) {
                if (group.second == 0) continue;
                const auto s = prepareOrDie(db.get(), idList(kChargeExten, group.first, group.second));
                sqlite3_bind_double(s.get(), 1, 1.5);
                sqlite3_bind_double(s.get(), 2, 1.5);
                stepOrDie(db.get(), s.get());
            }
            if (countOf(db.get(), idList(kNonFiniteTotals, ids, 3)) != 0) ++own.failures;
            execOrDie(db.get(), "COMMIT");
            (void)sequence;
        };
    } else {
        die("unknown floor mode " + mode);
    }
    // thread=fresh runs each operation on a thread of its own, as a server with a thread per connection does.
    const auto threadOption = options.find("thread");
    if (threadOption != options.end() && threadOption->second == "fresh") {
        const LoopBody inner = body;
        body = [inner](unsigned thread, std::uint64_t sequence, LoopResult& own) {
            std::thread([&] { inner(thread, sequence, own); }).join();
        };
    }
    printResult(runTimedLoop(threads, seconds, body));
    return 0;
}

}  // namespace bench
