#include <gtest/gtest.h>
#include <log4cplus/logger.h>

#include <chrono>
#include <functional>
#include <future>
#include <limits>
#include <list>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "korvu/korvu/Korvu.h"
#include "korvu/korvu/RateCollision.h"
#include "tests/support/ExpectError.h"
#include "tests/support/TempDatabase.h"
#include "validator/AdminValidator.h"

namespace {

using korvu::Korvu;
using Refusals = std::vector<std::tuple<int, std::string, std::function<void()>>>;  // code, message, call

struct FakeAdminValidator : korvu::AdminValidator {
    bool validate(const std::string& u, const std::string& p) override { return u == "admin" && p == "pw"; }
};
const Auth kAdmin{"admin", "pw", true}, kUser{"101", "secret101", false};
const double kNan = std::numeric_limits<double>::quiet_NaN();
const std::string kTables =
    "SELECT * FROM exten; SELECT * FROM rate; SELECT * FROM cdr; SELECT * FROM settings";

// Cells joined by '|', each row ended by ';', NULL as '~': a whole table compares as one literal.
template <typename Rows, typename Text>
std::string flat(const Rows& rows, Text text) {
    std::string out;
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) out += text(row[i]) + (i + 1 < row.size() ? "|" : ";");
    return out;
}

class KorvuTest : public testing::Test {
protected:
    KorvuTest() { log4cplus::Logger::getInstance("Korvu").setLogLevel(log4cplus::OFF_LOG_LEVEL); }
    Korvu withLimit(unsigned limit) { return {database.path(), validator, limit}; }
    // An optional text argument (nullptr: not given), alive until the test ends.
    const std::string* s(const char* text) { return text ? &texts.emplace_back(text) : nullptr; }
    std::string q(const std::string& sql) const {
        return flat(database.query(sql), [](const auto& cell) { return cell.value_or("~"); });
    }
    // Each call fails with exactly its code and message and leaves every table as it was.
    void refused(const Refusals& refusals) const {
        for (std::size_t i = 0; i < refusals.size(); ++i) {
            const auto& [code, message, call] = refusals[i];
            SCOPED_TRACE("refusal " + std::to_string(i) + ": " + message);
            const std::string before = q(kTables);
            testsupport::expectError<korvu::KorvuException>(code, message, call);
            EXPECT_EQ(before, q(kTables));
        }
    }

    testsupport::TempDatabase database;
    FakeAdminValidator validator;
    Korvu korvu{database.path(), validator, 20000};
    std::list<std::string> texts;
};

// In turn: rate values (hours, then each field), the file, credentials, administrator, `active`, the rest.
// A user needs exactly one row with its number and password as given, and names its own extension exactly.
TEST_F(KorvuTest, AuthorizationIsExactAndComesBeforeEveryTestButTheRateValues) {
    database.exec(
        "INSERT INTO exten (id, exten, www_pass) VALUES "
        "(4,'104',''), (6,'106','p'), (7,'106','p'), (9,'Ab','p')");
    const std::string noFile = "SQL Error  14: unable to open database file", bad = "2015-03", own = "101";
    const std::string field = "Bad value of field: ", min = ". Expected value equal or greater than 0, got: ";
    const int two = 2, minus = -1;
    const Korvu missing{database.path() + "-missing", validator, 20000};
    // clang-format off
    // Case and blanks count; 104's password is empty, 106 has two rows.
    const Auth wrong[] = {{"admin", "wrong", true}, {"101", "secret101", true}, {"101", "Secret101", false},
                          {"101", "secret101 ", false}, {"101 ", "secret101", false}, {"", "", false},
                          {"104", "x", false}, {"106", "p", false}};
    const auto write = [&](double rate, int unit, double cost, double time, const char* from = "08:00",
                           const char* to = "09:00") {
        missing.addRate(wrong[0], "0", &minus, rate, unit, from, to, cost, time, "1", 9);
    };
    const std::vector<std::function<void(const Korvu&, const Auth&)>> adminOnly = {
        [](auto& k, auto& a) { k.setCurrency(a, "USD"); }, [](auto& k, auto& a) { k.deleteCallLogs(a); },
        [](auto& k, auto& a) { k.deleteCallLogs(a, {}); }, [](auto& k, auto& a) { k.deleteRate(a, 9); },
        [](auto& k, auto& a) { k.activateRate(a, 2, 5); }, [](auto& k, auto& a) { k.getRates(a); },
        [](auto& k, auto& a) { k.getRateHistory(a, 1); }, [](auto& k, auto& a) { k.clearExten(a, {1, 1}); },
        [](auto& k, auto& a) { k.chargeExten(a, {9}, 0); }, [](auto& k, auto& a) { k.updateExten(a, {9}, "free", 1, 2); },
        [&](auto& k, auto& a) { k.getExtens(a, nullptr, &bad, &two); },
        [](auto& k, auto& a) { k.updateExtenWithPass(a, 1, "free", 1, 2, ""); },
        [](auto& k, auto& a) { k.addRate(a, "7", nullptr, 1, 60, "08:00", "09:00", 0, 0, "1", 5); },
        [](auto& k, auto& a) { k.updateRate(a, 9, "7", nullptr, 1, 60, "08:00", "09:00", 0, 0, "1", 5); },
        [&](auto& k, auto& a) { k.getStatistics(a, false, &bad, &bad, nullptr); },
        [&](auto& k, auto& a) { k.getCallLogs(a, nullptr, &bad, nullptr, &bad, nullptr); },
        [&](auto& k, auto& a) { k.getRechargeHistory(a, nullptr, &bad, nullptr); }};
    const std::vector<std::function<void(const Korvu&, const Auth&)>> anyone = {
        [](auto& k, auto& a) { k.login(a); }, [](auto& k, auto& a) { k.getSettings(a); },
        [](auto& k, auto& a) { k.getHelp(a, "en"); }, [](auto& k, auto& a) { k.getExten(a, ""); },
        [](auto& k, auto& a) { k.getRate(a, ""); }, [](auto& k, auto& a) { k.changeExtenPass(a, 9, ""); },
        [&](auto& k, auto& a) { k.getStatistics(a, true, &bad, nullptr, &own); },
        [&](auto& k, auto& a) { k.getRechargeHistory(a, &own, &bad, nullptr); }};
    Refusals refusals = {
        {4, "Invalid hour format: 9:00", [&] { write(-5, -5, -5, -5, "9:00", "24:00x"); }},
        {4, "Invalid hour format: 09.00", [&] { write(-5, -5, -5, -5, "10:00", "09.00"); }},
        {4, field + "rate" + min + "-1", [&] { missing.updateRate(wrong[0], 1, "0", &minus, -1.5, -1, "08:00", "09:00", -1, -1, "1", 9); }},
        {4, field + "rate" + min + "nan", [&] { write(kNan, -1, -1, -1); }},
        {4, field + "rate" + min + "-0.5", [&] { write(-0.5, -3, -1, -1); }},
        {4, field + "bill_unit" + min + "-3", [&] { write(-0.0, -3, -1, -1); }},  // negative zero is zero
        {4, field + "init_cost" + min + "-2", [&] { write(0, 0, -2.9, -1); }},
        {4, field + "init_cost" + min + "-0.9", [&] { write(0, 0, -0.9, -1.0); }},
        {4, field + "init_time" + min + "-1", [&] { write(0, 0, -0.0, -1.0); }},
        // Between -1 and 0 the value is shown as written, in the fewest digits that keep it.
        {4, field + "rate" + min + "-0.1", [&] { write(-0.1, 0, 0, 0); }},
        {4, field + "init_time" + min + "-0.0000001", [&] { write(0, 0, 0, -0.0000001); }},
        {4, field + "init_cost" + min + "-0.9999999999999999", [&] { write(0, 0, -0.9999999999999999, 0); }},
        {4, field + "number_length" + min + "-1", [&] { write(0, 0, 0, 0); }},
        {4, field + "active. Expected 0 or 1, got: 2", [&] { korvu.addRate(kAdmin, "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "2", 2); }},
        {4, field + "active. Expected 0 or 1, got: -1", [&] { korvu.updateRate(kAdmin, 2, "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "2", -1); }},
        {4, field + "active. Expected 0 or 1, got: 5", [&] { korvu.activateRate(kAdmin, 2, 5); }},
        {12, "Rate not found", [&] { korvu.updateRate(kAdmin, 3, "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "2", 7); }},  // before active
        {4, field + "active. Expected 0 or 1, got: 5", [&] { korvu.activateRate(kAdmin, 3, 5); }},  // active first
        {12, "Rate not found", [&] { korvu.activateRate(kAdmin, 3, 1); }},
        // A missing id before the bill status, with a password as without one.
        {8, "Exten not found", [&] { korvu.updateExtenWithPass(kAdmin, 8, "free", 1, 2, "x"); }},
        {8, "Exten not found", [&] { korvu.updateExtenWithPass(kAdmin, 8, "FREE", 1, 1, "x"); }},
    };
    // clang-format on
    for (const auto* operations : {&adminOnly, &anyone}) {
        for (const auto& call : *operations) {
            refusals.emplace_back(1, noFile, [&, call] { call(missing, wrong[0]); });
            for (const Auth& auth : wrong)
                refusals.emplace_back(6, "Invalid user or password", [&, call] { call(korvu, auth); });
            if (operations == &adminOnly)
                refusals.emplace_back(7, "Access denied", [&, call] { call(korvu, kUser); });
        }
    }
    const Auth user{"Ab", "p", false};
    const std::vector<std::function<void(const std::string*)>> ownOnly = {
        [&](const std::string* e) { korvu.getStatistics(user, false, &bad, &bad, e); },
        [&](const std::string* e) { korvu.getCallLogs(user, e, nullptr, nullptr, &bad, nullptr); },
        [&](const std::string* e) { korvu.getRechargeHistory(user, e, nullptr, nullptr); },
        [&](const std::string* e) { korvu.getExten(user, e ? *e : "999"); },
        [&](const std::string* e) { korvu.getRate(user, e ? *e : "999"); }};
    for (const auto& call : ownOnly)
        for (const std::string* other : {s(nullptr), s("ab"), s("AB"), s("Ab "), s(" Ab"), s("101")})
            refusals.emplace_back(7, "Access denied", [&call, other] { call(other); });
    testing::internal::CaptureStderr();
    refused(refusals);
    EXPECT_EQ(noFile + "\n", testing::internal::GetCapturedStderr());  // only the call listing echoes it
    korvu.login(Auth{"104", "", false});
    database.exec("DROP TABLE exten");  // the administrator is never looked up there
    korvu.login(kAdmin);
}

// Each digit position refuses the bytes either side of '0'..'9', a letter and a byte of 128 or more.
TEST(HourAndDateForms, EveryDigitPositionRefusesANonDigit) {
    for (const std::string valid : {"08:09", "2015-03-31 23:59"}) {
        const bool hour = valid.size() == 5;
        const auto check = [hour](const std::string& text) {
            hour ? Korvu::checkHourFormatOrThrow(text) : Korvu::checkDateFormatOrThrow(text);
        };
        check(valid);
        for (std::size_t position = 0; position < valid.size(); ++position) {
            if (valid[position] < '0' || valid[position] > '9') continue;
            for (const char c : {'/', ':', 'x', '\xB5'}) {
                std::string text = valid;
                text[position] = c;  // "08:0x" among them
                testsupport::expectError<korvu::InvalidArgException>(
                    4, (hour ? "Invalid hour format: " : "Invalid date format: ") + text,
                    [&] { check(text); });
                EXPECT_FALSE(hour ? Korvu::checkHourFormat(text) : Korvu::checkDateFormat(text)) << text;
            }
        }
    }
}

std::string colliding(int n) { return "Corrupted rates table - " + std::to_string(n) + " are colliding"; }

using Rates = KorvuTest;

// Rate 1 (prefix, length, hours, extensions) is active; activating rate 2 commits or fails with the count.
TEST_F(Rates, CollisionRuleOnActivation) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"'0', 7, '08:00', '12:00', '101'", "'0', 7, '12:00', '18:00', '101'", 0},  // touching
        {"'0', 7, '22:00', '06:00', '101'", "'0', 7, '05:00', '07:00', '101'", 1},  // midnight
        {"'0', 7, '09:00', '12:00', '101'", "'0', 7, '08:00', '18:00', '101'", 0},  // enclosing second
        {"'0', 7, '08:00', '18:00', '101'", "'0', 7, '09:00', '12:00', '101'", 1},  // enclosing first
        {"'00', 0, '08:00', '18:00', '101'", "'001', 0, '08:00', '18:00', '101'", 0},
        {"'0', 7, '08:00', '18:00', '101'", "'0', 8, '08:00', '18:00', '101'", 0},
        {"'0', 7, '08:00', '18:00', '101'", "'0', 7, '08:00', '18:00', '102,1'", 0},
        {"'00', NULL, '08:00', '18:00', '101'", "'00', 0, '08:00', '18:00', '101'", 1},
        {"'0', 7, '10:00', '10:00', '101'", "'0', 7, '08:00', '18:00', '101'", 0},          // empty range
        {"'0', 7, '08:00', '18:00', '101'", "'0', 7, '19:00', '20:00', '101,102,101'", 1},  // itself
        {"'0', 7, '08:00', '18:00', '101,102,103'", "'0', 7, '09:00', '10:00', '102'", 1},  // a middle piece
        {"'0', 7, '22:00', '', '101'", "'0', 7, '23:00', '23:30', '101'", 1},  // stored off the form
        {"'', 0, '', '01:00', ''", "NULL, NULL, NULL, NULL, NULL", 1},
    };
    for (const auto& [first, second, count] : cases) {
        SCOPED_TRACE(std::string(first) + " / " + second);
        database.exec(
            std::string("DELETE FROM rate; INSERT INTO rate (id, prefix, number_length, from_hour, ") +
            "to_hour, extensions, active) VALUES (1, " + first + ", 1), (2, " + second + ", 0)");
        if (count > 0) refused({{11, colliding(count), [&] { korvu.activateRate(kAdmin, 2, 1); }}});
        if (count == 0) korvu.activateRate(kAdmin, 2, 1);
        EXPECT_EQ(count ? "1;0;" : "1;1;", q("SELECT active FROM rate ORDER BY id"));
    }
}

// The hour rule written plainly, a range passing midnight split literally.
bool plainHours(const std::string& f1, const std::string& t1, const std::string& f2, const std::string& t2) {
    if (f2 > t2) return plainHours(f1, t1, "00:00", t2) && plainHours(f1, t1, f2, "99:99");
    if (f1 > t1) return plainHours("00:00", t1, f2, t2) && plainHours(f1, "99:99", f2, t2);
    return !(f1 <= f2 && f2 < t1) && (t2 <= f1 || t2 > t1);
}

// Grouped by key hash, even one hash shared by every key, the count is that of a plain walk over every pair
// in list order (-1: no records).
TEST(RateCollisionCount, GroupedCountEqualsThePlainPairwiseCount) {
    const char* const texts[] = {"", "0", "001", "101", "101 ", "00:00", "06:00", "12:00", "22:00", "99:99"};
    std::mt19937 random(20240611u);
    const auto pick = [&](unsigned first, unsigned end) { return texts[first + random() % (end - first)]; };
    for (int set = 0; set < 3000; ++set) {
        std::list<korvu::RateRecord> records(random() % 40);
        for (auto& r : records) r = {0, pick(0, 3), int(random() % 2), pick(5, 10), pick(5, 10), pick(0, 5)};
        int expected = records.empty() ? -1 : 0;
        for (auto a = records.begin(); a != records.end(); ++a)
            for (auto b = std::next(a); b != records.end(); ++b)
                expected += a->prefix == b->prefix && a->numberLength == b->numberLength &&
                            a->extensions == b->extensions &&
                            !plainHours(a->fromHour, a->toHour, b->fromHour, b->toHour);
        ASSERT_EQ(expected, korvu::countRateCollisions(records)) << "set " << set;
        ASSERT_EQ(expected, korvu::countRateCollisions(records, [](const auto&) { return std::size_t{7}; }));
    }
}

// A rate 3 colliding with itself blocks every write but the one removing it; deleting checks nothing.
TEST_F(Rates, EveryWriteChecksTheWholeActiveSet) {
    const int eleven = 11;
    database.exec("INSERT INTO rate (id, to_hour, extensions, active) VALUES (3, '09:00', '101,101', 1)");
    refused({
        {11, colliding(1),
         [&] { korvu.addRate(kAdmin, "7", &eleven, 0.5, 60, "08:00", "09:00", 0, 0, "7", 0); }},
        {11, colliding(2),  // and its own with rate 1
         [&] { korvu.updateRate(kAdmin, 2, "0048", &eleven, 0, 0, "17:00", "08:00", 0, 0, "102", 1); }},
        {12, "Rate not found", [&] { korvu.activateRate(kAdmin, 99, 0); }},  // changes nothing to check
    });
    korvu.deleteRate(kAdmin, 2);
    korvu.activateRate(kAdmin, 3, 0);
    database.exec("UPDATE rate SET active = 2 WHERE id = 3");  // only 1 puts a rate in force
    korvu.activateRate(kAdmin, 1, 0);  // nothing active: the count is -1 and the write commits
    korvu.addRate(kAdmin, "0048", &eleven, 0.5, 60, "08:00", "18:00", 0, 0, "101", 0);
    EXPECT_EQ("1|0;3|2;4|0;", q("SELECT id, active FROM rate ORDER BY id"));
}

TEST_F(KorvuTest, ChargingAddsToPrepaidAndPostpaidRowsInOneTransaction) {
    database.exec(
        "INSERT INTO exten (id, exten, prepaid, total_charge, balance, last_mod) VALUES "
        "(4, '104', 2, 1.0, 1.0, '2015-01-13'), (5, '105', NULL, 1.0, 2.0, '2015-01-14')");
    korvu.chargeExten(kAdmin, {5, 1, 4, 2}, 10.0);
    korvu.chargeExten(kAdmin, {}, 10.0);
    EXPECT_EQ(
        "1|FREE|100.0|0|22.5|12.5|secret101|new;2|LOCK|50.0|1|40.0|30.0|secret102|new;3|FREE|0.0|1|0.0|"
        "0.0|secret103|old;4|FREE|0.0|2|1.0|1.0||old;5|FREE|0.0|~|11.0|12.0||new;",
        q("SELECT id, bill_status, limit_credit, prepaid, total_charge, balance, www_pass, "
          "iif(last_mod > '2016-01', 'new', 'old') FROM exten ORDER BY id"));
    // Row 1 is postpaid: it fails in the second update, after the prepaid row 2 was charged.
    database.exec(
        "CREATE TRIGGER refuse BEFORE UPDATE OF total_charge ON exten WHEN old.id = 1 "
        "BEGIN SELECT RAISE(ABORT, 'charge refused'); END");
    const std::list<long long> both{1, 2}, refusing{2, 3, 1}, twice{2, 2};
    const std::string range = "value is out of range";
    refused({
        {1, "SQL Error  19: charge refused", [&] { korvu.chargeExten(kAdmin, refusing, 5.0); }},
        {8, "Exten not found", [&] { korvu.chargeExten(kAdmin, twice, 5.0); }},  // a repeated id counts once
        {4, "value must be greater than zero", [&] { korvu.chargeExten(kAdmin, both, 0.0); }},
        {4, "value must be greater than zero", [&] { korvu.chargeExten(kAdmin, both, kNan); }},
        {4, range, [&] { korvu.chargeExten(kAdmin, {}, std::numeric_limits<double>::infinity()); }},
    });
    // A lock left behind would stall this write; then a finite charge overflowing a total is refused.
    database.exec("DROP TRIGGER refuse; UPDATE exten SET total_charge = 1.5e308 WHERE id = 1");
    refused({{4, range, [&] { korvu.chargeExten(kAdmin, both, 1.0e308); }}});
    // Totals stored infinite elsewhere stay so and the other rows are charged; a finite total of the
    // same row still may not overflow.
    database.exec(
        "UPDATE exten SET total_charge = 9e999, balance = 1.0 WHERE id = 1; UPDATE exten SET balance = "
        "-9e999 WHERE id = 2");
    korvu.chargeExten(kAdmin, both, 1.0);
    EXPECT_EQ("1|Inf|2.0;2|41.0|-Inf;",
              q("SELECT id, total_charge, balance FROM exten WHERE id < 3 ORDER BY id"));
    database.exec("UPDATE exten SET balance = 1.5e308 WHERE id = 1");
    refused({{4, range, [&] { korvu.chargeExten(kAdmin, both, 1.0e308); }}});
}

// A row's infinite total cleared by another writer while the charge waits for the write lock: the
// overflow of the other row must still be refused, with nothing written.
TEST_F(KorvuTest, ConcurrentClearOfAnInfiniteTotalDoesNotHideAnOverflow) {
    database.exec(
        "UPDATE exten SET total_charge = 9e999 WHERE id = 1; UPDATE exten SET total_charge = 1.7e308 WHERE "
        "id = 2");
    const testsupport::Connection other(database.path());
    other.exec("BEGIN IMMEDIATE");
    auto charge = std::async(std::launch::async, [&] {
        testsupport::expectError<korvu::KorvuException>(4, "value is out of range", [&] {
            korvu.chargeExten(kAdmin, {1, 2}, 1.0e308);
        });
    });
    // Time for the charge to make its reads and wait for the lock, so that a check reading before it
    // holds the lock is caught. Sound code is refused however long this is: the charge then reads
    // either after the clear or inside its own transaction.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    other.exec(
        "update exten set total_charge = 0, balance = 0, last_mod = CURRENT_TIMESTAMP where id IN (1)");
    const testsupport::Rows cleared = other.exec(kTables);
    other.exec("COMMIT");
    charge.get();
    EXPECT_EQ(flat(cleared, [](const auto& cell) { return cell.value_or("~"); }), q(kTables));
    EXPECT_EQ("1|0.0|0.0;2|1.7e+308|20.0;",
              q("SELECT id, total_charge, balance FROM exten WHERE id < 3 ORDER BY id"));
}

// The head of the call listing, then the seeded calls by AcctId (6 stamped to the minute by the test).
const char* const kCalls[] = {
    R"({"headers":["AcctId","start","exten_name","src","dst","billsec","disposition","cost"],"rows":[)",
    R"(["1","2015-02-27 10:15:00","Alice","101","0048221234567","60","ANSWERED","0.5"])",
    R"(["2","2015-02-28 23:59:30","Bob","102","0049301234567","0","NO ANSWER","0.0"])",
    R"(["3","2015-03-01 00:00:00","Alice","101","102","30","ANSWERED","0.0"])",
    R"(["4","2015-03-02 08:30:00","Alice","101","0048227654321","120","ANSWERED","1.25"])",
    R"(["5","2015-03-02 12:00:00",null,"555","101","10","ANSWERED","0.0"])",
    R"(["6","2015-03-31 18:00","Bob","102","0048600100200","40","ANSWERED","0.75"])",
    R"(["7","2015-03-31 23:59:59","Carol","103","0048221111111","0","BUSY","0.0"])",
};

// Each call listing is exactly as long as its record limit.
TEST_F(KorvuTest, CallLogsAndStatisticsKeepTheirBoundsFiltersAndRecordLimit) {
    const auto listing = [](std::initializer_list<int> ids) {
        std::string text = kCalls[0];
        for (const int id : ids) text += std::string(text.back() == '[' ? "" : ",") + kCalls[id];
        return text + "]}";
    };
    const auto logs = [&](unsigned limit, const char* exten, const char* from, const char* to,
                          const char* name = nullptr, const char* value = nullptr) {
        return withLimit(limit).getCallLogs(kAdmin, s(exten), s(from), s(to), s(name), s(value));
    };
    const auto sums = [&](bool monthly, const char* from, const char* to) {
        const auto table = korvu.getStatistics(kAdmin, monthly, s(from), s(to), nullptr);
        return flat(table->rows, [](const auto& cell) { return cell.isNull() ? "~" : cell.str(); });
    };
    database.exec(
        "UPDATE cdr SET start = '2015-03-31 18:00' WHERE AcctId = 6;"
        "UPDATE recharge_history SET recharge_date = '2015-03-05 11:30' WHERE id = 2");
    // A record stamped with the bounds' own minute is in, in the call listing and the recharge history.
    EXPECT_EQ(listing({6}), logs(1, nullptr, "2015-03-31 18:00", "2015-03-31 18:00"));
    const std::string* minute = s("2015-03-05 11:30");
    EXPECT_EQ(1u, korvu.getRechargeHistory(kAdmin, nullptr, minute, minute)->rows.size());
    // A record limit beyond int's range must not turn negative, for the listing nor the result table.
    EXPECT_EQ(listing({7, 6, 5, 4, 3, 2, 1}), logs(4294967295u, nullptr, nullptr, nullptr));
    EXPECT_EQ(2u, withLimit(4000000000u).getRates(kAdmin)->rows.size());
    EXPECT_EQ(listing({}), logs(0, "555", nullptr, nullptr));  // 555 has no exten row: no match
    // 00:00:00 sorts after the lower bound's minute and is in; 23:59:59 sorts after the upper bound.
    EXPECT_EQ(listing({6, 5, 4, 3}), logs(4, nullptr, "2015-03-01 00:00", "2015-03-31 23:59"));
    // Daily statistics count whole days, the days of both bounds included, whatever their times.
    EXPECT_EQ("1|35|35.0|0.0|2015-03-01|ALL;2|145|73.0|1.25|2015-03-02|ALL;2|50|25.0|0.75|2015-03-31|ALL;",
              sums(false, "2015-03-01 00:00", "2015-03-31 00:00"));
    EXPECT_EQ("1|35|35.0|0.0|2015-03-01|ALL;", sums(false, "2015-03-01 23:59", "2015-03-01 00:00"));
    EXPECT_EQ("", sums(false, "2015-03-03 00:00", "2015-03-30 23:59"));
    EXPECT_EQ("5|230|46.0|2.0|2015-03|ALL;", sums(true, "2015-03-01 00:00", "2015-03-31 23:59"));
    const std::string date = "Invalid date format: ";
    refused({
        {10, "Too many rows. Current limit is 6. ", [&] { logs(6, nullptr, nullptr, nullptr); }},
        {4, "filter value is null", [&] { logs(9, nullptr, nullptr, nullptr, "src"); }},
        {4, "Filed 'filterName' cannot be empty", [&] { logs(9, nullptr, "2015-03-01", nullptr, "", "1"); }},
        {4, date + "2015-03-01", [&] { logs(9, nullptr, "2015-03-01", "2015-03-31 23:59:59"); }},
        {4, date + "2015-03-31T23:59", [&] { logs(9, nullptr, "2015-03-31T23:59", nullptr); }},
        {4, date + "2015-03-31 23:5", [&] { sums(false, "2015-03-01", "2015-03-31 23:5"); }},  // upper first
        {4, date + "2015-03-01", [&] { sums(true, "2015-03-01", "2015-03-31 23:59"); }},
    });
}

}  // namespace
