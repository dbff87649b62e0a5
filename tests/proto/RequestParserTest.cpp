#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "ProtoTestHelpers.h"
#include "common/JsonPtr.h"
#include "proto/ProtoException.h"
#include "proto/Protocol.h"

namespace {

using prototest::expectInvalidArg;
using prototest::expectThrows;

const std::string goodAuth = "\"auth\":{\"name\":\"201\",\"pass\":\"secret\",\"admin\":true}";

proto::RequestData parsed(const std::string& text) {
    proto::RequestData rd;
    proto::parseRequestOrThrow(text, rd);
    return rd;
}

void expectRefused(const std::string& message, const std::string& text) {
    proto::RequestData rd;
    expectInvalidArg(message, [&] { proto::parseRequestOrThrow(text, rd); });
}

void expectNotJson(const std::string& rest, const std::string& text) {
    proto::RequestData rd;
    expectThrows<proto::JSONException>(2, "Cannot parse JSON: " + rest,
                                       [&] { proto::parseRequestOrThrow(text, rd); });
}

TEST(RequestParsing, WellFormedRequestFillsEveryField) {
    const proto::RequestData rd =
        parsed("{\"request\":\"GET_EXTEN\",\"arg\":{\"exten\":\"2\\\"01\",\"n\":[1]}," + goodAuth + "}");
    EXPECT_EQ("GET_EXTEN", rd.method);
    EXPECT_EQ("201", rd.auth.name);
    EXPECT_EQ("secret", rd.auth.pass);
    EXPECT_TRUE(rd.auth.admin);
    ASSERT_NE(nullptr, rd.arg);
    EXPECT_EQ("{\"exten\":\"2\\\"01\",\"n\":[1]}", proto::jsonToString(rd.arg.get()));
}

TEST(RequestParsing, EmptyCredentialsAndNullArgAreAccepted) {
    const proto::RequestData rd =
        parsed("{\"request\":\"ECHO\",\"arg\":null,\"auth\":{\"name\":\"\",\"pass\":\"\",\"admin\":false}}");
    EXPECT_EQ("ECHO", rd.method);
    EXPECT_EQ("", rd.auth.name);
    EXPECT_EQ("", rd.auth.pass);
    EXPECT_FALSE(rd.auth.admin);
    ASSERT_NE(nullptr, rd.arg);
    EXPECT_TRUE(cJSON_IsNull(rd.arg.get()));
}

TEST(RequestParsing, KeysMatchWithoutRegardToCaseAndInAnyOrder) {
    const proto::RequestData rd = parsed(
        "{\"AUTH\":{\"Admin\":true,\"PASS\":\"p\",\"Name\":\"n\"},\"Arg\":{\"v\":\"1\"},\"REQUEST\":"
        "\"LOGIN\","
        "\"extra\":5}");
    EXPECT_EQ("LOGIN", rd.method);
    EXPECT_EQ("n", rd.auth.name);
    EXPECT_EQ("p", rd.auth.pass);
    EXPECT_TRUE(rd.auth.admin);
    EXPECT_EQ("{\"v\":\"1\"}", proto::jsonToString(rd.arg.get()));
}

TEST(RequestParsing, FirstOfDuplicateMembersWins) {
    const proto::RequestData rd = parsed(
        "{\"request\":\"ECHO\",\"Request\":\"LOGIN\",\"arg\":null,\"arg\":{},"
        "\"auth\":{\"name\":\"a\",\"NAME\":\"b\",\"pass\":\"p\",\"admin\":false,\"admin\":true}}");
    EXPECT_EQ("ECHO", rd.method);
    EXPECT_EQ("a", rd.auth.name);
    EXPECT_FALSE(rd.auth.admin);
    EXPECT_TRUE(cJSON_IsNull(rd.arg.get()));
    // the first match decides even when a later one would pass
    expectRefused(
        "Lack of object item \"admin\"",
        "{\"request\":\"E\",\"arg\":null,\"auth\":{\"name\":\"\",\"pass\":\"\",\"admin\":1,\"admin\":true}}");
}

TEST(RequestParsing, TextAfterTheValueAndEscapesAreHandled) {
    const proto::RequestData rd =
        parsed("{\"request\":\"E\\u0043HO\",\"arg\":null," + goodAuth + "} trailing {garbage");
    EXPECT_EQ("ECHO", rd.method);
    // the text ends at its first NUL byte
    const std::string withNul =
        "{\"request\":\"ECHO\",\"arg\":null," + goodAuth + "}" + std::string(1, '\0') + "{";
    EXPECT_EQ("ECHO", parsed(withNul).method);
}

TEST(RequestParsing, EachMissingOrMistypedMemberGetsItsStepMessage) {
    const std::string request = "{\"request\":\"ECHO\",";
    expectRefused("Lack of string item \"request\"", "{\"arg\":null," + goodAuth + "}");
    expectRefused("Lack of string item \"request\"", "{\"request\":5,\"arg\":null," + goodAuth + "}");
    expectRefused("Lack of string item \"request\"", "{\"request\":null,\"arg\":null," + goodAuth + "}");
    expectRefused("Lack of string item \"request\"",
                  "{\"REQUEST\":[\"ECHO\"],\"arg\":null," + goodAuth + "}");

    expectRefused("Lack of object item \"arg\"", request + goodAuth + "}");
    expectRefused("Lack of object item \"arg\"", request + "\"arg\":[]," + goodAuth + "}");
    expectRefused("Lack of object item \"arg\"", request + "\"ARG\":\"x\"," + goodAuth + "}");
    expectRefused("Lack of object item \"arg\"", request + "\"arg\":1," + goodAuth + "}");
    expectRefused("Lack of object item \"arg\"", request + "\"arg\":false," + goodAuth + "}");
    expectRefused("Lack of object item \"arg\"", "{\"request\":\"ECHO\"}");  // the earlier step reports

    expectRefused("Lack of object item \"auth\"", request + "\"arg\":null}");
    expectRefused("Lack of object item \"auth\"", request + "\"arg\":null,\"auth\":null}");
    expectRefused("Lack of object item \"auth\"", request + "\"arg\":null,\"Auth\":[]}");

    const std::string auth = request + "\"arg\":null,\"auth\":";
    expectRefused("Lack of object item \"name\"", auth + "{\"pass\":\"p\",\"admin\":true}}");
    expectRefused("Lack of object item \"name\"", auth + "{\"name\":201,\"pass\":\"p\",\"admin\":true}}");
    expectRefused("Lack of object item \"pass\"", auth + "{\"name\":\"n\",\"admin\":true}}");
    expectRefused("Lack of object item \"pass\"", auth + "{\"name\":\"n\",\"pass\":null,\"admin\":true}}");
    expectRefused("Lack of object item \"admin\"", auth + "{\"name\":\"n\",\"pass\":\"p\"}}");
    expectRefused("Lack of object item \"admin\"",
                  auth + "{\"name\":\"n\",\"pass\":\"p\",\"admin\":\"true\"}}");
    expectRefused("Lack of object item \"admin\"", auth + "{\"name\":\"n\",\"pass\":\"p\",\"admin\":1}}");
    expectRefused("Lack of object item \"admin\"", auth + "{\"name\":\"n\",\"pass\":\"p\",\"ADMIN\":null}}");
    // members of "auth" are not looked for at the top level
    expectRefused("Lack of object item \"name\"",
                  request + "\"arg\":null,\"name\":\"n\",\"pass\":\"p\",\"admin\":true,\"auth\":{}}");
}

TEST(RequestParsing, NonObjectTopLevelLacksRequest) {
    expectRefused("Lack of string item \"request\"", "[\"request\",\"ECHO\"]");
    expectRefused("Lack of string item \"request\"", "[{\"request\":\"ECHO\"}]");
    expectRefused("Lack of string item \"request\"", "\"request\"");
    expectRefused("Lack of string item \"request\"", "42");
    expectRefused("Lack of string item \"request\"", "null");
    expectRefused("Lack of string item \"request\"", "{}");
}

TEST(RequestParsing, TextThatIsNotJsonQuotesTheRestFromTheFailure) {
    expectNotJson("x}", "{\"request\": x}");
    expectNotJson("not json", "not json");
    expectNotJson("tru, \"arg\":null}", "{\"request\":\"ECHO\", \"admin\":tru, \"arg\":null}");
    expectNotJson("1}", "  {\"a\" 1}");
    expectNotJson("", "{");
    expectNotJson("", "");
}

TEST(RequestParsing, RefusalsLeaveAuthAloneAndReleaseTheArgTree) {
    const auto filled = [] {
        proto::RequestData rd = parsed("{\"request\":\"OLD\",\"arg\":{\"k\":\"v\"}," + goodAuth + "}");
        EXPECT_NE(nullptr, rd.arg);
        return rd;
    };
    const auto expectAuthKept = [](const proto::RequestData& rd) {
        EXPECT_EQ("201", rd.auth.name);
        EXPECT_EQ("secret", rd.auth.pass);
        EXPECT_TRUE(rd.auth.admin);
        EXPECT_EQ(nullptr, rd.arg);
    };

    proto::RequestData notJson = filled();
    EXPECT_THROW(proto::parseRequestOrThrow("{", notJson), proto::JSONException);
    EXPECT_EQ("OLD", notJson.method);
    expectAuthKept(notJson);

    proto::RequestData noMethod = filled();
    EXPECT_THROW(proto::parseRequestOrThrow("{\"arg\":null}", noMethod), proto::InvalidArgException);
    EXPECT_EQ("OLD", noMethod.method);
    expectAuthKept(noMethod);

    proto::RequestData noArg = filled();
    EXPECT_THROW(proto::parseRequestOrThrow("{\"request\":\"NEW\"," + goodAuth + "}", noArg),
                 proto::InvalidArgException);
    EXPECT_EQ("NEW", noArg.method);
    expectAuthKept(noArg);

    proto::RequestData badAdmin = filled();
    EXPECT_THROW(
        proto::parseRequestOrThrow(
            "{\"request\":\"NEWER\",\"arg\":{},\"auth\":{\"name\":\"x\",\"pass\":\"y\",\"admin\":0}}",
            badAdmin),
        proto::InvalidArgException);
    EXPECT_EQ("NEWER", badAdmin.method);
    expectAuthKept(badAdmin);
}

TEST(RequestParsing, ReparseReplacesEveryField) {
    proto::RequestData rd = parsed("{\"request\":\"A\",\"arg\":{\"k\":\"1\"}," + goodAuth + "}");
    proto::parseRequestOrThrow(
        "{\"request\":\"B\",\"arg\":null,\"auth\":{\"name\":\"n\",\"pass\":\"\",\"admin\":false}}", rd);
    EXPECT_EQ("B", rd.method);
    EXPECT_EQ("n", rd.auth.name);
    EXPECT_EQ("", rd.auth.pass);
    EXPECT_FALSE(rd.auth.admin);
    EXPECT_TRUE(cJSON_IsNull(rd.arg.get()));
}

TEST(RequestParsingByResult, SuccessReturnsZeroAndNoErrorObject) {
    proto::RequestData rd;
    int sentinel = 0;
    cJSON* error = reinterpret_cast<cJSON*>(&sentinel);
    EXPECT_EQ(0, proto::parseRequest("{\"request\":\"LOGIN\",\"arg\":null," + goodAuth + "}", rd, &error));
    EXPECT_EQ(nullptr, error);
    EXPECT_EQ("LOGIN", rd.method);
    EXPECT_TRUE(rd.auth.admin);
    EXPECT_EQ(0, proto::parseRequest("{\"request\":\"ECHO\",\"arg\":null," + goodAuth + "}", rd, nullptr));
    EXPECT_EQ("ECHO", rd.method);
}

TEST(RequestParsingByResult, EveryRefusalIsCodeTwoWithItsMessage) {
    const auto errorText = [](const std::string& text, proto::RequestData& rd) {
        cJSON* error = nullptr;
        EXPECT_EQ(2, proto::parseRequest(text, rd, &error));
        const JsonPtr owned(error);
        return owned ? proto::jsonToString(owned.get()) : std::string("<no error object>");
    };
    proto::RequestData rd;
    EXPECT_EQ(
        "{\"response\":\"UNKNOWN\",\"error_code\":2,\"error_description\":\"Cannot parse JSON: "
        "x}\",\"arg\":null}",
        errorText("{\"request\": x}", rd));
    EXPECT_EQ(
        "{\"response\":\"UNKNOWN\",\"error_code\":2,\"error_description\":\"Lack of string item "
        "\\\"request\\\"\","
        "\"arg\":null}",
        errorText("[]", rd));
    EXPECT_EQ(
        "{\"response\":\"GET_RATE\",\"error_code\":2,\"error_description\":\"Lack of object item "
        "\\\"auth\\\"\","
        "\"arg\":null}",
        errorText("{\"request\":\"GET_RATE\",\"arg\":{}}", rd));
    EXPECT_EQ("GET_RATE", rd.method);
    EXPECT_EQ(nullptr, rd.arg);
    EXPECT_EQ(2, proto::parseRequest("{", rd, nullptr));
}

// Several threads parse different bad texts at once; each must quote its own failure position,
// which a process-wide "last error" slot cannot guarantee.
TEST(RequestParsingConcurrency, EachParseQuotesItsOwnFailurePosition) {
    constexpr int threadCount = 8;
    constexpr int rounds = 3000;
    std::vector<int> mismatches(threadCount, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([t, &mismatches] {
            const std::string rest =
                "#" + std::to_string(t) + std::string(static_cast<std::size_t>(t), '!') + "}";
            const std::string text =
                std::string(static_cast<std::size_t>(t) * 3, ' ') + "{\"request\":" + rest;
            const std::string expected = "Cannot parse JSON: " + rest;
            const std::string good = "{\"request\":\"ECHO\",\"arg\":null," + goodAuth + "}";
            for (int i = 0; i < rounds; ++i) {
                proto::RequestData rd;
                proto::parseRequestOrThrow(good,
                                           rd);  // a success between failures resets cJSON's global slot
                try {
                    proto::parseRequestOrThrow(text, rd);
                    ++mismatches[static_cast<std::size_t>(t)];
                } catch (const proto::JSONException& e) {
                    if (e.errorMessage() != expected) {
                        ++mismatches[static_cast<std::size_t>(t)];
                    }
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < threadCount; ++t) {
        EXPECT_EQ(0, mismatches[static_cast<std::size_t>(t)]) << "thread " << t;
    }
}

}  // namespace
