#include <gtest/gtest.h>

#include <list>
#include <string>

#include "ArgTestSupport.h"
#include "proto/MethodChargeExtenArg.h"
#include "proto/MethodDeleteCallLogsArg.h"
#include "proto/MethodExtenIdArg.h"

namespace {

using argtest::expectRefused;
using argtest::prepared;
using proto::MethodChargeExtenArg;
using proto::MethodDeleteCallLogsArg;
using proto::MethodExtenIdArg;
using Ids = std::list<long long>;

TEST(ExtenIdListArgument, KeepsOrderAndDuplicates) {
    EXPECT_EQ((Ids{7, 7, 2}), prepared<MethodExtenIdArg>(R"({"exten_array":["7","7","2"]})").ids);
    EXPECT_EQ((Ids{200}), prepared<MethodExtenIdArg>(R"({"EXTEN_ARRAY":["200"],"exten_array":["1"]})").ids);
    EXPECT_EQ((Ids{-1, 9000000000LL, 12}),
              prepared<MethodExtenIdArg>(R"({"exten_array":["-1","9000000000","12-3"]})").ids);
}

TEST(ExtenIdListArgument, EveryRefusalHasItsMessage) {
    expectRefused<MethodExtenIdArg>("JSON arg item contains no exten_ids array", "null");
    expectRefused<MethodExtenIdArg>("JSON arg item contains no exten_ids array", R"({"exten_ids":["1"]})");
    expectRefused<MethodExtenIdArg>("JSON exten_ids item has bad type (expected array)",
                                    R"({"exten_array":"200"})");
    expectRefused<MethodExtenIdArg>("JSON exten_ids item has bad type (expected array)",
                                    R"({"exten_array":{"0":"200"}})");
    expectRefused<MethodExtenIdArg>("JSON exten_ids item has bad type (expected array)",
                                    R"({"exten_array":null})");
    expectRefused<MethodExtenIdArg>("JSON exten_ids array contains no items", R"({"exten_array":[]})");
    expectRefused<MethodExtenIdArg>("Id must by a string", R"({"exten_array":["200",201]})");
    expectRefused<MethodExtenIdArg>("Id must by a string", R"({"exten_array":[null]})");
    expectRefused<MethodExtenIdArg>("Id must by a string", R"({"exten_array":[["1"]]})");
    expectRefused<MethodExtenIdArg>("cannot convert '2 01' to long long int",
                                    R"({"exten_array":["200","2 01"]})");
}

TEST(ExtenIdListArgument, IdsBeforeAFailingElementAreStoredAndNothingAfterIsRead) {
    MethodExtenIdArg arg;
    // the fourth element is also bad, but the third one fails first
    expectRefused("cannot convert 'x' to long long int", R"({"exten_array":["3","1","x",4]})", arg);
    EXPECT_EQ((Ids{3, 1}), arg.ids);
}

TEST(ExtenIdListArgument, AReusedRecordHoldsOnlyTheNewList) {
    MethodExtenIdArg arg;
    arg.ids = {99, 98};
    argtest::prepareInto(R"({"exten_array":["1"]})", arg);
    EXPECT_EQ((Ids{1}), arg.ids);
}

TEST(ExtenIdListArgument, IdsBeyondSixtyFourBitsAreRefusedNotClamped) {
    expectRefused<MethodExtenIdArg>("cannot convert '9223372036854775808' to long long int",
                                    R"({"exten_array":["9223372036854775808"]})");
    expectRefused<MethodExtenIdArg>("cannot convert '-9223372036854775809' to long long int",
                                    R"({"exten_array":["1","-9223372036854775809"]})");
    EXPECT_EQ(
        (Ids{9223372036854775807LL, -9223372036854775807LL - 1}),
        prepared<MethodExtenIdArg>(R"({"exten_array":["9223372036854775807","-9223372036854775808"]})").ids);
}

TEST(ChargeExtenArgument, ReadsTheListThenTheAmount) {
    const auto arg = prepared<MethodChargeExtenArg>(R"({"Value":"-2.50","exten_array":["200","200"]})");
    EXPECT_EQ((Ids{200, 200}), arg.ids);
    EXPECT_DOUBLE_EQ(-2.5, arg.value);
    EXPECT_DOUBLE_EQ(0.5, prepared<MethodChargeExtenArg>(R"({"exten_array":["1"],"value":".5"})").value);
}

TEST(ChargeExtenArgument, EveryRefusalHasItsMessage) {
    // the list is checked first, whatever "value" holds
    expectRefused<MethodChargeExtenArg>("JSON arg item contains no exten_ids array", "null");
    expectRefused<MethodChargeExtenArg>("JSON arg item contains no exten_ids array", R"({"value":5})");
    expectRefused<MethodChargeExtenArg>("JSON exten_ids item has bad type (expected array)",
                                        R"({"exten_array":"1","value":5})");
    expectRefused<MethodChargeExtenArg>("JSON exten_ids array contains no items",
                                        R"({"exten_array":[],"value":5})");
    expectRefused<MethodChargeExtenArg>("Id must be a string", R"({"exten_array":["1",2],"value":5})");
    expectRefused<MethodChargeExtenArg>("JSON arg item contains no value", R"({"exten_array":["1"]})");
    expectRefused<MethodChargeExtenArg>("JSON value item has bad type (expected string)",
                                        R"({"exten_array":["1"],"value":10})");
    expectRefused<MethodChargeExtenArg>("JSON value item has bad type (expected string)",
                                        R"({"exten_array":["1"],"value":null})");
    expectRefused<MethodChargeExtenArg>("cannot convert '1,5' to double",
                                        R"({"exten_array":["1"],"value":"1,5"})");
}

TEST(ChargeExtenArgument, ListStaysWhenTheAmountFails) {
    MethodChargeExtenArg arg;
    arg.value = 3;
    expectRefused("cannot convert '1e3' to double", R"({"exten_array":["5","6"],"value":"1e3"})", arg);
    EXPECT_EQ((Ids{5, 6}), arg.ids);
    EXPECT_DOUBLE_EQ(3, arg.value);
}

TEST(DeleteCallLogsArgument, KeepsOrderAndDuplicates) {
    EXPECT_EQ((Ids{10, 3, 10}), prepared<MethodDeleteCallLogsArg>(R"({"IDS":["10","3","10"]})").ids);
}

TEST(DeleteCallLogsArgument, EveryRefusalHasItsMessage) {
    expectRefused<MethodDeleteCallLogsArg>("JSON arg item contains no ids", "null");
    expectRefused<MethodDeleteCallLogsArg>("JSON arg item contains no ids", R"({"exten_array":["1"]})");
    expectRefused<MethodDeleteCallLogsArg>("JSON ids item has bad type (expected array)", R"({"ids":"1"})");
    expectRefused<MethodDeleteCallLogsArg>("JSON ids item has bad type (expected array)", R"({"ids":{}})");
    expectRefused<MethodDeleteCallLogsArg>("array 'ids' is empty", R"({"ids":[]})");
    expectRefused<MethodDeleteCallLogsArg>("id must by a string", R"({"ids":["1",2]})");
    expectRefused<MethodDeleteCallLogsArg>("id must by a string", R"({"ids":[true]})");
    expectRefused<MethodDeleteCallLogsArg>("cannot convert '' to long long int", R"({"ids":["1",""]})");
    expectRefused<MethodDeleteCallLogsArg>("cannot convert '18446744073709551616' to long long int",
                                           R"({"ids":["18446744073709551616"]})");
}

}  // namespace
