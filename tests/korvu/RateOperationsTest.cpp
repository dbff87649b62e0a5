#include <gtest/gtest.h>
#include <log4cplus/appender.h>
#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/korvu/KorvuFixture.h"

namespace {

using korvutest::adminAuth;
using korvutest::extenAuth;
using korvutest::KorvuTest;
using testsupport::Row;
using testsupport::Rows;

const char* const kInvalidUser = "Invalid user or password";
const Auth kWrongAdmin{"admin", "wrong", true};

// Every column but last_mod, which the database stamps with the clock.
const char* const kRateColumns =
    "SELECT id, prefix, number_length, rate, bill_unit, from_hour, to_hour, init_cost, init_time, "
    "extensions, "
    "active FROM rate ORDER BY id";

const Rows kSeedRates = {
    {"1", "0048", "11", "0.25", "60", "08:00", "18:00", "0.1", "30.0", "101,102", "1"},
    {"2", "0049", std::nullopt, "0.4", "60", "22:00", "06:00", "0.0", "0.0", "101", "0"},
};

std::vector<std::vector<std::string>> cells(const korvu::KorvuData& table) {
    std::vector<std::vector<std::string>> result;
    for (const auto& row : table.rows) {
        std::vector<std::string> line;
        for (const auto& cell : row) line.push_back(cell.isNull() ? "<null>" : cell.str());
        result.push_back(line);
    }
    return result;
}

class Rates : public KorvuTest {
protected:
    // The whole table, last_mod included: a refused write must leave it byte-identical.
    Rows wholeTable() const { return database.query("SELECT * FROM rate ORDER BY id"); }
    Rows rateColumns() const { return database.query(kRateColumns); }

    void add(const std::string& prefix, const int* length, const std::string& from, const std::string& to,
             const std::string& extensions, int active = 1) const {
        korvu.addRate(adminAuth(), prefix, length, 0.5, 60, from, to, 0.0, 0.0, extensions, active);
    }
    void activate(long long id) const { korvu.activateRate(adminAuth(), id, 1); }

    // The rate table holds exactly the given rates; every active flag is written as given.
    void rates(const std::string& values) const {
        database.exec("DELETE FROM rate");
        database.exec(
            "INSERT INTO rate (id, prefix, number_length, from_hour, to_hour, extensions, active, last_mod) "
            "VALUES " +
            values);
    }

    // Activating the rate given id 2 either commits (true) or is refused with this count.
    void expectActivationCollides(int count) {
        const Rows before = wholeTable();
        EXPECT_ERROR(korvu::CorruptedRatesTableException, 11,
                     "Corrupted rates table - " + std::to_string(count) + " are colliding",
                     [&] { activate(2); });
        EXPECT_EQ(before, wholeTable());
    }
    void expectActivationCommits() {
        activate(2);
        EXPECT_EQ((Rows{{"1"}}), database.query("SELECT active FROM rate WHERE id = 2"));
    }

    const int eleven = 11;
};

using RateCollisionOnWrite = Rates;

TEST_F(RateCollisionOnWrite, AddingRateSharingOneExtensionIsRefusedWithCountOne) {
    const Rows before = wholeTable();
    EXPECT_ERROR(korvu::CorruptedRatesTableException, 11, "Corrupted rates table - 1 are colliding",
                 [&] { add("0048", &eleven, "08:00", "18:00", "101"); });
    EXPECT_EQ(before, wholeTable());
    EXPECT_ERROR(korvu::CorruptedRatesTableException, 11, "Corrupted rates table - 2 are colliding",
                 [&] { add("0048", &eleven, "12:00", "13:00", "102,103,101"); });
    EXPECT_EQ(before, wholeTable());
}

TEST_F(RateCollisionOnWrite, InactiveTouchingAndOtherKeyRatesAreStored) {
    add("0048", &eleven, "08:00", "18:00", "101", 0);
    add("0048", &eleven, "18:00", "20:00", "101,102");
    add("0048", &eleven, "06:00", "08:00", "101");
    add("00481", &eleven, "08:00", "18:00", "101");
    add("0048", nullptr, "08:00", "18:00", "101");
    add("0048", &eleven, "08:00", "18:00", "103");
    const Rows expected = {
        kSeedRates[0],
        kSeedRates[1],
        {"3", "0048", "11", "0.5", "60", "08:00", "18:00", "0.0", "0.0", "101", "0"},
        {"4", "0048", "11", "0.5", "60", "18:00", "20:00", "0.0", "0.0", "101,102", "1"},
        {"5", "0048", "11", "0.5", "60", "06:00", "08:00", "0.0", "0.0", "101", "1"},
        {"6", "00481", "11", "0.5", "60", "08:00", "18:00", "0.0", "0.0", "101", "1"},
        {"7", "0048", std::nullopt, "0.5", "60", "08:00", "18:00", "0.0", "0.0", "101", "1"},
        {"8", "0048", "11", "0.5", "60", "08:00", "18:00", "0.0", "0.0", "103", "1"},
    };
    EXPECT_EQ(expected, rateColumns());
}

TEST_F(RateCollisionOnWrite, RangesPassingMidnight) {
    rates("(1, '0', 7, '22:00', '06:00', '101', 1, 'x'), (2, '0', 7, '05:00', '07:00', '101', 0, 'y')");
    expectActivationCollides(1);
    rates("(1, '0', 7, '22:00', '06:00', '101', 1, 'x'), (2, '0', 7, '08:00', '20:00', '101', 0, 'y')");
    expectActivationCommits();
}

TEST_F(RateCollisionOnWrite, EnclosingRateCollidesOnlyWithTheLowerId) {
    rates("(1, '0', 7, '09:00', '12:00', '101', 1, 'x'), (2, '0', 7, '08:00', '18:00', '101', 0, 'y')");
    expectActivationCommits();
    rates("(1, '0', 7, '08:00', '18:00', '101', 1, 'x'), (2, '0', 7, '09:00', '12:00', '101', 0, 'y')");
    expectActivationCollides(1);
    rates("(1, '0', 7, '08:00', '18:00', '101', 1, 'x'), (2, '0', 7, '22:00', '20:00', '101', 0, 'y')");
    expectActivationCommits();
    rates("(1, '0', 7, '22:00', '20:00', '101', 1, 'x'), (2, '0', 7, '08:00', '18:00', '101', 0, 'y')");
    expectActivationCollides(1);
}

TEST_F(RateCollisionOnWrite, EmptyRangeCollidesOnlyAsTheLaterRate) {
    rates("(1, '0', 7, '10:00', '10:00', '101', 1, 'x'), (2, '0', 7, '08:00', '18:00', '101', 0, 'y')");
    expectActivationCommits();
    rates("(1, '0', 7, '08:00', '18:00', '101', 1, 'x'), (2, '0', 7, '10:00', '10:00', '101', 0, 'y')");
    expectActivationCollides(1);
}

TEST_F(RateCollisionOnWrite, PrefixesCompareWholeAndMissingLengthEqualsZero) {
    rates("(1, '00', 0, '08:00', '18:00', '101', 1, 'x'), (2, '001', 0, '08:00', '18:00', '101', 0, 'y')");
    expectActivationCommits();
    rates("(1, '00', NULL, '08:00', '18:00', '101', 1, 'x'), (2, '00', 0, '08:00', '18:00', '101', 0, 'y')");
    expectActivationCollides(1);
    rates("(1, '00', 0, '08:00', '18:00', '101', 1, 'x'), (2, '00', 0, '08:00', '18:00', ' 101', 0, 'y')");
    expectActivationCommits();
}

TEST_F(RateCollisionOnWrite, ExtensionListedTwiceCollidesWithItself) {
    database.exec("DELETE FROM rate");
    const Rows before = wholeTable();
    EXPECT_ERROR(korvu::CorruptedRatesTableException, 11, "Corrupted rates table - 1 are colliding",
                 [&] { add("0", nullptr, "08:00", "12:00", "101,101"); });
    EXPECT_EQ(before, wholeTable());
    EXPECT_TRUE(wholeTable().empty());
    add("0", nullptr, "08:00", "12:00", "101,102,");
    EXPECT_EQ(1u, wholeTable().size());
}

TEST_F(RateCollisionOnWrite, WritesCommitWhenNoRateIsActive) {
    database.exec("DELETE FROM rate WHERE id = 1");
    add("0", nullptr, "08:00", "12:00", "101,101", 0);
    korvu.activateRate(adminAuth(), 2, 0);
    EXPECT_EQ((Rows{{"0"}, {"0"}}), database.query("SELECT active FROM rate ORDER BY id"));
    EXPECT_EQ(2u, wholeTable().size());
}

TEST_F(RateCollisionOnWrite, CollisionsOfOthersBlockEveryWriteUntilRemoved) {
    rates(
        "(1, '0', 7, '08:00', '18:00', '101,102', 1, 'x'), (2, '0', 7, '10:00', '11:00', '102,101', 1, 'y'),"
        " (3, '9', 7, '08:00', '18:00', '555', 0, 'z')");
    const Rows before = wholeTable();
    EXPECT_ERROR(korvu::CorruptedRatesTableException, 11, "Corrupted rates table - 2 are colliding",
                 [&] { add("7", nullptr, "08:00", "12:00", "999", 0); });
    EXPECT_ERROR(korvu::CorruptedRatesTableException, 11, "Corrupted rates table - 2 are colliding",
                 [&] { korvu.activateRate(adminAuth(), 3, 1); });
    EXPECT_EQ(before, wholeTable());
    // Deactivating the cause removes every collision and commits.
    korvu.activateRate(adminAuth(), 2, 0);
    EXPECT_EQ((Rows{{"1"}, {"0"}, {"0"}}), database.query("SELECT active FROM rate ORDER BY id"));
    // Deleting runs no check at all.
    database.exec("UPDATE rate SET active = 1");
    korvu.deleteRate(adminAuth(), 3);
    EXPECT_EQ((Rows{{"1"}, {"2"}}), database.query("SELECT id FROM rate ORDER BY id"));
}

TEST_F(RateCollisionOnWrite, OnlyActiveOneTakesPart) {
    rates(
        "(1, '0', 7, '08:00', '18:00', '101', 2, 'x'), (2, '0', 7, '08:00', '18:00', '101', 0, 'y'),"
        " (3, '0', 7, '08:00', '18:00', '101', '1', 'z')");
    // '1' stored as text in an INTEGER column becomes 1 and takes part; 2 does not.
    expectActivationCollides(1);
}

TEST_F(RateCollisionOnWrite, NullTextsOfActiveRatesReadAsEmptyTexts) {
    rates("(1, '', 0, '', '01:00', '', 1, 'x'), (2, NULL, NULL, NULL, NULL, NULL, 0, 'y')");
    expectActivationCollides(1);
    rates("(1, 'x', 0, '', '01:00', '', 1, 'x'), (2, NULL, NULL, NULL, NULL, NULL, 0, 'y')");
    expectActivationCommits();
    rates("(1, NULL, NULL, NULL, NULL, NULL, 1, 'x'), (2, '', 0, '', '01:00', '', 0, 'y')");
    expectActivationCommits();
}

TEST_F(RateCollisionOnWrite, StoredHoursOutsideTheFormStillGiveAnAnswer) {
    // 22:00 to "" passes midnight and covers 22:00 to the end of the day.
    rates("(1, '0', 7, '22:00', '', '101', 1, 'x'), (2, '0', 7, '23:00', '23:30', '101', 0, 'y')");
    expectActivationCollides(1);
    rates("(1, '0', 7, '22:00', '', '101', 1, 'x'), (2, '0', 7, '05:00', '07:00', '101', 0, 'y')");
    expectActivationCommits();
    // "9:00" sorts after "99:99"; 9:00 to 06:00 covers 00:00 to 06:00.
    rates("(1, '0', 7, '9:00', '06:00', '101', 1, 'x'), (2, '0', 7, '05:00', '07:00', '101', 0, 'y')");
    expectActivationCollides(1);
    rates("(1, '0', 7, '9:00', '06:00', '101', 1, 'x'), (2, '0', 7, '08:00', '09:00', '101', 0, 'y')");
    expectActivationCommits();
}

TEST_F(RateCollisionOnWrite, UpdateReplacesTheRateItselfAndRefusesCollisions) {
    korvu.updateRate(adminAuth(), 1, "0048", &eleven, 0.3, 30, "07:00", "19:00", 0.2, 10.5, "101,102", 1);
    korvu.updateRate(adminAuth(), 2, "0049", nullptr, 0.4, 60, "22:00", "06:00", 0.0, 0.0, "101", 1);
    const Rows before = wholeTable();
    EXPECT_ERROR(korvu::CorruptedRatesTableException, 11, "Corrupted rates table - 1 are colliding", [&] {
        korvu.updateRate(adminAuth(), 2, "0048", &eleven, 0.4, 60, "18:00", "08:00", 0.0, 0.0, "101", 1);
    });
    EXPECT_EQ(before, wholeTable());
    const Rows expected = {
        {"1", "0048", "11", "0.3", "30", "07:00", "19:00", "0.2", "10.5", "101,102", "1"},
        {"2", "0049", std::nullopt, "0.4", "60", "22:00", "06:00", "0.0", "0.0", "101", "1"},
    };
    EXPECT_EQ(expected, rateColumns());
}

using RateWriteOrder = Rates;

TEST_F(RateWriteOrder, HourFormatIsTestedBeforeCredentialsAndDatabase) {
    const korvu::Korvu missing(korvutest::missingPath(), validator, 20000);
    for (const korvu::Korvu* core : std::vector<const korvu::Korvu*>{&korvu, &missing}) {
        EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid hour format: 9:00", [&] {
            core->addRate(kWrongAdmin, "0", nullptr, 1, 60, "9:00", "24:00x", 0, 0, "101", 7);
        });
        EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid hour format: 24:00x", [&] {
            core->addRate(kWrongAdmin, "0", nullptr, -5, -5, "09:00", "24:00x", -5, -5, "101", 7);
        });
        EXPECT_ERROR(korvu::InvalidArgException, 4, "Invalid hour format: 08.00", [&] {
            core->updateRate(kWrongAdmin, 999, "0", nullptr, 1, 60, "08.00", "09:00", 0, 0, "101", 1);
        });
    }
    EXPECT_TRUE(validator.asked.empty());
    EXPECT_EQ(kSeedRates, rateColumns());
}

TEST_F(RateWriteOrder, NegativeValuesAreTestedInFieldOrder) {
    const int minusOne = -1;
    const auto expectRefused = [&](const std::string& message, double rate, int billUnit, double initCost,
                                   double initTime, const int* length) {
        EXPECT_ERROR(korvu::InvalidArgException, 4, message, [&] {
            korvu.addRate(kWrongAdmin, "0", length, rate, billUnit, "08:00", "09:00", initCost, initTime, "1",
                          9);
        });
        EXPECT_ERROR(korvu::InvalidArgException, 4, message, [&] {
            korvu.updateRate(kWrongAdmin, 999, "0", length, rate, billUnit, "08:00", "09:00", initCost,
                             initTime, "1", 9);
        });
    };
    const std::string head = "Bad value of field: ";
    const std::string tail = ". Expected value equal or greater than 0, got: ";
    expectRefused(head + "rate" + tail + "-1", -1.5, -1, -1, -1, &minusOne);
    expectRefused(head + "bill_unit" + tail + "-3", -0.5, -3, -1, -1, &minusOne);
    expectRefused(head + "init_cost" + tail + "-2", 0, 0, -2.9, -1, &minusOne);
    expectRefused(head + "init_time" + tail + "-1", 0, 0, -0.9, -1.0, &minusOne);
    expectRefused(head + "number_length" + tail + "-1", 0, 0, 0, 0, &minusOne);
    EXPECT_TRUE(validator.asked.empty());
    EXPECT_EQ(kSeedRates, rateColumns());
}

TEST_F(RateWriteOrder, FractionsAboveMinusOneAreAccepted) {
    const int zero = 0;
    korvu.addRate(adminAuth(), "5", &zero, -0.5, 0, "08:00", "09:00", -0.99, -0.25, "201", 1);
    EXPECT_EQ((Rows{{"5", "0", "-0.5", "0", "-0.99", "-0.25"}}),
              database.query("SELECT prefix, number_length, rate, bill_unit, init_cost, init_time FROM rate "
                             "WHERE id = 3"));
}

TEST_F(RateWriteOrder, ValuesBeyondTheIntRangeAreClampedNotConverted) {
    const std::string head = "Bad value of field: ";
    const std::string tail = ". Expected value equal or greater than 0, got: ";
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_ERROR(korvu::InvalidArgException, 4, head + "rate" + tail + "-2147483648", [&] {
        korvu.addRate(adminAuth(), "5", nullptr, -1e12, 0, "08:00", "09:00", 0, 0, "201", 1);
    });
    EXPECT_ERROR(korvu::InvalidArgException, 4, head + "init_cost" + tail + "-2147483648", [&] {
        korvu.addRate(adminAuth(), "5", nullptr, 0, 0, "08:00", "09:00", -inf, 0, "201", 1);
    });
    EXPECT_ERROR(korvu::InvalidArgException, 4, head + "init_cost" + tail + "-2147483648", [&] {
        korvu.addRate(adminAuth(), "5", nullptr, 0, 0, "08:00", "09:00", -2147483648.5, 0, "201", 1);
    });
    EXPECT_ERROR(korvu::InvalidArgException, 4, head + "init_time" + tail + "-2147483647", [&] {
        korvu.addRate(adminAuth(), "5", nullptr, 0, 0, "08:00", "09:00", 0, -2147483647.9, "201", 1);
    });
    EXPECT_ERROR(korvu::InvalidArgException, 4, head + "rate" + tail + "nan", [&] {
        korvu.addRate(adminAuth(), "5", nullptr, std::numeric_limits<double>::quiet_NaN(), 0, "08:00",
                      "09:00", 0, 0, "201", 1);
    });
    EXPECT_EQ(kSeedRates, rateColumns());
    korvu.addRate(adminAuth(), "5", nullptr, 1e12, 0, "08:00", "09:00", 2147483648.5, inf, "201", 1);
    EXPECT_EQ((Rows{{"1000000000000.0", "2147483648.5", "Inf"}}),
              database.query("SELECT rate, init_cost, init_time FROM rate WHERE id = 3"));
}

TEST_F(RateWriteOrder, ActiveIsTestedAfterCredentialsInsideTheTransaction) {
    const Rows before = wholeTable();
    EXPECT_ERROR(korvu::AuthException, 6, kInvalidUser,
                 [&] { korvu.addRate(kWrongAdmin, "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "201", 2); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.addRate(extenAuth(), "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "201", 2); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Bad value of field: active. Expected 0 or 1, got: 2",
                 [&] { korvu.addRate(adminAuth(), "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "201", 2); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Bad value of field: active. Expected 0 or 1, got: -1", [&] {
        korvu.updateRate(adminAuth(), 2, "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "201", -1);
    });
    EXPECT_ERROR(korvu::AuthException, 6, kInvalidUser, [&] { korvu.activateRate(kWrongAdmin, 2, 5); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "Bad value of field: active. Expected 0 or 1, got: 5",
                 [&] { korvu.activateRate(adminAuth(), 2, 5); });
    EXPECT_EQ(before, wholeTable());
}

TEST_F(RateWriteOrder, UpdateOfMissingRateIsRefusedAfterCredentials) {
    const Rows before = wholeTable();
    EXPECT_ERROR(korvu::AuthException, 6, kInvalidUser, [&] {
        korvu.updateRate(kWrongAdmin, 3, "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "1", 1);
    });
    EXPECT_ERROR(korvu::RateNotFoundException, 12, "Rate not found", [&] {
        korvu.updateRate(adminAuth(), 3, "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "1", 1);
    });
    // A missing rate wins over a bad active flag: the existence test comes first.
    EXPECT_ERROR(korvu::RateNotFoundException, 12, "Rate not found", [&] {
        korvu.updateRate(adminAuth(), -1, "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "1", 7);
    });
    EXPECT_EQ(before, wholeTable());
}

TEST_F(RateWriteOrder, MissingDatabaseIsReportedAfterTheValueChecks) {
    const korvu::Korvu missing(korvutest::missingPath(), validator, 20000);
    const std::string cantOpen = "SQL Error  14: unable to open database file";
    EXPECT_ERROR(korvu::InternalError, 1, cantOpen,
                 [&] { missing.addRate(adminAuth(), "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "1", 7); });
    EXPECT_ERROR(korvu::InternalError, 1, cantOpen, [&] {
        missing.updateRate(adminAuth(), 1, "5", nullptr, 1, 60, "08:00", "09:00", 0, 0, "1", 1);
    });
    EXPECT_ERROR(korvu::InternalError, 1, cantOpen, [&] { missing.activateRate(adminAuth(), 1, 7); });
    EXPECT_ERROR(korvu::InternalError, 1, cantOpen, [&] { missing.deleteRate(adminAuth(), 1); });
    EXPECT_ERROR(korvu::InternalError, 1, cantOpen, [&] { missing.getRates(adminAuth()); });
    EXPECT_ERROR(korvu::InternalError, 1, cantOpen, [&] { missing.getRateHistory(adminAuth(), 1); });
    EXPECT_ERROR(korvu::InternalError, 1, cantOpen, [&] { missing.getRate(adminAuth(), "101"); });
}

using RateOperations = Rates;

TEST_F(RateOperations, AddStoresEveryValueAndStampsLastMod) {
    const int nine = 9;
    korvu.addRate(adminAuth(), "0033", &nine, 1.75, 1, "23:00", "01:00", 0.05, 12.5, "101, 102,", 0);
    korvu.addRate(adminAuth(), "", nullptr, 0, 0, "00:00", "00:00", 0, 0, "", 1);
    const Rows expected = {
        kSeedRates[0],
        kSeedRates[1],
        {"3", "0033", "9", "1.75", "1", "23:00", "01:00", "0.05", "12.5", "101, 102,", "0"},
        {"4", "", std::nullopt, "0.0", "0", "00:00", "00:00", "0.0", "0.0", "", "1"},
    };
    EXPECT_EQ(expected, rateColumns());
    EXPECT_EQ(
        (Rows{{"1"}}),
        database.query("SELECT count(*) FROM rate WHERE id = 3 AND last_mod >= datetime('now', '-1 hour')"));
}

TEST_F(RateOperations, UpdateStampsLastModAndActivationDoesNot) {
    korvu.activateRate(adminAuth(), 1, 0);
    EXPECT_EQ((Rows{{"0", "2015-01-05 08:00:00"}}),
              database.query("SELECT active, last_mod FROM rate WHERE id = 1"));
    korvu.updateRate(adminAuth(), 2, "0049", nullptr, 0.4, 60, "22:00", "06:00", 0, 0, "101", 0);
    EXPECT_EQ(
        (Rows{{"1"}}),
        database.query("SELECT count(*) FROM rate WHERE id = 2 AND last_mod >= datetime('now', '-1 hour')"));
}

TEST_F(RateOperations, ActivatingMissingRateSucceedsAndChangesNothing) {
    const Rows before = wholeTable();
    korvu.activateRate(adminAuth(), 42, 1);
    korvu.activateRate(adminAuth(), 42, 0);
    EXPECT_EQ(before, wholeTable());
}

TEST_F(RateOperations, DeleteRemovesOneRateOrReportsItMissing) {
    EXPECT_ERROR(korvu::AuthException, 6, kInvalidUser, [&] { korvu.deleteRate(kWrongAdmin, 2); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied", [&] { korvu.deleteRate(extenAuth(), 2); });
    EXPECT_EQ(kSeedRates, rateColumns());
    korvu.deleteRate(adminAuth(), 2);
    EXPECT_EQ((Rows{kSeedRates[0]}), rateColumns());
    EXPECT_ERROR(korvu::RateNotFoundException, 12, "Rate not found",
                 [&] { korvu.deleteRate(adminAuth(), 2); });
    EXPECT_EQ((Rows{kSeedRates[0]}), rateColumns());
}

TEST_F(RateOperations, HistoryListsOneRateNewestFirst) {
    database.exec(
        "INSERT INTO rate_history (id, prefix, rate, extensions, active, last_mod) "
        "VALUES (2, '0049', 0.5, '101', 1, '2014-12-01 00:00:00')");
    const auto table = korvu.getRateHistory(adminAuth(), 1);
    const std::vector<std::string> headers = {"id",        "prefix",     "number_length", "rate",
                                              "bill_unit", "from_hour",  "to_hour",       "init_cost",
                                              "init_time", "extensions", "active",        "last_mod"};
    EXPECT_EQ(headers, table->headers);
    const std::vector<std::vector<std::string>> rows = {
        {"1", "0048", "11", "0.25", "60", "08:00", "18:00", "0.1", "30.0", "101,102", "1",
         "2015-01-05 08:00:00"},
        {"1", "0048", "11", "0.3", "60", "08:00", "18:00", "0.1", "30.0", "101", "0", "2015-01-01 08:00:00"},
    };
    EXPECT_EQ(rows, cells(*table));
    const auto none = korvu.getRateHistory(adminAuth(), 77);
    EXPECT_EQ(headers, none->headers);
    EXPECT_TRUE(none->rows.empty());
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getRateHistory(extenAuth(), 1); });
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 1. ",
                 [&] { korvuWithLimit(1)->getRateHistory(adminAuth(), 1); });
}

TEST_F(RateOperations, AllRatesInIdOrderForTheAdministratorOnly) {
    database.exec(
        "INSERT INTO rate (id, prefix, from_hour, to_hour, extensions, active, last_mod) "
        "VALUES (0, 'zz', '01:00', '02:00', NULL, 5, NULL)");
    const auto table = korvu.getRates(adminAuth());
    const std::vector<std::string> headers = {"id",        "prefix",     "number_length", "rate",
                                              "bill_unit", "from_hour",  "to_hour",       "init_cost",
                                              "init_time", "extensions", "active",        "last_mod"};
    EXPECT_EQ(headers, table->headers);
    const std::vector<std::vector<std::string>> rows = {
        {"0", "zz", "<null>", "0.0", "60", "01:00", "02:00", "0.0", "0.0", "<null>", "5", "<null>"},
        {"1", "0048", "11", "0.25", "60", "08:00", "18:00", "0.1", "30.0", "101,102", "1",
         "2015-01-05 08:00:00"},
        {"2", "0049", "<null>", "0.4", "60", "22:00", "06:00", "0.0", "0.0", "101", "0",
         "2015-01-06 08:00:00"},
    };
    EXPECT_EQ(rows, cells(*table));
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied", [&] { korvu.getRates(extenAuth()); });
    EXPECT_ERROR(korvu::AuthException, 6, kInvalidUser, [&] { korvu.getRates(kWrongAdmin); });
    EXPECT_EQ(3u, korvuWithLimit(3)->getRates(adminAuth())->rows.size());
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 2. ",
                 [&] { korvuWithLimit(2)->getRates(adminAuth()); });
}

TEST_F(RateOperations, RatesOfOneExtensionHideInactiveRatesFromTheUser) {
    const std::vector<std::string> headers = {"prefix",    "number_length", "rate",
                                              "from_hour", "to_hour",       "init_cost",
                                              "init_time", "bill_unit",     "last_mod"};
    const std::vector<std::string> rate1 = {
        "0048", "11", "0.25", "08:00", "18:00", "0.1", "30.0", "60", "2015-01-05 08:00:00"};
    const std::vector<std::string> rate2 = {
        "0049", "<null>", "0.4", "22:00", "06:00", "0.0", "0.0", "60", "2015-01-06 08:00:00"};
    auto admin = cells(*korvu.getRate(adminAuth(), "101"));
    std::sort(admin.begin(), admin.end());
    EXPECT_EQ((std::vector<std::vector<std::string>>{rate1, rate2}), admin);
    const auto user = korvu.getRate(extenAuth(), "101");
    EXPECT_EQ(headers, user->headers);
    EXPECT_EQ((std::vector<std::vector<std::string>>{rate1}), cells(*user));
    // Any active value but 0 counts as in force for the user.
    database.exec("UPDATE rate SET active = 7 WHERE id = 2");
    EXPECT_EQ(2u, korvu.getRate(extenAuth(), "101")->rows.size());
    const auto other = korvu.getRate(adminAuth(), "102");
    EXPECT_EQ(headers, other->headers);
    EXPECT_EQ((std::vector<std::vector<std::string>>{rate1}), cells(*other));
    EXPECT_TRUE(korvu.getRate(adminAuth(), "103")->rows.empty());
}

TEST_F(RateOperations, RatesOfOneExtensionRefusals) {
    EXPECT_ERROR(korvu::AuthException, 6, kInvalidUser, [&] { korvu.getRate(Auth{"101", "x", false}, ""); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "exten is empty", [&] { korvu.getRate(extenAuth(), ""); });
    EXPECT_ERROR(korvu::InvalidArgException, 4, "exten is empty", [&] { korvu.getRate(adminAuth(), ""); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getRate(extenAuth(), "102"); });
    EXPECT_ERROR(korvu::AccessDeniedException, 7, "Access denied",
                 [&] { korvu.getRate(extenAuth(), "999"); });
    EXPECT_ERROR(korvu::ExtenNotFoundException, 8, "Exten not found",
                 [&] { korvu.getRate(adminAuth(), "999"); });
    EXPECT_ERROR(korvu::TooManyRowsException, 10, "Too many rows. Current limit is 1. ",
                 [&] { korvuWithLimit(1)->getRate(adminAuth(), "101"); });
}

// Keeps every event's level and message.
class CapturingAppender : public log4cplus::Appender {
public:
    ~CapturingAppender() override { destructorImpl(); }
    void close() override {}

    std::vector<std::pair<log4cplus::LogLevel, std::string>> events;

protected:
    void append(const log4cplus::spi::InternalLoggingEvent& event) override {
        events.emplace_back(event.getLogLevel(), event.getMessage());
    }
};

// The rate table behind a view whose extensions column fails to read for an active rate 'boom': a write
// of such a rate succeeds, and the rates-table check after it fails inside the transaction.
class RateCheckFailure : public Rates {
protected:
    void SetUp() override {
        Rates::SetUp();
        database.exec(
            "ALTER TABLE rate RENAME TO rate_data;"
            "CREATE VIEW rate AS SELECT id, prefix, number_length, rate, bill_unit, from_hour, to_hour, "
            "init_cost,"
            " init_time, CASE WHEN extensions = 'boom' AND active = 1 THEN json('{') ELSE extensions END AS "
            "extensions,"
            " active,"
            " last_mod FROM rate_data;"
            "CREATE TRIGGER rate_insert INSTEAD OF INSERT ON rate BEGIN INSERT INTO rate_data (prefix, "
            " number_length, rate, bill_unit, from_hour, to_hour, init_cost, init_time, extensions, active, "
            " last_mod) VALUES (NEW.prefix, NEW.number_length, NEW.rate, NEW.bill_unit, NEW.from_hour, "
            " NEW.to_hour, NEW.init_cost, NEW.init_time, NEW.extensions, NEW.active, NEW.last_mod); END;"
            "CREATE TRIGGER rate_update INSTEAD OF UPDATE ON rate BEGIN UPDATE rate_data SET prefix = "
            "NEW.prefix,"
            " extensions = NEW.extensions, active = NEW.active WHERE id = OLD.id; END;");
        appender = log4cplus::SharedAppenderPtr(capture = new CapturingAppender());
        logger.addAppender(appender);
        logger.setAdditivity(false);
        logger.setLogLevel(log4cplus::ERROR_LOG_LEVEL);
    }
    void TearDown() override {
        logger.removeAppender(appender);
        logger.setLogLevel(log4cplus::OFF_LOG_LEVEL);
    }

    Rows dataTable() const { return database.query("SELECT * FROM rate_data ORDER BY id"); }

    log4cplus::Logger logger = log4cplus::Logger::getInstance("Korvu");
    log4cplus::SharedAppenderPtr appender;
    CapturingAppender* capture = nullptr;
};

TEST_F(RateCheckFailure, DatabaseErrorInTheCheckDiscardsTheWriteAndLogsOnce) {
    const Rows before = dataTable();
    const std::string malformed = "SQL Error  1: malformed JSON";
    EXPECT_ERROR(korvu::InternalError, 1, malformed,
                 [&] { korvu.addRate(adminAuth(), "7", nullptr, 1, 60, "08:00", "09:00", 0, 0, "boom", 1); });
    EXPECT_EQ(before, dataTable());
    EXPECT_ERROR(korvu::InternalError, 1, malformed, [&] {
        korvu.updateRate(adminAuth(), 2, "7", nullptr, 1, 60, "08:00", "09:00", 0, 0, "boom", 1);
    });
    EXPECT_EQ(before, dataTable());
    database.exec("UPDATE rate_data SET extensions = 'boom', active = 0 WHERE id = 2");
    const Rows boom = dataTable();
    EXPECT_ERROR(korvu::InternalError, 1, malformed, [&] { korvu.activateRate(adminAuth(), 2, 1); });
    EXPECT_EQ(boom, dataTable());
    ASSERT_EQ(3u, capture->events.size());
    for (const auto& event : capture->events) {
        EXPECT_EQ(log4cplus::ERROR_LOG_LEVEL, event.first);
        EXPECT_EQ(malformed, event.second);
    }
    // The view itself works: a harmless write goes through it and commits.
    korvu.addRate(adminAuth(), "7", nullptr, 1, 60, "08:00", "09:00", 0, 0, "301", 1);
    EXPECT_EQ(3u, dataTable().size());
}

// Thread-safe: answers without recording.
class PlainAdminValidator : public korvu::AdminValidator {
public:
    bool validate(const std::string& user, const std::string& password) override {
        return user == "admin" && password == "adminpass";
    }
};

TEST(RateConcurrency, OfTwoMutuallyCollidingAddsExactlyOneCommits) {
    log4cplus::Logger::getInstance("Korvu").setLogLevel(log4cplus::OFF_LOG_LEVEL);
    testsupport::TempDatabase database;
    PlainAdminValidator validator;
    const korvu::Korvu korvu(database.path(), validator, 20000);
    for (int round = 0; round < 8; ++round) {
        const std::string prefix = "09" + std::to_string(round);
        std::atomic<int> ready{0};
        std::atomic<int> committed{0};
        std::atomic<int> refused{0};
        std::vector<std::string> others(2);
        const auto writer = [&](int index) {
            ++ready;
            while (ready.load() < 2) {
            }
            try {
                korvu.addRate(adminAuth(), prefix, nullptr, 1, 60, index == 0 ? "08:00" : "10:00",
                              index == 0 ? "12:00" : "14:00", 0, 0, "555", 1);
                ++committed;
            } catch (const korvu::CorruptedRatesTableException& e) {
                if (e.errorMessage() == "Corrupted rates table - 1 are colliding") ++refused;
            } catch (const std::exception& e) {
                others[index] = e.what();
            }
        };
        std::thread first(writer, 0);
        std::thread second(writer, 1);
        first.join();
        second.join();
        EXPECT_EQ(1, committed.load()) << "round " << round;
        EXPECT_EQ(1, refused.load()) << "round " << round;
        EXPECT_EQ((std::vector<std::string>{"", ""}), others);
        EXPECT_EQ((Rows{{"1"}}), database.query("SELECT count(*) FROM rate WHERE prefix = '" + prefix + "'"));
    }
}

}  // namespace
