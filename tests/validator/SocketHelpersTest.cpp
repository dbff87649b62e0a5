#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "tests/support/FakePeer.h"
#include "validator/AsteriskAdminValidator.h"

namespace {

using Validator = korvu::AsteriskAdminValidator;

// Two connected local stream sockets; reads on `near` give up after two seconds instead of hanging.
class SocketPair : public testing::Test {
protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds));
        near = fds[0];
        far = fds[1];
        timeval limit{2, 0};
        ASSERT_EQ(0, ::setsockopt(near, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit));
    }
    void TearDown() override {
        Validator::closeSocket(near);
        Validator::closeSocket(far);
    }

    void sendFar(const std::string& bytes) const {
        ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::send(far, bytes.data(), bytes.size(), 0));
    }
    // Everything already waiting on `far`.
    std::string drainFar() const {
        std::string text;
        char buffer[512];
        ssize_t n;
        while ((n = ::recv(far, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }
    std::string readLineError() const {
        std::string line;
        try {
            Validator::readLine(near, line);
        } catch (const Validator::SocketException& e) {
            return e.what();
        }
        return "no error, read: " + line;
    }

    int near = -1;
    int far = -1;
};

TEST_F(SocketPair, WriteLineAppendsCrLfOnlyWhenMissing) {
    Validator::writeLine(near, "Action: Ping");
    EXPECT_EQ("Action: Ping\r\n", drainFar());
    Validator::writeLine(near, "Action: Ping\r\n");
    EXPECT_EQ("Action: Ping\r\n", drainFar());
    Validator::writeLine(near, "");
    EXPECT_EQ("\r\n", drainFar());
    Validator::writeLine(near, "\r");
    EXPECT_EQ("\r\r\n", drainFar());
    Validator::writeLine(near, "x\n");
    EXPECT_EQ("x\n\r\n", drainFar());
    Validator::writeLine(near, "a\r\n\r\n");
    EXPECT_EQ("a\r\n\r\n", drainFar());
}

TEST_F(SocketPair, WriteLineSendsLargeTextsWhole) {
    const std::string big(300000, 'b');  // more than one socket buffer: needs several partial writes
    std::string got;
    std::thread reader([&] {
        char buffer[65536];
        while (got.size() < big.size() + 2) {
            const ssize_t n = ::recv(far, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
    });
    Validator::writeLine(near, big);
    reader.join();
    EXPECT_EQ(big + "\r\n", got);
}

TEST_F(SocketPair, ReadLineKeepsCrLfAndEndsAtEveryCrLf) {
    sendFar("Asterisk Call Manager/1.1\r\n\r\nResponse: Success\r\na\rb\nc\r\n");
    std::string line = "left over";
    Validator::readLine(near, line);
    EXPECT_EQ("Asterisk Call Manager/1.1\r\n", line);
    Validator::readLine(near, line);
    EXPECT_EQ("\r\n", line);
    Validator::readLine(near, line);
    EXPECT_EQ("Response: Success\r\n", line);
    Validator::readLine(near, line);
    EXPECT_EQ("a\rb\nc\r\n", line);
}

TEST_F(SocketPair, ReadLineHoldsAtMost128Bytes) {
    sendFar(std::string(126, 'x') + "\r\n");
    std::string line;
    Validator::readLine(near, line);
    EXPECT_EQ(std::string(126, 'x') + "\r\n", line);

    sendFar(std::string(127, 'y') + "\r\n");
    EXPECT_EQ("Read error", readLineError());
}

TEST_F(SocketPair, ReadLineGivesUpAt128BytesWithoutWaitingForMore) {
    sendFar(std::string(128, 'z'));  // nothing follows: a reader that waits would time out instead
    EXPECT_EQ("Read error", readLineError());
}

TEST_F(SocketPair, ReadLineFailsWhenThePeerCloses) {
    sendFar("Response: Succ");
    ::shutdown(far, SHUT_WR);
    EXPECT_EQ("Read error", readLineError());
    EXPECT_EQ("Read error", readLineError());
}

TEST_F(SocketPair, ReadLineReportsTheSystemErrorOfAFailedRead) {
    EXPECT_EQ("Resource temporarily unavailable", readLineError());  // the receive time limit ran out
    Validator::closeSocket(near);
    near = -1;
    std::string line;
    try {
        Validator::readLine(-1, line);
        FAIL() << "read from no socket";
    } catch (const Validator::SocketException& e) {
        EXPECT_STREQ("Bad file descriptor", e.what());
    }
}

TEST_F(SocketPair, WriteLineToAClosedPeerFailsWithoutSigpipe) {
    Validator::closeSocket(far);
    far = -1;
    try {
        Validator::writeLine(near, "Action: Login");
        FAIL() << "wrote to a closed peer";
    } catch (const Validator::SocketException& e) {
        EXPECT_STREQ("Broken pipe", e.what());
    }
}

TEST(SocketHelpers, CloseSocketClosesOnlyRealDescriptors) {
    Validator::closeSocket(-1);
    const int fd = Validator::createSocket();
    ASSERT_GE(fd, 0);
    EXPECT_NE(-1, ::fcntl(fd, F_GETFD));
    Validator::closeSocket(fd);
    errno = 0;
    EXPECT_EQ(-1, ::fcntl(fd, F_GETFD));
    EXPECT_EQ(EBADF, errno);
}

TEST(SocketHelpers, ConnectReportsTheSystemErrorText) {
    const testsupport::RefusingPort refusing;
    const int fd = Validator::createSocket();
    try {
        Validator::connect(fd, "127.0.0.1", refusing.port(), std::chrono::milliseconds(300));
        ADD_FAILURE() << "connected to a refusing port";
    } catch (const Validator::SocketException& e) {
        EXPECT_STREQ("Connection refused", e.what());
    }
    Validator::closeSocket(fd);
}

TEST(SocketHelpers, ConnectedSocketReadsAndWritesBlockingWithinTheTimeout) {
    testsupport::FakePeer peer;
    const int fd = Validator::createSocket();
    Validator::connect(fd, "127.0.0.1", peer.port(), std::chrono::milliseconds(300));
    EXPECT_EQ(0, ::fcntl(fd, F_GETFL) & O_NONBLOCK);
    timeval limit{};
    socklen_t length = sizeof limit;
    ASSERT_EQ(0, ::getsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, &length));
    EXPECT_EQ(0, limit.tv_sec);
    EXPECT_EQ(300000, limit.tv_usec);
    ASSERT_EQ(0, ::getsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, &length));
    EXPECT_EQ(0, limit.tv_sec);
    EXPECT_EQ(300000, limit.tv_usec);
    std::string line;
    Validator::readLine(fd, line);
    EXPECT_EQ("Asterisk Call Manager/1.1\r\n", line);
    Validator::closeSocket(fd);
}

TEST(SocketHelpers, SocketExceptionCarriesItsMessage) {
    const Validator::SocketException e("Read error");
    EXPECT_STREQ("Read error", e.what());
    const std::exception& base = e;
    EXPECT_STREQ("Read error", base.what());
}

}  // namespace
