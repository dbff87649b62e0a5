#include <gtest/gtest.h>

#include <list>
#include <random>
#include <string>
#include <vector>

#include "korvu/korvu/RateCollision.h"

namespace {

using korvu::rateHoursCompatible;
using korvu::RateRecord;

// The collision rule written plainly: literal midnight split, every pair of the list in list order.
bool referenceHours(const std::string& f1, const std::string& t1, const std::string& f2,
                    const std::string& t2) {
    if (f2 > t2) return referenceHours(f1, t1, "00:00", t2) && referenceHours(f1, t1, f2, "99:99");
    if (f1 > t1) return referenceHours("00:00", t1, f2, t2) && referenceHours(f1, "99:99", f2, t2);
    if (f1 <= f2 && f2 < t1) return false;
    if (t2 <= f1) return true;
    return t2 > t1;
}

int referenceCount(const std::list<RateRecord>& records) {
    if (records.empty()) return -1;
    int count = 0;
    for (auto a = records.begin(); a != records.end(); ++a) {
        for (auto b = std::next(a); b != records.end(); ++b) {
            if (a->prefix == b->prefix && a->numberLength == b->numberLength &&
                a->extensions == b->extensions &&
                !referenceHours(a->fromHour, a->toHour, b->fromHour, b->toHour)) {
                ++count;
            }
        }
    }
    return count;
}

std::size_t sameHashForAll(const RateRecord&) { return 7; }
std::size_t hashOfLengthOnly(const RateRecord& record) {
    return static_cast<std::size_t>(record.numberLength);
}

void addRate(std::list<RateRecord>& records, int id, const std::string& prefix, int numberLength,
             const std::string& from, const std::string& to, const std::string& extensions) {
    for (const auto& piece : korvu::splitExtensions(extensions)) {
        records.push_back(RateRecord{id, prefix, numberLength, from, to, piece});
    }
}

TEST(RateCollisionRule, TouchingRangesDoNotCollide) {
    EXPECT_TRUE(rateHoursCompatible("08:00", "12:00", "12:00", "18:00"));
    EXPECT_TRUE(rateHoursCompatible("12:00", "18:00", "08:00", "12:00"));
    EXPECT_FALSE(rateHoursCompatible("08:00", "12:00", "11:59", "18:00"));
    EXPECT_FALSE(rateHoursCompatible("12:00", "18:00", "08:00", "12:01"));
    EXPECT_FALSE(rateHoursCompatible("08:00", "12:00", "08:00", "12:00"));
}

TEST(RateCollisionRule, RangesPassingMidnightAreSplit) {
    EXPECT_FALSE(rateHoursCompatible("22:00", "06:00", "05:00", "07:00"));
    EXPECT_TRUE(rateHoursCompatible("22:00", "06:00", "08:00", "20:00"));
    EXPECT_TRUE(rateHoursCompatible("08:00", "20:00", "22:00", "06:00"));
    EXPECT_FALSE(rateHoursCompatible("08:00", "20:00", "19:00", "06:00"));
    EXPECT_FALSE(rateHoursCompatible("22:00", "06:00", "23:00", "01:00"));
    EXPECT_TRUE(rateHoursCompatible("22:00", "06:00", "06:00", "22:00"));
}

TEST(RateCollisionRule, EnclosingRangeCollidesOnlyAsTheFirst) {
    EXPECT_TRUE(rateHoursCompatible("09:00", "12:00", "08:00", "18:00"));
    EXPECT_FALSE(rateHoursCompatible("08:00", "18:00", "09:00", "12:00"));
    EXPECT_TRUE(rateHoursCompatible("08:00", "18:00", "22:00", "20:00"));
    EXPECT_FALSE(rateHoursCompatible("22:00", "20:00", "08:00", "18:00"));
}

TEST(RateCollisionRule, EmptyRangeNeverCollidesFirstAndCollidesSecondInsideClosedRange) {
    EXPECT_TRUE(rateHoursCompatible("10:00", "10:00", "09:00", "11:00"));
    EXPECT_TRUE(rateHoursCompatible("10:00", "10:00", "10:00", "10:00"));
    EXPECT_TRUE(rateHoursCompatible("10:00", "10:00", "22:00", "12:00"));
    EXPECT_FALSE(rateHoursCompatible("10:00", "11:00", "10:00", "10:00"));
    EXPECT_FALSE(rateHoursCompatible("10:00", "11:00", "10:30", "10:30"));
    EXPECT_FALSE(rateHoursCompatible("10:00", "11:00", "11:00", "11:00"));
    EXPECT_TRUE(rateHoursCompatible("10:00", "11:00", "09:59", "09:59"));
    EXPECT_TRUE(rateHoursCompatible("10:00", "11:00", "11:01", "11:01"));
}

TEST(RateCollisionRule, MidnightSplitEndsExactlyAtTheLiteralBounds) {
    // Parts of a split range end at "00:00" and "99:99" themselves, so these stay compatible.
    EXPECT_TRUE(rateHoursCompatible("22:00", "00:00", "00:00", "00:00"));
    EXPECT_TRUE(rateHoursCompatible("99:99", "01:00", "99:99", "99:99"));
    EXPECT_FALSE(rateHoursCompatible("22:00", "00:00", "23:00", "00:00"));
}

TEST(RateCollisionRule, TextsOutsideTheHourFormEndWithBoundedParts) {
    // An end sorting below "00:00" bounds the lower part at itself: 22:00 to "" covers 22:00 onwards.
    EXPECT_TRUE(rateHoursCompatible("22:00", "", "05:00", "07:00"));
    EXPECT_FALSE(rateHoursCompatible("22:00", "", "23:00", "23:30"));
    EXPECT_TRUE(rateHoursCompatible("05:00", "07:00", "22:00", ""));
    EXPECT_FALSE(rateHoursCompatible("21:00", "23:00", "22:00", ""));
    // A start sorting above "99:99" bounds the upper part at itself: "9:00" to 06:00 is 00:00 to 06:00.
    EXPECT_FALSE(rateHoursCompatible("9:00", "06:00", "05:00", "07:00"));
    EXPECT_TRUE(rateHoursCompatible("9:00", "06:00", "08:00", "09:00"));
    EXPECT_FALSE(rateHoursCompatible("05:00", "07:00", "9:00", "06:00"));
    EXPECT_TRUE(rateHoursCompatible("07:00", "09:00", "9:00", "06:00"));
    // Hours read from NULL are empty texts: an empty range at "".
    EXPECT_TRUE(rateHoursCompatible("", "", "", ""));
    EXPECT_FALSE(rateHoursCompatible("", "01:00", "", ""));
    EXPECT_TRUE(rateHoursCompatible("", "", "9:00", ""));
    EXPECT_TRUE(rateHoursCompatible("9:00", "", "9:00", ""));
}

TEST(ExtensionSplitting, SplitsAtEveryCommaKeepingEmptyAndBlankPieces) {
    EXPECT_EQ((std::vector<std::string>{"101"}), korvu::splitExtensions("101"));
    EXPECT_EQ((std::vector<std::string>{"101", "102"}), korvu::splitExtensions("101,102"));
    EXPECT_EQ((std::vector<std::string>{""}), korvu::splitExtensions(""));
    EXPECT_EQ((std::vector<std::string>{"", ""}), korvu::splitExtensions(","));
    EXPECT_EQ((std::vector<std::string>{"101", "", "102", ""}), korvu::splitExtensions("101,,102,"));
    EXPECT_EQ((std::vector<std::string>{"101", " 102 "}), korvu::splitExtensions("101, 102 "));
}

TEST(RateCollisionCount, EmptyListIsMinusOneAndOneRecordIsZero) {
    std::list<RateRecord> records;
    EXPECT_EQ(-1, korvu::countRateCollisions(records));
    addRate(records, 1, "0", 7, "08:00", "18:00", "101");
    EXPECT_EQ(0, korvu::countRateCollisions(records));
}

TEST(RateCollisionCount, EachSharedExtensionCountsOnce) {
    std::list<RateRecord> records;
    addRate(records, 1, "00", 10, "08:00", "18:00", "101,102,103");
    addRate(records, 2, "00", 10, "09:00", "10:00", "102,104,101");
    EXPECT_EQ(2, korvu::countRateCollisions(records));
    addRate(records, 3, "00", 10, "17:00", "19:00", "103");
    EXPECT_EQ(3, korvu::countRateCollisions(records));
}

TEST(RateCollisionCount, OnlyEqualPrefixLengthAndExtensionAreCompared) {
    std::list<RateRecord> records;
    addRate(records, 1, "00", 0, "08:00", "18:00", "101");
    addRate(records, 2, "001", 0, "08:00", "18:00", "101");
    addRate(records, 3, "00", 5, "08:00", "18:00", "101");
    addRate(records, 4, "00", 0, "08:00", "18:00", "101 ");
    addRate(records, 5, "00", 0, "08:00", "18:00", "1010");
    EXPECT_EQ(0, korvu::countRateCollisions(records));
    // Extensions of one rate are never compared with each other.
    std::list<RateRecord> one;
    addRate(one, 1, "00", 0, "08:00", "18:00", "101,102,,103");
    EXPECT_EQ(0, korvu::countRateCollisions(one));
}

TEST(RateCollisionCount, DuplicatedExtensionCollidesWithItself) {
    std::list<RateRecord> records;
    addRate(records, 1, "0", 0, "08:00", "12:00", "101,101");
    EXPECT_EQ(1, korvu::countRateCollisions(records));
    std::list<RateRecord> night;
    addRate(night, 1, "0", 0, "22:00", "06:00", "101,102,101,101");
    EXPECT_EQ(3, korvu::countRateCollisions(night));
    std::list<RateRecord> empty;
    addRate(empty, 1, "0", 0, "10:00", "10:00", "101,101");
    EXPECT_EQ(0, korvu::countRateCollisions(empty));
}

TEST(RateCollisionCount, ListOrderDecidesWhichRangeIsFirst) {
    std::list<RateRecord> records;
    addRate(records, 1, "0", 0, "09:00", "12:00", "101");
    addRate(records, 2, "0", 0, "08:00", "18:00", "101");
    EXPECT_EQ(0, korvu::countRateCollisions(records));
    std::list<RateRecord> swapped;
    addRate(swapped, 1, "0", 0, "08:00", "18:00", "101");
    addRate(swapped, 2, "0", 0, "09:00", "12:00", "101");
    EXPECT_EQ(1, korvu::countRateCollisions(swapped));
    // Records of other keys interleaved between them change nothing.
    std::list<RateRecord> mixed;
    addRate(mixed, 1, "0", 0, "09:00", "12:00", "101");
    addRate(mixed, 2, "1", 0, "08:00", "18:00", "101");
    addRate(mixed, 3, "0", 0, "08:00", "18:00", "102,101");
    addRate(mixed, 4, "0", 0, "10:00", "11:00", "102");
    EXPECT_EQ(1, korvu::countRateCollisions(mixed));
}

TEST(RateCollisionCount, EmptyRangeFirstNeverCollidesButSecondDoes) {
    std::list<RateRecord> records;
    addRate(records, 1, "0", 0, "10:00", "10:00", "101");
    addRate(records, 2, "0", 0, "08:00", "18:00", "101");
    EXPECT_EQ(0, korvu::countRateCollisions(records));
    std::list<RateRecord> swapped;
    addRate(swapped, 1, "0", 0, "08:00", "18:00", "101");
    addRate(swapped, 2, "0", 0, "10:00", "10:00", "101");
    EXPECT_EQ(1, korvu::countRateCollisions(swapped));
}

// Grouping must give exactly the count of testing every pair of the list.
TEST(RateCollisionCount, GroupedCountEqualsEveryPairCount) {
    const std::vector<std::string> prefixes = {"", "0", "00", "001"};
    const std::vector<int> lengths = {0, 7, 10};
    const std::vector<std::string> pieces = {"", "101", "102", "101 "};
    const std::vector<std::string> hours = {"00:00", "05:00", "06:00", "08:00", "12:00",
                                            "18:00", "22:00", "23:59", "24:00", "99:99"};
    std::mt19937 random(20240611u);
    const auto pick = [&random](std::size_t size) {
        return std::uniform_int_distribution<std::size_t>(0, size - 1)(random);
    };
    int setsWithCollisions = 0;
    int setsWithout = 0;
    for (int set = 0; set < 3000; ++set) {
        std::list<RateRecord> records;
        const std::size_t rates = pick(25);
        for (std::size_t id = 1; id <= rates; ++id) {
            std::string extensions = pieces[pick(pieces.size())];
            const std::size_t more = pick(3);
            for (std::size_t i = 0; i < more; ++i) extensions += "," + pieces[pick(pieces.size())];
            addRate(records, static_cast<int>(id), prefixes[pick(prefixes.size())],
                    lengths[pick(lengths.size())], hours[pick(hours.size())], hours[pick(hours.size())],
                    extensions);
        }
        const int expected = referenceCount(records);
        ASSERT_EQ(expected, korvu::countRateCollisions(records)) << "set " << set;
        // Unequal keys that share a hash must still be told apart.
        ASSERT_EQ(expected, korvu::countRateCollisions(records, sameHashForAll)) << "set " << set;
        ASSERT_EQ(expected, korvu::countRateCollisions(records, hashOfLengthOnly)) << "set " << set;
        if (expected > 0) ++setsWithCollisions;
        if (expected == 0) ++setsWithout;
    }
    EXPECT_GT(setsWithCollisions, 1000);
    EXPECT_GT(setsWithout, 100);
}

TEST(RateCollisionCount, LargeTableWithDistinctKeysCountsOnlyTheRealCollision) {
    std::list<RateRecord> records;
    for (int id = 1; id <= 100000; ++id) {
        addRate(records, id, std::to_string(id % 97), id % 13, "08:00", "18:00", std::to_string(id));
    }
    EXPECT_EQ(0, korvu::countRateCollisions(records));
    addRate(records, 100001, std::to_string(50000 % 97), 50000 % 13, "17:00", "09:00", "50000");
    EXPECT_EQ(1, korvu::countRateCollisions(records));
}

}  // namespace
