#include <atomic>
#include <thread>

#include "PelbrinSrv/HttpServer.h"
#include "tests/server/ServerProcess.h"

// What a SIGTERM does to requests in flight: a request being carried out is answered, however long it takes;
// one not yet carried out when the connection time-out has passed is refused before it does anything.
namespace servertest {
namespace {

const std::string CHARGE = request("CHARGE_EXTEN", R"({"exten_array":["1"],"value":"1"})");
const std::string STOPPED = "INFO  PelbrinSrv  - Server stopped\n";

double totalCharge(const testsupport::TempDatabase& db) {
    return std::stod(*db.queryOne("SELECT total_charge FROM exten WHERE id = 1"));
}

// Sends the text's last bytes one at a time until the moment given, so the connection never idles into its
// time-out, then the rest; the reply, empty when the server closed the connection unanswered.
std::string sendSlowly(std::uint16_t port, const std::string& text,
                       std::chrono::steady_clock::time_point done) {
    Socket client;
    if (!connectToServer(client, port)) return "not connected";
    std::size_t sent = text.size() - 100;
    ::send(client.fd, text.data(), sent, MSG_NOSIGNAL);
    for (; sent + 1 < text.size() && std::chrono::steady_clock::now() < done; ++sent) {
        std::this_thread::sleep_for(100ms);
        ::send(client.fd, text.data() + sent, 1, MSG_NOSIGNAL);
    }
    ::send(client.fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    std::string reply;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(client.fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, n);
    return reply;
}

// Another connection holds the write lock longer than the connection time-out: the charge waiting on it when
// the stop comes commits after the time-out, and its client gets the answer. A charge still being sent then
// is refused unanswered when its body is in, and the stop still waits for the first.
TEST(GracefulStop, AChargeWaitingOnTheWriteLockPastTheTimeOutIsAnswered) {
    testsupport::TempDatabase db;
    const auto server = startServer(db.path(), {"-u", "-k", "-l", "1", "-t", "2"});
    const testsupport::Connection other(db.path());
    other.exec("BEGIN IMMEDIATE");

    std::string answered;
    std::thread waiting([&] { answered = server->call(CHARGE).outcome; });
    ASSERT_TRUE(waitForRecord(*server, R"(DEBUG Worker  - new request [1]:{"request":"CHARGE_EXTEN")"))
        << server->err();
    // Its body ends after the stop has given up on begun requests (at most main's 1 s polling plus the 2 s
    // time-out after the signal) and before the lock goes.
    std::string late = "none";
    std::thread slow([&] {
        late = sendSlowly(server->port, post(FORM, "request=" + urlEncode(CHARGE)),
                          std::chrono::steady_clock::now() + 4500ms);
    });
    server->signal(SIGTERM);
    ASSERT_TRUE(waitForRecord(*server, "INFO  PelbrinSrv  - Got signal 15: Terminated\n")) << server->err();
    std::this_thread::sleep_for(5500ms);
    other.exec("ROLLBACK");
    waiting.join();
    slow.join();

    EXPECT_EQ("0 SUCCESS", answered);
    EXPECT_EQ("", late);
    EXPECT_EQ(0, server->exitStatus());
    EXPECT_NE(std::string::npos, sourceless(server->err()).find(STOPPED));
    EXPECT_EQ(13.5, totalCharge(db));
}

// A GET is carried out on its first call: a stop amid many, more clients than connections, waits for them.
TEST(GracefulStop, ConcurrentChargesSentAsGetsBeforeAStopAreAllAnswered) {
    testsupport::TempDatabase db;
    const auto server = startServer(db.path(), {"-u", "-k", "-l", "2", "-c", "4"});
    const std::string target = "/Pelbrin?request=" + urlEncode(CHARGE);
    const int answered = answeredAmidAStop(
        *server, [&] { return Reply(sendHttp(server->port, get(target)).body).outcome; });
    EXPECT_NE(std::string::npos, sourceless(server->err()).find(STOPPED));
    // Every charge that was carried out was answered.
    EXPECT_EQ(12.5 + answered, totalCharge(db));
}

// A POST without a form body is closed unanswered on its first call; it ends there, once, so a later stop
// finds nothing in flight and does not sit out the 60 s time-out (the process must end within PATIENCE).
TEST(GracefulStop, APostClosedUnansweredLeavesNothingForTheStopToWaitFor) {
    testsupport::TempDatabase db;
    const auto server = startServer(db.path(), {"-u", "-k", "-l", "2", "-t", "60"});
    for (int i = 0; i < 3; ++i) EXPECT_EQ("", sendHttp(server->port, post("application/json", CHARGE)).raw);
    EXPECT_EQ("0 SUCCESS", server->call(CHARGE).outcome);
    server->signal(SIGTERM);
    EXPECT_EQ(0, server->exitStatus());
    const std::string refused = "ERROR HttpServer  - error creating post processor\n";
    EXPECT_EQ("INFO  PelbrinSrv  - server started. Port: " + std::to_string(server->port) + "   ssl: OFF\n" +
                  refused + refused + refused + "INFO  PelbrinSrv  - Got signal 15: Terminated\n" + STOPPED,
              sourceless(server->err()));
    EXPECT_EQ(13.5, totalCharge(db));
}

// A client reading a large answer slowly, though never idle long enough to time out, is cut off once the
// stop has waited for the work and the connection time-out has passed again: it cannot hold the stop for as
// long as it likes.
TEST(GracefulStop, AClientReadingALargeAnswerSlowlyDoesNotHoldTheStop) {
    testsupport::TempDatabase db;
    // Six thousand calls with a destination of 10 kB each: an answer of about 50 MB.
    db.exec(
        "WITH RECURSIVE n(i) AS (SELECT 1001 UNION ALL SELECT i + 1 FROM n WHERE i < 6000) "
        "INSERT INTO cdr (AcctId, src, dst, start) SELECT i, '101', printf('%010000d', i), "
        "'2016-01-01 00:00:00' FROM n");
    // A reader this slow is taken for idle at a time-out of 2 s: the library's sends come in bursts.
    const auto server = startServer(db.path(), {"-u", "-k", "-l", "2", "-t", "5"});
    const Socket client;
    ASSERT_TRUE(connectToServer(client, server->port));
    const std::string listing =
        get("/Pelbrin?request=" + urlEncode(request("GET_CALL_LOGS", R"({"from_date":"2016-01-01 00:00"})")));
    ::send(client.fd, listing.data(), listing.size(), MSG_NOSIGNAL);
    std::atomic<std::size_t> received{0};
    std::atomic<bool> ended{false};
    // 64 kB every 100 ms: the whole answer would take more than a minute.
    std::thread reader([&] {
        char buffer[65536];
        for (ssize_t n; !ended && (n = ::recv(client.fd, buffer, sizeof buffer, 0)) > 0;) {
            received += static_cast<std::size_t>(n);
            std::this_thread::sleep_for(100ms);
        }
    });
    for (auto end = std::chrono::steady_clock::now() + PATIENCE;
         received == 0 && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(10ms);
    server->signal(SIGTERM);
    EXPECT_EQ(0, server->exitStatus());  // -1 when it still runs after PATIENCE; at most 1 + 5 + 5 s here
    ended = true;
    reader.join();
    EXPECT_GT(received, 0u);
    EXPECT_LT(received, 50000000u);
    EXPECT_NE(std::string::npos, sourceless(server->err()).find(STOPPED));
}

// Answers every path with one text. It has nothing of its own that a request uses, so it may leave the stop
// to the base's destructor.
class FixedTextServer : public HttpServer {
public:
    FixedTextServer() {
        connectionLimit = 4;
        connectionTimeout = 1;
    }
    bool startOnFreePort() {
        for (int attempt = 0; attempt < 10; ++attempt) {
            port = Socket().port;
            if (start()) return true;
        }
        return false;
    }
    std::uint16_t listeningPort() const { return port; }
    std::string processRequest(const std::string&) const override { return "fixed"; }
    bool canHandleUrlPath(const std::string&) const override { return true; }
};

// The library's threads point at the server: one that goes away unstopped takes its daemon with it.
TEST(GracefulStop, AServerGoingAwayUnstoppedStopsItsDaemon) {
    std::uint16_t port = 0;
    {
        FixedTextServer server;
        ASSERT_TRUE(server.startOnFreePort());
        port = server.listeningPort();
        EXPECT_EQ("fixed", sendHttp(port, get("/")).body);
    }
    const Socket client;
    EXPECT_FALSE(connectToServer(client, port));
}

}  // namespace
}  // namespace servertest
