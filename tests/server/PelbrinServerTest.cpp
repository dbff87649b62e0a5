#include <gtest/gtest.h>
#include <log4cplus/logger.h>

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "PelbrinSrv/PelbrinServer.h"
#include "PelbrinSrv/ProgArgs.h"
#include "tests/server/HttpTestClient.h"
#include "tests/support/FakePeer.h"
#include "tests/support/TempDatabase.h"

namespace {

using servertest::HttpReply;
using servertest::postRequest;
using servertest::sendHttp;
using servertest::urlEncode;

const std::string BANNER = "PelbrinSrv, ver 2.3.1 ('Dec  2 2015 07:26:53')";
const std::string ADMIN_LOGIN =
    R"({"request":"LOGIN","arg":null,"auth":{"name":"trivx","pass":"trivx","admin":true}})";
const std::string LOGIN_OK =
    R"({"response":"LOGIN","error_code":0,"error_description":"SUCCESS","arg":null})";
const std::string LOGIN_REFUSED =
    R"({"response":"LOGIN","error_code":6,"error_description":"Invalid user or password","arg":null})";

std::string get(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

std::string getRequest(const std::string& json) { return get("/Pelbrin?request=" + urlEncode(json)); }

// Stops the daemon before the server goes: the destructor leaves that to the owner.
struct ServerDelete {
    void operator()(PelbrinServer* server) const {
        server->stop();
        delete server;
    }
};
using ServerPtr = std::unique_ptr<PelbrinServer, ServerDelete>;

class PelbrinServerTest : public testing::Test {
protected:
    void SetUp() override { log4cplus::Logger::getRoot().setLogLevel(log4cplus::OFF_LOG_LEVEL); }

    pa::ProgArgs settings() const {
        pa::ProgArgs args = pa::defaultProgArgs();
        args.databasePath = database.path();
        args.useDummyAdminValidator = 1;
        return args;
    }

    ServerPtr start(pa::ProgArgs args) {
        for (int attempt = 0; attempt < 20; ++attempt) {
            port = servertest::freePort();
            args.listeningPort = port;
            ServerPtr server(new PelbrinServer(args));
            if (server->start()) return server;
        }
        ADD_FAILURE() << "no free port to listen on";
        return nullptr;
    }

    testsupport::TempDatabase database;
    std::uint16_t port = 0;
};

TEST_F(PelbrinServerTest, AnEmptyRequestIsAnsweredWithTheBanner) {
    const ServerPtr server = start(settings());
    ASSERT_TRUE(server);
    EXPECT_EQ(BANNER, server->processRequest(""));

    const HttpReply reply = sendHttp(port, get("/Pelbrin"));
    EXPECT_EQ(200, reply.status) << reply.raw;
    EXPECT_EQ(BANNER, reply.body);
    EXPECT_EQ(std::vector<std::string>{"text/plain;charset=utf-8"}, reply.header("Content-Type"));
    EXPECT_EQ(std::vector<std::string>{"close"}, reply.header("Connection"));
    EXPECT_EQ(BANNER,
              sendHttp(port, postRequest("/Pelbrin", "application/x-www-form-urlencoded", "request=")).body);
}

TEST_F(PelbrinServerTest, RequestsReachTheWorkerByGetAndByForm) {
    const ServerPtr server = start(settings());
    ASSERT_TRUE(server);
    const std::string echo =
        R"({"request":"ECHO","arg":{"value":"a \"b\" & c"},"auth":{"name":"x","pass":"y","admin":false}})";
    const std::string echoed =
        R"({"response":"ECHO","error_code":0,"error_description":"SUCCESS","arg":{"value":"a \"b\" & c"}})";

    const HttpReply byGet = sendHttp(port, getRequest(echo));
    EXPECT_EQ(200, byGet.status) << byGet.raw;
    EXPECT_EQ(echoed, byGet.body);
    const HttpReply byForm = sendHttp(
        port, postRequest("/Pelbrin", "application/x-www-form-urlencoded", "x=1&request=" + urlEncode(echo)));
    EXPECT_EQ(200, byForm.status) << byForm.raw;
    EXPECT_EQ(echoed, byForm.body);

    EXPECT_EQ(
        R"({"response":"GET_VERSION","error_code":0,"error_description":"SUCCESS","arg":{"version":"2.3.1","built_date":"'Dec  2 2015 07:26:53'"}})",
        sendHttp(
            port,
            getRequest(R"({"request":"GET_VERSION","arg":null,"auth":{"name":"","pass":"","admin":false}})"))
            .body);
    // A failed request is still a 200 with the Worker's error text.
    const HttpReply broken = sendHttp(port, getRequest("{"));
    EXPECT_EQ(200, broken.status);
    EXPECT_NE(std::string::npos, broken.body.find(R"("response":"UNKNOWN","error_code":2)")) << broken.body;
}

TEST_F(PelbrinServerTest, TheDatabaseAndTheBuiltInAdministratorComeFromTheSettings) {
    const ServerPtr server = start(settings());
    ASSERT_TRUE(server);
    EXPECT_EQ(LOGIN_OK, sendHttp(port, getRequest(ADMIN_LOGIN)).body);
    EXPECT_EQ(
        LOGIN_REFUSED,
        sendHttp(
            port,
            getRequest(R"({"request":"LOGIN","arg":null,"auth":{"name":"trivx","pass":"x","admin":true}})"))
            .body);
    EXPECT_EQ(
        R"({"response":"GET_SETTINGS","error_code":0,"error_description":"SUCCESS","arg":{"headers":["settings_key","settings_value"],"rows":[["CURRENCY","EUR"],["LANGUAGE","en"]]}})",
        sendHttp(
            port,
            getRequest(
                R"({"request":"GET_SETTINGS","arg":null,"auth":{"name":"101","pass":"secret101","admin":false}})"))
            .body);
}

TEST_F(PelbrinServerTest, WithoutTheDummyFlagTheManagerInterfaceJudgesTheAdministrator) {
    testsupport::FakePeer manager;
    pa::ProgArgs args = settings();
    args.useDummyAdminValidator = 0;
    args.asteriskIpPort = pa::IpPort{"127.0.0.1", manager.port()};
    const ServerPtr server = start(args);
    ASSERT_TRUE(server);

    EXPECT_EQ(LOGIN_OK, sendHttp(port, getRequest(ADMIN_LOGIN)).body);
    ASSERT_EQ(1u, manager.connectionCount());
    EXPECT_NE(std::string::npos, manager.received(0).find("Username: trivx\r\nSecret: trivx\r\n"))
        << manager.received(0);
}

TEST_F(PelbrinServerTest, OnlyTheOnePathIsServed) {
    const ServerPtr server = start(settings());
    ASSERT_TRUE(server);
    EXPECT_TRUE(server->canHandleUrlPath("/Pelbrin"));
    EXPECT_FALSE(server->canHandleUrlPath("/Pelbrin/"));
    EXPECT_FALSE(server->canHandleUrlPath("/pelbrin"));
    EXPECT_FALSE(server->canHandleUrlPath("Pelbrin"));

    EXPECT_EQ(BANNER, sendHttp(port, get("//Pelbrin/")).body);
    for (const std::string path : {"/pelbrin", "/Pelbrin/x", "/PelbrinSrv", "/"}) {
        SCOPED_TRACE(path);
        const HttpReply reply = sendHttp(port, get(path));
        EXPECT_EQ(404, reply.status) << reply.raw;
        EXPECT_EQ("URL could not be found", reply.body);
    }
}

TEST_F(PelbrinServerTest, ConnectionsAreServedAtTheSameTime) {
    const ServerPtr server = start(settings());
    ASSERT_TRUE(server);
    std::vector<std::future<std::string>> replies;
    for (int i = 0; i < 5; ++i) {
        replies.push_back(
            std::async(std::launch::async, [this] { return sendHttp(port, getRequest(ADMIN_LOGIN)).body; }));
    }
    for (auto& reply : replies) EXPECT_EQ(LOGIN_OK, reply.get());
}

}  // namespace
