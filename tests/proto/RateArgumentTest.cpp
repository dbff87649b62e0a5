#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ArgTestSupport.h"
#include "proto/MethodAddRateArg.h"
#include "proto/MethodUpdateRateArg.h"

namespace {

using argtest::ArgObject;
using argtest::expectRefused;
using argtest::prepared;
using proto::MethodAddRateArg;
using proto::MethodUpdateRateArg;

const ArgObject& addRateItems() {
    static const ArgObject items{
        {"prefix", R"("00")"},     {"number_length", R"("10")"}, {"rate", R"("2.50")"},
        {"bill_unit", R"("60")"},  {"from_hour", R"("08:00")"},  {"to_hour", R"("18:00")"},
        {"init_cost", R"("0.5")"}, {"init_time", R"("30")"},     {"extensions", R"(["200","201"])"},
        {"active", R"("1")"}};
    return items;
}

const ArgObject& updateRateItems() {
    static const ArgObject items = [] {
        ArgObject all{{"rate_id", R"("17")"}};
        for (const auto& member : addRateItems().members()) {
            all = all.with(member.first, member.second);
        }
        return all;
    }();
    return items;
}

// For each item in check order: its absent message and its message for a JSON number.
using StepMessages = std::vector<std::pair<std::string, std::pair<std::string, std::string>>>;

StepMessages rateStepMessages(const std::string& numberLengthBadType) {
    return {
        {"prefix",
         {"JSON arg item contains no item prefix", "JSON prefix item has bad type (expected string)"}},
        {"number_length", {"JSON arg item contains no item number_length", numberLengthBadType}},
        {"rate", {"JSON arg item contains no item rate", "JSON rate item has bad type (expected string)"}},
        {"bill_unit",
         {"JSON arg item contains no item bill_unit", "JSON bill_unit item has bad type (expected string)"}},
        {"from_hour",
         {"JSON arg item contains no item from_hour", "JSON from_hour item has bad type (expected string)"}},
        {"to_hour",
         {"JSON arg item contains no item to_hour", "JSON to_hour item has bad type (expected string)"}},
        {"init_cost",
         {"JSON arg item contains no item init_cost", "JSON init_cost item has bad type (expected string)"}},
        {"init_time",
         {"JSON arg item contains no item init_time", "JSON init_time item has bad type (expected string)"}},
        {"extensions",
         {"JSON arg item contains no item extensions", "JSON extensions item has bad type (expected array)"}},
        {"active",
         {"JSON arg item contains no item active", "JSON active item has bad type (expected string)"}},
    };
}

// Each item fails on its own while every later item is missing too, so the first failure wins.
template <typename Arg>
void expectStepsInOrder(const ArgObject& items, const StepMessages& steps) {
    for (const auto& step : steps) {
        SCOPED_TRACE(step.first);
        const ArgObject earlier = items.before(step.first);
        expectRefused<Arg>(step.second.first, earlier.text());
        expectRefused<Arg>(step.second.second, earlier.with(step.first, "5").text());
        // a wrong type is refused even though the later items are well formed
        expectRefused<Arg>(step.second.second, items.with(step.first, "{}").text());
    }
}

template <typename Arg>
void expectAllFieldsOfTheValidItems(const Arg& arg) {
    EXPECT_EQ("00", arg.prefix);
    ASSERT_NE(nullptr, arg.numberLength);
    EXPECT_EQ(10, *arg.numberLength);
    EXPECT_DOUBLE_EQ(2.5, arg.rate);
    EXPECT_EQ(60, arg.billUnit);
    EXPECT_EQ("08:00", arg.fromHour);
    EXPECT_EQ("18:00", arg.toHour);
    EXPECT_DOUBLE_EQ(0.5, arg.initCost);
    EXPECT_DOUBLE_EQ(30, arg.initTime);
    EXPECT_EQ("200,201", arg.extensions);
    EXPECT_EQ(1, arg.active);
}

TEST(AddRateArgument, ReadsAllTenItems) {
    expectAllFieldsOfTheValidItems(prepared<MethodAddRateArg>(addRateItems().text()));
    // keys in other cases; members beyond the items are ignored
    const auto upper = prepared<MethodAddRateArg>(
        R"({"PREFIX":"","Number_Length":"-1","RATE":"0","BILL_UNIT":"1","FROM_HOUR":"","TO_HOUR":"",)"
        R"("INIT_COST":"-.5","INIT_TIME":"1.2.3","EXTENSIONS":[],"ACTIVE":"0","rate_id":5})");
    EXPECT_EQ("", upper.prefix);
    ASSERT_NE(nullptr, upper.numberLength);
    EXPECT_EQ(-1, *upper.numberLength);
    EXPECT_DOUBLE_EQ(-0.5, upper.initCost);
    EXPECT_DOUBLE_EQ(1.2, upper.initTime);
    EXPECT_EQ("", upper.extensions);
    EXPECT_EQ(0, upper.active);
}

TEST(AddRateArgument, ItemsAreCheckedInOrder) {
    expectRefused<MethodAddRateArg>("JSON arg item contains no item prefix", "null");
    expectRefused<MethodAddRateArg>("JSON arg item contains no item prefix", "{}");
    expectStepsInOrder<MethodAddRateArg>(
        addRateItems(), rateStepMessages("JSON number_length item has bad type (expected string or NULL)"));
}

TEST(UpdateRateArgument, ReadsTheRateIdAndTheTenItems) {
    const auto arg = prepared<MethodUpdateRateArg>(updateRateItems().text());
    EXPECT_EQ(17LL, arg.rateId);
    expectAllFieldsOfTheValidItems(arg);
    EXPECT_EQ(
        9000000000LL,
        prepared<MethodUpdateRateArg>(updateRateItems().with("rate_id", R"("9000000000")").text()).rateId);
}

TEST(UpdateRateArgument, ItemsAreCheckedInOrder) {
    expectRefused<MethodUpdateRateArg>("JSON arg item contains no item rate_id", "null");
    expectRefused<MethodUpdateRateArg>("JSON arg item contains no item rate_id", addRateItems().text());
    expectRefused<MethodUpdateRateArg>("JSON rate_id item has bad type (expected string)",
                                       updateRateItems().with("rate_id", "17").text());
    expectRefused<MethodUpdateRateArg>("cannot convert '1.5' to long long int", R"({"rate_id":"1.5"})");
    expectRefused<MethodUpdateRateArg>("cannot convert '99999999999999999999' to long long int",
                                       updateRateItems().with("rate_id", R"("99999999999999999999")").text());
    expectStepsInOrder<MethodUpdateRateArg>(
        updateRateItems(), rateStepMessages("JSON number_length item has bad type (expected string)"));
}

template <typename Arg>
void expectNumberLengthRules(const ArgObject& items, const std::string& badTypeMessage) {
    Arg arg;
    arg.numberLength = std::make_unique<int>(4);
    argtest::prepareInto(items.with("number_length", "null").text(), arg);
    EXPECT_EQ(nullptr, arg.numberLength);
    expectRefused<Arg>("JSON arg item contains no item number_length", items.without("number_length").text());
    expectRefused<Arg>(badTypeMessage, items.with("number_length", "10").text());
    expectRefused<Arg>(badTypeMessage, items.with("number_length", "false").text());
    expectRefused<Arg>("cannot convert 'ten' to int", items.with("number_length", R"("ten")").text());
    expectRefused<Arg>("cannot convert '3000000000' to int",
                       items.with("number_length", R"("3000000000")").text());
}

TEST(RateNumberLength, JsonNullMeansNoNumberLength) {
    expectNumberLengthRules<MethodAddRateArg>(
        addRateItems(), "JSON number_length item has bad type (expected string or NULL)");
    expectNumberLengthRules<MethodUpdateRateArg>(updateRateItems(),
                                                 "JSON number_length item has bad type (expected string)");
}

TEST(RateExtensions, StringsAreJoinedWithOneComma) {
    const auto joined = [](const std::string& raw) {
        return prepared<MethodAddRateArg>(addRateItems().with("extensions", raw).text()).extensions;
    };
    EXPECT_EQ("200", joined(R"(["200"])"));
    EXPECT_EQ("200,201", joined(R"(["200","201"])"));
    EXPECT_EQ("", joined("[]"));
    EXPECT_EQ(",a, b ,", joined(R"(["","a"," b ",""])"));
    EXPECT_EQ("1,1", joined(R"(["1","1"])"));

    const std::string element = "Item in extensions array has bad type (expected string)";
    expectRefused<MethodAddRateArg>(element, addRateItems().with("extensions", R"(["200",201])").text());
    expectRefused<MethodAddRateArg>(element, addRateItems().with("extensions", "[null]").text());
    expectRefused<MethodUpdateRateArg>(element, updateRateItems().with("extensions", R"([["200"]])").text());
    const std::string array = "JSON extensions item has bad type (expected array)";
    expectRefused<MethodAddRateArg>(array, addRateItems().with("extensions", R"("200,201")").text());
    expectRefused<MethodUpdateRateArg>(array, updateRateItems().with("extensions", "null").text());
}

TEST(RateConversions, EachNumberIsConvertedBeforeTheNextItemIsRead) {
    expectRefused<MethodAddRateArg>("cannot convert '2,5' to double",
                                    R"({"prefix":"0","number_length":null,"rate":"2,5"})");
    expectRefused<MethodAddRateArg>("cannot convert '60s' to int",
                                    R"({"prefix":"0","number_length":null,"rate":"1","bill_unit":"60s"})");
    expectRefused<MethodAddRateArg>("cannot convert '' to double",
                                    addRateItems().before("init_time").with("init_cost", R"("")").text());
    expectRefused<MethodUpdateRateArg>(
        "cannot convert '+1' to double",
        updateRateItems().before("extensions").with("init_time", R"("+1")").text());
    expectRefused<MethodUpdateRateArg>("cannot convert '1 ' to int",
                                       updateRateItems().with("active", R"("1 ")").text());
    const std::string huge(400, '9');
    expectRefused<MethodAddRateArg>("cannot convert '" + huge + "' to double",
                                    addRateItems().with("rate", "\"" + huge + "\"").text());
}

TEST(RateConversions, FieldsBeforeTheFailingItemKeepTheirValues) {
    MethodUpdateRateArg arg;
    arg.initTime = -9;
    arg.extensions = "before";
    arg.active = -9;
    expectRefused("cannot convert 'x' to double", updateRateItems().with("init_cost", R"("x")").text(), arg);
    EXPECT_EQ(17LL, arg.rateId);
    EXPECT_EQ("00", arg.prefix);
    ASSERT_NE(nullptr, arg.numberLength);
    EXPECT_EQ(10, *arg.numberLength);
    EXPECT_DOUBLE_EQ(2.5, arg.rate);
    EXPECT_EQ(60, arg.billUnit);
    EXPECT_EQ("08:00", arg.fromHour);
    EXPECT_EQ("18:00", arg.toHour);
    EXPECT_DOUBLE_EQ(-9, arg.initTime);
    EXPECT_EQ("before", arg.extensions);
    EXPECT_EQ(-9, arg.active);
}

}  // namespace
