#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <string>

#include "tests/support/FakePeer.h"

namespace {

using testsupport::FakePeer;

const std::string kLogin = "Action: Login\r\nActionID: 1\r\nUsername: trivx\r\nSecret: pw\r\n\r\n";

// A bare client: connects, sends, reads with a time limit.
class Client {
public:
    explicit Client(unsigned short port) : fd(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        connectError = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
    }
    ~Client() { ::close(fd); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    void send(const std::string& text) const {
        ASSERT_EQ(static_cast<ssize_t>(text.size()), ::send(fd, text.data(), text.size(), MSG_NOSIGNAL));
    }
    // Reads until `count` bytes, end of stream or 2 s of silence; `closed` tells whether the stream ended.
    std::string read(std::size_t count, bool* closed = nullptr) const {
        std::string text;
        if (closed) *closed = false;
        while (text.size() < count) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) break;
            char buffer[256];
            const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, count - text.size()), 0);
            if (n <= 0) {
                if (closed) *closed = true;
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }
    // True when nothing arrives within the given time.
    bool silentFor(int milliseconds) const {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, milliseconds) == 0;
    }

    int fd;
    int connectError = 0;
};

TEST(FakePeerScript, GreetsReadsTheRequestAnswersAndRecordsEveryByte) {
    FakePeer peer;
    EXPECT_EQ(0u, peer.connectionCount());
    {
        Client client(peer.port());
        ASSERT_EQ(0, client.connectError);
        EXPECT_EQ("Asterisk Call Manager/1.1\r\n", client.read(FakePeer::kGreeting.size()));
        client.send(kLogin);
        EXPECT_EQ("Response: Success\r\nActionID: 1\r\nMessage: Authentication accepted\r\n\r\n",
                  client.read(FakePeer::kSuccessAnswer.size()));
        client.send("Action: Logoff\r\n\r\n");
    }
    EXPECT_EQ(kLogin + "Action: Logoff\r\n\r\n", peer.received());
    EXPECT_EQ(1u, peer.connectionCount());
}

TEST(FakePeerScript, CountsAConnectionAsSoonAsItIsMadeAndServesSeveral) {
    FakePeer::Script script;
    script.answer = FakePeer::kErrorAnswer;
    FakePeer peer(script);
    Client first(peer.port());
    EXPECT_EQ(1u, peer.connectionCount());
    Client second(peer.port());
    EXPECT_EQ(2u, peer.connectionCount());
    second.read(FakePeer::kGreeting.size());
    second.send("second\r\n\r\n");
    EXPECT_EQ(FakePeer::kErrorAnswer, second.read(FakePeer::kErrorAnswer.size()));
    ::shutdown(second.fd, SHUT_WR);
    EXPECT_EQ("second\r\n\r\n", peer.received(1));
}

TEST(FakePeerMisbehaviour, ClosesAfterTheGreeting) {
    FakePeer peer(FakePeer::Behaviour::CloseAfterGreeting);
    Client client(peer.port());
    bool closed = false;
    EXPECT_EQ(FakePeer::kGreeting, client.read(1000, &closed));
    EXPECT_TRUE(closed);
}

TEST(FakePeerMisbehaviour, SendsAnOverlongLineOrGarbage) {
    FakePeer longLine(FakePeer::Behaviour::OverlongLine);
    Client a(longLine.port());
    a.read(FakePeer::kGreeting.size());
    a.send(kLogin);
    EXPECT_EQ(std::string(200, 'A'), a.read(200));
    EXPECT_TRUE(a.silentFor(100));

    FakePeer garbage(FakePeer::Behaviour::AnswerGarbage);
    Client b(garbage.port());
    b.read(FakePeer::kGreeting.size());
    b.send(kLogin);
    EXPECT_EQ(FakePeer::kGarbageAnswer, b.read(FakePeer::kGarbageAnswer.size()));
    EXPECT_EQ(21u, FakePeer::kGarbageAnswer.size());
    EXPECT_EQ("\r\n", FakePeer::kGarbageAnswer.substr(19));
}

TEST(FakePeerMisbehaviour, NeverAnswerHoldsTheConnectionUntilDestroyed) {
    std::unique_ptr<Client> leftOpen;
    {
        FakePeer peer(FakePeer::Behaviour::NeverAnswer);
        leftOpen = std::make_unique<Client>(peer.port());
        leftOpen->read(FakePeer::kGreeting.size());
        leftOpen->send(kLogin);
        EXPECT_TRUE(leftOpen->silentFor(300));
    }  // must return although the client never closes
    bool closed = false;
    EXPECT_EQ("", leftOpen->read(10, &closed));
    EXPECT_TRUE(closed);
}

TEST(FakePeerMisbehaviour, NoGreetingWhenTheGreetingIsEmpty) {
    FakePeer::Script script;
    script.greeting.clear();
    script.behaviour = FakePeer::Behaviour::NeverAnswer;
    FakePeer peer(script);
    Client client(peer.port());
    EXPECT_TRUE(client.silentFor(200));
}

TEST(FakePeerTimeouts, ASilentClientIsDroppedAfterTheReadTimeout) {
    FakePeer::Script script;
    script.readTimeout = std::chrono::milliseconds(100);
    FakePeer peer(script);
    Client client(peer.port());
    bool closed = false;
    EXPECT_EQ(FakePeer::kGreeting, client.read(1000, &closed));
    EXPECT_TRUE(closed);
    EXPECT_EQ("", peer.received());
}

TEST(RefusingPortTest, RefusesConnections) {
    const testsupport::RefusingPort port;
    ASSERT_NE(0, port.port());
    const Client client(port.port());
    EXPECT_EQ(ECONNREFUSED, client.connectError);
}

}  // namespace
