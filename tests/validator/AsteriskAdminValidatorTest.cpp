#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "korvu/korvu/KorvuException.h"
#include "tests/support/ExpectError.h"
#include "tests/support/FakePeer.h"
#include "validator/AsteriskAdminValidator.h"

namespace {

using testsupport::expectError;
using testsupport::FakePeer;

constexpr std::chrono::milliseconds kShortTimeout{300};

korvu::AsteriskAdminValidator validatorFor(unsigned short port) {
    return korvu::AsteriskAdminValidator("127.0.0.1", port, kShortTimeout);
}

FakePeer::Script answering(const std::string& answer) {
    FakePeer::Script script;
    script.answer = answer;
    return script;
}

// A listening port whose accept queue is full: the handshake of any further connection never
// completes, like a manager interface behind a dropping firewall.
class FullBacklogPort {
public:
    FullBacklogPort()
        : listener(::socket(AF_INET, SOCK_STREAM, 0)), filler(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        EXPECT_EQ(0, ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address));
        EXPECT_EQ(0, ::listen(listener, 0));
        EXPECT_EQ(0, ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length));
        number = ntohs(address.sin_port);
        EXPECT_EQ(0, ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address));
    }
    ~FullBacklogPort() {
        ::close(filler);
        ::close(listener);
    }
    FullBacklogPort(const FullBacklogPort&) = delete;
    FullBacklogPort& operator=(const FullBacklogPort&) = delete;

    unsigned short port() const { return number; }

private:
    int listener;
    int filler;
    unsigned short number = 0;
};

TEST(ManagerLogin, RefusesEveryUserButTrivxWithoutConnecting) {
    FakePeer peer;
    auto validator = validatorFor(peer.port());
    EXPECT_FALSE(validator.validate("admin", "secret"));
    EXPECT_FALSE(validator.validate("Trivx", "secret"));
    EXPECT_FALSE(validator.validate("trivx ", "secret"));
    EXPECT_FALSE(validator.validate("trivx\r\nAction: Logoff", "secret"));
    EXPECT_FALSE(validator.validate("", ""));
    EXPECT_EQ(0u, peer.connectionCount());
}

TEST(ManagerLogin, SuccessSendsExactlyTheFiveLoginLines) {
    FakePeer peer;
    auto validator = validatorFor(peer.port());
    EXPECT_TRUE(validator.validate("trivx", "s3cr et:"));
    EXPECT_EQ("Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: s3cr et:\r\n\r\n",
              peer.received(0));
    EXPECT_EQ(1u, peer.connectionCount());
}

TEST(ManagerLogin, EveryCallOpensItsOwnConnection) {
    FakePeer peer;
    auto validator = validatorFor(peer.port());
    EXPECT_TRUE(validator.validate("trivx", "one"));
    EXPECT_TRUE(validator.validate("trivx", ""));
    EXPECT_EQ(2u, peer.connectionCount());
    EXPECT_EQ("Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: one\r\n\r\n", peer.received(0));
    EXPECT_EQ("Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: \r\n\r\n", peer.received(1));
}

TEST(ManagerLogin, OnlyAnExactSuccessLineIsAccepted) {
    const std::vector<std::string> refusals = {
        FakePeer::kErrorAnswer,
        FakePeer::kGarbageAnswer,
        "response: success\r\n\r\n",
        "Response: Successful\r\n\r\n",
        "Response: Success \r\n\r\n",
        " Response: Success\r\n\r\n",
        "Response: Success\nMessage: x\r\n\r\n",
        "\r\nResponse: Success\r\n\r\n",  // an empty line is a line of its own
    };
    for (const std::string& answer : refusals) {
        SCOPED_TRACE(answer);
        FakePeer peer(answering(answer));
        auto validator = validatorFor(peer.port());
        EXPECT_FALSE(validator.validate("trivx", "wrong"));
        EXPECT_EQ(1u, peer.connectionCount());
    }
    FakePeer bare(answering("Response: Success\r\n"));
    EXPECT_TRUE(validatorFor(bare.port()).validate("trivx", "right"));
}

TEST(ManagerLogin, LineBreakInThePasswordIsRefusedWithoutConnecting) {
    FakePeer peer;
    auto validator = validatorFor(peer.port());
    EXPECT_FALSE(validator.validate("trivx", "x\r\nAction: Originate"));
    EXPECT_FALSE(validator.validate("trivx", "x\nAction: Originate"));
    EXPECT_FALSE(validator.validate("trivx", "x\r"));
    EXPECT_FALSE(validator.validate("trivx", "\n"));
    EXPECT_EQ(0u, peer.connectionCount());
}

TEST(ManagerLoginFailures, NothingListeningIsAnInternalError) {
    const testsupport::RefusingPort refusing;
    auto validator = validatorFor(refusing.port());
    expectError<korvu::InternalError>(1, "Asterisk connection problem: Connection refused",
                                      [&] { validator.validate("trivx", "secret"); });
}

TEST(ManagerLoginFailures, PeerClosingAfterTheGreetingIsAReadError) {
    FakePeer peer(FakePeer::Behaviour::CloseAfterGreeting);
    auto validator = validatorFor(peer.port());
    expectError<korvu::InternalError>(1, "Asterisk connection problem: Read error",
                                      [&] { validator.validate("trivx", "secret"); });
    EXPECT_EQ("Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: secret\r\n\r\n", peer.received());
}

TEST(ManagerLoginFailures, OverlongLineIsAReadError) {
    FakePeer::Script longGreeting;
    longGreeting.greeting = std::string(129, 'G');
    FakePeer greetingPeer(longGreeting);
    expectError<korvu::InternalError>(1, "Asterisk connection problem: Read error",
                                      [&] { validatorFor(greetingPeer.port()).validate("trivx", "secret"); });
    EXPECT_EQ("", greetingPeer.received());

    FakePeer answerPeer(FakePeer::Behaviour::OverlongLine);
    expectError<korvu::InternalError>(1, "Asterisk connection problem: Read error",
                                      [&] { validatorFor(answerPeer.port()).validate("trivx", "secret"); });
}

TEST(ManagerLoginFailures, SilentPeerEndsInATimeoutError) {
    FakePeer silentAfterLogin(FakePeer::Behaviour::NeverAnswer);
    expectError<korvu::InternalError>(
        1, "Asterisk connection problem: Resource temporarily unavailable",
        [&] { validatorFor(silentAfterLogin.port()).validate("trivx", "secret"); });

    FakePeer::Script noGreeting;
    noGreeting.greeting.clear();
    noGreeting.behaviour = FakePeer::Behaviour::NeverAnswer;
    FakePeer silentFromStart(noGreeting);
    expectError<korvu::InternalError>(
        1, "Asterisk connection problem: Resource temporarily unavailable",
        [&] { validatorFor(silentFromStart.port()).validate("trivx", "secret"); });
    EXPECT_EQ("", silentFromStart.received());
}

TEST(ManagerLoginFailures, HandshakeThatNeverCompletesEndsInATimeoutError) {
    const FullBacklogPort port;
    expectError<korvu::InternalError>(1, "Asterisk connection problem: Connection timed out",
                                      [&] { validatorFor(port.port()).validate("trivx", "secret"); });
}

TEST(ManagerLoginConcurrency, SeveralThreadsValidateAtOnceOnOneValidator) {
    FakePeer peer;
    auto validator = validatorFor(peer.port());
    std::vector<std::future<bool>> results;
    for (int i = 0; i < 8; ++i) {
        results.push_back(
            std::async(std::launch::async, [&validator] { return validator.validate("trivx", "pw"); }));
    }
    for (auto& result : results) EXPECT_TRUE(result.get());
    EXPECT_EQ(8u, peer.connectionCount());
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ("Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: pw\r\n\r\n", peer.received(i));
    }
}

}  // namespace
