#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/ProtoConstants.h"

namespace {

// Wire texts: a typo here would silently break every client, so each value is written out.
TEST(ProtocolVocabulary, MethodNamesHaveTheirWireValues) {
    EXPECT_EQ("UNKNOWN", proto::METHOD_UNKNOWN);
    EXPECT_EQ("ECHO", proto::METHOD_ECHO);
    EXPECT_EQ("SQL", proto::METHOD_SQL);
    EXPECT_EQ("kaput", proto::METHOD_TERMINATE);
    EXPECT_EQ("ERROR", proto::METHOD_ERROR);
    EXPECT_EQ("GET_EXTEN", proto::METHOD_GET_EXTEN);
    EXPECT_EQ("GET_EXTENS", proto::METHOD_GET_EXTENS);
    EXPECT_EQ("CHANGE_EXTEN_PASS", proto::METHOD_CHANGE_EXTEN_PASS);
    EXPECT_EQ("GET_RECHARGE_HISTORY", proto::METHOD_GET_RECHARGE_HISTORY);
    EXPECT_EQ("GET_CALL_LOGS", proto::METHOD_GET_CALL_LOGS);
    EXPECT_EQ("GET_RATE", proto::METHOD_GET_RATE);
    EXPECT_EQ("LOGIN", proto::METHOD_LOGIN);
    EXPECT_EQ("GET_VERSION", proto::METHOD_GET_VERSION);
    EXPECT_EQ("GET_SETTINGS", proto::METHOD_GET_SETTINGS);
    EXPECT_EQ("SET_CURRENCY", proto::METHOD_SET_CURRENCY);
    EXPECT_EQ("UPDATE_EXTEN", proto::METHOD_UPDATE_EXTEN);
    EXPECT_EQ("CHARGE_EXTEN", proto::METHOD_CHARGE_EXTEN);
    EXPECT_EQ("CLEAR_EXTEN", proto::METHOD_CLEAR_EXTEN);
    EXPECT_EQ("GET_RATES", proto::METHOD_GET_RATES);
    EXPECT_EQ("GET_HELP", proto::METHOD_GET_HELP);
    EXPECT_EQ("GET_RATE_HISTORY", proto::METHOD_GET_RATE_HISTORY);
    EXPECT_EQ("ADD_RATE", proto::METHOD_ADD_RATE);
    EXPECT_EQ("UPDATE_RATE", proto::METHOD_UPDATE_RATE);
    EXPECT_EQ("ACTIVATE_RATE", proto::METHOD_ACTIVATE_RATE);
    EXPECT_EQ("DELETE_RATE", proto::METHOD_DELETE_RATE);
    EXPECT_EQ("GET_STATISTICS", proto::METHOD_GET_STATISTICS);
    EXPECT_EQ("DELETE_CALL_LOGS", proto::METHOD_DELETE_CALL_LOGS);
    EXPECT_EQ("DELETE_ALL_CALL_LOGS", proto::METHOD_DELETE_ALL_CALL_LOGS);
}

TEST(ProtocolVocabulary, KeysHaveTheirWireValues) {
    EXPECT_EQ("request", proto::ITEM_REQUEST);
    EXPECT_EQ("response", proto::ITEM_RESPONSE);
    EXPECT_EQ("auth", proto::ITEM_AUTH);
    EXPECT_EQ("name", proto::ITEM_NAME);
    EXPECT_EQ("pass", proto::ITEM_PASS);
    EXPECT_EQ("admin", proto::ITEM_ADMIN);
    EXPECT_EQ("arg", proto::ITEM_ARG);
    EXPECT_EQ("value", proto::ITEM_VALUE);
    EXPECT_EQ("exten", proto::ITEM_EXTEN);
    EXPECT_EQ("new_pass", proto::ITEM_NEWPASS);
    EXPECT_EQ("headers", proto::ITEM_HEADERS);
    EXPECT_EQ("rows", proto::ITEM_ROWS);
    EXPECT_EQ("error_code", proto::ITEM_ERRCODE);
    EXPECT_EQ("error_description", proto::ITEM_ERRDESC);
    EXPECT_EQ("version", proto::ITEM_VERSION);
    EXPECT_EQ("built_date", proto::ITEM_BUILT_DATE);
    EXPECT_EQ("currency", proto::ITEM_CURRENCY);
    EXPECT_EQ("exten_array", proto::ITEM_EXTEN_ARRAY);
    EXPECT_EQ("exten_id", proto::ITEM_EXTEN_ID);
    EXPECT_EQ("bill_status", proto::ITEM_BILL_STATUS);
    EXPECT_EQ("limit_credit", proto::ITEM_LIMIT_CREDIT);
    EXPECT_EQ("prepaid", proto::ITEM_PREPAID);
    EXPECT_EQ("total_charge", proto::ITEM_TOTAL_CHARGE);
    EXPECT_EQ("balance", proto::ITEM_BALANCE);
    EXPECT_EQ("language", proto::ITEM_LANGUAGE);
    EXPECT_EQ("rate_id", proto::ITEM_RATE_ID);
    EXPECT_EQ("prefix", proto::ITEM_PREFIX);
    EXPECT_EQ("number_length", proto::ITEM_NUMBER_LEN);
    EXPECT_EQ("rate", proto::ITEM_RATE);
    EXPECT_EQ("bill_unit", proto::ITEM_BILL_UNIT);
    EXPECT_EQ("from_hour", proto::ITEM_FROM_HOUR);
    EXPECT_EQ("to_hour", proto::ITEM_TO_HOUR);
    EXPECT_EQ("init_cost", proto::ITEM_INIT_COST);
    EXPECT_EQ("init_time", proto::ITEM_INIT_TIME);
    EXPECT_EQ("extensions", proto::ITEM_EXTENSIONS);
    EXPECT_EQ("active", proto::ITEM_ACTIVE);
    EXPECT_EQ("admin_name", proto::ITEM_ADMIN_NAME);
    EXPECT_EQ("admin_id", proto::ITEM_ADMIN_ID);
    EXPECT_EQ("monthly", proto::ITEM_MONTHLY);
    EXPECT_EQ("from_date", proto::ITEM_FROM_DATE);
    EXPECT_EQ("to_date", proto::ITEM_TO_DATE);
    EXPECT_EQ("ids", proto::ITEM_IDS);
    EXPECT_EQ("filter_name", proto::ITEM_FILTER_NAME);
    EXPECT_EQ("filter_value", proto::ITEM_FITLER_VALUE);
}

TEST(ProtocolVocabulary, AllValuesAreDistinct) {
    const std::set<std::string> values = {proto::METHOD_UNKNOWN,
                                          proto::METHOD_ECHO,
                                          proto::METHOD_SQL,
                                          proto::METHOD_TERMINATE,
                                          proto::METHOD_ERROR,
                                          proto::METHOD_GET_EXTEN,
                                          proto::METHOD_GET_EXTENS,
                                          proto::METHOD_CHANGE_EXTEN_PASS,
                                          proto::METHOD_GET_RECHARGE_HISTORY,
                                          proto::METHOD_GET_CALL_LOGS,
                                          proto::METHOD_GET_RATE,
                                          proto::METHOD_LOGIN,
                                          proto::METHOD_GET_VERSION,
                                          proto::METHOD_GET_SETTINGS,
                                          proto::METHOD_SET_CURRENCY,
                                          proto::METHOD_UPDATE_EXTEN,
                                          proto::METHOD_CHARGE_EXTEN,
                                          proto::METHOD_CLEAR_EXTEN,
                                          proto::METHOD_GET_RATES,
                                          proto::METHOD_GET_HELP,
                                          proto::METHOD_GET_RATE_HISTORY,
                                          proto::METHOD_ADD_RATE,
                                          proto::METHOD_UPDATE_RATE,
                                          proto::METHOD_ACTIVATE_RATE,
                                          proto::METHOD_DELETE_RATE,
                                          proto::METHOD_GET_STATISTICS,
                                          proto::METHOD_DELETE_CALL_LOGS,
                                          proto::METHOD_DELETE_ALL_CALL_LOGS,
                                          proto::ITEM_REQUEST,
                                          proto::ITEM_RESPONSE,
                                          proto::ITEM_AUTH,
                                          proto::ITEM_NAME,
                                          proto::ITEM_PASS,
                                          proto::ITEM_ADMIN,
                                          proto::ITEM_ARG,
                                          proto::ITEM_VALUE,
                                          proto::ITEM_EXTEN,
                                          proto::ITEM_NEWPASS,
                                          proto::ITEM_HEADERS,
                                          proto::ITEM_ROWS,
                                          proto::ITEM_ERRCODE,
                                          proto::ITEM_ERRDESC,
                                          proto::ITEM_VERSION,
                                          proto::ITEM_BUILT_DATE,
                                          proto::ITEM_CURRENCY,
                                          proto::ITEM_EXTEN_ARRAY,
                                          proto::ITEM_EXTEN_ID,
                                          proto::ITEM_BILL_STATUS,
                                          proto::ITEM_LIMIT_CREDIT,
                                          proto::ITEM_PREPAID,
                                          proto::ITEM_TOTAL_CHARGE,
                                          proto::ITEM_BALANCE,
                                          proto::ITEM_LANGUAGE,
                                          proto::ITEM_RATE_ID,
                                          proto::ITEM_PREFIX,
                                          proto::ITEM_NUMBER_LEN,
                                          proto::ITEM_RATE,
                                          proto::ITEM_BILL_UNIT,
                                          proto::ITEM_FROM_HOUR,
                                          proto::ITEM_TO_HOUR,
                                          proto::ITEM_INIT_COST,
                                          proto::ITEM_INIT_TIME,
                                          proto::ITEM_EXTENSIONS,
                                          proto::ITEM_ACTIVE,
                                          proto::ITEM_ADMIN_NAME,
                                          proto::ITEM_ADMIN_ID,
                                          proto::ITEM_MONTHLY,
                                          proto::ITEM_FROM_DATE,
                                          proto::ITEM_TO_DATE,
                                          proto::ITEM_IDS,
                                          proto::ITEM_FILTER_NAME,
                                          proto::ITEM_FITLER_VALUE};
    EXPECT_EQ(72u, values.size());
}

}  // namespace
