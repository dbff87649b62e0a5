#include <sqlite3.h>
#include <sys/stat.h>

#include <atomic>
#include <cmath>
#include <cstdio>

#include "tests/server/ServerProcess.h"
#include "tests/support/FakePeer.h"

namespace servertest {
namespace {

const std::string SETTINGS = request("GET_SETTINGS", "null", USER101);
const std::string SET_USD = request("SET_CURRENCY", R"({"currency":"USD"})");
const std::string CURRENCY = "SELECT settings_value FROM settings WHERE settings_key = 'CURRENCY'";

std::string addRate(const std::string& prefix, const std::string& active) {
    const std::string rest =
        R"(","number_length":"11","rate":"0.5","bill_unit":"60","from_hour":"08:00",)"
        R"("to_hour":"18:00","init_cost":"0","init_time":"0","extensions":["101"],"active":")";
    return request("ADD_RATE", R"({"prefix":")" + prefix + rest + active + "\"}");
}

TEST(CrashSafety, SigkillMidStreamLeavesEveryWriteWholeOrAbsent) {
    testsupport::TempDatabase db;
    int charged = 0, sent = 0;
    for (int round = 0; round < 10; ++round) {
        const auto server = startServer(db.path(), {"-u"});
        std::atomic<int> chargedNow{0};
        std::thread writer([&] {
            for (int i = 0, k = 0;; k = ++i / 3) {
                const std::string json =  // all but the first active rate of a prefix collide
                    i % 3 == 0 ? request("CHARGE_EXTEN", R"({"exten_array":["1","2"],"value":"0.5"})")
                    : i % 3 == 1
                        ? addRate("06" + std::to_string(k % 4), "1")
                        : request("ACTIVATE_RATE", R"({"rate_id":")" + std::to_string(3 + k % 8) +
                                                       R"(","active":")" + std::to_string(k % 2) + "\"}");
                sent += i % 3 == 0;
                const std::string outcome = server->call(json).outcome;
                if (outcome.empty()) return;  // killed
                EXPECT_TRUE(outcome == "0 SUCCESS" || outcome.rfind("11 ", 0) == 0) << outcome;
                chargedNow += i % 3 == 0 && outcome == "0 SUCCESS";
            }
        });
        while (chargedNow < 10 && server->running()) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(round * 1ms);  // so the kills land in different requests
        EXPECT_TRUE(server->running());
        server->signal(SIGKILL);
        writer.join();
        charged += chargedNow;
    }
    // A fresh server rolls the journal back; a collision left among the active rates would refuse even an
    // inactive one.
    EXPECT_EQ("0 SUCCESS", startServer(db.path(), {"-u"})->call(addRate("099", "0")).outcome);
    EXPECT_EQ("ok", *db.queryOne("PRAGMA integrity_check"));
    // One transaction charges both extensions: every amount is in all four values or in none.
    const auto rows = db.query(
        "SELECT total_charge - 12.5, balance - 2.5 FROM exten WHERE id = 1 UNION ALL "
        "SELECT total_charge - 30, balance - 20 FROM exten WHERE id = 2");
    const double delta = std::stod(*rows[0][0]);
    for (const auto& row : rows) EXPECT_TRUE(std::stod(*row[0]) == delta && std::stod(*row[1]) == delta);
    EXPECT_EQ(0.0, std::fmod(delta, 0.5));
    EXPECT_LE(0.5 * charged, delta);
    EXPECT_GE(0.5 * sent, delta);
}

// The log server is absent in the last case, where logging goes everywhere at the lowest level.
TEST(PeerFaults, EachIsAnsweredCleanlyAndTheServerGoesOn) {
    using Peer = testsupport::FakePeer;
    testsupport::TempDatabase db;
    const testsupport::RefusingPort refusing;
    Peer hanging(Peer::Behaviour::NeverAnswer), closing(Peer::Behaviour::CloseAfterGreeting),
        garbage(Peer::Behaviour::AnswerGarbage);
    const auto at = [](std::uint16_t port) { return "127.0.0.1:" + std::to_string(port); };
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"-a", at(refusing.port())}, "1 Asterisk connection problem: Connection refused"},
        {{"-a", at(hanging.port())}, "1 Asterisk connection problem: Resource temporarily unavailable"},
        {{"-a", at(closing.port())}, "1 Asterisk connection problem: Read error"},
        {{"-a", at(garbage.port())}, "6 Invalid user or password"},
        {{"-u", "-k", "-l", "0", "-e" + at(Socket(SOCK_DGRAM).port)}, "0 SUCCESS"}};
    for (const auto& [options, outcome] : cases) {
        const auto server = startServer(db.path(), options);
        EXPECT_EQ(outcome, server->call(request("LOGIN", "null")).outcome);
        EXPECT_EQ("0 SUCCESS", server->call(SETTINGS).outcome);
        // Logging was on in the last case only.
        EXPECT_EQ(outcome == "0 SUCCESS", server->err().find("new request [2]") != std::string::npos);
    }
    EXPECT_EQ(1u, hanging.connectionCount());
    EXPECT_EQ(1u, garbage.connectionCount());
}

TEST(DatabaseFaults, EachIsReportedAndTheNextRequestServed) {
    testsupport::TempDatabase db;
    const std::string before = dump(db), away = db.path() + ".away";
    {
        const auto server = startServer(away, {"-u"});
        EXPECT_EQ("1 SQL Error  14: unable to open database file", server->call(SETTINGS).outcome);
        EXPECT_NE(0, ::access(away.c_str(), F_OK));  // not created
        ASSERT_EQ(0, std::rename(db.path().c_str(), away.c_str()));
        EXPECT_EQ("0 SUCCESS", server->call(SETTINGS).outcome);
        ASSERT_EQ(0, std::rename(away.c_str(), db.path().c_str()));
    }
    {
        ASSERT_EQ(0, ::chmod(db.path().c_str(), 0444));
        const auto server = startServer(db.path(), {"-u"}, true);
        EXPECT_EQ("1 SQL Error  8: attempt to write a readonly database", server->call(SET_USD).outcome);
        EXPECT_EQ("0 SUCCESS", server->call(SETTINGS).outcome);
        EXPECT_EQ(before, dump(db));
        ::chmod(db.path().c_str(), 0644);
    }
    const auto server = startServer(db.path(), {"-u"});
    sqlite3* other = nullptr;
    const int opened = sqlite3_open(db.path().c_str(), &other);
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> owner(other, sqlite3_close);
    ASSERT_EQ(SQLITE_OK, opened);
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr));
    EXPECT_EQ("0 SUCCESS", server->call(SETTINGS).outcome);  // readers pass the other's reserved lock
    // The lock outlasts the server's busy time-out of 30 s, so this answer takes that long.
    EXPECT_EQ("1 SQL Error  5: database is locked", server->call(SET_USD).outcome);
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr));
    EXPECT_EQ("EUR", *db.queryOne(CURRENCY));
    EXPECT_EQ("0 SUCCESS", server->call(SET_USD).outcome);
    EXPECT_EQ("USD", *db.queryOne(CURRENCY));
    db.exec("DROP TABLE help");
    EXPECT_EQ("1 SQL Error  1: no such table: help",
              server->call(request("GET_HELP", R"({"language":"en"})", USER101)).outcome);
    EXPECT_EQ("0 SUCCESS", server->call(SETTINGS).outcome);
}

}  // namespace
}  // namespace servertest
