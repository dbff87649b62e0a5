#include <gtest/gtest.h>

#include <thread>

#include "common/JsonEncode.h"
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
// Empty credentials pass, "arg" null is kept, the first of duplicate members wins; the reporting twin
// sets the error pointer to null without freeing what it held.
TEST(RequestParsing, KeyCaseOrderEscapesAndTrailingTextDoNotMatter) {
    EXPECT_EQ(R"(LOGIN|n|p|admin|{"v":"1"})", fields(parsed(R"({"AUTH":{"Admin":true,"PASS":"p","Name":"n"},)"
        R"("Arg":{"v":"1"},"REQUEST":"L\u004fGIN","x":5} trailing {)")));
    proto::RequestData rd;
    const JsonPtr earlier(cJSON_CreateNull());
    cJSON* error = earlier.get();
    EXPECT_EQ(0, proto::parseRequest(R"({"request":"ECHO","Request":"LOGIN","arg":null,"arg":{},)"
        R"("auth":{"name":"","NAME":"b","pass":"","admin":false,"admin":true}})", rd, &error));
    EXPECT_EQ(nullptr, error);
    EXPECT_EQ("ECHO|||user|null", fields(rd));
}

// Both parsers refuse alike, by exception or by code 2 with an error object; a text that is not JSON is
// quoted from where parsing failed. A refusal leaves "auth" alone, releases the old "arg" tree and keeps
// the new method name once "request" was read.
TEST(RequestParsing, EachRefusalHasItsCodeMessageAndEffect) {
    const std::string request = R"(Lack of string item "request")", arg = R"(Lack of object item "arg")", auth = R"(Lack of object item "auth")";
    const std::string name = R"(Lack of object item "name")", admin = R"(Lack of object item "admin")", head = R"({"request":"E","arg":null,"auth":)";
    const std::vector<std::pair<std::string, std::string>> rows = {{"not json", "Cannot parse JSON: not json"},
        {R"({"request": x})", "Cannot parse JSON: x}"}, {"", "Cannot parse JSON: "},
        {R"({"request":"E")" + std::string(1, '\0') + "}", "Cannot parse JSON: "},  // the text ends at its first NUL byte
        {R"({"arg":null})", request}, {R"({"request":5})", request}, {R"([{"request":"E"}])", request},
        {R"({"request":"E"})", arg}, {R"({"request":"E","arg":[]})", arg}, {R"({"request":"E","arg":null})", auth},
        {R"({"request":"E","arg":null,"Auth":[]})", auth}, {R"({"request":"E","arg":{},"name":"n","pass":"p","admin":true,"auth":{}})", name},
        {head + R"({"name":201,"pass":"p","admin":true}})", name}, {head + R"({"name":"n","pass":null,"admin":true}})", R"(Lack of object item "pass")"},
        {head + R"({"name":"n","pass":"p","admin":"true"}})", admin}, {head + R"({"name":"n","pass":"p","admin":1,"ADMIN":true}})", admin}};
    // clang-format on
    for (const auto& [text, message] : rows) {
        SCOPED_TRACE(text);
        const bool notJson = message.rfind("Cannot", 0) == 0;
        const std::string method = message.rfind("Lack of object", 0) == 0 ? "E" : "UNKNOWN";
        const std::string old = R"({"request":"OLD","arg":{"k":"v"},)" + goodAuth + "}";
        proto::RequestData thrown = parsed(old), reported = parsed(old);
        try {
            proto::parseRequestOrThrow(text, thrown);
            ADD_FAILURE() << "accepted";
        } catch (const proto::ProtoException& e) {
            EXPECT_EQ(notJson ? 2 : 4, e.errorCode());
            EXPECT_EQ(message, e.errorMessage());
            EXPECT_EQ((notJson ? "JSONException  2: " : "InvalidArgException  4: ") + message, e.what());
        }
        cJSON* error = nullptr;
        EXPECT_EQ(2, proto::parseRequest(text, reported, nullptr));
        EXPECT_EQ(2, proto::parseRequest(text, reported, &error));
        EXPECT_EQ(R"({"response":")" + method + R"(","error_code":2,"error_description":)" +
                      proto::encodedJsonString(message) + R"(,"arg":null})",
                  printed(error));
        const std::string effect = (method == "E" ? "E" : "OLD") + std::string("|201|secret|admin|-");
        EXPECT_EQ(effect + effect, fields(thrown) + fields(reported));
    }
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
            const std::string expected =
                R"({"response":"UNKNOWN","error_code":2,"error_description":"Cannot parse JSON: )" + rest +
                R"(","arg":null})";
            for (int i = 0; i < 3000; ++i) {
                parsed(R"({"request":"ECHO","arg":null,)" + goodAuth + "}");  // a success resets the slot
                proto::RequestData rd;
                cJSON* error = nullptr;
                mismatches[t] += proto::parseRequest(text, rd, &error) != 2 || printed(error) != expected;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(std::vector<int>(8, 0), mismatches);
}

// The tree family and the stream family must write the same bytes for the same content; an object
// argument is printed unformatted and stays the caller's, an argument text is inserted unchanged.
TEST(ResponseText, BothBuilderFamiliesWriteIdenticalText) {
    const std::string nasty = std::string("a\"b\\c\x01") + "d\te\nf\x1f\x7f/ Grüße";
    const std::string json = R"("a\"b\\c\u0001d\te\nf\u001f)" + std::string("\x7f/ Grüße\"");
    const std::string head =
        R"({"response":)" + json + R"(,"error_code":0,"error_description":"SUCCESS","arg":)";
    const JsonPtr object(cJSON_Parse(R"({ "v": "q\"\\\n" })"));
    for (const std::string& text :
         {proto::createResponseString(nasty), proto::createResponseString(nasty, std::string("null")),
          proto::createErrorResponseString(nasty, 0, "SUCCESS"),
          printed(proto::createResponse(nasty, cJSON_CreateNull()))}) {
        EXPECT_EQ(head + "null}", text);
    }
    EXPECT_EQ(head + R"({"v":"q\"\\\n"}})", proto::createResponseString(nasty, object.get()));
    EXPECT_EQ(head + R"({"v":"q\"\\\n"}})",
              printed(proto::createResponse(nasty, cJSON_Duplicate(object.get(), 1))));
    EXPECT_STREQ("q\"\\\n", cJSON_GetObjectItem(object.get(), "v")->valuestring);
    const std::string error =
        R"({"response":"M","error_code":4,"error_description":)" + json + R"(,"arg":null})";
    EXPECT_EQ(error, proto::createErrorResponseString("M", 4, nasty));
    EXPECT_EQ(error, printed(proto::createErrorResponse("M", 4, nasty)));
}

}  // namespace
