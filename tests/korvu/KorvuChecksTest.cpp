#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "korvu/korvu/Korvu.h"
#include "tests/support/ExpectError.h"

namespace {

using korvu::InvalidArgException;
using korvu::Korvu;

TEST(HourFormat, OnlyTheShapeHHMMCounts) {
    for (const std::string hour : {"00:00", "23:59", "24:00", "99:99"}) {
        EXPECT_TRUE(Korvu::checkHourFormat(hour)) << hour;
        Korvu::checkHourFormatOrThrow(hour);
    }
    // A byte of 128 or more is never a digit, whatever the locale says.
    for (const std::string& hour : std::vector<std::string>{"9:00", "09:00 ", " 09:00", "09.00", "0a:00",
                                                            "09:0a", "", "09:000", std::string("09:0\0", 5),
                                                            "\xb9"
                                                            "9:00"}) {
        EXPECT_FALSE(Korvu::checkHourFormat(hour)) << hour;
        EXPECT_ERROR(InvalidArgException, 4, "Invalid hour format: " + hour,
                     [&] { Korvu::checkHourFormatOrThrow(hour); });
    }
}

TEST(DateFormat, OnlyTheShapeYYYYMMDDHHMMCounts) {
    for (const std::string date : {"2015-12-02 07:26", "2015-13-00 99:99", "0000-00-00 00:00"}) {
        EXPECT_TRUE(Korvu::checkDateFormat(date)) << date;
        Korvu::checkDateFormatOrThrow(date);
    }
    for (const std::string date :
         {"2015-12-02", "2015-12-02 07:26:00", "2015-12-02T07:26", "2015/12/02 07:26", "2015-12-02 07.26",
          "2015-12-02  7:26", "2O15-12-02 07:26", " 2015-12-02 07:2", "2015-12-02 07:26 ", ""}) {
        EXPECT_FALSE(Korvu::checkDateFormat(date)) << date;
        EXPECT_ERROR(InvalidArgException, 4, "Invalid date format: " + date,
                     [&] { Korvu::checkDateFormatOrThrow(date); });
    }
}

TEST(StringArg, ValueMustBeOneOfTheListExactly) {
    const std::list<std::string> allowed = {"exten", "disposition", "dst", "src"};
    Korvu::checkStringArgOrThrow("filterName", "src", allowed);
    Korvu::checkStringArgOrThrow("filterName", "exten", allowed);
    for (const std::string value : {"SRC", "src ", "sr", "srcx"}) {
        EXPECT_ERROR(InvalidArgException, 4, "Invalid value for 'filterName'",
                     [&] { Korvu::checkStringArgOrThrow("filterName", value, allowed); });
    }
    EXPECT_ERROR(InvalidArgException, 4, "Filed 'filterName' cannot be empty",
                 [&] { Korvu::checkStringArgOrThrow("filterName", "", allowed); });
}

TEST(StringArg, EmptyValueIsRefusedEvenWhenListed) {
    EXPECT_ERROR(InvalidArgException, 4, "Filed 'x' cannot be empty", [&] {
        Korvu::checkStringArgOrThrow("x", "", {"", "a"});
    });
    EXPECT_ERROR(InvalidArgException, 4, "Invalid value for 'x'",
                 [&] { Korvu::checkStringArgOrThrow("x", "a", {}); });
}

TEST(BillStatus, OnlyFreeAndLockInCapitals) {
    Korvu::checkBillStatusOrThrow("FREE");
    Korvu::checkBillStatusOrThrow("LOCK");
    for (const std::string status : {"free", "Lock", "FREE ", "", "OPEN"}) {
        EXPECT_ERROR(InvalidArgException, 4,
                     "Bad value of field: bill_status. Expected 'FREE' or 'LOCK', got: " + status,
                     [&] { Korvu::checkBillStatusOrThrow(status); });
    }
}

TEST(NotNegative, ZeroPassesBelowZeroFails) {
    Korvu::checkIfNotNegativeOrThrow("rate", 0);
    Korvu::checkIfNotNegativeOrThrow("rate", 2147483647);
    EXPECT_ERROR(InvalidArgException, 4,
                 "Bad value of field: rate. Expected value equal or greater than 0, got: -1",
                 [] { Korvu::checkIfNotNegativeOrThrow("rate", -1); });
    EXPECT_ERROR(InvalidArgException, 4,
                 "Bad value of field: bill_unit. Expected value equal or greater than 0, got: -2147483648",
                 [] { Korvu::checkIfNotNegativeOrThrow("bill_unit", -2147483647 - 1); });
}

TEST(ZeroOrOne, NothingElsePasses) {
    Korvu::checkIfZeroOrOneOrThrow("active", 0);
    Korvu::checkIfZeroOrOneOrThrow("active", 1);
    EXPECT_ERROR(InvalidArgException, 4, "Bad value of field: active. Expected 0 or 1, got: 2",
                 [] { Korvu::checkIfZeroOrOneOrThrow("active", 2); });
    EXPECT_ERROR(InvalidArgException, 4, "Bad value of field: prepaid. Expected 0 or 1, got: -1",
                 [] { Korvu::checkIfZeroOrOneOrThrow("prepaid", -1); });
}

}  // namespace
