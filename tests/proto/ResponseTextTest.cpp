#include <gtest/gtest.h>

#include <string>

#include "ProtoTestHelpers.h"
#include "common/JsonPtr.h"
#include "proto/Protocol.h"

namespace {

std::string printedErrorTree(const std::string& method, int code, const std::string& description) {
    const JsonPtr tree(proto::createErrorResponse(method, code, description));
    return proto::jsonToString(tree.get());
}

std::string printedSuccessTree(const std::string& method, cJSON* arg) {
    const JsonPtr tree(proto::createResponse(method, arg));
    return proto::jsonToString(tree.get());
}

TEST(ResponseText, SuccessWithoutResultHasFourMembersAndNoBlanks) {
    const std::string expected =
        "{\"response\":\"LOGIN\",\"error_code\":0,\"error_description\":\"SUCCESS\",\"arg\":null}";
    EXPECT_EQ(expected, proto::createResponseString("LOGIN"));
    EXPECT_EQ(expected, printedSuccessTree("LOGIN", cJSON_CreateNull()));
    EXPECT_EQ(expected, proto::createErrorResponseString("LOGIN", 0, "SUCCESS"));
}

TEST(ResponseText, ErrorCodeIsAPlainNumber) {
    const std::string expected =
        "{\"response\":\"GET_RATES\",\"error_code\":10,\"error_description\":"
        "\"Too many rows. Current limit is 20000. \",\"arg\":null}";
    EXPECT_EQ(expected,
              proto::createErrorResponseString("GET_RATES", 10, "Too many rows. Current limit is 20000. "));
    EXPECT_EQ(expected, printedErrorTree("GET_RATES", 10, "Too many rows. Current limit is 20000. "));
    EXPECT_EQ(
        "{\"response\":\"echo\",\"error_code\":3,\"error_description\":\"unknown method\",\"arg\":null}",
        proto::createErrorResponseString("echo", 3, "unknown method"));
}

TEST(ResponseText, BothFamiliesEscapeAlikeAndWriteIdenticalText) {
    const std::string nasty = std::string(
                                  "a\"b\\c\x01"
                                  "d\te\nf\x1f") +
                              "\x7f/";
    const std::string nastyEncoded = "\"a\\\"b\\\\c\\u0001d\\te\\nf\\u001f\x7f/\"";
    EXPECT_EQ(
        "{\"response\":" + nastyEncoded + ",\"error_code\":0,\"error_description\":\"SUCCESS\",\"arg\":null}",
        proto::createResponseString(nasty));
    EXPECT_EQ("{\"response\":\"M\",\"error_code\":4,\"error_description\":" + nastyEncoded + ",\"arg\":null}",
              proto::createErrorResponseString("M", 4, nasty));

    const std::string utf8 = "Nicht gefunden: Grüße, Привет";
    EXPECT_EQ("{\"response\":\"\",\"error_code\":8,\"error_description\":\"" + utf8 + "\",\"arg\":null}",
              proto::createErrorResponseString("", 8, utf8));

    for (const std::string& method : {std::string(), nasty, utf8, std::string("GET_VERSION")}) {
        EXPECT_EQ(proto::createErrorResponseString(method, 0, "SUCCESS"),
                  proto::createResponseString(method));
        EXPECT_EQ(printedSuccessTree(method, cJSON_CreateNull()),
                  proto::createResponseString(method, "null"));
    }
}

TEST(ResponseText, ObjectArgumentPrintsUnformattedAndStaysTheCallers) {
    const JsonPtr arg(cJSON_CreateObject());
    cJSON_AddStringToObject(arg.get(), "version", "2.3.1");
    cJSON_AddStringToObject(arg.get(), "built_date", "'Dec  2 2015 07:26:53'");
    cJSON_AddStringToObject(arg.get(), "value", "q\"\\\n");
    const std::string expected =
        "{\"response\":\"GET_VERSION\",\"error_code\":0,\"error_description\":\"SUCCESS\",\"arg\":{"
        "\"version\":"
        "\"2.3.1\",\"built_date\":\"'Dec  2 2015 07:26:53'\",\"value\":\"q\\\"\\\\\\n\"}}";
    EXPECT_EQ(expected, proto::createResponseString("GET_VERSION", arg.get()));
    EXPECT_EQ(expected, printedSuccessTree("GET_VERSION", cJSON_Duplicate(arg.get(), 1)));
    // still intact: the text builder neither took nor released it
    EXPECT_STREQ("2.3.1", cJSON_GetObjectItem(arg.get(), "version")->valuestring);
}

TEST(ResponseText, ArgumentTextIsInsertedUnchanged) {
    EXPECT_EQ(
        "{\"response\":\"GET_RATES\",\"error_code\":0,\"error_description\":\"SUCCESS\","
        "\"arg\":{\"headers\":[\"id\"],\"rows\":[[\"1\"],[null]]}}",
        proto::createResponseString("GET_RATES",
                                    std::string("{\"headers\":[\"id\"],\"rows\":[[\"1\"],[null]]}")));
}

TEST(ResponseText, ErrorTreeMembersComeInWireOrder) {
    const JsonPtr tree(proto::createErrorResponse("X", 7, "Access denied"));
    const cJSON* member = tree->child;
    for (const char* key : {"response", "error_code", "error_description", "arg"}) {
        ASSERT_NE(nullptr, member);
        EXPECT_STREQ(key, member->string);
        member = member->next;
    }
    EXPECT_EQ(nullptr, member);
}

TEST(ClientRequest, NonObjectArgumentIsWrappedUnderValue) {
    const JsonPtr wrapped(proto::createRequest("ECHO", cJSON_CreateString("hi\""), "201", "pw", false));
    EXPECT_EQ(
        "{\"request\":\"ECHO\",\"arg\":{\"value\":\"hi\\\"\"},\"auth\":{\"name\":\"201\",\"pass\":\"pw\","
        "\"admin\":false}}",
        proto::jsonToString(wrapped.get()));
    const JsonPtr null(proto::createRequest("LOGIN", cJSON_CreateNull(), "admin", "x", true));
    EXPECT_EQ(
        "{\"request\":\"LOGIN\",\"arg\":null,\"auth\":{\"name\":\"admin\",\"pass\":\"x\",\"admin\":true}}",
        proto::jsonToString(null.get()));
    cJSON* object = cJSON_CreateObject();
    cJSON_AddStringToObject(object, "rate_id", "3");
    const JsonPtr given(proto::createRequest("DELETE_RATE", object, "a", "b", true));
    EXPECT_EQ(
        "{\"request\":\"DELETE_RATE\",\"arg\":{\"rate_id\":\"3\"},\"auth\":{\"name\":\"a\",\"pass\":\"b\","
        "\"admin\":true}}",
        proto::jsonToString(given.get()));
}

TEST(ClientRequest, ShapedBuildersProduceRequestsTheParserAccepts) {
    const Auth auth{"201", "pw", false};
    const JsonPtr exten(proto::createRequestWithExten("GET_EXTEN", auth, "202"));
    const std::string extenText = proto::jsonToString(exten.get());
    EXPECT_EQ(
        "{\"request\":\"GET_EXTEN\",\"arg\":{\"exten\":\"202\"},\"auth\":{\"name\":\"201\",\"pass\":\"pw\","
        "\"admin\":false}}",
        extenText);
    const JsonPtr extenDirect(proto::createRequestWithExten("GET_EXTEN", "201", "pw", false, "202"));
    EXPECT_EQ(extenText, proto::jsonToString(extenDirect.get()));

    const JsonPtr change(proto::createRequestChangePass("CHANGE_EXTEN_PASS", "admin", "s", true, "5", "new"));
    const std::string changeText = proto::jsonToString(change.get());
    EXPECT_EQ(
        "{\"request\":\"CHANGE_EXTEN_PASS\",\"arg\":{\"exten_id\":\"5\",\"new_pass\":\"new\"},"
        "\"auth\":{\"name\":\"admin\",\"pass\":\"s\",\"admin\":true}}",
        changeText);
    const JsonPtr changeByAuth(
        proto::createRequestChangePass("CHANGE_EXTEN_PASS", Auth{"admin", "s", true}, "5", "new"));
    EXPECT_EQ(changeText, proto::jsonToString(changeByAuth.get()));

    proto::RequestData rd;
    proto::parseRequestOrThrow(changeText, rd);
    EXPECT_EQ("CHANGE_EXTEN_PASS", rd.method);
    EXPECT_EQ("admin", rd.auth.name);
    EXPECT_EQ("s", rd.auth.pass);
    EXPECT_TRUE(rd.auth.admin);
    EXPECT_EQ("{\"exten_id\":\"5\",\"new_pass\":\"new\"}", proto::jsonToString(rd.arg.get()));
}

TEST(ClientRequest, NullItemCountsAsFailedAllocation) {
    EXPECT_THROW(proto::createRequest("ECHO", nullptr, "", "", false), std::bad_alloc);
    EXPECT_THROW(proto::createResponse("ECHO", nullptr), std::bad_alloc);
    EXPECT_THROW(proto::jsonToString(nullptr), std::bad_alloc);
}

}  // namespace
