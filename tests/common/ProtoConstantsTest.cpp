#include <gtest/gtest.h>

#include "common/ProtoConstants.h"

namespace {

// Wire texts: a typo here breaks every client silently, so every value is written out. Method names
// are their constant's name after the prefix, but for "kaput".
#define METHOD(name) EXPECT_EQ(#name, proto::METHOD_##name);
#define ITEM(name, value) EXPECT_EQ(value, proto::ITEM_##name);

TEST(ProtocolVocabulary, EveryConstantHasItsWireValue) {
    EXPECT_EQ("kaput", proto::METHOD_TERMINATE);
    // clang-format off
    METHOD(UNKNOWN) METHOD(ECHO) METHOD(SQL) METHOD(ERROR) METHOD(GET_EXTEN) METHOD(GET_EXTENS) METHOD(CHANGE_EXTEN_PASS)
    METHOD(GET_RECHARGE_HISTORY) METHOD(GET_CALL_LOGS) METHOD(GET_RATE) METHOD(LOGIN) METHOD(GET_VERSION) METHOD(GET_SETTINGS)
    METHOD(SET_CURRENCY) METHOD(UPDATE_EXTEN) METHOD(CHARGE_EXTEN) METHOD(CLEAR_EXTEN) METHOD(GET_RATES) METHOD(GET_HELP)
    METHOD(GET_RATE_HISTORY) METHOD(ADD_RATE) METHOD(UPDATE_RATE) METHOD(ACTIVATE_RATE) METHOD(DELETE_RATE)
    METHOD(GET_STATISTICS) METHOD(DELETE_CALL_LOGS) METHOD(DELETE_ALL_CALL_LOGS)
    ITEM(REQUEST, "request") ITEM(RESPONSE, "response") ITEM(AUTH, "auth") ITEM(NAME, "name") ITEM(PASS, "pass")
    ITEM(ADMIN, "admin") ITEM(ARG, "arg") ITEM(VALUE, "value") ITEM(EXTEN, "exten") ITEM(NEWPASS, "new_pass")
    ITEM(HEADERS, "headers") ITEM(ROWS, "rows") ITEM(ERRCODE, "error_code") ITEM(ERRDESC, "error_description")
    ITEM(VERSION, "version") ITEM(BUILT_DATE, "built_date") ITEM(CURRENCY, "currency") ITEM(EXTEN_ARRAY, "exten_array")
    ITEM(EXTEN_ID, "exten_id") ITEM(BILL_STATUS, "bill_status") ITEM(LIMIT_CREDIT, "limit_credit") ITEM(PREPAID, "prepaid")
    ITEM(TOTAL_CHARGE, "total_charge") ITEM(BALANCE, "balance") ITEM(LANGUAGE, "language") ITEM(RATE_ID, "rate_id")
    ITEM(PREFIX, "prefix") ITEM(NUMBER_LEN, "number_length") ITEM(RATE, "rate") ITEM(BILL_UNIT, "bill_unit")
    ITEM(FROM_HOUR, "from_hour") ITEM(TO_HOUR, "to_hour") ITEM(INIT_COST, "init_cost") ITEM(INIT_TIME, "init_time")
    ITEM(EXTENSIONS, "extensions") ITEM(ACTIVE, "active") ITEM(ADMIN_NAME, "admin_name") ITEM(ADMIN_ID, "admin_id")
    ITEM(MONTHLY, "monthly") ITEM(FROM_DATE, "from_date") ITEM(TO_DATE, "to_date") ITEM(IDS, "ids")
    ITEM(FILTER_NAME, "filter_name") ITEM(FITLER_VALUE, "filter_value")
    // clang-format on
}

}  // namespace
