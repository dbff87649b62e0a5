#include <gtest/gtest.h>

#include <list>
#include <string>

#include "ArgTestSupport.h"
#include "proto/MethodUpdateExten.h"

namespace {

using argtest::ArgObject;
using argtest::expectRefused;
using argtest::prepared;
using proto::MethodUpdateExten;
using Ids = std::list<long long>;

const ArgObject& updateItems() {
    static const ArgObject items{{"bill_status", R"("LOCK")"},
                                 {"limit_credit", R"("100.25")"},
                                 {"prepaid", R"("1")"},
                                 {"exten_array", R"(["200","201","200"])"}};
    return items;
}

TEST(UpdateExtenArgument, ReadsSettingsAndIdsWithoutPassword) {
    const auto arg = prepared<MethodUpdateExten>(updateItems().text());
    EXPECT_EQ((Ids{200, 201, 200}), arg.ids);
    EXPECT_EQ("LOCK", arg.billStatus);
    EXPECT_DOUBLE_EQ(100.25, arg.limitCredit);
    EXPECT_EQ(1, arg.prepaid);
    EXPECT_FALSE(arg.hasNewPass);
    EXPECT_EQ("", arg.newPass);
    const auto upper = prepared<MethodUpdateExten>(
        R"({"BILL_STATUS":"","Limit_Credit":"-5","PREPAID":"0","Exten_Array":["7"],"bill_status":"FREE"})");
    EXPECT_EQ("", upper.billStatus);
    EXPECT_DOUBLE_EQ(-5, upper.limitCredit);
    EXPECT_EQ(0, upper.prepaid);
    EXPECT_EQ((Ids{7}), upper.ids);
}

TEST(UpdateExtenArgument, ItemsAreCheckedInOrder) {
    expectRefused<MethodUpdateExten>("JSON arg item contains no item bill_status", "null");
    expectRefused<MethodUpdateExten>("JSON arg item contains no item bill_status", "{}");
    expectRefused<MethodUpdateExten>("JSON bill_status item has bad type (expected string)",
                                     updateItems().with("bill_status", "null").text());
    expectRefused<MethodUpdateExten>("JSON arg item contains no item limit_credit",
                                     R"({"bill_status":"FREE"})");
    expectRefused<MethodUpdateExten>("JSON limit_credit item has bad type (expected string)",
                                     updateItems().with("limit_credit", "100").text());
    expectRefused<MethodUpdateExten>("cannot convert '1e2' to double",
                                     R"({"bill_status":"FREE","limit_credit":"1e2"})");
    expectRefused<MethodUpdateExten>("JSON arg item contains no item prepaid",
                                     updateItems().before("prepaid").text());
    expectRefused<MethodUpdateExten>("JSON prepaid item has bad type (expected string)",
                                     updateItems().with("prepaid", "true").text());
    expectRefused<MethodUpdateExten>("cannot convert 'yes' to int",
                                     updateItems().before("exten_array").with("prepaid", R"("yes")").text());
    expectRefused<MethodUpdateExten>("cannot convert '4294967297' to int",
                                     updateItems().with("prepaid", R"("4294967297")").text());
    expectRefused<MethodUpdateExten>("JSON arg item contains no exten_ids array",
                                     updateItems().without("exten_array").with("new_pass", R"("p")").text());
    expectRefused<MethodUpdateExten>("JSON exten_ids item has bad type (expected array)",
                                     updateItems().with("exten_array", R"("200")").text());
    expectRefused<MethodUpdateExten>("JSON exten_ids array contains no items",
                                     updateItems().with("exten_array", "[]").text());
    expectRefused<MethodUpdateExten>("Id must by a string",
                                     updateItems().with("exten_array", R"(["1",2])").text());
    expectRefused<MethodUpdateExten>("cannot convert 'a' to long long int",
                                     updateItems().with("exten_array", R"(["1","a"])").text());
}

TEST(UpdateExtenArgument, FieldsBeforeTheFailingItemKeepTheirValues) {
    MethodUpdateExten arg;
    arg.prepaid = -9;
    arg.ids = {99};
    expectRefused("cannot convert '1x' to int", updateItems().with("prepaid", R"("1x")").text(), arg);
    EXPECT_EQ("LOCK", arg.billStatus);
    EXPECT_DOUBLE_EQ(100.25, arg.limitCredit);
    EXPECT_EQ(-9, arg.prepaid);
    EXPECT_EQ((Ids{99}), arg.ids);

    MethodUpdateExten partial;
    expectRefused("Id must by a string", updateItems().with("exten_array", R"(["5","6",7,"8"])").text(),
                  partial);
    EXPECT_EQ((Ids{5, 6}), partial.ids);
}

TEST(UpdateExtenNewPass, AStringPasswordNeedsExactlyOneId) {
    const auto one = prepared<MethodUpdateExten>(
        updateItems().with("exten_array", R"(["200"])").with("NEW_PASS", R"("s3cret")").text());
    EXPECT_TRUE(one.hasNewPass);
    EXPECT_EQ("s3cret", one.newPass);
    EXPECT_EQ((Ids{200}), one.ids);

    const auto empty = prepared<MethodUpdateExten>(
        updateItems().with("exten_array", R"(["200"])").with("new_pass", R"("")").text());
    EXPECT_TRUE(empty.hasNewPass);
    EXPECT_EQ("", empty.newPass);

    const std::string many = "Can't change password for many users";
    expectRefused<MethodUpdateExten>(many, updateItems().with("new_pass", R"("p")").text());
    expectRefused<MethodUpdateExten>(
        many, updateItems().with("exten_array", R"(["200","200"])").with("new_pass", R"("p")").text());
    // refused before any element is examined
    expectRefused<MethodUpdateExten>(
        many, updateItems().with("exten_array", R"([1,null])").with("new_pass", R"("p")").text());
    // the empty list is refused first
    expectRefused<MethodUpdateExten>(
        "JSON exten_ids array contains no items",
        updateItems().with("exten_array", "[]").with("new_pass", R"("p")").text());
    // a single bad element is still refused for what it is
    expectRefused<MethodUpdateExten>(
        "Id must by a string", updateItems().with("exten_array", "[200]").with("new_pass", R"("p")").text());
}

TEST(UpdateExtenNewPass, APasswordOfAnotherTypeIsIgnored) {
    for (const char* raw : {"1234", "null", "true", "[\"p\"]", "{}"}) {
        SCOPED_TRACE(raw);
        const auto arg = prepared<MethodUpdateExten>(updateItems().with("new_pass", raw).text());
        EXPECT_FALSE(arg.hasNewPass);
        EXPECT_EQ("", arg.newPass);
        EXPECT_EQ((Ids{200, 201, 200}), arg.ids);
    }
    // the first "new_pass" decides: a later string does not count, a later number does not hide it
    const auto numberFirst = prepared<MethodUpdateExten>(
        updateItems().with("new_pass", R"("p")").text().insert(1, R"("New_Pass":1,)"));
    EXPECT_FALSE(numberFirst.hasNewPass);
    const auto stringFirst = prepared<MethodUpdateExten>(updateItems()
                                                             .with("exten_array", R"(["1"])")
                                                             .with("new_pass", "1")
                                                             .text()
                                                             .insert(1, R"("NEW_PASS":"q",)"));
    EXPECT_TRUE(stringFirst.hasNewPass);
    EXPECT_EQ("q", stringFirst.newPass);
    // a reused record forgets an earlier password flag
    MethodUpdateExten arg;
    argtest::prepareInto(updateItems().with("exten_array", R"(["1"])").with("new_pass", R"("p")").text(),
                         arg);
    ASSERT_TRUE(arg.hasNewPass);
    argtest::prepareInto(updateItems().text(), arg);
    EXPECT_FALSE(arg.hasNewPass);
}

}  // namespace
