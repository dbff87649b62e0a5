#include <tuple>

#include "tests/server/ServerProcess.h"

namespace servertest {
namespace {

std::string replaced(std::string text, const std::string& payload, char mark = '$') {
    for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + payload.size()))
        text.replace(at, 1, payload);
    return text;
}

TEST(HostileInput, TextArgumentsArePlainTextAndHugeOrDeepRequestsAreHandled) {
    testsupport::TempDatabase db;
    const auto server = startServer(db.path(), {"-u"});
    const std::string original = dump(db);
    const std::string notFound = "8 Exten not found", badDate = "4 Invalid date format: @", ok = "0 SUCCESS";
    const std::string invalid = "6 Invalid user or password";
    // $ stands for the payload as a JSON string, @ for the payload itself.
    const std::vector<std::pair<std::string, std::string>> reads{
        {request("GET_EXTEN", R"({"exten":$})"), notFound},
        {request("GET_EXTENS", R"({"exten":$})"), ok},
        {request("GET_EXTENS", R"({"bill_status":$})"), "4 Invalid value for 'bill_status'"},
        {request("GET_RATE", R"({"exten":$})"), notFound},
        {request("GET_HELP", R"({"language":$})"), ok},
        {request("GET_CALL_LOGS", R"({"exten":$,"filter_name":"src","filter_value":$})"), ok},
        {request("GET_CALL_LOGS", R"({"filter_name":"dst","filter_value":$})"), ok},
        {request("GET_CALL_LOGS", R"({"filter_name":$,"filter_value":"1"})"),
         "4 Invalid value for 'filterName'"},
        {request("GET_CALL_LOGS", R"({"from_date":$})"), badDate},
        {request("GET_STATISTICS", R"({"monthly":false,"exten":$})"), ok},
        {request("GET_STATISTICS", R"({"monthly":true,"to_date":$})"), badDate},
        {request("GET_RECHARGE_HISTORY", R"({"exten":$})"), ok},
        {request("GET_RECHARGE_HISTORY", R"({"from_date":$})"), badDate},
        {request("LOGIN", "null", R"({"name":$,"pass":$,"admin":false})"), invalid},
        {request("GET_SETTINGS", "null", R"({"name":"101","pass":$,"admin":false})"), invalid},
        {request("LOGIN", "null", R"({"name":$,"pass":"trivx","admin":true})"), invalid}};
    // {request, query of the written value, SQL undoing the write}
    const std::vector<std::tuple<std::string, std::string, std::string>> writes{
        {request("SET_CURRENCY", R"({"currency":$})"),
         "SELECT settings_value FROM settings WHERE settings_key = 'CURRENCY'",
         "UPDATE settings SET settings_value = 'EUR' WHERE settings_key = 'CURRENCY'"},
        {request("CHANGE_EXTEN_PASS", R"({"exten_id":"1","new_pass":$})", USER101),
         "SELECT www_pass FROM exten WHERE id = 1",
         "UPDATE exten SET www_pass = 'secret101', last_mod = '2015-01-10 09:00:00' WHERE id = 1"},
        {request(
             "UPDATE_EXTEN",
             R"({"bill_status":"LOCK","limit_credit":"0","prepaid":"1","new_pass":$,"exten_array":["3"]})"),
         "SELECT www_pass FROM exten WHERE id = 3",
         "UPDATE exten SET www_pass = 'secret103', bill_status = 'FREE', last_mod = '2015-01-12 11:00:00' "
         "WHERE id = 3"},
        {request("ADD_RATE",
                 R"({"prefix":$,"number_length":null,"rate":"1","bill_unit":"60","from_hour":"00:00",)"
                 R"("to_hour":"01:00","init_cost":"0","init_time":"0","extensions":[$],"active":"1"})"),
         "SELECT prefix FROM rate WHERE id = 3 AND extensions = prefix", "DELETE FROM rate WHERE id = 3"}};
    // A quote, a comment ending a statement of its own, a LIKE wildcard; none holds '"', '\' or a control.
    for (const std::string payload : {"x' OR '1'='1", "'); DROP TABLE exten; --", "%' --"}) {
        for (const auto& [json, outcome] : reads) {
            const Reply reply = server->call(replaced(json, '"' + payload + '"'));
            EXPECT_EQ(replaced(outcome, payload, '@'), reply.outcome) << payload << " in " << json;
            EXPECT_TRUE(outcome != ok || reply.rows == 0) << reply.body;
        }
        EXPECT_EQ(original, dump(db)) << payload;
        for (const auto& [json, written, undo] : writes) {
            EXPECT_EQ(ok, server->call(replaced(json, '"' + payload + '"')).outcome)
                << payload << " in " << json;
            EXPECT_EQ(payload, *db.queryOne(written));
            db.exec(undo);
            EXPECT_EQ(original, dump(db)) << payload << " in " << json;
        }
    }
    const Reply help =
        server->call(request("GET_HELP", R"({"language":")" + std::string(7 << 20, 'v') + "\"}", USER101));
    EXPECT_EQ(ok, help.outcome);
    EXPECT_EQ(0, help.rows);
    // cJSON gives up on entering level 1001 (the request object is one level) and the rest is quoted.
    const std::string head = R"({"request":"ECHO","auth":{"name":"","pass":"","admin":false},"arg":)";
    for (const auto& [text, rest] : {std::pair{std::string(), 99000}, std::pair{head, 99001}}) {
        const Reply deep = server->call(text + std::string(100000, '['));
        EXPECT_TRUE("2 Cannot parse JSON: " + std::string(rest, '[') == deep.outcome) << deep.outcome.size();
    }
}

}  // namespace
}  // namespace servertest
