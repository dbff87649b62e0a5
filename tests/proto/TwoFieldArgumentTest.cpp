#include <gtest/gtest.h>

#include <string>

#include "ArgTestSupport.h"
#include "proto/MethodActivateRateArg.h"
#include "proto/MethodChangeExtenPass.h"

namespace {

using argtest::expectRefused;
using argtest::prepared;
using proto::MethodActivateRateArg;
using proto::MethodChangeExtenPass;

TEST(ActivateRateArgument, ConvertsBothStrings) {
    const auto arg = prepared<MethodActivateRateArg>(R"({"rate_id":"9000000000","active":"-1","x":1})");
    EXPECT_EQ(9000000000LL, arg.rateId);
    EXPECT_EQ(-1, arg.active);
    // keys match without regard to case, the first match wins
    const auto upper =
        prepared<MethodActivateRateArg>(R"({"RATE_ID":"17","Active":"0","rate_id":"18","active":"1"})");
    EXPECT_EQ(17LL, upper.rateId);
    EXPECT_EQ(0, upper.active);
}

TEST(ActivateRateArgument, EachItemHasItsMessages) {
    expectRefused<MethodActivateRateArg>("JSON arg item contains no rate_id", "null");
    expectRefused<MethodActivateRateArg>("JSON arg item contains no rate_id", R"({"active":"1"})");
    expectRefused<MethodActivateRateArg>("JSON rate_id item has bad type (expected string)",
                                         R"({"rate_id":17,"active":"1"})");
    expectRefused<MethodActivateRateArg>("JSON rate_id item has bad type (expected string)",
                                         R"({"rate_id":null,"active":"1"})");
    expectRefused<MethodActivateRateArg>("JSON arg item contains no active", R"({"rate_id":"1"})");
    expectRefused<MethodActivateRateArg>("JSON active item has bad type (expected string)",
                                         R"({"rate_id":"1","active":true})");
    expectRefused<MethodActivateRateArg>("cannot convert '1.0' to int", R"({"rate_id":"1","active":"1.0"})");
}

TEST(ActivateRateArgument, ConversionFailsBeforeTheNextItemIsRead) {
    // "active" is missing, yet the bad rate id is reported: it is converted first
    expectRefused<MethodActivateRateArg>("cannot convert 'x' to long long int", R"({"rate_id":"x"})");
    expectRefused<MethodActivateRateArg>("cannot convert ' 1' to long long int",
                                         R"({"rate_id":" 1","active":5})");
}

TEST(ActivateRateArgument, FieldsBeforeTheFailingItemKeepTheirValues) {
    MethodActivateRateArg arg;
    arg.rateId = 5;
    arg.active = 7;
    expectRefused("JSON active item has bad type (expected string)", R"({"rate_id":"42","active":1})", arg);
    EXPECT_EQ(42LL, arg.rateId);
    EXPECT_EQ(7, arg.active);
}

TEST(ChangeExtenPassArgument, ReadsIdAndPasswordUnchanged) {
    const auto arg = prepared<MethodChangeExtenPass>(R"({"exten_id":"200","new_pass":" s3cr\"t "})");
    EXPECT_EQ(200, arg.extenId);
    EXPECT_EQ(" s3cr\"t ", arg.newPass);
    const auto empty = prepared<MethodChangeExtenPass>(R"({"EXTEN_ID":"007","NEW_PASS":""})");
    EXPECT_EQ(7, empty.extenId);
    EXPECT_EQ("", empty.newPass);
}

TEST(ChangeExtenPassArgument, EachItemHasItsMessages) {
    expectRefused<MethodChangeExtenPass>("JSON arg item contains no item exten_id", "null");
    expectRefused<MethodChangeExtenPass>("JSON arg item contains no item exten_id",
                                         R"({"exten":"200","new_pass":"p"})");
    expectRefused<MethodChangeExtenPass>("JSON exten_id item has bad type (expected string)",
                                         R"({"exten_id":200,"new_pass":"p"})");
    expectRefused<MethodChangeExtenPass>("cannot convert '2a' to int", R"({"exten_id":"2a"})");
    expectRefused<MethodChangeExtenPass>("JSON arg item contains no item new_pass", R"({"exten_id":"200"})");
    expectRefused<MethodChangeExtenPass>("JSON new_pass item has bad type (expected string)",
                                         R"({"exten_id":"200","new_pass":null})");
    expectRefused<MethodChangeExtenPass>("JSON new_pass item has bad type (expected string)",
                                         R"({"exten_id":"200","new_pass":1234})");
}

TEST(ChangeExtenPassArgument, IdBeyondIntIsRefusedNotWrappedOntoAnotherExtension) {
    // 2^32 + 200 would otherwise wrap to extension 200
    expectRefused<MethodChangeExtenPass>("cannot convert '4294967496' to int",
                                         R"({"exten_id":"4294967496","new_pass":"p"})");
    expectRefused<MethodChangeExtenPass>("cannot convert '2147483648' to int",
                                         R"({"exten_id":"2147483648","new_pass":"p"})");
    expectRefused<MethodChangeExtenPass>("cannot convert '-2147483649' to int",
                                         R"({"exten_id":"-2147483649","new_pass":"p"})");
    EXPECT_EQ(2147483647,
              prepared<MethodChangeExtenPass>(R"({"exten_id":"2147483647","new_pass":""})").extenId);
    EXPECT_EQ(-2147483647 - 1,
              prepared<MethodChangeExtenPass>(R"({"exten_id":"-2147483648","new_pass":""})").extenId);
}

TEST(ChangeExtenPassArgument, FieldsBeforeTheFailingItemKeepTheirValues) {
    MethodChangeExtenPass arg;
    arg.newPass = "old";
    expectRefused("JSON arg item contains no item new_pass", R"({"exten_id":"201"})", arg);
    EXPECT_EQ(201, arg.extenId);
    EXPECT_EQ("old", arg.newPass);
}

}  // namespace
