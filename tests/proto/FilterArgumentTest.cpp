#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ArgTestSupport.h"
#include "proto/MethodCallLogsArg.h"
#include "proto/MethodGetExtensArg.h"
#include "proto/MethodGetRechargeHistoryArg.h"
#include "proto/MethodGetStatisticsArg.h"

namespace {

using argtest::expectRefused;
using argtest::prepared;
using proto::MethodCallLogsArg;
using proto::MethodGetExtensArg;
using proto::MethodGetRechargeHistoryArg;
using proto::MethodGetStatisticsArg;

// The text an optional field holds, or "<null>" when it is not given.
std::string given(const std::unique_ptr<std::string>& field) { return field ? "[" + *field + "]" : "<null>"; }
std::string given(const std::unique_ptr<int>& field) { return field ? std::to_string(*field) : "<null>"; }

TEST(StatisticsArgument, EveryItemIsOptional) {
    for (const char* argText : {"null", "{}", R"({"other":5})"}) {
        SCOPED_TRACE(argText);
        const auto arg = prepared<MethodGetStatisticsArg>(argText);
        EXPECT_FALSE(arg.monthly);
        EXPECT_EQ("<null>", given(arg.fromDate));
        EXPECT_EQ("<null>", given(arg.toDate));
        EXPECT_EQ("<null>", given(arg.exten));
    }
    const auto all = prepared<MethodGetStatisticsArg>(
        R"({"MONTHLY":true,"From_Date":"2024-01-01","to_date":"","exten":"200"})");
    EXPECT_TRUE(all.monthly);
    EXPECT_EQ("[2024-01-01]", given(all.fromDate));
    EXPECT_EQ("[]", given(all.toDate));  // an empty text is given, not absent
    EXPECT_EQ("[200]", given(all.exten));
    EXPECT_FALSE(prepared<MethodGetStatisticsArg>(R"({"monthly":false})").monthly);
}

TEST(StatisticsArgument, MonthlyIsABooleanThatAbsenceLeavesAlone) {
    expectRefused<MethodGetStatisticsArg>("JSON monthly item has bad type (expected bool)",
                                          R"({"monthly":"true"})");
    expectRefused<MethodGetStatisticsArg>("JSON monthly item has bad type (expected bool)",
                                          R"({"monthly":1})");
    expectRefused<MethodGetStatisticsArg>("JSON monthly item has bad type (expected bool)",
                                          R"({"monthly":null})");
    MethodGetStatisticsArg arg;
    arg.monthly = true;
    argtest::prepareInto("{}", arg);
    EXPECT_TRUE(arg.monthly);
}

TEST(StatisticsArgument, ChecksRunInOrderAndKeepEarlierFields) {
    expectRefused<MethodGetStatisticsArg>("JSON monthly item has bad type (expected bool)",
                                          R"({"exten":1,"to_date":1,"from_date":1,"monthly":"x"})");
    expectRefused<MethodGetStatisticsArg>("JSON from_date item has bad type (expected string)",
                                          R"({"exten":1,"to_date":1,"from_date":null})");
    expectRefused<MethodGetStatisticsArg>("JSON to_date item has bad type (expected string)",
                                          R"({"exten":1,"to_date":[]})");
    expectRefused<MethodGetStatisticsArg>("JSON exten item has bad type (expected string)",
                                          R"({"exten":200})");

    MethodGetStatisticsArg arg;
    arg.exten = std::make_unique<std::string>("before");
    expectRefused("JSON to_date item has bad type (expected string)",
                  R"({"monthly":true,"from_date":"2024-01-01","to_date":5,"exten":"200"})", arg);
    EXPECT_TRUE(arg.monthly);
    EXPECT_EQ("[2024-01-01]", given(arg.fromDate));
    EXPECT_EQ("[before]", given(arg.exten));
}

TEST(StatisticsArgument, AbsentItemsReleaseEarlierValues) {
    MethodGetStatisticsArg arg;
    argtest::prepareInto(R"({"from_date":"a","to_date":"b","exten":"c"})", arg);
    argtest::prepareInto(R"({"to_date":"d"})", arg);
    EXPECT_EQ("<null>", given(arg.fromDate));
    EXPECT_EQ("[d]", given(arg.toDate));
    EXPECT_EQ("<null>", given(arg.exten));
}

TEST(StatisticsArgument, SetFromDateCopiesOrClears) {
    MethodGetStatisticsArg arg;
    std::string text = "2024-02-01";
    arg.setFromDate(text.c_str());
    text = "changed";
    EXPECT_EQ("[2024-02-01]", given(arg.fromDate));
    arg.setFromDate("");
    EXPECT_EQ("[]", given(arg.fromDate));
    arg.setFromDate(nullptr);
    EXPECT_EQ("<null>", given(arg.fromDate));
}

TEST(RechargeHistoryArgument, ReadsThreeOptionalTexts) {
    const auto none = prepared<MethodGetRechargeHistoryArg>("null");
    EXPECT_EQ("<null>", given(none.exten));
    EXPECT_EQ("<null>", given(none.fromDate));
    EXPECT_EQ("<null>", given(none.toDate));
    const auto all =
        prepared<MethodGetRechargeHistoryArg>(R"({"to_date":"2","EXTEN":"","from_date":"1","exten":"x"})");
    EXPECT_EQ("[]", given(all.exten));
    EXPECT_EQ("[1]", given(all.fromDate));
    EXPECT_EQ("[2]", given(all.toDate));
}

TEST(RechargeHistoryArgument, ChecksRunInOrderAndKeepEarlierFields) {
    expectRefused<MethodGetRechargeHistoryArg>("JSON exten item has bad type (expected string)",
                                               R"({"to_date":1,"from_date":1,"exten":1})");
    expectRefused<MethodGetRechargeHistoryArg>("JSON from_date item has bad type (expected string)",
                                               R"({"to_date":1,"from_date":null})");
    expectRefused<MethodGetRechargeHistoryArg>("JSON to_date item has bad type (expected string)",
                                               R"({"to_date":false})");
    MethodGetRechargeHistoryArg arg;
    arg.toDate = std::make_unique<std::string>("before");
    expectRefused("JSON from_date item has bad type (expected string)",
                  R"({"exten":"200","from_date":{},"to_date":"x"})", arg);
    EXPECT_EQ("[200]", given(arg.exten));
    EXPECT_EQ("[before]", given(arg.toDate));
}

TEST(CallLogsArgument, ReadsFiveOptionalTexts) {
    const auto none = prepared<MethodCallLogsArg>("null");
    for (const auto* field :
         {&none.exten, &none.filterName, &none.filterValue, &none.fromDate, &none.toDate}) {
        EXPECT_EQ("<null>", given(*field));
    }
    const auto all = prepared<MethodCallLogsArg>(
        R"({"to_date":"5","from_date":"4","FILTER_VALUE":"3","Filter_Name":"2","exten":"1"})");
    EXPECT_EQ("[1]", given(all.exten));
    EXPECT_EQ("[2]", given(all.filterName));
    EXPECT_EQ("[3]", given(all.filterValue));
    EXPECT_EQ("[4]", given(all.fromDate));
    EXPECT_EQ("[5]", given(all.toDate));
    // a filter name alone is accepted; its allowed values are the operation's concern
    const auto nameOnly = prepared<MethodCallLogsArg>(R"({"filter_name":"no such column"})");
    EXPECT_EQ("[no such column]", given(nameOnly.filterName));
    EXPECT_EQ("<null>", given(nameOnly.filterValue));
}

TEST(CallLogsArgument, FilterValueNeedsAFilterNameBeforeItsTypeIsChecked) {
    const std::string message = "JSON arg item contains item filter_value, but contains no item filter_name";
    expectRefused<MethodCallLogsArg>(message, R"({"filter_value":"x"})");
    expectRefused<MethodCallLogsArg>(message, R"({"filter_value":5})");
    expectRefused<MethodCallLogsArg>(message, R"({"filter_value":null,"from_date":1})");
    expectRefused<MethodCallLogsArg>("JSON filter_value item has bad type (expected string)",
                                     R"({"filter_name":"src","filter_value":5})");
    // an earlier bad item is reported first
    expectRefused<MethodCallLogsArg>("JSON exten item has bad type (expected string)",
                                     R"({"exten":5,"filter_value":"x"})");
    expectRefused<MethodCallLogsArg>("JSON filter_name item has bad type (expected string)",
                                     R"({"filter_name":null,"filter_value":"x"})");
}

TEST(CallLogsArgument, ChecksRunInOrderAndKeepEarlierFields) {
    expectRefused<MethodCallLogsArg>("JSON from_date item has bad type (expected string)",
                                     R"({"to_date":1,"from_date":1,"filter_name":"a","filter_value":"b"})");
    expectRefused<MethodCallLogsArg>("JSON to_date item has bad type (expected string)", R"({"to_date":[]})");
    MethodCallLogsArg arg;
    arg.toDate = std::make_unique<std::string>("before");
    expectRefused("JSON from_date item has bad type (expected string)",
                  R"({"exten":"","filter_name":"a","filter_value":"b","from_date":0,"to_date":"x"})", arg);
    EXPECT_EQ("[]", given(arg.exten));
    EXPECT_EQ("[a]", given(arg.filterName));
    EXPECT_EQ("[b]", given(arg.filterValue));
    EXPECT_EQ("[before]", given(arg.toDate));
}

TEST(GetExtensArgument, ReadsOptionalTextsAndNumber) {
    const auto none = prepared<MethodGetExtensArg>("{}");
    EXPECT_EQ("<null>", given(none.exten));
    EXPECT_EQ("<null>", given(none.billStatus));
    EXPECT_EQ("<null>", given(none.prepaid));
    const auto all = prepared<MethodGetExtensArg>(R"({"Bill_Status":"LOCK","PREPAID":"0","exten":""})");
    EXPECT_EQ("[]", given(all.exten));
    EXPECT_EQ("[LOCK]", given(all.billStatus));
    EXPECT_EQ("0", given(all.prepaid));
    EXPECT_EQ("-12", given(prepared<MethodGetExtensArg>(R"({"prepaid":"-12"})").prepaid));
}

TEST(GetExtensArgument, PrepaidIsCheckedBeforeBillStatus) {
    expectRefused<MethodGetExtensArg>("cannot convert 'yes' to int", R"({"bill_status":1,"prepaid":"yes"})");
    expectRefused<MethodGetExtensArg>("JSON bill_status item has bad type (expected string)",
                                      R"({"bill_status":1})");
    expectRefused<MethodGetExtensArg>("JSON prepaid item has bad type (expected string)",
                                      R"({"bill_status":1,"prepaid":1})");
    expectRefused<MethodGetExtensArg>("JSON prepaid item has bad type (expected string)",
                                      R"({"prepaid":null})");
    expectRefused<MethodGetExtensArg>("JSON exten item has bad type (expected string)",
                                      R"({"prepaid":"x","exten":200})");
    expectRefused<MethodGetExtensArg>("cannot convert '4294967297' to int", R"({"prepaid":"4294967297"})");

    MethodGetExtensArg arg;
    arg.prepaid = std::make_unique<int>(5);
    arg.billStatus = std::make_unique<std::string>("before");
    expectRefused("cannot convert '' to int", R"({"exten":"200","prepaid":"","bill_status":"FREE"})", arg);
    EXPECT_EQ("[200]", given(arg.exten));
    EXPECT_EQ("5", given(arg.prepaid));
    EXPECT_EQ("[before]", given(arg.billStatus));
}

}  // namespace
