#include <gtest/gtest.h>

#include <list>
#include <memory>

#include "proto/ArgItems.h"
#include "proto/Convert.h"
#include "proto/MethodActivateRateArg.h"
#include "proto/MethodAddRateArg.h"
#include "proto/MethodCallLogsArg.h"
#include "proto/MethodChangeExtenPass.h"
#include "proto/MethodChargeExtenArg.h"
#include "proto/MethodCurrencyArg.h"
#include "proto/MethodDeleteCallLogsArg.h"
#include "proto/MethodEchoArg.h"
#include "proto/MethodExtenArg.h"
#include "proto/MethodExtenIdArg.h"
#include "proto/MethodGetExtensArg.h"
#include "proto/MethodGetRechargeHistoryArg.h"
#include "proto/MethodGetStatisticsArg.h"
#include "proto/MethodLanguageArg.h"
#include "proto/MethodNullArg.h"
#include "proto/MethodRateIdArg.h"
#include "proto/MethodUpdateExten.h"
#include "proto/MethodUpdateRateArg.h"
#include "proto/ProtoException.h"
#include "proto/Protocol.h"

namespace {

using namespace proto;
using Rows = std::vector<std::pair<std::string, std::string>>;

// Each row: an input and what f gives for it, the result as a stream writes it or "!" and the message
// of a refusal with code 4.
template <typename F>
void expectRows(const Rows& rows, F f) {
    for (const auto& row : rows) {
        std::ostringstream out;
        try {
            out << f(row.first);
        } catch (const InvalidArgException& e) {
            out << (e.errorCode() == 4 ? "!" : "!code?") << e.errorMessage();
        }
        EXPECT_EQ(row.second, out.str()) << "input: " << row.first;
    }
}

// clang-format off
// The message shapes that classes and converters share, written out once; rows give the varying words.
std::string none(const std::string& wording) { return "!JSON arg item contains no " + wording; }
std::string bad(const std::string& key, const std::string& type = "string") {
    return "!JSON " + key + " item has bad type (expected " + type + ")";
}
std::string cannot(const std::string& text, const std::string& type) {
    return "!cannot convert '" + text + "' to " + type;
}

// The converters read a leading decimal number and quote a refused text whole. A number beyond the type
// is refused rather than wrapped onto another extension or rate, clamped or made infinite; both ends of
// each range still pass.
TEST(NumberConversion, LeadingNumberIsReadAndRefusalsQuoteTheWholeText) {
    const std::string nul("1\0" "2", 3), big = "1" + std::string(308, '0');
    expectRows({{"42", "42"}, {"-7", "-7"}, {"007", "7"}, {"12-3", "12"}, {"", cannot("", "int")}, {"-", cannot("-", "int")},
        {"--1", cannot("--1", "int")}, {" 1", cannot(" 1", "int")}, {"+1", cannot("+1", "int")}, {"1.5", cannot("1.5", "int")},
        {"0x10", cannot("0x10", "int")}, {"1e3", cannot("1e3", "int")}, {"\xc2\xb2", cannot("\xc2\xb2", "int")},
        {nul, cannot(nul, "int")}}, toInt);
    expectRows({{"9000000000", "9000000000"}, {"+5", cannot("+5", "long long int")}}, toLongLong);
    expectRows({{"2.50", "2.5"}, {"-.5", "-0.5"}, {"1.2.3", "1.2"}, {"1e3", cannot("1e3", "double")},
        {".", cannot(".", "double")}, {"1,5", cannot("1,5", "double")}}, toDouble);
    expectRows({{"2147483647", "2147483647"}, {"-2147483648", "-2147483648"}, {"12-3", "12"},
        {"2147483648", cannot("2147483648", "int")}, {"-2147483649", cannot("-2147483649", "int")}}, toInt);
    expectRows({{"9223372036854775807", "9223372036854775807"}, {"-9223372036854775808", "-9223372036854775808"},
        {"9223372036854775808", cannot("9223372036854775808", "long long int")},
        {"-9223372036854775809", cannot("-9223372036854775809", "long long int")}}, toLongLong);
    expectRows({{big, "1e+308"}, {big + "0", cannot(big + "0", "double")}}, toDouble);
}

// What a prepared record holds where this layer decides it, each field followed by "|"; an optional one
// as "[text]" or "-" when not given. The worker's tests see every field reach its operation.
template <typename T> const T& text(const T& value) { return value; }
std::string text(const std::unique_ptr<std::string>& f) { return f ? "[" + *f + "]" : "-"; }
std::string text(const std::unique_ptr<int>& f) { return f ? "[" + std::to_string(*f) + "]" : "-"; }
std::string text(const std::list<long long>& ids) {
    std::string all;
    for (const long long id : ids) all += std::to_string(id) + ",";
    return all;
}
template <typename... Fields> std::string fields(const Fields&... values) {
    std::ostringstream out;
    ((out << text(values) << '|'), ...);
    return out.str();
}
template <typename Arg> std::string fieldsOf(const Arg&) { return ""; }
std::string fieldsOf(const MethodEchoArg& a) { return fields(a.value); }
std::string fieldsOf(const MethodRateIdArg& a) { return fields(a.rateId); }
std::string fieldsOf(const MethodActivateRateArg& a) { return fields(a.rateId, a.active); }
std::string fieldsOf(const MethodChangeExtenPass& a) { return fields(a.extenId, a.newPass); }
std::string fieldsOf(const MethodExtenIdArg& a) { return fields(a.ids); }
std::string fieldsOf(const MethodChargeExtenArg& a) { return fields(a.ids, a.value); }
std::string fieldsOf(const MethodGetStatisticsArg& a) { return fields(a.monthly, a.fromDate, a.toDate, a.exten); }
std::string fieldsOf(const MethodCallLogsArg& a) { return fields(a.exten, a.filterName, a.filterValue); }
std::string fieldsOf(const MethodAddRateArg& a) { return fields(a.numberLength, a.extensions); }
std::string fieldsOf(const MethodUpdateRateArg& a) { return fields(a.rateId, a.numberLength); }
std::string fieldsOf(const MethodUpdateExten& a) { return fields(a.ids, a.hasNewPass, a.newPass); }
// clang-format on

template <typename Arg>
void expectPrepared(const Rows& rows) {
    expectRows(rows, [](const std::string& argText) {
        RequestData rd;
        parseRequestOrThrow(
            R"({"request":"","auth":{"name":"","pass":"","admin":false},"arg":)" + argText + "}", rd);
        Arg arg;
        Arg::prepare(rd, arg);
        return fieldsOf(arg);
    });
}

using Items = std::vector<std::vector<std::string>>;

// Items in check order: a valid member, its wording when missing, the type it converts to, and the JSON
// type it needs when not a string. Item i missing, mistyped or unconvertible while all later items are
// missing must be the one reported; with every item valid the outcome is `valid`.
template <typename Arg>
void expectItemsInOrder(const Items& items, const std::string& valid, std::string head = "") {
    Rows rows;
    for (const auto& item : items) {
        const std::string key = item[0].substr(1, item[0].find('"', 1) - 1);
        const std::string open = "{" + head + (head.empty() ? "\"" : ",\"") + key + "\":";
        rows.push_back({"{" + head + "}", none(item[1])});
        rows.push_back({open + "5}", bad(key, item.size() > 3 ? item[3] : "string")});
        if (!item[2].empty()) {
            rows.push_back({open + R"("x"})", cannot("x", item[2])});
        }
        head += (head.empty() ? "" : ",") + item[0];
    }
    rows.push_back({"{" + head + "}", valid});
    expectPrepared<Arg>(rows);
}

// clang-format off
// Keys match in any case, the first of duplicate keys wins, other members are ignored.
TEST(SingleValueArguments, EachClassHasItsMessages) {
    expectPrepared<MethodNullArg>({{"null", ""}, {"{}", "!arg must by null"}});
    expectItemsInOrder<MethodEchoArg>({{R"("value":"")", "value", ""}}, "|");
    expectItemsInOrder<MethodExtenArg>({{R"("exten":"2")", "exten", ""}}, "");
    expectItemsInOrder<MethodLanguageArg>({{R"("language":"en")", "language item", ""}}, "");
    expectItemsInOrder<MethodCurrencyArg>({{R"("currency":"")", "currency item", ""}}, "");
    expectItemsInOrder<MethodRateIdArg>({{R"("rate_id":"-3")", "rate_id", "long long int"}}, "-3|");
    expectPrepared<MethodEchoArg>({{R"({"Value":"a\"\n","value":"b","x":1})", "a\"\n|"}, {R"({"VALUE":null,"value":"b"})", bad("value")}});
    expectPrepared<MethodRateIdArg>({{R"({"rate_id":"9223372036854775808"})", cannot("9223372036854775808", "long long int")}});
}

// A number is converted before the next item is looked up, so its refusal wins over a later gap.
TEST(TwoFieldArguments, ItemsAreCheckedAndConvertedInOrder) {
    expectItemsInOrder<MethodActivateRateArg>({{R"("rate_id":"9000000000")", "rate_id", "long long int"},
        {R"("active":"-1")", "active", "int"}}, "9000000000|-1|");
    expectItemsInOrder<MethodChangeExtenPass>({{R"("exten_id":"007")", "item exten_id", "int"},
        {R"("new_pass":" s3\"t ")", "item new_pass", ""}}, "7| s3\"t |");
    expectPrepared<MethodActivateRateArg>({{R"({"RATE_ID":"17","Active":"0","active":"1"})", "17|0|"}});
    // wrapped, 4294967496 would name extension 200
    expectPrepared<MethodChangeExtenPass>({{R"({"exten_id":"4294967496"})", cannot("4294967496", "int")}});
}

// The three lists word their messages differently ("by"/"be", "exten_ids"/"ids").
TEST(IdListArguments, EachListHasItsMessages) {
    expectPrepared<MethodExtenIdArg>({{R"({"exten_array":["7","7","2"]})", "7,7,2,|"}, {"null", none("exten_ids array")},
        {R"({"exten_array":"200"})", bad("exten_ids", "array")}, {R"({"exten_array":[]})", "!JSON exten_ids array contains no items"},
        {R"({"exten_array":["200",201]})", "!Id must by a string"}, {R"({"exten_array":["1","x",2]})", cannot("x", "long long int")}});
    expectPrepared<MethodChargeExtenArg>({{R"({"value":5})", none("exten_ids array")},
        {R"({"exten_array":"1","value":5})", bad("exten_ids", "array")},
        {R"({"exten_array":[],"value":5})", "!JSON exten_ids array contains no items"},
        {R"({"exten_array":["1",2],"value":5})", "!Id must be a string"}});
    expectItemsInOrder<MethodChargeExtenArg>({{R"("value":"-2.50")", "value", "double"}}, "2,-3,|-2.5|", R"("exten_array":["2","-3"])");
    expectPrepared<MethodDeleteCallLogsArg>({{R"({"IDS":["10"]})", ""}, {"null", none("ids")}, {R"({"ids":"1"})", bad("ids", "array")},
        {R"({"ids":[]})", "!array 'ids' is empty"}, {R"({"ids":["1",2]})", "!id must by a string"},
        {R"({"ids":["-9223372036854775809"]})", cannot("-9223372036854775809", "long long int")}});
}

// Every item is optional; an empty text is given, not absent; the first bad item in check order wins.
TEST(FilterArguments, OptionalItemsAreCheckedInOrder) {
    expectPrepared<MethodGetStatisticsArg>({{"null", "0|-|-|-|"},
        {R"({"MONTHLY":true,"From_Date":"","to_date":"2024-01-01","exten":"7"})", "1|[]|[2024-01-01]|[7]|"},
        {R"({"exten":1,"to_date":1,"from_date":1,"monthly":"true"})", bad("monthly", "bool")},
        {R"({"exten":1,"to_date":1,"from_date":null})", bad("from_date")},
        {R"({"exten":1,"to_date":[]})", bad("to_date")}, {R"({"exten":200})", bad("exten")}});
    expectPrepared<MethodGetRechargeHistoryArg>({{R"({"to_date":"2","EXTEN":""})", ""},
        {R"({"to_date":1,"from_date":1,"exten":1})", bad("exten")}, {R"({"to_date":1,"from_date":null})", bad("from_date")}});
    expectPrepared<MethodCallLogsArg>({{"null", "-|-|-|"}, {R"({"filter_name":"src"})", "-|[src]|-|"},
        {R"({"to_date":"5","from_date":"4","FILTER_VALUE":"3","Filter_Name":"2","exten":"1"})", "[1]|[2]|[3]|"},
        {R"({"filter_value":5})", "!JSON arg item contains item filter_value, but contains no item filter_name"},
        {R"({"exten":5,"filter_value":"x"})", bad("exten")}, {R"({"filter_name":null,"filter_value":"x"})", bad("filter_name")},
        {R"({"filter_name":"","filter_value":5})", bad("filter_value")}, {R"({"to_date":1,"from_date":1})", bad("from_date")}});
    expectPrepared<MethodGetExtensArg>({{R"({"Bill_Status":"LOCK","PREPAID":"-12","exten":""})", ""},
        {R"({"bill_status":1,"prepaid":"yes"})", cannot("yes", "int")}, {R"({"bill_status":1})", bad("bill_status")},
        {R"({"prepaid":"x","exten":200})", bad("exten")}, {R"({"prepaid":null})", bad("prepaid")}});
}

TEST(RateArguments, ItemsAreCheckedAndConvertedInOrder) {
    Items items = {{R"("prefix":"00")", "item prefix", ""}, {R"("number_length":"10")", "item number_length", "int", "string or NULL"},
        {R"("rate":"2.50")", "item rate", "double"}, {R"("bill_unit":"60")", "item bill_unit", "int"},
        {R"("from_hour":"08:00")", "item from_hour", ""}, {R"("to_hour":"18:00")", "item to_hour", ""},
        {R"("init_cost":"0.5")", "item init_cost", "double"}, {R"("init_time":"30")", "item init_time", "double"},
        {R"("extensions":["200","201"])", "item extensions", "", "array"}, {R"("active":"1")", "item active", "int"}};
    expectItemsInOrder<MethodAddRateArg>(items, "[10]|200,201|");
    items[1].pop_back();  // UPDATE_RATE words the type of "number_length" differently
    items.insert(items.begin(), {R"("rate_id":"-5")", "item rate_id", "long long int"});
    expectItemsInOrder<MethodUpdateRateArg>(items, "-5|[10]|");
    // Members written before the valid ones replace them, as the first of duplicate keys wins.
    std::string all;
    for (const auto& item : items) all += "," + item[0];
    expectPrepared<MethodAddRateArg>({{R"({"Number_Length":null,"EXTENSIONS":[])" + all + "}", "-||"},
        {R"({"extensions":["","a"," b ",""])" + all + "}", "[10]|,a, b ,|"},
        {R"({"extensions":["1",2])" + all + "}", "!Item in extensions array has bad type (expected string)"},
        {R"({"number_length":"3000000000")" + all + "}", cannot("3000000000", "int")}});
    expectPrepared<MethodUpdateRateArg>({{R"({"number_length":null)" + all + "}", "-5|-|"}});
}

// A string "new_pass" needs exactly one id, checked before any id is read; another type is not taken.
TEST(UpdateExtenArgument, ItemsAreCheckedInOrder) {
    expectItemsInOrder<MethodUpdateExten>({{R"("bill_status":"")", "item bill_status", ""},
        {R"("limit_credit":"1")", "item limit_credit", "double"}, {R"("prepaid":"0")", "item prepaid", "int"}},
        none("exten_ids array"));
    const std::string set = R"({"bill_status":"","limit_credit":"1","prepaid":"1",)";
    expectPrepared<MethodUpdateExten>({{set + R"("exten_array":["2","3","2"]})", "2,3,2,|0||"},
        {set + R"("New_Pass":"s3cret","exten_array":["2"]})", "2,|1|s3cret|"}, {set + R"("new_pass":"","exten_array":["2"]})", "2,|1||"},
        {set + R"("new_pass":1,"NEW_PASS":"p","exten_array":["1","2"]})", "1,2,|0||"},
        {R"({"prepaid":"4294967297",)" + set.substr(1) + R"("exten_array":["1"]})", cannot("4294967297", "int")},
        {set + R"("new_pass":"p"})", none("exten_ids array")}, {set + R"("exten_array":"2"})", bad("exten_ids", "array")},
        {set + R"("new_pass":"p","exten_array":[]})", "!JSON exten_ids array contains no items"},
        {set + R"("exten_array":["1",2]})", "!Id must by a string"}, {set + R"("exten_array":["1","a"]})", cannot("a", "long long int")},
        {set + R"("new_pass":"p","exten_array":[1,null]})", "!Can't change password for many users"},
        {set + R"("new_pass":"p","exten_array":[2]})", "!Id must by a string"}});
}
// clang-format on

}  // namespace
