#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <list>
#include <random>
#include <string>

#include "korvu/korvu/RateCollision.h"
#include "tests/korvu/KorvuFixture.h"

namespace {

using namespace korvutest;
using korvu::RateRecord;

// The rule written plainly: a range passing midnight split literally, every pair tested in list order.
bool plainHours(const std::string& f1, const std::string& t1, const std::string& f2, const std::string& t2) {
    if (f2 > t2) return plainHours(f1, t1, "00:00", t2) && plainHours(f1, t1, f2, "99:99");
    if (f1 > t1) return plainHours("00:00", t1, f2, t2) && plainHours(f1, "99:99", f2, t2);
    return !(f1 <= f2 && f2 < t1) && (t2 <= f1 || t2 > t1);
}

// Grouping records by key must count exactly the colliding pairs of a plain walk over every pair.
TEST(RateCollisionCount, GroupedCountEqualsThePlainPairwiseCount) {
    const char* const texts[] = {"", "0", "001", "101", "101 ", "00:00", "06:00", "12:00", "22:00", "99:99"};
    std::mt19937 random(20240611u);
    const auto pick = [&](unsigned first, unsigned end) { return texts[first + random() % (end - first)]; };
    int colliding = 0;
    for (int set = 0; set < 3000; ++set) {
        std::list<RateRecord> records(random() % 40);
        for (auto& r : records) r = {0, pick(0, 3), int(random() % 2), pick(5, 10), pick(5, 10), pick(0, 5)};
        int expected = records.empty() ? -1 : 0;
        for (auto a = records.begin(); a != records.end(); ++a) {
            for (auto b = std::next(a); b != records.end(); ++b) {
                expected += a->prefix == b->prefix && a->numberLength == b->numberLength &&
                            a->extensions == b->extensions &&
                            !plainHours(a->fromHour, a->toHour, b->fromHour, b->toHour);
            }
        }
        ASSERT_EQ(expected, korvu::countRateCollisions(records)) << "set " << set;
        // Unequal keys sharing one hash must still be told apart.
        ASSERT_EQ(expected,
                  korvu::countRateCollisions(records, [](const RateRecord&) { return std::size_t{7}; }));
        colliding += expected > 0;
    }
    EXPECT_GT(colliding, 1000);
}

std::string colliding(int n) { return "Corrupted rates table - " + std::to_string(n) + " are colliding"; }

class Rates : public KorvuTest {
protected:
    void add(const char* prefix, const char* from, const char* to, const char* extens, int active = 1) const {
        korvu.addRate(kAdmin, prefix, &eleven, 0.5, 60, from, to, 0, 0, extens, active);
    }
    static constexpr int eleven = 11;
};

// Rate 1 (prefix, length, hours, extensions) is active; activating rate 2 commits or fails with the count.
TEST_F(Rates, CollisionRuleOnActivation) {
    const struct {
        const char *first, *second;
        int count;
    } cases[] = {
        {"'0', 7, '08:00', '12:00', '101'", "'0', 7, '12:00', '18:00', '101'", 0},  // touching
        {"'0', 7, '22:00', '06:00', '101'", "'0', 7, '05:00', '07:00', '101'", 1},  // midnight
        {"'0', 7, '09:00', '12:00', '101'", "'0', 7, '08:00', '18:00', '101'", 0},  // enclosing second
        {"'0', 7, '08:00', '18:00', '101'", "'0', 7, '09:00', '12:00', '101'", 1},  // enclosing first
        {"'0', 7, '08:00', '18:00', '101'", "'0', 7, '22:00', '20:00', '101'", 0},
        {"'0', 7, '22:00', '20:00', '101'", "'0', 7, '08:00', '18:00', '101'", 1},
        {"'00', 0, '08:00', '18:00', '101'", "'001', 0, '08:00', '18:00', '101'", 0},
        {"'0', 7, '08:00', '18:00', '101'", "'0', 8, '08:00', '18:00', '101'", 0},
        {"'0', 7, '08:00', '18:00', '101'", "'0', 7, '08:00', '18:00', '102,1'", 0},
        {"'00', NULL, '08:00', '18:00', '101'", "'00', 0, '08:00', '18:00', '101'", 1},
        {"'0', 7, '10:00', '10:00', '101'", "'0', 7, '08:00', '18:00', '101'", 0},          // empty range
        {"'0', 7, '08:00', '18:00', '101'", "'0', 7, '19:00', '20:00', '101,102,101'", 1},  // itself
        {"'0', 7, '22:00', '', '101'", "'0', 7, '23:00', '23:30', '101'", 1},  // stored off the form
        {"'', 0, '', '01:00', ''", "NULL, NULL, NULL, NULL, NULL", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " / " + c.second);
        database.exec(
            std::string("DELETE FROM rate; INSERT INTO rate (id, prefix, number_length, from_hour, ") +
            "to_hour, extensions, active) VALUES (1, " + c.first + ", 1), (2, " + c.second + ", 0)");
        if (c.count > 0) refused({{11, colliding(c.count), [&] { korvu.activateRate(kAdmin, 2, 1); }}});
        if (c.count == 0) korvu.activateRate(kAdmin, 2, 1);
        EXPECT_EQ(c.count ? "1;0;" : "1;1;", q("SELECT active FROM rate ORDER BY id"));
    }
}

TEST_F(Rates, EveryWriteChecksTheWholeActiveSet) {
    refused({
        {11, colliding(1), [&] { add("0048", "08:00", "18:00", "101"); }},
        {11, colliding(2), [&] { add("0048", "17:00", "19:00", "102,101"); }},
        {11, colliding(1),
         [&] { korvu.updateRate(kAdmin, 2, "0048", &eleven, 0, 0, "17:00", "08:00", 0, 0, "102", 1); }},
    });
    // Someone else's collision blocks every write but the one removing it; deleting checks nothing.
    database.exec("INSERT INTO rate (id, to_hour, extensions, active) VALUES (3, '09:00', '101,101', 1)");
    refused({{11, colliding(1), [&] { add("7", "08:00", "09:00", "7", 0); }}});
    korvu.deleteRate(kAdmin, 2);
    korvu.activateRate(kAdmin, 3, 0);
    database.exec("UPDATE rate SET active = 2 WHERE id = 3");  // only 1 puts a rate in force
    korvu.activateRate(kAdmin, 1, 0);  // nothing active: the count is -1 and the write commits
    add("0048", "08:00", "18:00", "101", 0);
    EXPECT_EQ("1|0;3|2;4|0;", q("SELECT id, active FROM rate ORDER BY id"));
}

TEST_F(Rates, WritesStoreEveryValueAndTheExtensionUserReadsOnlyRatesInForce) {
    const int nine = 9, zero = 0;
    korvu.addRate(kAdmin, "0033", &nine, 1.75, 1, "23:00", "01:00", 0.05, 12.5, "101, 102,", 1);
    korvu.addRate(kAdmin, "5", &zero, -0.5, 0, "24:00", "99:99", -0.99, -0.25, "201", 0);  // -0.5 passes as 0
    korvu.updateRate(kAdmin, 1, "0048", nullptr, 0.3, 30, "07:00", "19:00", 0.2, 10.5, "101,102", 0);
    korvu.activateRate(kAdmin, 2, 1);
    korvu.activateRate(kAdmin, 42, 1);  // no such rate: nothing changes, no error
    EXPECT_EQ(
        "1|0048|~|0.3|30|07:00|19:00|0.2|10.5|101,102|0|new;2|0049|~|0.4|60|22:00|06:00|0.0|0.0|101|1|"
        "2015-01-06 08:00:00;3|0033|9|1.75|1|23:00|01:00|0.05|12.5|101, 102,|1|new;4|5|0|-0.5|0|24:00|99:99|"
        "-0.99|-0.25|201|0|new;",
        q("SELECT id, prefix, number_length, rate, bill_unit, from_hour, to_hour, init_cost, init_time, "
          "extensions, active, iif(last_mod > '2016-01', 'new', last_mod) FROM rate"));
    korvu.deleteRate(kAdmin, 4);
    refused({{12, "Rate not found", [&] { korvu.deleteRate(kAdmin, 4); }}});
    EXPECT_EQ(
        "prefix|number_length|rate|from_hour|to_hour|init_cost|init_time|bill_unit|last_mod;0049|~|0.4|"
        "22:00|06:00|0.0|0.0|60|2015-01-06 08:00:00;",
        whole(*korvu.getRate(kUser, "101")));
    EXPECT_EQ(2u, korvu.getRate(kAdmin, "101")->rows.size());
    database.exec("UPDATE rate SET active = 7 WHERE id = 1");  // anything but 0 is in force
    EXPECT_EQ(2u, korvu.getRate(kUser, "101")->rows.size());
    EXPECT_EQ("2015-01-05 08:00:00", korvu.getRateHistory(kAdmin, 1)->rows.at(0).at(11).str());  // newest
}

// Hours, then values in field order, before anything is opened; active only after the credentials.
TEST_F(Rates, ValueChecksInOrderBeforeCredentialsAndActiveAfterThem) {
    const std::string hour = "Invalid hour format: ", field = "Bad value of field: ",
                      min = ". Expected value equal or greater than 0, got: ",
                      active = ". Expected 0 or 1, got: ";
    const int minus = -1;
    const auto write = [&](double rate, int unit, double cost, double time, const int* length,
                           const char* from = "08:00", const char* to = "09:00") {
        korvu.addRate(kBadAdmin, "0", length, rate, unit, from, to, cost, time, "1", 9);
    };
    refused({
        {4, hour + "9:00", [&] { write(-5, -5, -5, -5, &minus, "9:00", "24:00x"); }},
        {4, hour + "09.00", [&] { write(-5, -5, -5, -5, &minus, "10:00", "09.00"); }},
        {4, field + "rate" + min + "-1", [&] { write(-1.5, -1, -1, -1, &minus); }},
        {4, field + "rate" + min + "nan", [&] { write(std::nan(""), -1, -1, -1, &minus); }},
        {4, field + "bill_unit" + min + "-3", [&] { write(-0.5, -3, -1, -1, &minus); }},
        {4, field + "init_cost" + min + "-2", [&] { write(0, 0, -2.9, -1, &minus); }},
        {4, field + "init_time" + min + "-1", [&] { write(0, 0, -0.9, -1.0, &minus); }},
        {4, field + "number_length" + min + "-1", [&] { write(0, 0, 0, 0, &minus); }},
        {4, field + "active" + active + "2", [&] { add("5", "08:00", "09:00", "201", 2); }},
        {4, field + "active" + active + "-1",
         [&] { korvu.updateRate(kAdmin, 2, "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "2", -1); }},
        {4, field + "active" + active + "5", [&] { korvu.activateRate(kAdmin, 2, 5); }},
        {12, "Rate not found",  // existence before active
         [&] { korvu.updateRate(kAdmin, 3, "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "2", 7); }},
    });
}

TEST_F(Rates, ConcurrentCollidingAddsCommitExactlyOne) {
    for (int round = 0; round < 8; ++round) {
        const std::string prefix = "09" + std::to_string(round);
        std::atomic<int> ready{0};
        const auto write = [&](const char* from, const char* to) {
            for (++ready; ready < 2;) {
            }
            try {
                add(prefix.c_str(), from, to, "555");
                return std::string("committed");
            } catch (const std::exception& e) {
                return std::string(e.what());
            }
        };
        auto first = std::async(std::launch::async, write, "08:00", "12:00");
        const std::string second = write("10:00", "14:00"), one = first.get();
        EXPECT_EQ("CorruptedRatesTable  11: " + colliding(1) + "|committed",
                  std::min(one, second) + "|" + std::max(one, second));  // one of each, either way round
        EXPECT_EQ("1;", q("SELECT count(*) FROM rate WHERE prefix = '" + prefix + "'"));
    }
}

}  // namespace
