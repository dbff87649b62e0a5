#include "bench/BenchDb.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>

#include "bench/BenchUtil.h"

namespace bench {

namespace {

const char* const firstNames[] = {"Anna",    "Piotr",     "Maria",  "Krzysztof", "Katarzyna",
                                  "Andrzej", "Agnieszka", "Tomasz", "Barbara",   "Paweł",
                                  "Ewa",     "Michał",    "Zofia",  "Łukasz",    "O'Neil"};
const char* const lastNames[] = {"Nowak",     "Kowalski", "Wiśniewska",  "Wójcik",
                                 "Kowalczyk", "Kamiński", "Lewandowska", "Zieliński",
                                 "Szymańska", "Woźniak",  "Dąbrowski",   "Kozłowska"};

constexpr std::time_t kYearStart = 1704067200;  // 2024-01-01 00:00:00 UTC

std::string timeText(std::time_t t) {
    std::tm parts{};
    gmtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string digits(std::mt19937& random, int count) {
    std::uniform_int_distribution<int> digit(0, 9);
    std::string text;
    for (int i = 0; i < count; ++i) text += static_cast<char>('0' + digit(random));
    return text;
}

std::string password(std::mt19937& random) {
    static const char alphabet[] = "abcdefghijkmnpqrstuvwxyz23456789";
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof alphabet) - 2);
    std::string text;
    for (int i = 0; i < 8; ++i) text += alphabet[pick(random)];
    return text;
}

std::string extenNumber(int id) { return std::to_string(99 + id); }

int percentDraw(std::mt19937& random) { return std::uniform_int_distribution<int>(0, 99)(random); }

void bindText(sqlite3_stmt* s, int i, const std::string& v) {
    sqlite3_bind_text(s, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
}

void stepOrDie(sqlite3* db, sqlite3_stmt* s) {
    if (sqlite3_step(s) != SQLITE_DONE) die(std::string("insert: ") + sqlite3_errmsg(db));
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
}

// Rates with their own keys (prefix, length, extensions) but for every 25th, which starts a day/night pair
// sharing one key with touching, non-overlapping hours. Stops when `rates` rates or `records` active
// collision records are written, whichever limit is given (the other is negative).
void writeRates(sqlite3* db, int rates, int records, int activePercent, int listPercent, int extens,
                std::mt19937& random) {
    const auto insert = prepareOrDie(
        db,
        "INSERT INTO rate (prefix, number_length, rate, bill_unit, from_hour, to_hour, init_cost, init_time, "
        "extensions, active, last_mod) VALUES (?,?,?,?,?,?,?,?,?,?,?)");
    const auto cache = prepareOrDie(db, "INSERT INTO cache_rate_to_exten (rate_id, exten) VALUES (?, ?)");
    std::uniform_real_distribution<double> price(0.02, 1.5);
    std::uniform_int_distribution<int> extenId(1, extens);
    const int lengths[] = {0, 9, 11, 12};
    int written = 0;
    int activeRecords = 0;
    for (int key = 0;; ++key) {
        if (rates >= 0 && written >= rates) break;
        if (records >= 0 && activeRecords >= records) break;
        const int remaining = records >= 0 ? records - activeRecords : INT_MAX;
        const bool pair = key % 25 == 0 && (rates < 0 || written + 2 <= rates) && remaining >= 2;
        const int halves = pair ? 2 : 1;
        const bool active = records >= 0 || percentDraw(random) < activePercent;
        std::string extensions;
        int pieces = 1;
        if (percentDraw(random) < listPercent && remaining >= 2 * halves) {
            const int a = extenId(random);
            int b = extenId(random);
            while (b == a) b = extenId(random);
            extensions = extenNumber(a) + "," + extenNumber(b);
            pieces = 2;
        }
        const std::string prefix = "00" + std::to_string(4800000 + key * 7);
        const int length = lengths[key % 4];
        const char* hours[2][2] = {{"08:00", "20:00"}, {"20:00", "08:00"}};
        for (int half = 0; half < halves; ++half) {
            sqlite3_stmt* s = insert.get();
            bindText(s, 1, prefix);
            if (length == 0)
                sqlite3_bind_null(s, 2);
            else
                sqlite3_bind_int(s, 2, length);
            sqlite3_bind_double(s, 3, static_cast<double>(static_cast<int>(price(random) * 100)) / 100);
            sqlite3_bind_int(s, 4, key % 3 == 0 ? 1 : 60);
            bindText(s, 5, pair ? hours[half][0] : "00:00");
            bindText(s, 6, pair ? hours[half][1] : "23:59");
            sqlite3_bind_double(s, 7, key % 5 == 0 ? 0.1 : 0);
            sqlite3_bind_double(s, 8, key % 5 == 0 ? 30 : 0);
            bindText(s, 9, extensions);
            sqlite3_bind_int(s, 10, active ? 1 : 0);
            bindText(s, 11, timeText(kYearStart + key * 600));
            stepOrDie(db, s);
            ++written;
            if (active) activeRecords += pieces;
            if (pieces == 2) {
                const auto rateId = sqlite3_last_insert_rowid(db);
                for (const std::string& exten : {extensions.substr(0, extensions.find(',')),
                                                 extensions.substr(extensions.find(',') + 1)}) {
                    sqlite3_bind_int64(cache.get(), 1, rateId);
                    bindText(cache.get(), 2, exten);
                    stepOrDie(db, cache.get());
                }
            }
        }
    }
}

void fillRest(sqlite3* db, const DbShape& shape, std::mt19937& random) {
    execOrDie(
        db,
        "INSERT INTO settings (settings_key, settings_value) VALUES ('CURRENCY','PLN'),('LANGUAGE','pl'),"
        "('COMPANY','Exchange \"Centrum\" sp. z o.o.'),('VAT','23'),('BILLING_PERIOD','monthly'),"
        "('ROUNDING','0.01'),('TIMEZONE','Europe/Warsaw'),('LOW_BALANCE_WARNING','5.00')");
    const auto help = prepareOrDie(db, "INSERT INTO help (key, value, lang) VALUES (?, ?, ?)");
    for (const char* lang : {"en", "pl"}) {
        for (int i = 0; i < 20; ++i) {
            bindText(help.get(), 1, "screen_" + std::to_string(i));
            bindText(help.get(), 2,
                     std::string("Help text ") + lang + " " + std::to_string(i) +
                         ":\n\t\"Rates\" apply by prefix, number length and hour.");
            bindText(help.get(), 3, lang);
            stepOrDie(db, help.get());
        }
    }
    const auto recharge = prepareOrDie(db,
                                       "INSERT INTO recharge_history (exten_id, recharge_date, exten, "
                                       "pre_balance, charge) VALUES (?,?,?,?,?)");
    std::uniform_int_distribution<int> extenId(1, shape.extens);
    std::uniform_int_distribution<int> second(0, 366 * 86400 - 1);
    std::uniform_int_distribution<int> amount(1, 20);
    for (int i = 0; i < shape.recharges; ++i) {
        const int id = extenId(random);
        sqlite3_bind_int(recharge.get(), 1, id);
        bindText(recharge.get(), 2, timeText(kYearStart + second(random)));
        bindText(recharge.get(), 3, extenNumber(id));
        sqlite3_bind_double(recharge.get(), 4, amount(random) * 1.25);
        sqlite3_bind_double(recharge.get(), 5, amount(random) * 5.0);
        stepOrDie(db, recharge.get());
    }
    const auto history = prepareOrDie(
        db,
        "INSERT INTO rate_history (id, prefix, number_length, rate, bill_unit, from_hour, to_hour, "
        "init_cost, "
        "init_time, extensions, active, last_mod) SELECT id, prefix, number_length, rate * 1.1, bill_unit, "
        "from_hour, to_hour, init_cost, init_time, extensions, active, ? FROM rate WHERE id = ?");
    std::uniform_int_distribution<int> rateId(1, shape.rates > 0 ? shape.rates : 1);
    for (int i = 0; i < shape.rateHistory; ++i) {
        bindText(history.get(), 1, timeText(kYearStart + second(random)));
        sqlite3_bind_int(history.get(), 2, rateId(random));
        stepOrDie(db, history.get());
    }
}

}  // namespace

std::string schemaPath() { return PELBRIN_SCHEMA; }

void createSchema(sqlite3* db) { execOrDie(db, readFile(schemaPath())); }

void fillExtens(sqlite3* db, const DbShape& shape) {
    std::mt19937 random(shape.seed);
    const auto insert =
        prepareOrDie(db,
                     "INSERT INTO exten (id, exten, outboundcid, name, email, www_pass, bill_status, "
                     "limit_credit, prepaid, "
                     "total_charge, balance, last_mod, pickupgroup) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)");
    std::uniform_int_distribution<int> first(0, sizeof firstNames / sizeof *firstNames - 1);
    std::uniform_int_distribution<int> last(0, sizeof lastNames / sizeof *lastNames - 1);
    std::uniform_int_distribution<int> money(0, 50000);
    for (int id = 1; id <= shape.extens; ++id) {
        sqlite3_stmt* s = insert.get();
        const std::string name = std::string(firstNames[first(random)]) + " " + lastNames[last(random)];
        const bool prepaid = percentDraw(random) < 30;
        const double total = money(random) / 100.0;
        sqlite3_bind_int(s, 1, id);
        bindText(s, 2, extenNumber(id));
        bindText(s, 3, "\"" + name + "\" <22" + digits(random, 7) + ">");
        bindText(s, 4, name);
        bindText(s, 5, "user" + std::to_string(id) + "@example.com");
        bindText(s, 6, password(random));
        bindText(s, 7, percentDraw(random) < 5 ? "LOCK" : "FREE");
        sqlite3_bind_double(s, 8, prepaid ? 0 : 100 + id % 5 * 50);
        sqlite3_bind_int(s, 9, prepaid ? 1 : 0);
        sqlite3_bind_double(s, 10, total);
        sqlite3_bind_double(s, 11, prepaid ? total / 3 : 0);
        bindText(s, 12, timeText(kYearStart + id * 3600));
        bindText(s, 13, std::to_string(id % 10));
        stepOrDie(db, s);
    }
}

void fillCdrs(sqlite3* db, const DbShape& shape) {
    std::mt19937 random(shape.seed + 1);
    const auto insert = prepareOrDie(
        db,
        "INSERT INTO cdr (clid, src, dst, dcontext, channel, dstchannel, lastapp, lastdata, start, answer, "
        "\"end\", duration, billsec, disposition, amaflags, accountcode, uniqueid, userfield, cost) "
        "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    std::uniform_int_distribution<int> jitter(-200, 200);
    std::uniform_int_distribution<int> extenId(1, shape.extens > 0 ? shape.extens : 1);
    std::exponential_distribution<double> talk(1.0 / 150);
    std::uniform_int_distribution<int> ring(2, 25);
    std::uniform_int_distribution<int> hexChannel(0, 0xFFFF);
    // 631 s apart with at most 200 s of jitter: starts stay more than a minute apart, so a bound given to the
    // minute selects an exact number of rows.
    for (int i = 0; i < shape.cdrs; ++i) {
        sqlite3_stmt* s = insert.get();
        const std::time_t start = kYearStart + static_cast<std::time_t>(i) * 631 + jitter(random);
        const bool outgoing = percentDraw(random) < 85;
        const std::string src = outgoing ? extenNumber(extenId(random)) : "48" + digits(random, 9);
        const bool external = !outgoing || percentDraw(random) < 70;
        const std::string dst =
            external ? "00" + std::to_string(4800000 + percentDraw(random) * 7) + digits(random, 6)
                     : extenNumber(extenId(random));
        const int d = percentDraw(random);
        const char* disposition = d < 70 ? "ANSWERED" : d < 90 ? "NO ANSWER" : d < 97 ? "BUSY" : "FAILED";
        const bool answered = d < 70;
        const int ringing = ring(random);
        const int billsec = answered ? 1 + static_cast<int>(talk(random)) : 0;
        char channel[64];
        std::snprintf(channel, sizeof channel, "SIP/%s-%08x", src.c_str(),
                      static_cast<unsigned>(hexChannel(random)));
        char dstChannel[64];
        std::snprintf(dstChannel, sizeof dstChannel, "SIP/%s-%08x", external ? "trunk" : dst.c_str(),
                      static_cast<unsigned>(hexChannel(random)));
        bindText(s, 1, "\"" + std::string(firstNames[i % 15]) + "\" <" + src + ">");
        bindText(s, 2, src);
        bindText(s, 3, dst);
        bindText(s, 4, outgoing ? "default" : "from-trunk");
        bindText(s, 5, channel);
        bindText(s, 6, dstChannel);
        bindText(s, 7, "Dial");
        bindText(s, 8, std::string(external ? "SIP/trunk/" : "SIP/") + dst + ",60,tT");
        bindText(s, 9, timeText(start));
        if (answered)
            bindText(s, 10, timeText(start + ringing));
        else
            sqlite3_bind_null(s, 10);
        bindText(s, 11, timeText(start + ringing + billsec));
        sqlite3_bind_int(s, 12, ringing + billsec);
        sqlite3_bind_int(s, 13, billsec);
        bindText(s, 14, disposition);
        sqlite3_bind_int(s, 15, 3);
        bindText(s, 16, "");
        bindText(s, 17, std::to_string(start) + "." + std::to_string(i));
        bindText(s, 18, "");
        sqlite3_bind_double(s, 19, external && answered ? static_cast<int>(billsec * 0.2) / 100.0 : 0);
        stepOrDie(db, s);
    }
}

void fillActiveRates(sqlite3* db, int records, unsigned seed) {
    std::mt19937 random(seed);
    writeRates(db, -1, records, 100, 15, 1000, random);
}

void generateDatabase(const std::string& path, const DbShape& shape) {
    ::unlink(path.c_str());
    const auto db = openOrDie(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    createSchema(db.get());
    execOrDie(db.get(), "BEGIN");
    fillExtens(db.get(), shape);
    fillCdrs(db.get(), shape);
    std::mt19937 random(shape.seed + 2);
    writeRates(db.get(), shape.rates, -1, shape.activePercent, shape.listPercent, shape.extens, random);
    fillRest(db.get(), shape, random);
    execOrDie(db.get(), "COMMIT");
}

}  // namespace bench
