#include <gtest/gtest.h>

#include <string>

#include "ProtoTestHelpers.h"
#include "proto/Convert.h"

namespace {

using prototest::expectInvalidArg;

TEST(NumberConversion, IntReadsLeadingDecimalNumber) {
    EXPECT_EQ(42, proto::toInt("42"));
    EXPECT_EQ(-7, proto::toInt("-7"));
    EXPECT_EQ(7, proto::toInt("007"));
    EXPECT_EQ(12, proto::toInt("12-3"));
    EXPECT_EQ(0, proto::toInt("-0"));
    EXPECT_EQ(2147483647, proto::toInt("2147483647"));
    EXPECT_EQ(-2147483647 - 1, proto::toInt("-2147483648"));
}

TEST(NumberConversion, IntRefusesOtherCharactersAndTextsWithoutNumber) {
    for (const std::string text :
         {"", "-", "--1", " 1", "1 ", "+1", "1.5", "0x10", "1e3", "12a", "\xc2\xb2"}) {
        expectInvalidArg("cannot convert '" + text + "' to int", [&] { proto::toInt(text); });
    }
    const std::string withNul(
        "1\0"
        "2",
        3);
    expectInvalidArg("cannot convert '" + withNul + "' to int", [&] { proto::toInt(withNul); });
}

TEST(NumberConversion, LongLongReachesBeyondThirtyTwoBits) {
    EXPECT_EQ(9000000000LL, proto::toLongLong("9000000000"));
    EXPECT_EQ(-9000000000LL, proto::toLongLong("-9000000000"));
    EXPECT_EQ(17LL, proto::toLongLong("0017"));
    EXPECT_EQ(5LL, proto::toLongLong("5-"));
    for (const std::string text : {"", "-", "1.5", " 5", "+5", "5x"}) {
        expectInvalidArg("cannot convert '" + text + "' to long long int", [&] { proto::toLongLong(text); });
    }
}

TEST(NumberConversion, DoubleAcceptsPointButNoExponent) {
    EXPECT_DOUBLE_EQ(2.5, proto::toDouble("2.50"));
    EXPECT_DOUBLE_EQ(-0.5, proto::toDouble("-.5"));
    EXPECT_DOUBLE_EQ(1.2, proto::toDouble("1.2.3"));
    EXPECT_DOUBLE_EQ(7.0, proto::toDouble("7"));
    EXPECT_DOUBLE_EQ(3.0, proto::toDouble("3."));
    for (const std::string text : {"1e3", ".", "-.", "1,5", "", "-", "inf", "nan", " 1.5", "+1.5"}) {
        expectInvalidArg("cannot convert '" + text + "' to double", [&] { proto::toDouble(text); });
    }
}

}  // namespace
