#include <iostream>
#include <tuple>

#include "tests/reliability/Harness.h"
#include "tests/support/FakePeer.h"

namespace reliability {
namespace {

const std::string ANON = R"({"name":"","pass":"","admin":false})";
const std::string ECHO_HEAD = R"({"request":"ECHO","arg":{"value":")";
const std::string ECHO_TAIL = R"("},"auth":)" + ANON + "}";
const std::string INVALID = "Invalid user or password";

std::string quoted(const std::string& text) {  // as a JSON string; the payloads hold no control characters
    std::string out = "\"";
    for (const char c : text) out += c == '"' || c == '\\' ? std::string{'\\', c} : std::string{c};
    return out + "\"";
}

std::string replaced(std::string text, const std::string& payload, char mark = '$') {
    for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + payload.size()))
        text.replace(at, 1, payload);
    return text;
}

TEST(SqlInjection, EveryTextArgumentIsPlainText) {
    testsupport::TempDatabase db;
    Server server(db.path(), {"-u"});
    const std::string original = dump(db);
    const std::string notFound = "Exten not found";
    const std::string badDate = "Invalid date format: @";
    // $ stands for the quoted payload, @ for the payload itself.
    const std::vector<std::tuple<std::string, int, std::string>> reads{
        {request("GET_EXTEN", R"({"exten":$})"), 8, notFound},
        {request("GET_EXTENS", R"({"exten":$})"), 0, "SUCCESS"},
        {request("GET_EXTENS", R"({"bill_status":$})"), 4, "Invalid value for 'bill_status'"},
        {request("GET_RATE", R"({"exten":$})"), 8, notFound},
        {request("GET_HELP", R"({"language":$})"), 0, "SUCCESS"},
        {request("GET_CALL_LOGS", R"({"exten":$,"filter_name":"src","filter_value":$})"), 0, "SUCCESS"},
        {request("GET_CALL_LOGS", R"({"filter_name":"dst","filter_value":$})"), 0, "SUCCESS"},
        {request("GET_CALL_LOGS", R"({"filter_name":$,"filter_value":"1"})"), 4,
         "Invalid value for 'filterName'"},
        {request("GET_CALL_LOGS", R"({"from_date":$})"), 4, badDate},
        {request("GET_STATISTICS", R"({"monthly":false,"exten":$})"), 0, "SUCCESS"},
        {request("GET_STATISTICS", R"({"monthly":true,"to_date":$})"), 4, badDate},
        {request("GET_RECHARGE_HISTORY", R"({"exten":$})"), 0, "SUCCESS"},
        {request("GET_RECHARGE_HISTORY", R"({"from_date":$})"), 4, badDate},
        {request("LOGIN", "null", R"({"name":$,"pass":$,"admin":false})"), 6, INVALID},
        {request("GET_SETTINGS", "null", R"({"name":"101","pass":$,"admin":false})"), 6, INVALID},
        {request("LOGIN", "null", R"({"name":$,"pass":"trivx","admin":true})"), 6, INVALID}};
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
    int tried = 0;
    for (const std::string payload :
         {"x' OR '1'='1", "'); DROP TABLE exten; --", "1\" OR \"\"=\"", "%' --", "101'/*"}) {
        for (const auto& [json, code, description] : reads) {
            SCOPED_TRACE(payload + " in " + json);
            const Reply reply = server.call(replaced(json, quoted(payload)));
            expectReply(reply, code, replaced(description, payload, '@'));
            if (code == 0) {
                EXPECT_EQ(0, reply.rows()) << reply.body;
            }
            ++tried;
        }
        EXPECT_EQ(original, dump(db)) << payload;
        for (const auto& [json, written, undo] : writes) {
            EXPECT_EQ(0, server.call(replaced(json, quoted(payload))).code) << payload << " in " << json;
            EXPECT_EQ(payload, *db.queryOne(written));
            db.exec(undo);
            EXPECT_EQ(original, dump(db)) << payload << " in " << json;
            ++tried;
        }
    }
    std::cout << "[ figures  ] " << tried << " injection requests\n";
}

TEST(AdminPassword, LineBreaksAreRefusedBeforeTheManagerInterfaceHearsOfThem) {
    testsupport::TempDatabase db;
    testsupport::FakePeer peer;
    Server server(db.path(), {"-a", "127.0.0.1:" + std::to_string(peer.port())});
    for (const std::string pass :
         {"trivx\\r\\nAction: Logoff", "trivx\\n", "\\rtrivx", "trivx\\r\\n\\r\\nAction: Originate"}) {
        expectReply(server.call(request("LOGIN", "null",
                                        R"({"name":"trivx","pass":")" + pass + R"(","admin":true})")),
                    6, INVALID);
    }
    EXPECT_EQ(0u, peer.connectionCount());
    expectReply(server.call(request("LOGIN", "null")), 0, "SUCCESS");
    EXPECT_EQ("Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: trivx\r\n\r\n", peer.received(0));
}

TEST(OversizedInput, HugeAndDeepRequestsAreAnsweredOrRefusedCleanly) {
    testsupport::TempDatabase db;
    Server server(db.path(), {"-u"});
    const std::string big(7 << 20, 'v');
    const Reply echoed = server.call(ECHO_HEAD + big + ECHO_TAIL);
    EXPECT_EQ(0, echoed.code);
    EXPECT_TRUE(echoed.value() == big);
    const Reply help = server.call(request("GET_HELP", R"({"language":")" + big + "\"}", USER101));
    EXPECT_EQ(0, help.code);
    EXPECT_EQ(0, help.rows());
    // cJSON gives up on entering level 1001 (the request object is one level) and the rest is quoted.
    const std::string head = R"({"request":"ECHO","auth":{"name":"","pass":"","admin":false},"arg":)";
    for (const auto& [text, rest] : {std::pair{std::string(), 99000}, std::pair{head, 99001}}) {
        const Reply deep = server.call(text + std::string(100000, '['));
        EXPECT_EQ(2, deep.code);
        EXPECT_TRUE("Cannot parse JSON: " + std::string(rest, '[') == deep.description)
            << deep.description.size();
    }
    // A request text of exactly 8 MiB is served, one byte more closes the connection unanswered.
    const std::size_t room = (8u << 20) - (ECHO_HEAD + ECHO_TAIL).size();
    const Reply full = server.call(ECHO_HEAD + std::string(room, 'w') + ECHO_TAIL);
    EXPECT_EQ(0, full.code);
    EXPECT_EQ(room, full.value().size());
    EXPECT_EQ("", server.call(ECHO_HEAD + std::string(room + 1, 'w') + ECHO_TAIL).body);
    EXPECT_EQ("after", server.call(ECHO_HEAD + "after" + ECHO_TAIL).value());
}

TEST(Encodings, BytesAndEscapesAtTheirEdges) {
    testsupport::TempDatabase db;
    Server server(db.path(), {"-u"});
    const std::string invalidUtf8 = "\xff\xfe\xc3\x28\xed\xa0\x80\xf4\x90\x80\x80\xc0\xaf";
    EXPECT_EQ(invalidUtf8, server.call(ECHO_HEAD + invalidUtf8 + ECHO_TAIL).value());
    const std::string get = "GET /Pelbrin?request=" + urlEncode(ECHO_HEAD);
    const std::string getEnd = urlEncode(ECHO_TAIL) + " HTTP/1.1\r\nHost: x\r\n\r\n";
    const std::string form = "request=" + urlEncode(ECHO_HEAD);
    const std::string multipart = "--XyZ\r\nContent-Disposition: form-data; name=\"request\"\r\n\r\n" +
                                  ECHO_HEAD + "a+b%41" + ECHO_TAIL + "\r\n--XyZ--\r\n";
    const std::string parseError =
        R"({"response":"UNKNOWN","error_code":2,"error_description":"Cannot parse JSON: a","arg":null})";
    const std::string echoed =
        R"({"response":"ECHO","error_code":0,"error_description":"SUCCESS","arg":{"value":")";
    // {raw HTTP request, whole reply body}; a NUL ends the text the JSON parser sees
    const std::vector<std::pair<std::string, std::string>> cases{
        {get + "a%00b" + getEnd, parseError},
        {postForm(form + "a%00b" + urlEncode(ECHO_TAIL)), parseError},
        {get + "a%zzb+c%2B%" + getEnd, echoed + "a%zzb c+%\"}}"},
        {postForm(form + "a%zzb+c%2B%" + urlEncode(ECHO_TAIL)), echoed + "a%zzb c+%\"}}"},
        {"POST /Pelbrin HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; "
         "boundary=XyZ\r\nContent-Length: " +
             std::to_string(multipart.size()) + "\r\n\r\n" + multipart,
         echoed + "a+b%41\"}}"},
        {"GET /Pelbrin?request= HTTP/1.1\r\nHost: x\r\n\r\n", BANNER},
        {"GET /Pelbrin?request HTTP/1.1\r\nHost: x\r\n\r\n", BANNER},
        {postForm("request="), BANNER},
        {postForm("other=1&request=&x"), BANNER}};
    for (const auto& [raw, body] : cases) EXPECT_EQ(body, roundTrip(server.port, raw)) << raw;
}

}  // namespace
}  // namespace reliability
