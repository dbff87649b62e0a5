#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "korvu/korvu/KorvuException.h"
#include "tests/support/FakePeer.h"
#include "validator/AsteriskAdminValidator.h"
#include "validator/DummyAdminValidator.h"

namespace {

using testsupport::FakePeer;
using Validator = korvu::AsteriskAdminValidator;

std::string login(const std::string& secret) {
    return "Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: " + secret + "\r\n\r\n";
}

// What validate() gave: "accepted", "refused" or the message of its internal error.
std::string outcome(unsigned short port, const std::string& pw = "pw", const std::string& user = "trivx") {
    try {
        Validator validator("127.0.0.1", port, std::chrono::milliseconds{300});
        return validator.validate(user, pw) ? "accepted" : "refused";
    } catch (const korvu::InternalError& e) {
        EXPECT_EQ(1, e.errorCode());
        return e.errorMessage();
    }
}

TEST(FixedCredential, AcceptsOnlyTheExactStoredPair) {
    korvu::DummyAdminValidator dummy("trivx", "trivx");
    EXPECT_TRUE(dummy.validate("trivx", "trivx"));
    for (const char* other : {"Trivx", "trivx ", "TRIVX", "trivx\n", ""})
        EXPECT_FALSE(dummy.validate(other, "trivx") || dummy.validate("trivx", other)) << other;
    EXPECT_TRUE(korvu::DummyAdminValidator("boss", "").validate("boss", ""));
}

// Only trivx is ever asked about, and a line break in the password would smuggle further actions in.
TEST(ManagerLogin, OnlyTrivxWithoutLineBreaksIsAskedWithExactlyFiveLinesOnAConnectionPerCall) {
    FakePeer peer;
    for (const char* user : {"admin", "Trivx", "trivx ", ""})
        EXPECT_EQ("refused", outcome(peer.port(), "pw", user));
    for (const char* pw : {"x\r\nA", "x\nA", "x\r"}) EXPECT_EQ("refused", outcome(peer.port(), pw)) << pw;
    for (const char* pw : {"s3cr et:", ""}) EXPECT_EQ("accepted", outcome(peer.port(), pw)) << pw;
    ASSERT_EQ(2u, peer.connectionCount());
    EXPECT_EQ(login("s3cr et:"), peer.received(0));
    EXPECT_EQ(login(""), peer.received(1));
}

// The first answer line decides; only CR LF ends a line, which holds at most 128 bytes.
TEST(ManagerLogin, OnlyAnExactSuccessLineIsAcceptedAndABrokenPeerGivesTheCause) {
    EXPECT_EQ("Asterisk connection problem: Connection refused", outcome(testsupport::Socket().port));
    using B = FakePeer::Behaviour;
    const std::string problem = "Asterisk connection problem: ",
                      loneBreaks = "a\rb\nc" + std::string(121, 'x');
    // clang-format off
    const std::vector<std::pair<FakePeer::Script, std::string>> cases{
        {{B::Answer, FakePeer::kErrorAnswer}, "refused"},
        {{B::AnswerGarbage}, "refused"},
        {{B::Answer, "response: success\r\n"}, "refused"},
        {{B::Answer, "Response: Success \r\n"}, "refused"},
        {{B::Answer, "\r\nResponse: Success\r\n"}, "refused"},
        {{B::Answer, loneBreaks + "\r\n"}, "refused"},                     // 128 bytes with CR LF
        {{B::Answer, loneBreaks + "x\r\n"}, problem + "Read error"},       // 128 bytes without CR LF
        {{B::CloseAfterGreeting}, problem + "Read error"},
        {{B::NeverAnswer}, problem + "Resource temporarily unavailable"}};  // the time-out ran out
    // clang-format on
    for (const auto& [script, expected] : cases) {
        FakePeer peer(script);
        EXPECT_EQ(expected, outcome(peer.port())) << script.answer;
        EXPECT_EQ(login("pw"), peer.received());
    }
}

TEST(ManagerLoginConcurrency, SeveralThreadsValidateAtOnceOnOneValidator) {
    FakePeer peer;
    Validator validator("127.0.0.1", peer.port());
    std::vector<std::future<bool>> results(8);
    for (auto& result : results)
        result = std::async(std::launch::async, [&] { return validator.validate("trivx", "pw"); });
    for (auto& result : results) EXPECT_TRUE(result.get());
    ASSERT_EQ(8u, peer.connectionCount());
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(login("pw"), peer.received(i));
}

}  // namespace
