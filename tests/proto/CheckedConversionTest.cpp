#include <gtest/gtest.h>

#include <string>

#include "ProtoTestHelpers.h"
#include "proto/ArgItems.h"

namespace {

using prototest::expectInvalidArg;

TEST(CheckedConversion, IntAcceptsItsWholeRangeAndRefusesBeyond) {
    EXPECT_EQ(2147483647, proto::checkedToInt("2147483647"));
    EXPECT_EQ(-2147483647 - 1, proto::checkedToInt("-2147483648"));
    EXPECT_EQ(7, proto::checkedToInt("007"));
    EXPECT_EQ(12, proto::checkedToInt("12-3"));
    expectInvalidArg("cannot convert '2147483648' to int", [] { proto::checkedToInt("2147483648"); });
    expectInvalidArg("cannot convert '-2147483649' to int", [] { proto::checkedToInt("-2147483649"); });
    expectInvalidArg("cannot convert '99999999999999999999' to int",
                     [] { proto::checkedToInt("99999999999999999999"); });
    expectInvalidArg("cannot convert '4294967296-1' to int", [] { proto::checkedToInt("4294967296-1"); });
    // texts the converter refuses keep its message
    expectInvalidArg("cannot convert '--1' to int", [] { proto::checkedToInt("--1"); });
    expectInvalidArg("cannot convert ' 1' to int", [] { proto::checkedToInt(" 1"); });
}

TEST(CheckedConversion, LongLongAcceptsItsWholeRangeAndRefusesBeyond) {
    EXPECT_EQ(9223372036854775807LL, proto::checkedToLongLong("9223372036854775807"));
    EXPECT_EQ(-9223372036854775807LL - 1, proto::checkedToLongLong("-9223372036854775808"));
    EXPECT_EQ(9000000000LL, proto::checkedToLongLong("0009000000000"));
    expectInvalidArg("cannot convert '9223372036854775808' to long long int",
                     [] { proto::checkedToLongLong("9223372036854775808"); });
    expectInvalidArg("cannot convert '-9223372036854775809' to long long int",
                     [] { proto::checkedToLongLong("-9223372036854775809"); });
    expectInvalidArg("cannot convert '-' to long long int", [] { proto::checkedToLongLong("-"); });
}

TEST(CheckedConversion, DoubleRefusesOnlyWhatWouldBecomeInfinite) {
    EXPECT_DOUBLE_EQ(2.5, proto::checkedToDouble("2.50"));
    EXPECT_DOUBLE_EQ(1.2, proto::checkedToDouble("1.2.3"));
    const std::string big = "1" + std::string(308, '0');  // 1e308 still fits
    EXPECT_DOUBLE_EQ(1e308, proto::checkedToDouble(big));
    // a tiny value only loses precision and is kept
    EXPECT_EQ(0.0, proto::checkedToDouble("0." + std::string(400, '0') + "1"));
    const std::string huge = "-1" + std::string(309, '0');
    expectInvalidArg("cannot convert '" + huge + "' to double", [&] { proto::checkedToDouble(huge); });
    expectInvalidArg("cannot convert '.' to double", [] { proto::checkedToDouble("."); });
}

}  // namespace
