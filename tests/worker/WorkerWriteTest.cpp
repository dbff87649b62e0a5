#include <gtest/gtest.h>

#include <string>

#include "tests/worker/WorkerFixture.h"

// The writing methods: each success is confirmed in the database file, each refusal leaves the
// table as it was.

namespace {

using testsupport::Rows;
using workertest::adminRequest;
using workertest::extenRequest;
using workertest::failure;
using workertest::request;
using workertest::success;
using workertest::WorkerTest;

class WriteTest : public WorkerTest {
protected:
    Rows table(const std::string& name) const {
        return database.query("SELECT * FROM " + name + " ORDER BY rowid");
    }
    std::string value(const std::string& sql) const { return database.queryOne(sql).value_or("<null>"); }

    // Answers the request with exactly expected and leaves the table untouched.
    void expectRefused(const std::string& expected, const std::string& text, const std::string& tableName) {
        const Rows before = table(tableName);
        EXPECT_EQ(expected, process(text));
        EXPECT_EQ(before, table(tableName)) << text;
    }
};

using SetCurrency = WriteTest;
using DeleteRate = WriteTest;
using AddRate = WriteTest;
using UpdateRate = WriteTest;
using ActivateRate = WriteTest;
using DeleteCallLogs = WriteTest;
using DeleteAllCallLogs = WriteTest;
using ChargeExten = WriteTest;
using ClearExten = WriteTest;
using UpdateExten = WriteTest;
using ChangeExtenPass = WriteTest;

const std::string kCurrencySql = "SELECT settings_value FROM settings WHERE settings_key = 'CURRENCY'";

TEST_F(SetCurrency, AdministratorStoresTheText) {
    EXPECT_EQ(R"({"response":"SET_CURRENCY","error_code":0,"error_description":"SUCCESS","arg":null})",
              process(adminRequest("SET_CURRENCY", R"({"currency":"US$ \"x\""})")));
    EXPECT_EQ("US$ \"x\"", value(kCurrencySql));
    EXPECT_EQ(success("SET_CURRENCY"), process(adminRequest("SET_CURRENCY", R"({"currency":""})")));
    EXPECT_EQ("", value(kCurrencySql));
}

TEST_F(SetCurrency, Refusals) {
    expectRefused(failure("SET_CURRENCY", 7, "Access denied"),
                  extenRequest("SET_CURRENCY", R"({"currency":"USD"})"), "settings");
    expectRefused(failure("SET_CURRENCY", 6, "Invalid user or password"),
                  request("SET_CURRENCY", R"({"currency":"USD"})", "101", "nope", false), "settings");
    expectRefused(failure("SET_CURRENCY", 4, "JSON arg item contains no currency item"),
                  adminRequest("SET_CURRENCY", R"({"money":"USD"})"), "settings");
    expectRefused(failure("SET_CURRENCY", 4, "JSON currency item has bad type (expected string)"),
                  adminRequest("SET_CURRENCY", R"({"currency":1})"), "settings");
    EXPECT_EQ("EUR", value(kCurrencySql));
}

TEST_F(DeleteRate, AdministratorDeletesOneRate) {
    EXPECT_EQ(success("DELETE_RATE"), process(adminRequest("DELETE_RATE", R"({"rate_id":"2"})")));
    EXPECT_EQ((Rows{{"1"}}), database.query("SELECT id FROM rate"));
}

TEST_F(DeleteRate, Refusals) {
    expectRefused(failure("DELETE_RATE", 12, "Rate not found"),
                  adminRequest("DELETE_RATE", R"({"rate_id":"99"})"), "rate");
    expectRefused(failure("DELETE_RATE", 7, "Access denied"),
                  extenRequest("DELETE_RATE", R"({"rate_id":"2"})"), "rate");
    expectRefused(failure("DELETE_RATE", 4, "JSON arg item contains no rate_id"), adminRequest("DELETE_RATE"),
                  "rate");
}

const std::string kNewRate =
    R"({"prefix":"0050","number_length":null,"rate":"0.5","bill_unit":"30","from_hour":"08:00","to_hour":"12:00","init_cost":"0.2","init_time":"10","extensions":["101","103"],"active":"1"})";

TEST_F(AddRate, AdministratorAddsRateWithoutNumberLength) {
    EXPECT_EQ(success("ADD_RATE"), process(adminRequest("ADD_RATE", kNewRate)));
    EXPECT_EQ(
        (Rows{{"3", "0050", std::nullopt, "0.5", "30", "08:00", "12:00", "0.2", "10.0", "101,103", "1"}}),
        database.query("SELECT id, prefix, number_length, rate, bill_unit, from_hour, to_hour, init_cost, "
                       "init_time, extensions, active FROM rate WHERE id = 3"));
    EXPECT_EQ(
        success("ADD_RATE"),
        process(adminRequest(
            "ADD_RATE",
            R"({"prefix":"7","number_length":"5","rate":"1","bill_unit":"1","from_hour":"00:00","to_hour":"00:00","init_cost":"0","init_time":"0","extensions":[],"active":"0"})")));
    EXPECT_EQ((Rows{{"7", "5", ""}}),
              database.query("SELECT prefix, number_length, extensions FROM rate WHERE id = 4"));
}

TEST_F(AddRate, CollidingRateIsRolledBack) {
    expectRefused(
        failure("ADD_RATE", 11, "Corrupted rates table - 2 are colliding"),
        adminRequest(
            "ADD_RATE",
            R"({"prefix":"0048","number_length":"11","rate":"1","bill_unit":"60","from_hour":"09:00","to_hour":"10:00","init_cost":"0","init_time":"0","extensions":["101","102"],"active":"1"})"),
        "rate");
}

TEST_F(AddRate, Refusals) {
    expectRefused(failure("ADD_RATE", 4, "JSON arg item contains no item prefix"),
                  adminRequest("ADD_RATE", "{}"), "rate");
    expectRefused(
        failure("ADD_RATE", 4, "Invalid hour format: 8:00"),
        request(
            "ADD_RATE",
            R"({"prefix":"1","number_length":null,"rate":"1","bill_unit":"1","from_hour":"8:00","to_hour":"09:00","init_cost":"0","init_time":"0","extensions":["101"],"active":"1"})",
            "trivx", "wrong", true),
        "rate");
    expectRefused(
        failure("ADD_RATE", 4, "Bad value of field: active. Expected 0 or 1, got: 2"),
        adminRequest(
            "ADD_RATE",
            R"({"prefix":"1","number_length":null,"rate":"1","bill_unit":"1","from_hour":"08:00","to_hour":"09:00","init_cost":"0","init_time":"0","extensions":["101"],"active":"2"})"),
        "rate");
    expectRefused(failure("ADD_RATE", 7, "Access denied"), extenRequest("ADD_RATE", kNewRate), "rate");
}

TEST_F(UpdateRate, AdministratorReplacesEveryColumn) {
    EXPECT_EQ(
        success("UPDATE_RATE"),
        process(adminRequest(
            "UPDATE_RATE",
            R"({"rate_id":"2","prefix":"0051","number_length":"9","rate":"0.75","bill_unit":"10","from_hour":"20:00","to_hour":"23:00","init_cost":"1.5","init_time":"5","extensions":["102","103"],"active":"1"})")));
    EXPECT_EQ(
        (Rows{{"2", "0051", "9", "0.75", "10", "20:00", "23:00", "1.5", "5.0", "102,103", "1"}}),
        database.query("SELECT id, prefix, number_length, rate, bill_unit, from_hour, to_hour, init_cost, "
                       "init_time, extensions, active FROM rate WHERE id = 2"));
}

TEST_F(UpdateRate, Refusals) {
    const std::string collidingWithRateOne =
        R"({"rate_id":"2","prefix":"0048","number_length":"11","rate":"1","bill_unit":"60","from_hour":"10:00","to_hour":"11:00","init_cost":"0","init_time":"0","extensions":["102"],"active":"1"})";
    expectRefused(failure("UPDATE_RATE", 11, "Corrupted rates table - 1 are colliding"),
                  adminRequest("UPDATE_RATE", collidingWithRateOne), "rate");
    expectRefused(
        failure("UPDATE_RATE", 12, "Rate not found"),
        adminRequest(
            "UPDATE_RATE",
            R"({"rate_id":"99","prefix":"1","number_length":"1","rate":"1","bill_unit":"1","from_hour":"08:00","to_hour":"09:00","init_cost":"0","init_time":"0","extensions":["101"],"active":"0"})"),
        "rate");
    expectRefused(failure("UPDATE_RATE", 4, "JSON arg item contains no item rate_id"),
                  adminRequest("UPDATE_RATE"), "rate");
    expectRefused(failure("UPDATE_RATE", 7, "Access denied"),
                  extenRequest("UPDATE_RATE", collidingWithRateOne), "rate");
}

TEST_F(ActivateRate, AdministratorSwitchesTheFlag) {
    EXPECT_EQ(success("ACTIVATE_RATE"),
              process(adminRequest("ACTIVATE_RATE", R"({"rate_id":"2","active":"1"})")));
    EXPECT_EQ("1", value("SELECT active FROM rate WHERE id = 2"));
    EXPECT_EQ(success("ACTIVATE_RATE"),
              process(adminRequest("ACTIVATE_RATE", R"({"rate_id":"1","active":"0"})")));
    EXPECT_EQ("0", value("SELECT active FROM rate WHERE id = 1"));
}

TEST_F(ActivateRate, Refusals) {
    database.exec(
        "INSERT INTO rate (id, prefix, number_length, from_hour, to_hour, extensions, active) "
        "VALUES (5, '0048', 11, '12:00', '13:00', '102', 0)");
    expectRefused(failure("ACTIVATE_RATE", 11, "Corrupted rates table - 1 are colliding"),
                  adminRequest("ACTIVATE_RATE", R"({"rate_id":"5","active":"1"})"), "rate");
    expectRefused(failure("ACTIVATE_RATE", 4, "Bad value of field: active. Expected 0 or 1, got: 5"),
                  adminRequest("ACTIVATE_RATE", R"({"rate_id":"2","active":"5"})"), "rate");
    expectRefused(failure("ACTIVATE_RATE", 4, "JSON arg item contains no active"),
                  adminRequest("ACTIVATE_RATE", R"({"rate_id":"2"})"), "rate");
    expectRefused(failure("ACTIVATE_RATE", 7, "Access denied"),
                  extenRequest("ACTIVATE_RATE", R"({"rate_id":"2","active":"1"})"), "rate");
}

TEST_F(DeleteCallLogs, AdministratorDeletesTheListedRecords) {
    EXPECT_EQ(success("DELETE_CALL_LOGS"),
              process(adminRequest("DELETE_CALL_LOGS", R"({"ids":["1","3","99"]})")));
    EXPECT_EQ((Rows{{"2"}, {"4"}, {"5"}, {"6"}, {"7"}}),
              database.query("SELECT AcctId FROM cdr ORDER BY AcctId"));
}

TEST_F(DeleteCallLogs, Refusals) {
    expectRefused(failure("DELETE_CALL_LOGS", 4, "array 'ids' is empty"),
                  adminRequest("DELETE_CALL_LOGS", R"({"ids":[]})"), "cdr");
    expectRefused(failure("DELETE_CALL_LOGS", 4, "id must by a string"),
                  adminRequest("DELETE_CALL_LOGS", R"({"ids":["1",2]})"), "cdr");
    expectRefused(failure("DELETE_CALL_LOGS", 7, "Access denied"),
                  extenRequest("DELETE_CALL_LOGS", R"({"ids":["1"]})"), "cdr");
}

TEST_F(DeleteAllCallLogs, AdministratorEmptiesTheTable) {
    EXPECT_EQ(success("DELETE_ALL_CALL_LOGS"), process(adminRequest("DELETE_ALL_CALL_LOGS")));
    EXPECT_EQ("0", value("SELECT count(*) FROM cdr"));
}

TEST_F(DeleteAllCallLogs, Refusals) {
    expectRefused(failure("DELETE_ALL_CALL_LOGS", 7, "Access denied"), extenRequest("DELETE_ALL_CALL_LOGS"),
                  "cdr");
    expectRefused(failure("DELETE_ALL_CALL_LOGS", 4, "arg must by null"),
                  adminRequest("DELETE_ALL_CALL_LOGS", "{}"), "cdr");
    expectRefused(failure("DELETE_ALL_CALL_LOGS", 6, "Invalid user or password"),
                  request("DELETE_ALL_CALL_LOGS", "null", "trivx", "", true), "cdr");
}

const std::string kAmountsSql = "SELECT id, total_charge, balance FROM exten ORDER BY id";

TEST_F(ChargeExten, AmountIsAddedToTotalAndBalance) {
    EXPECT_EQ(success("CHARGE_EXTEN"),
              process(adminRequest("CHARGE_EXTEN", R"({"exten_array":["1","2"],"value":"5.25"})")));
    EXPECT_EQ((Rows{{"1", "17.75", "7.75"}, {"2", "35.25", "25.25"}, {"3", "0.0", "0.0"}}),
              database.query(kAmountsSql));
}

TEST_F(ChargeExten, Refusals) {
    expectRefused(failure("CHARGE_EXTEN", 4, "value must be greater than zero"),
                  adminRequest("CHARGE_EXTEN", R"({"exten_array":["1"],"value":"0"})"), "exten");
    expectRefused(failure("CHARGE_EXTEN", 8, "Exten not found"),
                  adminRequest("CHARGE_EXTEN", R"({"exten_array":["1","9"],"value":"1"})"), "exten");
    expectRefused(failure("CHARGE_EXTEN", 4, "JSON exten_ids array contains no items"),
                  adminRequest("CHARGE_EXTEN", R"({"exten_array":[],"value":"1"})"), "exten");
    expectRefused(failure("CHARGE_EXTEN", 4, "Id must be a string"),
                  adminRequest("CHARGE_EXTEN", R"({"exten_array":["1",2],"value":"1"})"), "exten");
    expectRefused(failure("CHARGE_EXTEN", 7, "Access denied"),
                  extenRequest("CHARGE_EXTEN", R"({"exten_array":["1"],"value":"1"})"), "exten");
}

TEST_F(ClearExten, ZeroesTheListedExtensionsOnly) {
    EXPECT_EQ(success("CLEAR_EXTEN"), process(adminRequest("CLEAR_EXTEN", R"({"exten_array":["1"]})")));
    EXPECT_EQ((Rows{{"1", "0.0", "0.0"}, {"2", "30.0", "20.0"}, {"3", "0.0", "0.0"}}),
              database.query(kAmountsSql));
}

TEST_F(ClearExten, Refusals) {
    expectRefused(failure("CLEAR_EXTEN", 8, "Exten not found"),
                  adminRequest("CLEAR_EXTEN", R"({"exten_array":["1","1"]})"), "exten");
    expectRefused(failure("CLEAR_EXTEN", 4, "Id must by a string"),
                  adminRequest("CLEAR_EXTEN", R"({"exten_array":[1]})"), "exten");
    expectRefused(failure("CLEAR_EXTEN", 4, "JSON arg item contains no exten_ids array"),
                  adminRequest("CLEAR_EXTEN"), "exten");
    expectRefused(failure("CLEAR_EXTEN", 7, "Access denied"),
                  extenRequest("CLEAR_EXTEN", R"({"exten_array":["1"]})"), "exten");
}

const std::string kBillingSql =
    "SELECT id, bill_status, limit_credit, prepaid, www_pass FROM exten ORDER BY id";

TEST_F(UpdateExten, NewPasswordUpdatesTheOneListedExtension) {
    EXPECT_EQ(
        success("UPDATE_EXTEN"),
        process(adminRequest(
            "UPDATE_EXTEN",
            R"({"bill_status":"LOCK","limit_credit":"12.5","prepaid":"1","new_pass":"np","exten_array":["1"]})")));
    EXPECT_EQ((Rows{{"1", "LOCK", "12.5", "1", "np"},
                    {"2", "LOCK", "50.0", "1", "secret102"},
                    {"3", "FREE", "0.0", "1", "secret103"}}),
              database.query(kBillingSql));
}

TEST_F(UpdateExten, WithoutPasswordUpdatesEveryListedExtension) {
    EXPECT_EQ(success("UPDATE_EXTEN"),
              process(adminRequest(
                  "UPDATE_EXTEN",
                  R"({"bill_status":"FREE","limit_credit":"-3","prepaid":"0","exten_array":["2","3"]})")));
    EXPECT_EQ((Rows{{"1", "FREE", "100.0", "0", "secret101"},
                    {"2", "FREE", "-3.0", "0", "secret102"},
                    {"3", "FREE", "-3.0", "0", "secret103"}}),
              database.query(kBillingSql));
}

TEST_F(UpdateExten, Refusals) {
    expectRefused(
        failure("UPDATE_EXTEN", 4, "Can't change password for many users"),
        adminRequest(
            "UPDATE_EXTEN",
            R"({"bill_status":"LOCK","limit_credit":"1","prepaid":"1","new_pass":"p","exten_array":["1","2"]})"),
        "exten");
    expectRefused(
        failure("UPDATE_EXTEN", 4, "Bad value of field: bill_status. Expected 'FREE' or 'LOCK', got: free"),
        adminRequest("UPDATE_EXTEN",
                     R"({"bill_status":"free","limit_credit":"1","prepaid":"1","exten_array":["1"]})"),
        "exten");
    expectRefused(
        failure("UPDATE_EXTEN", 4, "Bad value of field: prepaid. Expected 0 or 1, got: 3"),
        adminRequest(
            "UPDATE_EXTEN",
            R"({"bill_status":"FREE","limit_credit":"1","prepaid":"3","new_pass":"p","exten_array":["1"]})"),
        "exten");
    expectRefused(
        failure("UPDATE_EXTEN", 8, "Exten not found"),
        adminRequest("UPDATE_EXTEN",
                     R"({"bill_status":"FREE","limit_credit":"1","prepaid":"1","exten_array":["9"]})"),
        "exten");
    expectRefused(failure("UPDATE_EXTEN", 4, "JSON arg item contains no item bill_status"),
                  adminRequest("UPDATE_EXTEN", "null"), "exten");
    expectRefused(
        failure("UPDATE_EXTEN", 7, "Access denied"),
        extenRequest("UPDATE_EXTEN",
                     R"({"bill_status":"FREE","limit_credit":"1","prepaid":"1","exten_array":["1"]})"),
        "exten");
}

TEST_F(ChangeExtenPass, ExtensionUserChangesItsOwnPassword) {
    EXPECT_EQ(success("CHANGE_EXTEN_PASS"),
              process(extenRequest("CHANGE_EXTEN_PASS", R"({"exten_id":"1","new_pass":"fresh"})")));
    EXPECT_EQ("fresh", value("SELECT www_pass FROM exten WHERE id = 1"));
    EXPECT_EQ(success("LOGIN"), process(request("LOGIN", "null", "101", "fresh", false)));
}

TEST_F(ChangeExtenPass, NegativeIdReachesTheOperationWithItsSign) {
    database.exec("INSERT INTO exten (id, exten, www_pass) VALUES (-1, '900', 'old')");
    EXPECT_EQ(success("CHANGE_EXTEN_PASS"),
              process(adminRequest("CHANGE_EXTEN_PASS", R"({"exten_id":"-1","new_pass":"new"})")));
    EXPECT_EQ("new", value("SELECT www_pass FROM exten WHERE id = -1"));
}

TEST_F(ChangeExtenPass, Refusals) {
    expectRefused(failure("CHANGE_EXTEN_PASS", 7, "can not change the another exten password "),
                  extenRequest("CHANGE_EXTEN_PASS", R"({"exten_id":"2","new_pass":"x"})"), "exten");
    expectRefused(failure("CHANGE_EXTEN_PASS", 8, "Exten not found"),
                  adminRequest("CHANGE_EXTEN_PASS", R"({"exten_id":"-1","new_pass":""})"), "exten");
    expectRefused(failure("CHANGE_EXTEN_PASS", 4, "new pass is empty"),
                  adminRequest("CHANGE_EXTEN_PASS", R"({"exten_id":"1","new_pass":""})"), "exten");
    expectRefused(failure("CHANGE_EXTEN_PASS", 4, "JSON arg item contains no item exten_id"),
                  adminRequest("CHANGE_EXTEN_PASS"), "exten");
    expectRefused(
        failure("CHANGE_EXTEN_PASS", 6, "Invalid user or password"),
        request("CHANGE_EXTEN_PASS", R"({"exten_id":"1","new_pass":"x"})", "101", "secret102", false),
        "exten");
}

TEST(NullArgMethods, AreRefusedBeforeAnyDatabaseWork) {
    log4cplus::Logger::getInstance("Korvu").setLogLevel(log4cplus::OFF_LOG_LEVEL);
    korvu::DummyAdminValidator validator("trivx", "trivx");
    Worker worker(workertest::missingPath(), validator, "v", "d", 20000);
    for (const std::string method : {"DELETE_ALL_CALL_LOGS", "LOGIN", "GET_SETTINGS", "GET_RATES"}) {
        EXPECT_EQ(failure(method, 4, "arg must by null"), worker.processRequest(adminRequest(method, "{}")));
    }
    EXPECT_EQ(failure("ADD_RATE", 4, "JSON arg item contains no item prefix"),
              worker.processRequest(adminRequest("ADD_RATE", "{}")));
}

}  // namespace
