#pragma once

#include <string>

// The protocol's method names and JSON keys, shared by the billing core and the protocol layer.
// Defined in one unit in this order; no static initialiser elsewhere may read them.
namespace proto {

// Method names: the "request" value of a request and the "response" value of its answer.
extern const std::string METHOD_UNKNOWN;
extern const std::string METHOD_ECHO;
extern const std::string METHOD_SQL;
extern const std::string METHOD_TERMINATE;
extern const std::string METHOD_ERROR;
extern const std::string METHOD_GET_EXTEN;
extern const std::string METHOD_GET_EXTENS;
extern const std::string METHOD_CHANGE_EXTEN_PASS;
extern const std::string METHOD_GET_RECHARGE_HISTORY;
extern const std::string METHOD_GET_CALL_LOGS;
extern const std::string METHOD_GET_RATE;
extern const std::string METHOD_LOGIN;
extern const std::string METHOD_GET_VERSION;
extern const std::string METHOD_GET_SETTINGS;
extern const std::string METHOD_SET_CURRENCY;
extern const std::string METHOD_UPDATE_EXTEN;
extern const std::string METHOD_CHARGE_EXTEN;
extern const std::string METHOD_CLEAR_EXTEN;
extern const std::string METHOD_GET_RATES;
extern const std::string METHOD_GET_HELP;
extern const std::string METHOD_GET_RATE_HISTORY;
extern const std::string METHOD_ADD_RATE;
extern const std::string METHOD_UPDATE_RATE;
extern const std::string METHOD_ACTIVATE_RATE;
extern const std::string METHOD_DELETE_RATE;
extern const std::string METHOD_GET_STATISTICS;
extern const std::string METHOD_DELETE_CALL_LOGS;
extern const std::string METHOD_DELETE_ALL_CALL_LOGS;

// JSON keys. ITEM_FITLER_VALUE keeps its historical spelling; its value is spelled right.
extern const std::string ITEM_REQUEST;
extern const std::string ITEM_RESPONSE;
extern const std::string ITEM_AUTH;
extern const std::string ITEM_NAME;
extern const std::string ITEM_PASS;
extern const std::string ITEM_ADMIN;
extern const std::string ITEM_ARG;
extern const std::string ITEM_VALUE;
extern const std::string ITEM_EXTEN;
extern const std::string ITEM_NEWPASS;
extern const std::string ITEM_HEADERS;
extern const std::string ITEM_ROWS;
extern const std::string ITEM_ERRCODE;
extern const std::string ITEM_ERRDESC;
extern const std::string ITEM_VERSION;
extern const std::string ITEM_BUILT_DATE;
extern const std::string ITEM_CURRENCY;
extern const std::string ITEM_EXTEN_ARRAY;
extern const std::string ITEM_EXTEN_ID;
extern const std::string ITEM_BILL_STATUS;
extern const std::string ITEM_LIMIT_CREDIT;
extern const std::string ITEM_PREPAID;
extern const std::string ITEM_TOTAL_CHARGE;
extern const std::string ITEM_BALANCE;
extern const std::string ITEM_LANGUAGE;
extern const std::string ITEM_RATE_ID;
extern const std::string ITEM_PREFIX;
extern const std::string ITEM_NUMBER_LEN;
extern const std::string ITEM_RATE;
extern const std::string ITEM_BILL_UNIT;
extern const std::string ITEM_FROM_HOUR;
extern const std::string ITEM_TO_HOUR;
extern const std::string ITEM_INIT_COST;
extern const std::string ITEM_INIT_TIME;
extern const std::string ITEM_EXTENSIONS;
extern const std::string ITEM_ACTIVE;
extern const std::string ITEM_ADMIN_NAME;
extern const std::string ITEM_ADMIN_ID;
extern const std::string ITEM_MONTHLY;
extern const std::string ITEM_FROM_DATE;
extern const std::string ITEM_TO_DATE;
extern const std::string ITEM_IDS;
extern const std::string ITEM_FILTER_NAME;
extern const std::string ITEM_FITLER_VALUE;

}  // namespace proto
