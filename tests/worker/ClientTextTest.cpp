#include <gtest/gtest.h>
#include <log4cplus/appender.h>
#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "korvu/worker/Worker.h"
#include "tests/support/TempDatabase.h"
#include "validator/DummyAdminValidator.h"

namespace {

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

std::string request(const std::string& method, const std::string& arg, const std::string& name,
                    const std::string& pass, bool admin) {
    return "{\"request\":\"" + method + "\",\"arg\":" + arg + ",\"auth\":{\"name\":\"" + name +
           "\",\"pass\":\"" + pass + "\",\"admin\":" + (admin ? "true" : "false") + "}}";
}
std::string ok(const std::string& method, const std::string& arg) {
    return "{\"response\":\"" + method +
           "\",\"error_code\":0,\"error_description\":\"SUCCESS\",\"arg\":" + arg + "}";
}
// The description goes in as it stands, so JSON escapes are given escaped.
std::string parseError(const std::string& description) {
    return R"({"response":"UNKNOWN","error_code":2,"error_description":")" + description + R"(","arg":null})";
}

using Event = std::pair<log4cplus::LogLevel, std::string>;

struct Capture : log4cplus::Appender {
    ~Capture() override { destructorImpl(); }
    void close() override {}
    void append(const log4cplus::spi::InternalLoggingEvent& event) override {
        events.emplace_back(event.getLogLevel(), event.getMessage());
    }
    std::vector<Event> events;
};

// Everything the Worker logs goes to a Capture alone, which the logger owns.
class ClientText : public testing::Test {
protected:
    void SetUp() override {
        log4cplus::Logger::getInstance("Korvu").setLogLevel(log4cplus::OFF_LOG_LEVEL);
        log4cplus::Logger logger = log4cplus::Logger::getInstance("Worker");
        logger.removeAllAppenders();
        logger.addAppender(log4cplus::SharedAppenderPtr(capture));
        logger.setAdditivity(false);
        logger.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
    }
    void TearDown() override { log4cplus::Logger::getInstance("Worker").removeAllAppenders(); }

    testsupport::TempDatabase database;
    korvu::DummyAdminValidator validator{"trivx", "trivx"};
    Worker worker{database.path(), validator, "2.3.1", "'Dec  2 2015 07:26:53'", 20000};
    Capture* const capture = new Capture();
};

// Whatever bytes a request or a stored value carries, the answer is UTF-8 and the rest is as before.
TEST_F(ClientText, AnswersAreUtf8WithEachIllFormedSequenceReplaced) {
    database.exec(
        "UPDATE settings SET settings_value = CAST(X'E282AC20FF4555' AS TEXT) WHERE settings_key = "
        "'CURRENCY'");
    const std::string euro = "\xE2\x82\xAC ";
    const std::vector<std::pair<std::string, std::string>> cases{
        {request("ECHO", "{\"value\":\"\xC3(\xED\xA0\x80 \xE2\x82\xAC\\n\"}", "x", "y", false),
         ok("ECHO", "{\"value\":\"" + R + "(" + R + R + R + " \xE2\x82\xAC\\n\"}")},
        {"\xFF{\"request\":\"\xC3\"",
         parseError("Cannot parse JSON: " + R + "{\\\"request\\\":\\\"" + R + "\\\"")},
        {request("GET_SETTINGS", "null", "101", "secret101", false),
         ok("GET_SETTINGS", R"({"headers":["settings_key","settings_value"],"rows":[["CURRENCY",")" + euro +
                                R + R"(EU"],["LANGUAGE","en"]]})")},
    };
    for (const auto& [text, answer] : cases) {
        EXPECT_EQ(answer, worker.processRequest(text)) << testing::PrintToString(text);
    }
}

// A line break in a request cannot forge log lines: each request's lines stay one line each.
TEST_F(ClientText, ALineBreakInARequestIsEscapedInItsLogLines) {
    const std::string text = "{\"request\":\"ECHO\",\n\"x\"}\r\nINFO PelbrinSrv - Server stopped";
    EXPECT_EQ(parseError("Cannot parse JSON: }\\r\\nINFO PelbrinSrv - Server stopped"),
              worker.processRequest(text));
    ASSERT_EQ(3u, capture->events.size());
    EXPECT_EQ(Event(log4cplus::DEBUG_LOG_LEVEL,
                    R"(new request [1]:{"request":"ECHO",\n"x"}\r\nINFO PelbrinSrv - Server  ...  )"),
              capture->events[0]);
    EXPECT_EQ(Event(log4cplus::WARN_LOG_LEVEL,
                    "process request [1] error: JSONException  2: "
                    R"(Cannot parse JSON: }\r\nINFO PelbrinSrv - Server stopped)"),
              capture->events[1]);
    for (const Event& event : capture->events) {
        EXPECT_TRUE(std::none_of(event.second.begin(), event.second.end(), [](char c) {
            return c == '\n' || c == '\r';
        })) << event.second;
    }
}

// Nor can the line breaks of Unicode or bytes that are not UTF-8: the log shows their bytes as \xNN, while
// the answer keeps the well-formed ones and replaces the others.
TEST_F(ClientText, UnicodeLineBreaksAndIllFormedBytesAreEscapedInLogLines) {
    const std::string text =
        "{\"request\":\"ECHO\",\xC2\x85INFO\xE2\x80\xA8INFO\xE2\x80\xA9INFO\xC2\x85\xFF\xE2\x82}";
    // The parser's error text starts one byte into the NEL, at a lone continuation byte.
    EXPECT_EQ(
        parseError("Cannot parse JSON: " + R + "INFO\xE2\x80\xA8INFO\xE2\x80\xA9INFO\xC2\x85" + R + R + "}"),
        worker.processRequest(text));
    ASSERT_EQ(3u, capture->events.size());
    EXPECT_EQ(
        Event(log4cplus::DEBUG_LOG_LEVEL, R"(new request [1]:{"request":"ECHO",\xc2\x85INFO\xe2\x80\xa8)"
                                          R"(INFO\xe2\x80\xa9INFO\xc2\x85\xff\xe2\x82} ...  )"),
        capture->events[0]);
    EXPECT_EQ(Event(log4cplus::WARN_LOG_LEVEL,
                    "process request [1] error: JSONException  2: "
                    R"(Cannot parse JSON: \x85INFO\xe2\x80\xa8INFO\xe2\x80\xa9INFO\xc2\x85\xff\xe2\x82})"),
              capture->events[1]);
}

// A request as long as the server takes, malformed: its WARN line shows the first 4 KiB of the error and
// how much was cut; the answer still quotes all of it.
TEST_F(ClientText, AHugeMalformedRequestIsCutInItsWarningButNotInItsAnswer) {
    const std::string text = "x" + std::string(8 * 1024 * 1024 - 1, 'a');
    EXPECT_EQ(parseError("Cannot parse JSON: " + text), worker.processRequest(text));
    const std::string error = "JSONException  2: Cannot parse JSON: " + text;
    const std::vector<Event> warnings(capture->events.begin() + 1, capture->events.end() - 1);
    EXPECT_EQ(std::vector<Event>{Event(log4cplus::WARN_LOG_LEVEL,
                                       "process request [1] error: " + error.substr(0, 4096) + " ... (" +
                                           std::to_string(error.size() - 4096) + " bytes cut)")},
              warnings);
}

}  // namespace
