#include <gtest/gtest.h>

#include <thread>
#include <tuple>

#include "proto/ProtoException.h"
#include "proto/Protocol.h"

namespace {

const std::string goodAuth = R"("auth":{"name":"201","pass":"secret","admin":true})";

proto::RequestData parsed(const std::string& text) {
    proto::RequestData rd;
    proto::parseRequestOrThrow(text, rd);
    return rd;
}

std::string fields(const proto::RequestData& rd) {
    return rd.method + "|" + rd.auth.name + "|" + rd.auth.pass + (rd.auth.admin ? "|admin|" : "|user|") +
           (rd.arg ? proto::jsonToString(rd.arg.get()) : "-");
}

std::string printed(cJSON* tree) {
    const JsonPtr owned(tree);
    return proto::jsonToString(owned.get());
}

// clang-format off
TEST(RequestParsing, KeyCaseOrderEscapesAndTrailingTextDoNotMatter) {
    EXPECT_EQ(R"(LOGIN|n|p|admin|{"v":"1"})", fields(parsed(R"({"AUTH":{"Admin":true,"PASS":"p","Name":"n"},)"
        R"("Arg":{"v":"1"},"REQUEST":"L\u004fGIN","x":5} trailing {)")));
    // empty credentials pass, "arg" null is kept, the first of duplicate members wins
    EXPECT_EQ("ECHO|||user|null", fields(parsed(R"({"request":"ECHO","Request":"LOGIN","arg":null,"arg":{},)"
        R"("auth":{"name":"","NAME":"b","pass":"","admin":false,"admin":true}})")));
}

// Both parsers refuse alike, by exception or by code 2 with an error object. A refusal leaves "auth"
// alone, releases the old "arg" tree and keeps the new method name once "request" was read.
TEST(RequestParsing, EachRefusalHasItsCodeMessageAndEffect) {
    const std::string request = R"(Lack of string item "request")", arg = R"(Lack of object item "arg")";
    const std::string name = R"(Lack of object item "name")", admin = R"(Lack of object item "admin")";
    const std::string auth = R"({"request":"E","arg":null,"auth":)", nul(1, '\0');
    const std::vector<std::pair<std::string, std::string>> rows = {{"not json", "Cannot parse JSON: not json"},
        {R"({"request": x})", "Cannot parse JSON: x}"}, {R"(  {"a" 1})", "Cannot parse JSON: 1}"}, {"", "Cannot parse JSON: "},
        {R"({"request":"E")" + nul + "}", "Cannot parse JSON: "},  // the text ends at its first NUL byte
        {R"({"arg":null})", request}, {R"({"request":5})", request}, {R"([{"request":"E"}])", request}, {"42", request},
        {R"("request")", request}, {R"({"request":"E"})", arg}, {R"({"request":"E","arg":[]})", arg},
        {R"({"request":"E","ARG":"x"})", arg}, {R"({"request":"E","arg":1})", arg},
        {R"({"request":"E","arg":null})", R"(Lack of object item "auth")"},
        {R"({"request":"E","arg":null,"Auth":[]})", R"(Lack of object item "auth")"},
        {R"({"request":"E","arg":{},"name":"n","pass":"p","admin":true,"auth":{}})", name},
        {auth + R"({"name":201,"pass":"p","admin":true}})", name},
        {auth + R"({"name":"n","pass":null,"admin":true}})", R"(Lack of object item "pass")"},
        {auth + R"({"name":"n","pass":"p"}})", admin}, {auth + R"({"name":"n","pass":"p","admin":"true"}})", admin},
        {auth + R"({"name":"n","pass":"p","admin":1,"ADMIN":true}})", admin}};
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        const bool notJson = row.second.rfind("Cannot", 0) == 0;
        const bool methodRead = row.second.rfind("Lack of object", 0) == 0;
        const std::string old = R"({"request":"OLD","arg":{"k":"v"},)" + goodAuth + "}";
        const std::string effect = std::string(methodRead ? "E" : "OLD") + "|201|secret|admin|-";
        proto::RequestData thrown = parsed(old);
        try {
            proto::parseRequestOrThrow(row.first, thrown);
            ADD_FAILURE() << "accepted";
        } catch (const proto::ProtoException& e) {
            EXPECT_EQ(notJson ? 2 : 4, e.errorCode());
            EXPECT_EQ(row.second, e.errorMessage());
            EXPECT_EQ((notJson ? "JSONException  2: " : "InvalidArgException  4: ") + row.second, e.what());
        }
        EXPECT_EQ(effect, fields(thrown));
        proto::RequestData reported = parsed(old);
        cJSON* error = nullptr;
        EXPECT_EQ(2, proto::parseRequest(row.first, reported, nullptr));
        EXPECT_EQ(2, proto::parseRequest(row.first, reported, &error));
        const JsonPtr owned(error);
        ASSERT_NE(nullptr, error);
        EXPECT_STREQ(methodRead ? "E" : "UNKNOWN", cJSON_GetObjectItem(error, "response")->valuestring);
        EXPECT_EQ(2, cJSON_GetObjectItem(error, "error_code")->valueint);
        EXPECT_EQ(row.second, cJSON_GetObjectItem(error, "error_description")->valuestring);
        EXPECT_EQ(effect, fields(reported));
    }
}

TEST(RequestParsing, ReportingTwinClearsOrFillsTheErrorObject) {
    proto::RequestData rd;
    const JsonPtr earlier(cJSON_CreateNull());  // set to null on entry, not freed by the parser
    cJSON* error = earlier.get();
    EXPECT_EQ(0, proto::parseRequest(R"({"request":"L","arg":null,)" + goodAuth + "}", rd, &error));
    EXPECT_EQ(nullptr, error);
    EXPECT_EQ(2, proto::parseRequest(R"({"request":"GET_RATE","arg":{}})", rd, &error));
    EXPECT_EQ(R"({"response":"GET_RATE","error_code":2,"error_description":"Lack of object item \"auth\"",)"
              R"("arg":null})",
              printed(error));
}

// Threads parse different bad texts at once; each must quote its own failure position, which cJSON's
// process-wide "last error" slot cannot guarantee.
TEST(RequestParsingConcurrency, EachParseQuotesItsOwnFailurePosition) {
    std::vector<int> mismatches(8, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([t, &mismatches] {
            const std::string rest = "#" + std::to_string(t) + std::string(t, '!') + "}";
            const std::string text = std::string(t * 3, ' ') + R"({"request":)" + rest;
            for (int i = 0; i < 3000; ++i) {
                parsed(R"({"request":"ECHO","arg":null,)" + goodAuth + "}");  // a success resets the slot
                proto::RequestData rd;
                try {
                    proto::parseRequestOrThrow(text, rd);
                    ++mismatches[t];
                } catch (const proto::JSONException& e) {
                    mismatches[t] += e.errorMessage() != "Cannot parse JSON: " + rest;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(std::vector<int>(8, 0), mismatches);
}

// The tree family and the stream family must write the same bytes for the same content; an object
// argument is printed unformatted and stays the caller's, an argument text is inserted unchanged.
TEST(ResponseText, BothBuilderFamiliesWriteIdenticalText) {
    const std::string nasty = std::string("a\"b\\c\x01") + "d\te\nf\x1f\x7f/ Grüße";
    const std::string nastyJson = R"("a\"b\\c\u0001d\te\nf\u001f)" + std::string("\x7f/ Grüße\"");
    const JsonPtr object(cJSON_Parse(R"({ "v": "q\"\\\n" })"));
    for (const auto& [method, json] : std::vector<std::pair<std::string, std::string>>{
             {"LOGIN", R"("LOGIN")"}, {"", R"("")"}, {nasty, nastyJson}}) {
        const std::string head =
            R"({"response":)" + json + R"(,"error_code":0,"error_description":"SUCCESS","arg":)";
        EXPECT_EQ(head + "null}", proto::createResponseString(method));
        EXPECT_EQ(head + "null}", proto::createResponseString(method, std::string("null")));
        EXPECT_EQ(head + "null}", proto::createErrorResponseString(method, 0, "SUCCESS"));
        EXPECT_EQ(head + "null}", printed(proto::createResponse(method, cJSON_CreateNull())));
        EXPECT_EQ(head + R"({"v":"q\"\\\n"}})", proto::createResponseString(method, object.get()));
        EXPECT_EQ(head + R"({"v":"q\"\\\n"}})",
                  printed(proto::createResponse(method, cJSON_Duplicate(object.get(), 1))));
    }
    EXPECT_STREQ("q\"\\\n", cJSON_GetObjectItem(object.get(), "v")->valuestring);
    const std::string tooMany = "Too many rows. Current limit is 20000. ";
    for (const auto& [code, description, json] : std::vector<std::tuple<int, std::string, std::string>>{
             {4, nasty, nastyJson}, {10, tooMany, R"(")" + tooMany + R"(")"}}) {
        const std::string expected = R"({"response":"M","error_code":)" + std::to_string(code) +
                                     R"(,"error_description":)" + json + R"(,"arg":null})";
        EXPECT_EQ(expected, proto::createErrorResponseString("M", code, description));
        EXPECT_EQ(expected, printed(proto::createErrorResponse("M", code, description)));
    }
}

}  // namespace
