#include <gtest/gtest.h>

#include <string>

#include "tests/worker/WorkerFixture.h"

namespace {

using workertest::adminRequest;
using workertest::failure;
using workertest::request;
using workertest::success;
using workertest::WorkerTest;

using RequestRefusal = WorkerTest;
using UnknownMethod = WorkerTest;
using BuiltInMethods = WorkerTest;

TEST_F(RequestRefusal, TextThatIsNotJsonIsCodeTwoUnderUnknown) {
    EXPECT_EQ(R"({"response":"UNKNOWN","error_code":2,"error_description":"Cannot parse JSON: ","arg":null})",
              process("{"));
    EXPECT_EQ(
        R"({"response":"UNKNOWN","error_code":2,"error_description":"Cannot parse JSON: x}","arg":null})",
        process(R"({"request": x})"));
}

TEST_F(RequestRefusal, MissingMemberIsCodeFourUnderUnknownEvenWhenTheMethodWasRead) {
    EXPECT_EQ(
        R"({"response":"UNKNOWN","error_code":4,"error_description":"Lack of object item \"arg\"","arg":null})",
        process(R"({"request":"ECHO","auth":{"name":"","pass":"","admin":false}})"));
    EXPECT_EQ(
        R"({"response":"UNKNOWN","error_code":4,"error_description":"Lack of object item \"admin\"","arg":null})",
        process(R"({"request":"LOGIN","arg":null,"auth":{"name":"trivx","pass":"trivx","admin":"true"}})"));
    EXPECT_EQ(
        R"({"response":"UNKNOWN","error_code":4,"error_description":"Lack of string item \"request\"","arg":null})",
        process("[1,2]"));
}

TEST_F(UnknownMethod, AnyNameButTheServedOnesIsCodeThreeWithTheNameAsSent) {
    for (const std::string name :
         {"echo", "kaput", "SQL", "ERROR", "UNKNOWN", "GET_VERSION ", "Login", "x"}) {
        EXPECT_EQ("{\"response\":\"" + name +
                      "\",\"error_code\":3,\"error_description\":\"unknown method\",\"arg\":null}",
                  process(adminRequest(name)))
            << name;
    }
    EXPECT_EQ(R"({"response":"","error_code":3,"error_description":"unknown method","arg":null})",
              process(adminRequest("")));
}

TEST_F(UnknownMethod, LooksAtNeitherArgNorCredentials) {
    EXPECT_EQ(R"({"response":"kaput","error_code":3,"error_description":"unknown method","arg":null})",
              process(request("kaput", R"({"x":[1]})", "nobody", "wrong", true)));
}

TEST_F(UnknownMethod, NameIsEscapedInTheResponse) {
    EXPECT_EQ(R"({"response":"a\"b\\c\n","error_code":3,"error_description":"unknown method","arg":null})",
              process(R"({"request":"a\"b\\c\n","arg":null,"auth":{"name":"","pass":"","admin":false}})"));
}

TEST_F(BuiltInMethods, GetVersionAnswersVersionAndBuildStampWhateverTheCredentials) {
    const std::string expected =
        R"({"response":"GET_VERSION","error_code":0,"error_description":"SUCCESS","arg":{"version":"2.3.1","built_date":"'Dec  2 2015 07:26:53'"}})";
    EXPECT_EQ(expected, process(adminRequest("GET_VERSION")));
    EXPECT_EQ(expected, process(request("GET_VERSION", "null", "", "", false)));
    EXPECT_EQ(expected, process(request("GET_VERSION", "null", "trivx", "wrong", true)));
}

TEST_F(BuiltInMethods, GetVersionTakesTheTextsGivenToTheWorker) {
    korvu::DummyAdminValidator other("a", "b");
    Worker custom(database.path(), other, "9.9", "now \"quoted\"", 5);
    EXPECT_EQ(success("GET_VERSION", R"({"version":"9.9","built_date":"now \"quoted\""})"),
              custom.processRequest(adminRequest("GET_VERSION")));
}

TEST_F(BuiltInMethods, GetVersionRefusesAnyArgButNull) {
    EXPECT_EQ(failure("GET_VERSION", 4, "arg must by null"), process(adminRequest("GET_VERSION", "{}")));
    EXPECT_EQ(failure("GET_VERSION", 4, "arg must by null"),
              process(adminRequest("GET_VERSION", R"({"value":"x"})")));
}

TEST_F(BuiltInMethods, EchoReturnsTheValueEscapedAsJson) {
    EXPECT_EQ(success("ECHO", R"({"value":"a\"b\\c\nd\te"})"),
              process(adminRequest("ECHO", R"({"value":"a\"b\\c\nd\te"})")));
    EXPECT_EQ(success("ECHO", R"({"value":"\u0001/"})"),
              process(adminRequest("ECHO", R"({"value":"\u0001\/"})")));
    EXPECT_EQ(success("ECHO",
                      "{\"value\":\"Gr\xC3\xBC\xC3\x9F"
                      "e\"}"),
              process(adminRequest("ECHO",
                                   "{\"value\":\"Gr\xC3\xBC\xC3\x9F"
                                   "e\"}")));
    EXPECT_EQ(success("ECHO", R"({"value":""})"),
              process(adminRequest("ECHO", R"({"Value":"","value":"b"})")));
}

TEST_F(BuiltInMethods, EchoSucceedsWithWrongCredentials) {
    EXPECT_EQ(success("ECHO", R"({"value":"hi"})"),
              process(request("ECHO", R"({"value":"hi"})", "101", "wrong", false)));
    EXPECT_EQ(success("ECHO", R"({"value":"hi"})"),
              process(request("ECHO", R"({"value":"hi"})", "trivx", "wrong", true)));
}

TEST_F(BuiltInMethods, EchoRefusesMissingOrNonStringValue) {
    EXPECT_EQ(failure("ECHO", 4, "JSON arg item contains no value"), process(adminRequest("ECHO")));
    EXPECT_EQ(failure("ECHO", 4, "JSON value item has bad type (expected string)"),
              process(adminRequest("ECHO", R"({"value":5})")));
}

TEST(CreateResponse, IsTheErrorResponseForMethodCodeAndDescription) {
    EXPECT_EQ(R"({"response":"GET_RATES","error_code":10,"error_description":"Too many rows. ","arg":null})",
              Worker::createResponse(10, "Too many rows. ", "GET_RATES"));
    EXPECT_EQ(R"({"response":"a\"","error_code":3,"error_description":"x\\y","arg":null})",
              Worker::createResponse(3, "x\\y", "a\""));
}

TEST(MissingDatabase, EveryBillingMethodIsCodeOneAndNoFileIsCreated) {
    log4cplus::Logger::getInstance("Korvu").setLogLevel(log4cplus::OFF_LOG_LEVEL);
    log4cplus::Logger::getInstance("Worker").setLogLevel(log4cplus::OFF_LOG_LEVEL);
    const std::string path = workertest::missingPath();
    korvu::DummyAdminValidator validator("trivx", "trivx");
    Worker worker(path, validator, "v", "d", 20000);
    const std::string gone = "SQL Error  14: unable to open database file";
    EXPECT_EQ(failure("LOGIN", 1, gone), worker.processRequest(adminRequest("LOGIN")));
    EXPECT_EQ(failure("GET_SETTINGS", 1, gone), worker.processRequest(adminRequest("GET_SETTINGS")));
    EXPECT_EQ(failure("SET_CURRENCY", 1, gone),
              worker.processRequest(adminRequest("SET_CURRENCY", R"({"currency":"USD"})")));
    EXPECT_EQ(failure("GET_HELP", 1, gone),
              worker.processRequest(adminRequest("GET_HELP", R"({"language":"en"})")));
    // Built-in methods need no database.
    EXPECT_EQ(success("GET_VERSION", R"({"version":"v","built_date":"d"})"),
              worker.processRequest(adminRequest("GET_VERSION")));
    EXPECT_FALSE(workertest::fileExists(path));
}

}  // namespace
