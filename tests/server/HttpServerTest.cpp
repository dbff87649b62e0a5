#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <log4cplus/logger.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "PelbrinSrv/HttpServer.h"
#include "tests/server/HttpTestClient.h"
#include "tests/server/LogCapture.h"

namespace {

using servertest::HttpReply;
using servertest::LogCapture;
using servertest::postRequest;
using servertest::sendHttp;
using servertest::urlEncode;

// Serves "/Pelbrin" and answers every request text in brackets, so an empty text shows as "[]".
class EchoServer : public HttpServer {
public:
    explicit EchoServer(std::uint16_t listeningPort) {
        port = listeningPort;
        connectionLimit = 7;
        connectionTimeout = 30;
    }
    ~EchoServer() override { stop(); }

    std::string processRequest(const std::string& body) const override { return "[" + body + "]"; }
    bool canHandleUrlPath(const std::string& path) const override { return path == "/Pelbrin"; }

    bool running() const { return daemon != nullptr; }
};

const std::string JSON_REQUEST = R"({"request":"ECHO","arg":{"value":"a b&c=d%"},"auth":null})";

std::string get(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

void expectPlainTextHeaders(const HttpReply& reply) {
    EXPECT_EQ(std::vector<std::string>{"text/plain;charset=utf-8"}, reply.header("Content-Type"))
        << reply.raw;
    EXPECT_EQ(std::vector<std::string>{"close"}, reply.header("Connection")) << reply.raw;
}

class HttpServerTest : public testing::Test {
protected:
    void SetUp() override {
        log4cplus::Logger::getRoot().setLogLevel(log4cplus::OFF_LOG_LEVEL);
        server = servertest::startOnFreePort<EchoServer>(
            [](std::uint16_t p) { return std::make_unique<EchoServer>(p); }, port);
        ASSERT_NE(nullptr, server) << "no free port to listen on";
    }

    std::uint16_t port = 0;
    std::unique_ptr<EchoServer> server;
};

TEST(PathNormalisation, SlashRunsCollapseAndOneTrailingSlashGoes) {
    EXPECT_EQ("/Pelbrin", HttpServer::normalizePath("//Pelbrin//"));
    EXPECT_EQ("/Pelbrin", HttpServer::normalizePath("/Pelbrin/"));
    EXPECT_EQ("/Pelbrin", HttpServer::normalizePath("/Pelbrin"));
    EXPECT_EQ("/a/b", HttpServer::normalizePath("///a////b///"));
    EXPECT_EQ("/", HttpServer::normalizePath("//"));
    EXPECT_EQ("/", HttpServer::normalizePath("/"));
    EXPECT_EQ("/a", HttpServer::normalizePath("/a/"));
    EXPECT_EQ("", HttpServer::normalizePath(""));
    // Only paths longer than two characters lose their trailing slash.
    EXPECT_EQ("a/", HttpServer::normalizePath("a/"));
    EXPECT_EQ("ab", HttpServer::normalizePath("ab/"));
}

TEST_F(HttpServerTest, GetTakesTheDecodedQueryArgument) {
    const HttpReply reply = sendHttp(port, get("/Pelbrin?request=" + urlEncode(JSON_REQUEST)));
    EXPECT_EQ(200, reply.status) << reply.raw;
    EXPECT_EQ("[" + JSON_REQUEST + "]", reply.body);
    expectPlainTextHeaders(reply);
}

TEST_F(HttpServerTest, GetWithoutTheArgumentPassesAnEmptyText) {
    EXPECT_EQ("[]", sendHttp(port, get("/Pelbrin")).body);
    EXPECT_EQ("[]", sendHttp(port, get("/Pelbrin?other=1")).body);
    EXPECT_EQ("[]", sendHttp(port, get("/Pelbrin?request=")).body);
}

TEST_F(HttpServerTest, FormPostsAreAnsweredLikeTheGet) {
    const HttpReply byGet = sendHttp(port, get("/Pelbrin?request=" + urlEncode(JSON_REQUEST)));
    const HttpReply byForm = sendHttp(
        port, postRequest("/Pelbrin", "application/x-www-form-urlencoded",
                          "first=1&request=" + urlEncode(JSON_REQUEST) + "&last=" + urlEncode("x&y")));
    EXPECT_EQ(200, byForm.status) << byForm.raw;
    EXPECT_EQ(byGet.body, byForm.body);
    expectPlainTextHeaders(byForm);

    const std::string boundary = "XyZzY0123";
    const std::string multipart =
        "--" + boundary + "\r\nContent-Disposition: form-data; name=\"comment\"\r\n\r\nignored\r\n--" +
        boundary +
        "\r\nContent-Disposition: form-data; name=\"request\"; filename=\"r.json\"\r\n"
        "Content-Type: application/json\r\n\r\n" +
        JSON_REQUEST + "\r\n--" + boundary + "--\r\n";
    const HttpReply byMultipart =
        sendHttp(port, postRequest("/Pelbrin", "multipart/form-data; boundary=" + boundary, multipart));
    EXPECT_EQ(200, byMultipart.status) << byMultipart.raw;
    EXPECT_EQ(byGet.body, byMultipart.body);
    expectPlainTextHeaders(byMultipart);
}

TEST_F(HttpServerTest, EmptyFieldsBeforeTheRequestDoNotHideIt) {
    for (const std::string body : {"a=&request=x", "a&request=x", "a=&b=&request=x&c="}) {
        SCOPED_TRACE(body);
        EXPECT_EQ("[x]",
                  sendHttp(port, postRequest("/Pelbrin", "application/x-www-form-urlencoded", body)).body);
    }
}

TEST_F(HttpServerTest, PostWithoutTheFieldPassesAnEmptyText) {
    EXPECT_EQ("[]", sendHttp(port, postRequest("/Pelbrin", "application/x-www-form-urlencoded", "")).body);
    EXPECT_EQ(
        "[]",
        sendHttp(port, postRequest("/Pelbrin", "application/x-www-form-urlencoded", "requests=x")).body);
    EXPECT_EQ(
        "[]",
        sendHttp(port, postRequest("/Pelbrin", "application/x-www-form-urlencoded", "request=&b=1")).body);
}

TEST_F(HttpServerTest, AValueSplitOverManyPiecesIsJoinedInOrder) {
    std::string value;
    for (int i = 0; value.size() < 6000; ++i) value += std::to_string(i) + " & ";
    const std::string request = postRequest("/Pelbrin", "application/x-www-form-urlencoded",
                                            "request=" + urlEncode(value) + "&tail=1");
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < request.size(); at += 700) pieces.push_back(request.substr(at, 700));
    ASSERT_GT(pieces.size(), 10u);

    const HttpReply reply = sendHttp(port, pieces, std::chrono::milliseconds(20));
    EXPECT_EQ(200, reply.status) << reply.raw.substr(0, 200);
    EXPECT_EQ("[" + value + "]", reply.body);
}

TEST_F(HttpServerTest, PathsAreNormalisedBeforeTheServerIsAsked) {
    const HttpReply served = sendHttp(port, get("//Pelbrin/?request=x"));
    EXPECT_EQ(200, served.status) << served.raw;
    EXPECT_EQ("[x]", served.body);

    for (const std::string path : {"/pelbrin", "/Pelbrin/x", "/", "/Pelbrin//x"}) {
        SCOPED_TRACE(path);
        const HttpReply reply = sendHttp(port, get(path + "?request=x"));
        EXPECT_EQ(404, reply.status) << reply.raw;
        EXPECT_EQ("URL could not be found", reply.body);
        expectPlainTextHeaders(reply);
    }
    const HttpReply posted =
        sendHttp(port, postRequest("/other", "application/x-www-form-urlencoded", "request=x"));
    EXPECT_EQ(404, posted.status) << posted.raw;
    EXPECT_EQ("URL could not be found", posted.body);
}

TEST_F(HttpServerTest, MethodsOtherThanGetAndPostAreNotAllowed) {
    for (const std::string method : {"PUT", "DELETE", "OPTIONS"}) {
        SCOPED_TRACE(method);
        const HttpReply reply =
            sendHttp(port, method +
                               " /Pelbrin?request=x HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 9\r\n"
                               "Content-Type: application/x-www-form-urlencoded\r\n\r\nrequest=y");
        EXPECT_EQ(405, reply.status) << reply.raw;
        EXPECT_EQ("Method not allowed", reply.body);
        expectPlainTextHeaders(reply);
    }
    const HttpReply head = sendHttp(port, "HEAD /Pelbrin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(405, head.status) << head.raw;
    EXPECT_EQ("", head.body);
    expectPlainTextHeaders(head);
    // The method is matched exactly.
    EXPECT_EQ(405, sendHttp(port, "get /Pelbrin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").status);
}

TEST_F(HttpServerTest, BodiesThatAreNotFormsCloseTheConnectionUnanswered) {
    const LogCapture log("HttpServer", log4cplus::ERROR_LOG_LEVEL);
    EXPECT_EQ("", sendHttp(port, postRequest("/Pelbrin", "application/json", JSON_REQUEST)).raw);
    EXPECT_EQ("", sendHttp(port,
                           "POST /Pelbrin HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 9\r\n\r\n"
                           "request=x")
                      .raw);
    const std::vector<servertest::LogEvent> expected{
        {log4cplus::ERROR_LOG_LEVEL, "error creating post processor"},
        {log4cplus::ERROR_LOG_LEVEL, "error creating post processor"}};
    EXPECT_EQ(expected, log.events());
    // The server goes on serving.
    EXPECT_EQ("[x]", sendHttp(port, get("/Pelbrin?request=x")).body);
}

TEST_F(HttpServerTest, RequestTextsUpToTheLimitAreTakenLongerOnesRefused) {
    const LogCapture log("HttpServer", log4cplus::ERROR_LOG_LEVEL);
    const std::string longest(HttpServer::kMaxRequestSize, 'a');
    ASSERT_EQ(8u * 1024 * 1024, longest.size());

    const HttpReply taken =
        sendHttp(port, postRequest("/Pelbrin", "application/x-www-form-urlencoded", "request=" + longest));
    EXPECT_EQ(200, taken.status) << taken.raw.substr(0, 200);
    ASSERT_EQ(longest.size() + 2, taken.body.size());
    EXPECT_TRUE(taken.body == "[" + longest + "]");
    EXPECT_TRUE(log.events().empty());

    const HttpReply refused = sendHttp(
        port, postRequest("/Pelbrin", "application/x-www-form-urlencoded", "request=" + longest + "b&x=1"));
    EXPECT_EQ("", refused.raw.substr(0, 200));
    const std::vector<servertest::LogEvent> expected{{log4cplus::ERROR_LOG_LEVEL, "request too large"}};
    EXPECT_EQ(expected, log.events());
    EXPECT_EQ("[x]", sendHttp(port, get("/Pelbrin?request=x")).body);
}

TEST(HttpServerLifecycle, StartFailsOnAPortInUseAndStopIsHarmless) {
    log4cplus::Logger::getRoot().setLogLevel(log4cplus::OFF_LOG_LEVEL);
    const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(holder, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(0, ::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address));
    ASSERT_EQ(0, ::listen(holder, 1));
    socklen_t length = sizeof address;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);

    EchoServer server(ntohs(address.sin_port));
    EXPECT_FALSE(server.start());
    EXPECT_FALSE(server.running());
    server.stop();
    server.stop();
    ::close(holder);
}

TEST(HttpServerLifecycle, StopEndsServingAndCanBeRepeated) {
    log4cplus::Logger::getRoot().setLogLevel(log4cplus::OFF_LOG_LEVEL);
    std::uint16_t port = 0;
    auto server = servertest::startOnFreePort<EchoServer>(
        [](std::uint16_t p) { return std::make_unique<EchoServer>(p); }, port);
    ASSERT_NE(nullptr, server);
    EXPECT_TRUE(server->running());
    EXPECT_EQ("[x]", sendHttp(port, get("/Pelbrin?request=x")).body);
    server->stop();
    EXPECT_FALSE(server->running());
    EXPECT_THROW(sendHttp(port, get("/Pelbrin?request=x")), std::runtime_error);
    server->stop();
}

}  // namespace
