#include <gtest/gtest.h>

#include <list>
#include <memory>

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
#include "proto/MethodRateIdArg.h"
#include "proto/MethodUpdateExten.h"
#include "proto/MethodUpdateRateArg.h"
#include "proto/ProtoException.h"
#include "proto/Protocol.h"

namespace {

using namespace proto;
using Rows = std::vector<std::pair<std::string, std::string>>;
using Items = std::vector<std::vector<std::string>>;

// clang-format off
// Each row: an input and what f gives for it as a stream writes it, or "!" and the message of its code-4 refusal.
template <typename F>
void expectRows(const Rows& rows, F f) {
    for (const auto& [input, expected] : rows) {
        std::ostringstream out;
        try {
            out << f(input);
        } catch (const InvalidArgException& e) {
            out << (e.errorCode() == 4 ? "!" : "!code?") << e.errorMessage();
        }
        EXPECT_EQ(expected, out.str()) << "input: " << input;
    }
}

std::string none(const std::string& wording) { return "!JSON arg item contains no " + wording; }
std::string bad(const std::string& key, const std::string& type = "string") { return "!JSON " + key + " item has bad type (expected " + type + ")"; }
std::string cannot(const std::string& text, const std::string& type) { return "!cannot convert '" + text + "' to " + type; }

// Fields whose value this layer decides, each followed by "|"; an optional one as "[text]" or "-" when not given.
template <typename T> void put(std::ostream& out, const T& value) { out << value; }
template <typename T> void put(std::ostream& out, const std::unique_ptr<T>& value) { value ? out << '[' << *value << ']' : out << '-'; }
void put(std::ostream& out, const std::list<long long>& ids) { for (const long long id : ids) out << id << ','; }
template <typename... Fields> std::string fields(const Fields&... values) {
    std::ostringstream out;
    ((put(out, values), out << '|'), ...);
    return out.str();
}
template <typename Arg> std::string fieldsOf(const Arg&) { return ""; }
std::string fieldsOf(const MethodExtenIdArg& a) { return fields(a.ids); }
std::string fieldsOf(const MethodGetStatisticsArg& a) { return fields(a.monthly, a.fromDate, a.toDate, a.exten); }
std::string fieldsOf(const MethodCallLogsArg& a) { return fields(a.exten, a.filterName, a.filterValue); }
std::string fieldsOf(const MethodAddRateArg& a) { return fields(a.numberLength, a.extensions); }
std::string fieldsOf(const MethodUpdateExten& a) { return fields(a.ids, a.hasNewPass, a.newPass); }

// Each row's input is the request's "arg". Items add rows; each is, in check order: a valid member, its wording when missing,
// the type it converts to, and the JSON type it needs when not a string. Item i missing, mistyped or unconvertible while
// all later items are missing must be the one reported; with every item valid (after head) the outcome is `valid`.
template <typename Arg>
void expectPrepared(Rows rows, const std::string& valid, const Items& items = {}, std::string head = "") {
    for (const auto& item : items) {
        const std::string key = item[0].substr(1, item[0].find('"', 1) - 1);
        const std::string open = "{" + head + (head.empty() ? "\"" : ",\"") + key + "\":";
        rows.push_back({"{" + head + "}", none(item[1])});
        rows.push_back({open + "5}", bad(key, item.size() > 3 ? item[3] : "string")});
        if (!item[2].empty()) rows.push_back({open + R"("x"})", cannot("x", item[2])});
        head += (head.empty() ? "" : ",") + item[0];
    }
    rows.push_back({"{" + head + "}", valid});
    expectRows(rows, [](const std::string& argText) {
        RequestData rd;
        parseRequestOrThrow(R"({"request":"","auth":{"name":"","pass":"","admin":false},"arg":)" + argText + "}", rd);
        Arg arg;
        Arg::prepare(rd, arg);
        return fieldsOf(arg);
    });
}

// The converters read a decimal number that takes the whole text (leading zeros allowed) and quote a refused text whole; a
// number followed by anything ("2-999") would name another record. A number beyond the type is refused rather than wrapped
// onto another extension or rate, clamped or made infinite; both ends of each range still pass.
TEST(NumberConversion, OnlyANumberTakingTheWholeTextIsReadAndRefusalsQuoteTheText) {
    const std::string nul("1\0" "2", 3), big = "1" + std::string(308, '0'), ll = "long long int";
    expectRows({{"12-3", cannot("12-3", "int")}, {"3-1", cannot("3-1", "int")}, {"1-", cannot("1-", "int")}, {"007", "7"}, {"-0", "0"},
        {"2147483647", "2147483647"}, {"-2147483648", "-2147483648"}, {"2147483648", cannot("2147483648", "int")},
        {"-2147483649", cannot("-2147483649", "int")}, {"", cannot("", "int")}, {"--1", cannot("--1", "int")}, {" 1", cannot(" 1", "int")},
        {"+1", cannot("+1", "int")}, {"1.5", cannot("1.5", "int")}, {"0x10", cannot("0x10", "int")}, {nul, cannot(nul, "int")}}, toInt);
    expectRows({{"2-999", cannot("2-999", ll)}, {"00042", "42"}, {"9223372036854775807", "9223372036854775807"}, {"-9223372036854775808", "-9223372036854775808"}, {"+5", cannot("+5", ll)},
        {"9223372036854775808", cannot("9223372036854775808", ll)}, {"-9223372036854775809", cannot("-9223372036854775809", ll)}}, toLongLong);
    expectRows({{"2.50", "2.5"}, {"-.5", "-0.5"}, {"1.2.3", cannot("1.2.3", "double")}, {"5.5.5", cannot("5.5.5", "double")}, {"10-5", cannot("10-5", "double")},
        {"2.5-", cannot("2.5-", "double")}, {"007.50", "7.5"}, {"5.", "5"}, {"1e3", cannot("1e3", "double")}, {".", cannot(".", "double")},
        {"1,5", cannot("1,5", "double")}, {big, "1e+308"}, {big + "0", cannot(big + "0", "double")}}, toDouble);
}

// Keys match in any case, the first of duplicate keys wins even when mistyped (so members written before the valid ones
// replace them), other members are ignored. A number is converted before the next item is looked up.
TEST(RequiredItemArguments, EachClassHasItsMessagesInCheckOrder) {
    expectPrepared<MethodEchoArg>({{R"({"VALUE":null,"value":"b"})", bad("value")}}, "", {{R"("value":"")", "value", ""}});
    expectPrepared<MethodExtenArg>({}, "", {{R"("exten":"2")", "exten", ""}});
    expectPrepared<MethodLanguageArg>({}, "", {{R"("language":"en")", "language item", ""}});
    expectPrepared<MethodCurrencyArg>({}, "", {{R"("currency":"")", "currency item", ""}});
    expectPrepared<MethodRateIdArg>({{R"({"rate_id":"9223372036854775808"})", cannot("9223372036854775808", "long long int")}}, "", {{R"("rate_id":"-3")", "rate_id", "long long int"}});
    expectPrepared<MethodActivateRateArg>({}, "", {{R"("rate_id":"9000000000")", "rate_id", "long long int"}, {R"("active":"-1")", "active", "int"}});
    expectPrepared<MethodChangeExtenPass>({}, "", {{R"("exten_id":"007")", "item exten_id", "int"}, {R"("new_pass":" s3\"t ")", "item new_pass", ""}});
    Items items = {{R"("prefix":"00")", "item prefix", ""}, {R"("number_length":"10")", "item number_length", "int", "string or NULL"},
        {R"("rate":"2.50")", "item rate", "double"}, {R"("bill_unit":"60")", "item bill_unit", "int"}, {R"("from_hour":"08:00")", "item from_hour", ""},
        {R"("to_hour":"18:00")", "item to_hour", ""}, {R"("init_cost":"0.5")", "item init_cost", "double"}, {R"("init_time":"30")", "item init_time", "double"},
        {R"("extensions":["200","201"])", "item extensions", "", "array"}, {R"("active":"1")", "item active", "int"}};
    std::string all;
    for (const auto& item : items) all += "," + item[0];
    expectPrepared<MethodAddRateArg>({{R"({"Number_Length":null,"EXTENSIONS":[])" + all + "}", "-||"}, {R"({"extensions":["","a"," b ",""])" + all + "}", "[10]|,a, b ,|"},
        {R"({"extensions":["1",2])" + all + "}", "!Item in extensions array has bad type (expected string)"}}, "[10]|200,201|", items);
    items[1].pop_back();  // UPDATE_RATE words the type of "number_length" differently
    items.insert(items.begin(), {R"("rate_id":"-5")", "item rate_id", "long long int"});
    expectPrepared<MethodUpdateRateArg>({{R"({"number_length":null,"rate_id":"-5")" + all + "}", ""}}, "", items);
}

// The lists word their messages differently ("by"/"be", "exten_ids"/"ids"); a list comes before the charged value. A
// string "new_pass" needs exactly one id, checked before any id is read; another type is not taken.
TEST(IdListArguments, EachListHasItsMessagesInCheckOrder) {
    const std::string noItems = "!JSON exten_ids array contains no items", set = R"({"bill_status":"","limit_credit":"1","prepaid":"1",)";
    expectPrepared<MethodExtenIdArg>({{R"({"exten_array":["7","7","2"]})", "7,7,2,|"}, {"null", none("exten_ids array")}, {R"({"exten_array":"200"})", bad("exten_ids", "array")},
        {R"({"exten_array":[]})", noItems}, {R"({"exten_array":["200",201]})", "!Id must by a string"}, {R"({"exten_array":["1","x",2]})", cannot("x", "long long int")}}, none("exten_ids array"));
    expectPrepared<MethodChargeExtenArg>({{R"({"value":5})", none("exten_ids array")}, {R"({"exten_array":"1","value":5})", bad("exten_ids", "array")},
        {R"({"exten_array":[],"value":5})", noItems}, {R"({"exten_array":["1",2],"value":5})", "!Id must be a string"}}, "", {{R"("value":"-2.50")", "value", "double"}},
        R"("exten_array":["2","-3"])");
    expectPrepared<MethodDeleteCallLogsArg>({{R"({"IDS":["10"]})", ""}, {"null", none("ids")}, {R"({"ids":"1"})", bad("ids", "array")}, {R"({"ids":[]})", "!array 'ids' is empty"},
        {R"({"ids":["1",2]})", "!id must by a string"}, {R"({"ids":["-9223372036854775809"]})", cannot("-9223372036854775809", "long long int")}}, none("ids"));
    expectPrepared<MethodUpdateExten>({{set + R"("exten_array":["2","3","2"]})", "2,3,2,|0||"}, {set + R"("New_Pass":"s3cret","exten_array":["2"]})", "2,|1|s3cret|"},
        {set + R"("new_pass":"","exten_array":["2"]})", "2,|1||"}, {set + R"("new_pass":1,"NEW_PASS":"p","exten_array":["1","2"]})", "1,2,|0||"}, {set + R"("new_pass":"p"})", none("exten_ids array")},
        {set + R"("exten_array":"2"})", bad("exten_ids", "array")}, {set + R"("new_pass":"p","exten_array":[]})", noItems}, {set + R"("exten_array":["1","a"]})", cannot("a", "long long int")},
        {set + R"("new_pass":"p","exten_array":[1,null]})", "!Can't change password for many users"}, {set + R"("new_pass":"p","exten_array":[2]})", "!Id must by a string"}},
        none("exten_ids array"), {{R"("bill_status":"")", "item bill_status", ""}, {R"("limit_credit":"1")", "item limit_credit", "double"}, {R"("prepaid":"0")", "item prepaid", "int"}});
}

// Every item is optional; an empty text is given, not absent; the first bad item in check order wins.
TEST(FilterArguments, OptionalItemsAreCheckedInOrder) {
    expectPrepared<MethodGetStatisticsArg>({{"null", "0|-|-|-|"}, {R"({"MONTHLY":true,"From_Date":"","to_date":"2024-01-01","exten":"7"})", "1|[]|[2024-01-01]|[7]|"},
        {R"({"exten":1,"to_date":1,"from_date":1,"monthly":"true"})", bad("monthly", "bool")}, {R"({"exten":1,"to_date":1,"from_date":null})", bad("from_date")},
        {R"({"exten":1,"to_date":[]})", bad("to_date")}, {R"({"exten":200})", bad("exten")}}, "0|-|-|-|");
    expectPrepared<MethodGetRechargeHistoryArg>({{R"({"to_date":1,"from_date":1,"exten":1})", bad("exten")}, {R"({"to_date":1,"from_date":null})", bad("from_date")}}, "");
    expectPrepared<MethodCallLogsArg>({{"null", "-|-|-|"}, {R"({"to_date":"5","from_date":"4","FILTER_VALUE":"3","Filter_Name":"2","exten":"1"})", "[1]|[2]|[3]|"},
        {R"({"filter_value":5})", "!JSON arg item contains item filter_value, but contains no item filter_name"}, {R"({"exten":5,"filter_value":"x"})", bad("exten")},
        {R"({"filter_name":null,"filter_value":"x"})", bad("filter_name")}, {R"({"filter_name":"","filter_value":5})", bad("filter_value")},
        {R"({"to_date":1,"from_date":1})", bad("from_date")}}, "-|-|-|");
    expectPrepared<MethodGetExtensArg>({{R"({"Bill_Status":"LOCK","PREPAID":"-12","exten":""})", ""}, {R"({"bill_status":1,"prepaid":"yes"})", cannot("yes", "int")},
        {R"({"bill_status":1})", bad("bill_status")}, {R"({"prepaid":"x","exten":200})", bad("exten")}, {R"({"prepaid":null})", bad("prepaid")}}, "");
}

// clang-format on

}  // namespace
