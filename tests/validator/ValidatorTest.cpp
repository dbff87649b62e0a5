#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "korvu/korvu/KorvuException.h"
#include "tests/support/ExpectError.h"
#include "tests/support/FakePeer.h"
#include "validator/AsteriskAdminValidator.h"
#include "validator/DummyAdminValidator.h"

namespace {

using testsupport::FakePeer;
using Behaviour = FakePeer::Behaviour;
using Validator = korvu::AsteriskAdminValidator;

const std::string kLogin = "Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: pw\r\n\r\n";

Validator validatorFor(unsigned short port) {
    return Validator("127.0.0.1", port, std::chrono::milliseconds{300});
}

TEST(FixedCredential, AcceptsOnlyTheExactStoredPair) {
    korvu::DummyAdminValidator dummy("trivx", "trivx");
    EXPECT_TRUE(dummy.validate("trivx", "trivx"));
    for (const char* user : {"Trivx", "trivx ", ""}) EXPECT_FALSE(dummy.validate(user, "trivx")) << user;
    for (const char* pw : {"TRIVX", "trivx\n", ""}) EXPECT_FALSE(dummy.validate("trivx", pw)) << pw;
    EXPECT_TRUE(korvu::DummyAdminValidator("boss", "").validate("boss", ""));
}

TEST(ManagerLogin, SuccessSendsExactlyTheFiveLoginLinesOnAConnectionPerCall) {
    FakePeer peer;
    Validator validator = validatorFor(peer.port());
    EXPECT_TRUE(validator.validate("trivx", "s3cr et:"));
    EXPECT_TRUE(validator.validate("trivx", ""));
    ASSERT_EQ(2u, peer.connectionCount());
    EXPECT_EQ("Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: s3cr et:\r\n\r\n",
              peer.received(0));
    EXPECT_EQ("Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: \r\n\r\n", peer.received(1));
}

// Only trivx is ever asked about, and a line break in the password would smuggle further actions in.
TEST(ManagerLogin, OtherUsersAndLineBreaksInThePasswordAreRefusedWithoutConnecting) {
    FakePeer peer;
    Validator validator = validatorFor(peer.port());
    for (const char* u : {"admin", "Trivx", "trivx ", ""}) EXPECT_FALSE(validator.validate(u, "pw")) << u;
    for (const char* pw : {"x\r\nA", "x\nA", "x\r"}) EXPECT_FALSE(validator.validate("trivx", pw)) << pw;
    EXPECT_EQ(0u, peer.connectionCount());
}

TEST(ManagerLogin, OnlyAnExactSuccessLineIsAccepted) {
    for (const std::string& answer :
         {FakePeer::kErrorAnswer, FakePeer::kGarbageAnswer, std::string("response: success\r\n"),
          std::string("Response: Success \r\n"), std::string("\r\nResponse: Success\r\n")}) {
        FakePeer::Script script;
        script.answer = answer;
        FakePeer peer(script);
        EXPECT_FALSE(validatorFor(peer.port()).validate("trivx", "pw")) << answer;
        EXPECT_EQ(kLogin, peer.received());
    }
}

TEST(ManagerLoginFailures, BrokenPeersGiveAnInternalErrorWithTheCause) {
    const testsupport::RefusingPort refusing;
    testsupport::expectError<korvu::InternalError>(1, "Asterisk connection problem: Connection refused", [&] {
        validatorFor(refusing.port()).validate("trivx", "pw");
    });
    for (const auto& [behaviour, cause] : std::vector<std::pair<Behaviour, std::string>>{
             {Behaviour::CloseAfterGreeting, "Read error"},
             {Behaviour::OverlongLine, "Read error"},                          // 128 bytes without CR LF
             {Behaviour::NeverAnswer, "Resource temporarily unavailable"}}) {  // the time-out ran out
        FakePeer peer(behaviour);
        testsupport::expectError<korvu::InternalError>(1, "Asterisk connection problem: " + cause, [&] {
            validatorFor(peer.port()).validate("trivx", "pw");
        });
        EXPECT_EQ(kLogin, peer.received());
    }
}

TEST(ManagerLoginConcurrency, SeveralThreadsValidateAtOnceOnOneValidator) {
    FakePeer peer;
    Validator validator = validatorFor(peer.port());
    std::vector<std::future<bool>> results;
    for (int i = 0; i < 8; ++i) {
        results.push_back(
            std::async(std::launch::async, [&validator] { return validator.validate("trivx", "pw"); }));
    }
    for (auto& result : results) EXPECT_TRUE(result.get());
    ASSERT_EQ(8u, peer.connectionCount());
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(kLogin, peer.received(i));
}

// What a socket helper did: "done" or its failure.
template <typename F>
std::string outcome(F call) {
    try {
        call();
    } catch (const Validator::SocketException& e) {
        return std::string("failed: ") + e.what();
    }
    return "done";
}

// The helpers run on one end of a local stream; the test speaks on the other, which never blocks.
TEST(LineHelpers, CrLfEndsEveryLineAndALineHoldsAtMost128Bytes) {
    int fds[2];
    ASSERT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds));
    for (const char* text : {"Action: Ping", "Ping\r\n", "", "\r", "x\n", "a\r\n\r\n"})
        Validator::writeLine(fds[0], text);
    char buffer[64] = {};
    EXPECT_EQ("Action: Ping\r\nPing\r\n\r\n\r\r\nx\n\r\na\r\n\r\n",
              std::string(buffer, std::max<ssize_t>(0, ::recv(fds[1], buffer, sizeof buffer, 0))));

    const std::string bytes = "Asterisk Call Manager/1.1\r\n\r\na\rb\nc\r\n" + std::string(126, 'x') +
                              "\r\n" + std::string(127, 'y') + "\r\n" + std::string(127, 'z');
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::send(fds[1], bytes.data(), bytes.size(), 0));
    std::string line;
    const auto readLine = [&] {
        const std::string result = outcome([&] { Validator::readLine(fds[0], line); });
        return result == "done" ? line : result;
    };
    EXPECT_EQ("Asterisk Call Manager/1.1\r\n", readLine());
    EXPECT_EQ("\r\n", readLine());
    EXPECT_EQ("a\rb\nc\r\n", readLine());
    EXPECT_EQ(std::string(126, 'x') + "\r\n", readLine());
    EXPECT_EQ("failed: Read error", readLine());  // 127 bytes and the CR: 128 without CR LF
    EXPECT_EQ("failed: Read error", readLine());  // the LF left and 127 more: 128, and nothing waited for
    ::send(fds[1], "Response: Succ", 14, 0);
    ::shutdown(fds[1], SHUT_RDWR);
    EXPECT_EQ("failed: Read error", readLine());
    EXPECT_EQ("failed: Broken pipe", outcome([&] { Validator::writeLine(fds[0], "Action: Login"); }));
    Validator::closeSocket(fds[0]);
    Validator::closeSocket(fds[1]);
}

}  // namespace
