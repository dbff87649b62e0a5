#include <gtest/gtest.h>

#include <string>

#include "tests/worker/WorkerFixture.h"

// The reading methods answered through one Worker on the seeded database.

namespace {

using workertest::adminRequest;
using workertest::extenRequest;
using workertest::failure;
using workertest::request;
using workertest::success;
using workertest::WorkerTest;

using Login = WorkerTest;
using GetSettings = WorkerTest;
using GetHelp = WorkerTest;
using GetRates = WorkerTest;
using GetRate = WorkerTest;
using GetRateHistory = WorkerTest;
using GetExten = WorkerTest;
using GetExtens = WorkerTest;
using GetRechargeHistory = WorkerTest;
using GetCallLogs = WorkerTest;
using GetStatistics = WorkerTest;

const std::string kRateHeaders =
    R"("headers":["id","prefix","number_length","rate","bill_unit","from_hour","to_hour","init_cost","init_time","extensions","active","last_mod"])";

TEST_F(Login, ValidAdministratorAndExtensionUserSucceed) {
    EXPECT_EQ(R"({"response":"LOGIN","error_code":0,"error_description":"SUCCESS","arg":null})",
              process(adminRequest("LOGIN")));
    EXPECT_EQ(success("LOGIN"), process(extenRequest("LOGIN")));
}

TEST_F(Login, WrongCredentialsAreCodeSix) {
    EXPECT_EQ(failure("LOGIN", 6, "Invalid user or password"),
              process(request("LOGIN", "null", "101", "secret102", false)));
    EXPECT_EQ(failure("LOGIN", 6, "Invalid user or password"),
              process(request("LOGIN", "null", "trivx", "trivY", true)));
    // The administrator is never looked up among the extensions.
    EXPECT_EQ(failure("LOGIN", 6, "Invalid user or password"),
              process(request("LOGIN", "null", "101", "secret101", true)));
}

TEST_F(Login, ArgMustBeNull) {
    EXPECT_EQ(failure("LOGIN", 4, "arg must by null"), process(adminRequest("LOGIN", "{}")));
}

TEST_F(GetSettings, ExtensionUserReadsEverySetting) {
    EXPECT_EQ(
        R"({"response":"GET_SETTINGS","error_code":0,"error_description":"SUCCESS","arg":{"headers":["settings_key","settings_value"],"rows":[["CURRENCY","EUR"],["LANGUAGE","en"]]}})",
        process(extenRequest("GET_SETTINGS")));
}

TEST_F(GetSettings, RefusesWrongPasswordAndNonNullArg) {
    EXPECT_EQ(failure("GET_SETTINGS", 6, "Invalid user or password"),
              process(request("GET_SETTINGS", "null", "101", "", false)));
    EXPECT_EQ(failure("GET_SETTINGS", 4, "arg must by null"), process(adminRequest("GET_SETTINGS", "{}")));
}

TEST_F(GetHelp, ReturnsTheTextsOfOneLanguage) {
    EXPECT_EQ(
        success(
            "GET_HELP",
            R"({"headers":["key","value"],"rows":[["login","Melden Sie sich mit Nebenstelle und Web-Passwort an."],["rates","Tarife richten sich nach der Vorwahl der gewaehlten Nummer."]]})"),
        process(extenRequest("GET_HELP", R"({"language":"de"})")));
}

TEST_F(GetHelp, UnknownLanguageGivesHeadersAndNoRows) {
    EXPECT_EQ(success("GET_HELP", R"({"headers":["key","value"],"rows":[]})"),
              process(adminRequest("GET_HELP", R"({"language":"EN"})")));
}

TEST_F(GetHelp, RefusesMissingLanguageAndWrongPassword) {
    EXPECT_EQ(failure("GET_HELP", 4, "JSON arg item contains no language item"),
              process(adminRequest("GET_HELP", "{}")));
    EXPECT_EQ(failure("GET_HELP", 4, "JSON language item has bad type (expected string)"),
              process(adminRequest("GET_HELP", R"({"language":null})")));
    EXPECT_EQ(failure("GET_HELP", 6, "Invalid user or password"),
              process(request("GET_HELP", R"({"language":"en"})", "101", "x", false)));
}

TEST_F(GetRates, AdministratorReadsEveryRateWithNullsAsNull) {
    EXPECT_EQ(
        success(
            "GET_RATES",
            "{" + kRateHeaders +
                R"(,"rows":[["1","0048","11","0.25","60","08:00","18:00","0.1","30.0","101,102","1","2015-01-05 08:00:00"],["2","0049",null,"0.4","60","22:00","06:00","0.0","0.0","101","0","2015-01-06 08:00:00"]]})"),
        process(adminRequest("GET_RATES")));
}

TEST_F(GetRates, RefusesExtensionUserAndNonNullArg) {
    EXPECT_EQ(failure("GET_RATES", 7, "Access denied"), process(extenRequest("GET_RATES")));
    EXPECT_EQ(failure("GET_RATES", 4, "arg must by null"), process(adminRequest("GET_RATES", "{}")));
}

TEST_F(GetRates, MoreRowsThanTheLimitAreCodeTenAndExactlyTheLimitPasses) {
    Worker limitedToOne(database.path(), validator, "v", "d", 1);
    EXPECT_EQ(failure("GET_RATES", 10, "Too many rows. Current limit is 1. "),
              limitedToOne.processRequest(adminRequest("GET_RATES")));
    Worker limitedToTwo(database.path(), validator, "v", "d", 2);
    EXPECT_EQ(process(adminRequest("GET_RATES")), limitedToTwo.processRequest(adminRequest("GET_RATES")));
}

TEST_F(GetRate, ExtensionUserSeesOnlyActiveRatesOfItsOwnExtension) {
    EXPECT_EQ(
        success(
            "GET_RATE",
            R"({"headers":["prefix","number_length","rate","from_hour","to_hour","init_cost","init_time","bill_unit","last_mod"],"rows":[["0048","11","0.25","08:00","18:00","0.1","30.0","60","2015-01-05 08:00:00"]]})"),
        process(extenRequest("GET_RATE", R"({"exten":"101"})")));
}

TEST_F(GetRate, AdministratorSeesInactiveLinkedRatesToo) {
    const std::string response = process(adminRequest("GET_RATE", R"({"exten":"101"})"));
    EXPECT_NE(
        std::string::npos,
        response.find(R"(["0048","11","0.25","08:00","18:00","0.1","30.0","60","2015-01-05 08:00:00"])"));
    EXPECT_NE(std::string::npos,
              response.find(R"(["0049",null,"0.4","22:00","06:00","0.0","0.0","60","2015-01-06 08:00:00"])"));
}

TEST_F(GetRate, Refusals) {
    EXPECT_EQ(failure("GET_RATE", 7, "Access denied"),
              process(extenRequest("GET_RATE", R"({"exten":"102"})")));
    EXPECT_EQ(failure("GET_RATE", 4, "exten is empty"), process(adminRequest("GET_RATE", R"({"exten":""})")));
    EXPECT_EQ(failure("GET_RATE", 8, "Exten not found"),
              process(adminRequest("GET_RATE", R"({"exten":"999"})")));
    EXPECT_EQ(failure("GET_RATE", 4, "JSON arg item contains no exten"), process(adminRequest("GET_RATE")));
}

TEST_F(GetRateHistory, NewestEntryFirst) {
    EXPECT_EQ(
        success(
            "GET_RATE_HISTORY",
            "{" + kRateHeaders +
                R"(,"rows":[["1","0048","11","0.25","60","08:00","18:00","0.1","30.0","101,102","1","2015-01-05 08:00:00"],["1","0048","11","0.3","60","08:00","18:00","0.1","30.0","101","0","2015-01-01 08:00:00"]]})"),
        process(adminRequest("GET_RATE_HISTORY", R"({"rate_id":"1"})")));
    EXPECT_EQ(success("GET_RATE_HISTORY", "{" + kRateHeaders + R"(,"rows":[]})"),
              process(adminRequest("GET_RATE_HISTORY", R"({"rate_id":"2"})")));
}

TEST_F(GetRateHistory, Refusals) {
    EXPECT_EQ(failure("GET_RATE_HISTORY", 4, "cannot convert '1x' to long long int"),
              process(adminRequest("GET_RATE_HISTORY", R"({"rate_id":"1x"})")));
    EXPECT_EQ(failure("GET_RATE_HISTORY", 4, "JSON rate_id item has bad type (expected string)"),
              process(adminRequest("GET_RATE_HISTORY", R"({"rate_id":1})")));
    EXPECT_EQ(failure("GET_RATE_HISTORY", 7, "Access denied"),
              process(extenRequest("GET_RATE_HISTORY", R"({"rate_id":"1"})")));
}

TEST_F(GetExten, ExtensionUserReadsItsOwnWholeRecord) {
    EXPECT_EQ(
        R"({"response":"GET_EXTEN","error_code":0,"error_description":"SUCCESS","arg":{"headers":["id","exten","outboundcid","name","email","dialplan","analog_phone","vm","sip","can_reinvite","iax2","t38","agent","nat","pickupgroup","delete_vm","dtmf_mode","video_call","permit_ip","provision_man","provision_mac","alaw","ulaw","g729","gsm","speex","h261","h263","h263p","h264","bill_status","total_charge","balance","limit_credit","prepaid","last_mod","active"],"rows":[["1","101","\"Alice\" <101>","Alice","alice@example.com","default","0","0","1","0","0","0","0","0","","0","rfc2833","0","","","","1","1","0","0","0","0","0","0","0","FREE","12.5","2.5","100.0","0","2015-01-10 09:00:00","1"]]}})",
        process(extenRequest("GET_EXTEN", R"({"exten":"101"})")));
}

TEST_F(GetExten, Refusals) {
    EXPECT_EQ(failure("GET_EXTEN", 7, "Access denied"),
              process(extenRequest("GET_EXTEN", R"({"exten":"102"})")));
    EXPECT_EQ(failure("GET_EXTEN", 7, "Access denied"),
              process(extenRequest("GET_EXTEN", R"({"exten":"999"})")));
    EXPECT_EQ(failure("GET_EXTEN", 4, "exten is empty"),
              process(adminRequest("GET_EXTEN", R"({"exten":""})")));
    EXPECT_EQ(failure("GET_EXTEN", 8, "Exten not found"),
              process(adminRequest("GET_EXTEN", R"({"exten":"999"})")));
    EXPECT_EQ(failure("GET_EXTEN", 4, "JSON exten item has bad type (expected string)"),
              process(adminRequest("GET_EXTEN", R"({"exten":101})")));
    EXPECT_EQ(failure("GET_EXTEN", 6, "Invalid user or password"),
              process(request("GET_EXTEN", R"({"exten":"101"})", "101", "secret", false)));
}

TEST_F(GetExtens, FiltersAreOptionalAndCombined) {
    const std::string headers =
        R"("headers":["id","exten","name","active","bill_status","total_charge","limit_credit","balance","last_mod","prepaid"])";
    EXPECT_EQ(
        success(
            "GET_EXTENS",
            "{" + headers +
                R"(,"rows":[["2","102","Bob","1","LOCK","30.0","50.0","20.0","2015-01-11 10:00:00","1"]]})"),
        process(adminRequest("GET_EXTENS", R"({"bill_status":"LOCK"})")));
    EXPECT_EQ(
        success(
            "GET_EXTENS",
            "{" + headers +
                R"(,"rows":[["1","101","Alice","1","FREE","12.5","100.0","2.5","2015-01-10 09:00:00","0"],["3","103","Carol","0","FREE","0.0","0.0","0.0","2015-01-12 11:00:00","1"]]})"),
        process(adminRequest("GET_EXTENS", R"({"exten":"10","bill_status":"FREE"})")));
    EXPECT_EQ(success("GET_EXTENS", "{" + headers + R"(,"rows":[]})"),
              process(adminRequest("GET_EXTENS", R"({"exten":"1","prepaid":"0","bill_status":"LOCK"})")));
    const std::string all = process(adminRequest("GET_EXTENS"));
    EXPECT_EQ(0u, all.find(R"({"response":"GET_EXTENS","error_code":0,)"));
    EXPECT_NE(std::string::npos, all.find(R"(["3","103","Carol")"));
}

TEST_F(GetExtens, Refusals) {
    EXPECT_EQ(failure("GET_EXTENS", 4, "Invalid value for 'bill_status'"),
              process(adminRequest("GET_EXTENS", R"({"bill_status":"free"})")));
    EXPECT_EQ(failure("GET_EXTENS", 4, "Bad value of field: prepaid. Expected 0 or 1, got: 2"),
              process(adminRequest("GET_EXTENS", R"({"prepaid":"2"})")));
    EXPECT_EQ(failure("GET_EXTENS", 4, "cannot convert 'x' to int"),
              process(adminRequest("GET_EXTENS", R"({"prepaid":"x","bill_status":1})")));
    EXPECT_EQ(failure("GET_EXTENS", 7, "Access denied"),
              process(extenRequest("GET_EXTENS", R"({"exten":"101"})")));
}

TEST_F(GetRechargeHistory, ExtensionUserReadsItsOwnNewestFirst) {
    EXPECT_EQ(
        success(
            "GET_RECHARGE_HISTORY",
            R"({"headers":["id","exten_id","recharge_date","exten","pre_balance","charge"],"rows":[["2","1","2015-03-05 11:30:00","101","10.0","2.5"],["1","1","2015-02-01 10:00:00","101","0.0","10.0"]]})"),
        process(extenRequest("GET_RECHARGE_HISTORY", R"({"exten":"101"})")));
    EXPECT_EQ(
        success(
            "GET_RECHARGE_HISTORY",
            R"({"headers":["id","exten_id","recharge_date","exten","pre_balance","charge"],"rows":[["3","2","2015-03-06 09:00:00","102","0.0","30.0"],["2","1","2015-03-05 11:30:00","101","10.0","2.5"]]})"),
        process(adminRequest("GET_RECHARGE_HISTORY",
                             R"({"from_date":"2015-03-01 00:00","to_date":"2015-03-31 23:59"})")));
}

TEST_F(GetRechargeHistory, Refusals) {
    EXPECT_EQ(failure("GET_RECHARGE_HISTORY", 7, "Access denied"),
              process(extenRequest("GET_RECHARGE_HISTORY")));
    EXPECT_EQ(failure("GET_RECHARGE_HISTORY", 7, "Access denied"),
              process(extenRequest("GET_RECHARGE_HISTORY", R"({"exten":"102"})")));
    EXPECT_EQ(failure("GET_RECHARGE_HISTORY", 4, "Invalid date format: 2015-03-01"),
              process(adminRequest("GET_RECHARGE_HISTORY", R"({"from_date":"2015-03-01","to_date":"x"})")));
    EXPECT_EQ(failure("GET_RECHARGE_HISTORY", 4, "JSON exten item has bad type (expected string)"),
              process(adminRequest("GET_RECHARGE_HISTORY", R"({"exten":101})")));
}

TEST_F(GetCallLogs, ListingIsInsertedAsJsonNewestFirst) {
    EXPECT_EQ(
        R"({"response":"GET_CALL_LOGS","error_code":0,"error_description":"SUCCESS","arg":{"headers":["AcctId","start","exten_name","src","dst","billsec","disposition","cost"],"rows":[["4","2015-03-02 08:30:00","Alice","101","0048227654321","120","ANSWERED","1.25"],["3","2015-03-01 00:00:00","Alice","101","102","30","ANSWERED","0.0"]]}})",
        process(extenRequest("GET_CALL_LOGS", R"({"exten":"101","from_date":"2015-03-01 00:00"})")));
}

TEST_F(GetCallLogs, CallFromUnknownNumberHasNullName) {
    EXPECT_EQ(
        success(
            "GET_CALL_LOGS",
            R"({"headers":["AcctId","start","exten_name","src","dst","billsec","disposition","cost"],"rows":[["5","2015-03-02 12:00:00",null,"555","101","10","ANSWERED","0.0"]]})"),
        process(adminRequest("GET_CALL_LOGS", R"({"filter_name":"src","filter_value":"55"})")));
}

TEST_F(GetCallLogs, Refusals) {
    EXPECT_EQ(failure("GET_CALL_LOGS", 4, "Invalid value for 'filterName'"),
              process(adminRequest("GET_CALL_LOGS", R"({"filter_name":"SRC","filter_value":"1"})")));
    EXPECT_EQ(failure("GET_CALL_LOGS", 4, "filter value is null"),
              process(adminRequest("GET_CALL_LOGS", R"({"filter_name":"src"})")));
    EXPECT_EQ(failure("GET_CALL_LOGS", 4,
                      "JSON arg item contains item filter_value, but contains no item filter_name"),
              process(adminRequest("GET_CALL_LOGS", R"({"filter_value":1})")));
    EXPECT_EQ(failure("GET_CALL_LOGS", 7, "Access denied"),
              process(extenRequest("GET_CALL_LOGS", R"({"exten":"102"})")));
    EXPECT_EQ(failure("GET_CALL_LOGS", 7, "Access denied"), process(extenRequest("GET_CALL_LOGS")));
    Worker limitedToOne(database.path(), validator, "v", "d", 1);
    EXPECT_EQ(failure("GET_CALL_LOGS", 10, "Too many rows. Current limit is 1. "),
              limitedToOne.processRequest(extenRequest("GET_CALL_LOGS", R"({"exten":"101"})")));
}

TEST_F(GetStatistics, MonthlySumsForAll) {
    EXPECT_EQ(
        success(
            "GET_STATISTICS",
            R"({"headers":["calls","total_duration","avg_duration","total_cost","date","exten"],"rows":[["2","90","45.0","0.5","2015-02","ALL"],["5","230","46.0","2.0","2015-03","ALL"]]})"),
        process(adminRequest("GET_STATISTICS", R"({"monthly":true})")));
}

TEST_F(GetStatistics, DailySumsOfOwnExtension) {
    EXPECT_EQ(
        success(
            "GET_STATISTICS",
            R"({"headers":["calls","total_duration","avg_duration","total_cost","date","exten"],"rows":[["1","70","70.0","0.5","2015-02-27","101"],["1","35","35.0","0.0","2015-03-01","101"],["1","130","130.0","1.25","2015-03-02","101"]]})"),
        process(extenRequest("GET_STATISTICS", R"({"exten":"101","monthly":false})")));
}

TEST_F(GetStatistics, Refusals) {
    EXPECT_EQ(failure("GET_STATISTICS", 4, "JSON monthly item has bad type (expected bool)"),
              process(adminRequest("GET_STATISTICS", R"({"monthly":"true"})")));
    EXPECT_EQ(failure("GET_STATISTICS", 4, "Invalid date format: 2015-03-31"),
              process(adminRequest("GET_STATISTICS", R"({"from_date":"x","to_date":"2015-03-31"})")));
    EXPECT_EQ(failure("GET_STATISTICS", 7, "Access denied"), process(extenRequest("GET_STATISTICS")));
    EXPECT_EQ(failure("GET_STATISTICS", 6, "Invalid user or password"),
              process(request("GET_STATISTICS", R"({"exten":"101"})", "101", "", false)));
}

}  // namespace
