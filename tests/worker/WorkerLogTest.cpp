#include <gtest/gtest.h>
#include <log4cplus/logger.h>

#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/worker/WorkerFixture.h"

namespace {

using workertest::adminRequest;
using workertest::CapturingAppender;
using workertest::extenRequest;
using workertest::request;
using workertest::success;
using workertest::WorkerTest;

using Event = std::pair<log4cplus::LogLevel, std::string>;

class RequestLog : public WorkerTest {
protected:
    void SetUp() override {
        WorkerTest::SetUp();
        appender = log4cplus::SharedAppenderPtr(capture = new CapturingAppender());
        logger.addAppender(appender);
        logger.setAdditivity(false);
        logger.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
    }
    void TearDown() override {
        logger.removeAppender(appender);
        logger.setLogLevel(log4cplus::OFF_LOG_LEVEL);
    }

    const std::vector<Event>& events() const { return capture->events; }

    log4cplus::Logger logger = log4cplus::Logger::getInstance("Worker");
    log4cplus::SharedAppenderPtr appender;
    CapturingAppender* capture = nullptr;
};

// Size and time in fixed notation with six digits; the time itself is not predictable.
void expectProcessedLine(const Event& event, unsigned number, const std::string& size) {
    EXPECT_EQ(log4cplus::DEBUG_LOG_LEVEL, event.first);
    const std::regex pattern("request \\[" + std::to_string(number) +
                             "\\] processed\\. size: " + std::regex_replace(size, std::regex("\\."), "\\.") +
                             " kB, time: [0-9]+\\.[0-9]{6} sec");
    EXPECT_TRUE(std::regex_match(event.second, pattern)) << event.second;
}

TEST_F(RequestLog, SuccessfulRequestIsLoggedCutAndNumbered) {
    ASSERT_EQ(success("GET_VERSION", R"({"version":"2.3.1","built_date":"'Dec  2 2015 07:26:53'"})"),
              process(adminRequest("GET_VERSION")));
    ASSERT_EQ(2u, events().size());
    EXPECT_EQ(log4cplus::DEBUG_LOG_LEVEL, events()[0].first);
    EXPECT_EQ(R"(new request [1]:{"request":"GET_VERSION","arg":null,"auth":{"name" ...  )",
              events()[0].second);
    // 135 bytes of response.
    expectProcessedLine(events()[1], 1, "0.131836");
}

TEST_F(RequestLog, ShortTextIsLoggedWholeAndFailureAddsOneWarning) {
    process("{");
    ASSERT_EQ(3u, events().size());
    EXPECT_EQ((Event{log4cplus::DEBUG_LOG_LEVEL, "new request [1]:{ ...  "}), events()[0]);
    EXPECT_EQ((Event{log4cplus::WARN_LOG_LEVEL,
                     "process request [1] error: JSONException  2: Cannot parse JSON: "}),
              events()[1]);
    // 90 bytes of response.
    expectProcessedLine(events()[2], 1, "0.087891");
}

TEST_F(RequestLog, FiftyBytesAreTheCut) {
    const std::string fifty(50, '7');
    process(fifty);
    process(fifty + "8");
    process("");
    ASSERT_EQ(9u, events().size());
    EXPECT_EQ("new request [1]:" + fifty + " ...  ", events()[0].second);
    EXPECT_EQ("new request [2]:" + fifty + " ...  ", events()[3].second);
    EXPECT_EQ("new request [3]: ...  ", events()[6].second);
}

TEST_F(RequestLog, BillingRefusalIsWarnedWithTheExceptionText) {
    process(request("LOGIN", "null", "101", "bad", false));
    process(adminRequest("GET_RATES", "{}"));
    ASSERT_EQ(6u, events().size());
    EXPECT_EQ((Event{log4cplus::WARN_LOG_LEVEL,
                     "process request [1] error: AuthException  6: Invalid user or password"}),
              events()[1]);
    EXPECT_EQ((Event{log4cplus::WARN_LOG_LEVEL,
                     "process request [2] error: InvalidArgException  4: arg must by null"}),
              events()[4]);
    EXPECT_EQ(0u, events()[3].second.find("new request [2]:"));
}

TEST_F(RequestLog, UnknownMethodIsNotWarned) {
    process(adminRequest("kaput"));
    ASSERT_EQ(2u, events().size());
    EXPECT_EQ(log4cplus::DEBUG_LOG_LEVEL, events()[0].first);
    // 83 bytes of response.
    expectProcessedLine(events()[1], 1, "0.081055");
}

TEST_F(RequestLog, LevelIsTestedBeforeWriting) {
    logger.setLogLevel(log4cplus::WARN_LOG_LEVEL);
    process(adminRequest("LOGIN"));
    process(adminRequest("LOGIN", "[]"));
    ASSERT_EQ(1u, events().size());
    // Both requests were counted although the first left no line.
    EXPECT_EQ((Event{log4cplus::WARN_LOG_LEVEL,
                     "process request [2] error: InvalidArgException  4: Lack of object item \"arg\""}),
              events()[0]);
}

TEST_F(RequestLog, ConcurrentRequestsGetDistinctNumbersAndTheirOwnAnswers) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 24;  // even: half of the settings requests carry a wrong password
    std::vector<std::vector<std::string>> mismatches(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t, &mismatches] {
            for (int i = 0; i < kPerThread; ++i) {
                const std::string value = std::to_string(t) + "-" + std::to_string(i);
                const std::string echo =
                    worker.processRequest(adminRequest("ECHO", R"({"value":")" + value + "\"}"));
                if (echo != success("ECHO", R"({"value":")" + value + "\"}")) {
                    mismatches[t].push_back(echo);
                }
                const std::string settings =
                    worker.processRequest(i % 2 == 0 ? extenRequest("GET_SETTINGS")
                                                     : request("GET_SETTINGS", "null", "101", "x", false));
                const std::string expected =
                    i % 2 == 0
                        ? success(
                              "GET_SETTINGS",
                              R"({"headers":["settings_key","settings_value"],"rows":[["CURRENCY","EUR"],["LANGUAGE","en"]]})")
                        : workertest::failure("GET_SETTINGS", 6, "Invalid user or password");
                if (settings != expected) {
                    mismatches[t].push_back(settings);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const auto& wrong : mismatches) {
        EXPECT_TRUE(wrong.empty()) << wrong.front();
    }

    const unsigned total = kThreads * kPerThread * 2;
    std::set<unsigned> opened;
    std::set<unsigned> processed;
    std::set<unsigned> warned;
    const std::regex newLine("new request \\[([0-9]+)\\]:.*");
    const std::regex processedLine("request \\[([0-9]+)\\] processed\\..*");
    const std::regex warnLine(
        "process request \\[([0-9]+)\\] error: AuthException  6: Invalid user or password");
    for (const auto& event : events()) {
        std::smatch match;
        if (std::regex_match(event.second, match, newLine)) {
            EXPECT_TRUE(opened.insert(std::stoul(match[1])).second) << event.second;
        } else if (std::regex_match(event.second, match, processedLine)) {
            EXPECT_TRUE(processed.insert(std::stoul(match[1])).second) << event.second;
        } else if (std::regex_match(event.second, match, warnLine)) {
            EXPECT_TRUE(warned.insert(std::stoul(match[1])).second) << event.second;
        } else {
            ADD_FAILURE() << "unexpected line: " << event.second;
        }
    }
    ASSERT_EQ(total, opened.size());
    EXPECT_EQ(1u, *opened.begin());
    EXPECT_EQ(total, *opened.rbegin());
    EXPECT_EQ(opened, processed);
    EXPECT_EQ(total / 4, warned.size());
}

}  // namespace
