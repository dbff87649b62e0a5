#include <gtest/gtest.h>

#include <thread>

#include "common/JsonEncode.h"
#include "proto/ProtoException.h"
#include "proto/Protocol.h"

namespace {

const std::string older =
    R"({"request":"OLD","arg":{"k":"v"},"auth":{"name":"201","pass":"secret","admin":true}})";

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

// What both parsers show for a text, each given a record that held an older request: the exception's code,
// message and text; parseRequest's codes without and with an error object, and that object; both records.
std::string outcome(const std::string& text) {
    proto::RequestData thrown = parsed(older), reporting = parsed(older);
    std::string seen = "accepted";
    try {
        proto::parseRequestOrThrow(text, thrown);
    } catch (const proto::ProtoException& e) {
        seen = std::to_string(e.errorCode()) + "|" + e.errorMessage() + "|" + e.what();
    }
    cJSON* error = nullptr;
    seen += "|" + std::to_string(proto::parseRequest(text, reporting, nullptr));
    seen += std::to_string(proto::parseRequest(text, reporting, &error));
    return seen + "|" + (error != nullptr ? printed(error) : "-") + "|" + fields(thrown) + "|" +
           fields(reporting);
}

// The outcome of a refusal with this message: code 2 for a text that is not JSON, else code 4. Both parsers
// leave "auth" alone and release the old "arg"; the method name is kept once "request" was read.
std::string refused(const std::string& message) {
    const bool notJson = message.rfind("Cannot", 0) == 0, named = message.rfind("Lack of object", 0) == 0;
    const std::string effect = (named ? "E" : "OLD") + std::string("|201|secret|admin|-");
    return (notJson ? "2|" : "4|") + message +
           (notJson ? "|JSONException  2: " : "|InvalidArgException  4: ") + message +
           R"(|22|{"response":")" + (named ? "E" : "UNKNOWN") + R"(","error_code":2,"error_description":)" +
           proto::encodedJsonString(message) + R"(,"arg":null}|)" + effect + "|" + effect;
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
    // Escapes that are no U+0000: an escaped backslash before "u0000", a surrogate pair, trailing text.
    EXPECT_EQ("E|a\\u0000b\\|\xF0\x9F\x98\x80\x01|user|null",
              fields(parsed(R"({"request":"E","arg":null,"auth":{"name":"a\\u0000b\\","pass":"\uD83D\uDE00\u0001","admin":false}} \u0000)")));
}

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
        {head + R"({"name":"n","pass":"p","admin":"true"}})", admin}, {head + R"({"name":"n","pass":"p","admin":1,"ADMIN":true}})", admin},
        {head + R"({"name":"n","admin":true}})", R"(Lack of object item "pass")"}, {head + R"({"name":"n","pass":"p"}})", admin},
        // An escaped U+0000 or a \u without four hex digits would cut a string short: refused before any member is read.
        {R"({"request":"E\u0000x"})", R"(U+0000 is not accepted in a JSON string: \u0000x"})"},
        {head + R"({"NAME\u0000":"n","pass":"p","admin":true}})", R"(U+0000 is not accepted in a JSON string: \u0000":"n","pass":"p","admin":true}})"},
        {R"({"request":"E\uzzzz"})", R"(Cannot parse JSON: \uzzzz"})"}, {R"({"request":"E\u004"})", R"(Cannot parse JSON: \u004"})"},
        {R"({"request":"E\u00g0"} \u0000)", R"(Cannot parse JSON: \u00g0"} \u0000)"}};
    for (const auto& [text, message] : rows) EXPECT_EQ(refused(message), outcome(text)) << text;
}

// The tree family and the stream family must write the same bytes for the same content; an object
// argument is printed unformatted and stays the caller's, an argument text is inserted unchanged.
TEST(ResponseText, BothBuilderFamiliesWriteIdenticalText) {
    const std::string nasty = std::string("a\"b\\c\x01") + "d\te\nf\x1f\x7f/ Grüße", object = R"({"v":"q\"\\\n"})";
    const std::string json = R"("a\"b\\c\u0001d\te\nf\u001f)" + std::string("\x7f/ Grüße\"");
    const std::string head = R"({"response":)" + json + R"(,"error_code":0,"error_description":"SUCCESS","arg":)";
    const std::string error = R"({"response":"M","error_code":4,"error_description":)" + json + R"(,"arg":null})";
    const JsonPtr tree(cJSON_Parse(R"({ "v": "q\"\\\n" })"));
    const std::vector<std::pair<std::string, std::string>> rows = {{head + "null}", proto::createResponseString(nasty)},
        {head + "null}", proto::createResponseString(nasty, std::string("null"))}, {head + "null}", proto::createErrorResponseString(nasty, 0, "SUCCESS")},
        {head + "null}", printed(proto::createResponse(nasty, cJSON_CreateNull()))}, {head + object + "}", proto::createResponseString(nasty, tree.get())},
        {head + object + "}", printed(proto::createResponse(nasty, cJSON_Duplicate(tree.get(), 1)))},
        {error, proto::createErrorResponseString("M", 4, nasty)}, {error, printed(proto::createErrorResponse("M", 4, nasty))}};
    for (const auto& [expected, text] : rows) EXPECT_EQ(expected, text);
    EXPECT_STREQ("q\"\\\n", cJSON_GetObjectItem(tree.get(), "v")->valuestring);
}
// clang-format on

// Threads parse different bad texts at once; each must quote its own failure position, which cJSON's
// process-wide "last error" slot cannot guarantee. The successful parses in between reset that slot.
TEST(RequestParsingConcurrency, EachParseQuotesItsOwnFailurePosition) {
    std::vector<int> mismatches(8, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([t, &mismatches] {
            const std::string rest = "#" + std::to_string(t) + std::string(t, '!') + "}";
            const std::string text = std::string(t * 3, ' ') + R"({"request":)" + rest;
            for (int i = 0; i < 3000; ++i) {
                mismatches[t] += outcome(text) != refused("Cannot parse JSON: " + rest);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(std::vector<int>(8, 0), mismatches);
}

}  // namespace
