#include <algorithm>
#include <atomic>

#include "tests/server/ServerProcess.h"

namespace servertest {
namespace {

// Tries again while the server turns the connection away at its limit; no answer after a long while.
Reply callPersistently(std::uint16_t port, const std::string& json) {
    for (int attempt = 0; attempt < 400; ++attempt, std::this_thread::sleep_for(5ms)) {
        Reply reply = call(port, json);
        if (!reply.outcome.empty()) return reply;
    }
    return Reply("");
}

TEST(ConcurrentCharging, SumsAreExactWithMoreClientsThanTheConnectionLimit) {
    testsupport::TempDatabase db;
    const auto server = startServer(db.path(), {"-u", "-c", "7", "-t", "1"});
    // Seven idle connections take every place until their 1 s time-out; the clients queue meanwhile.
    std::vector<std::thread> threads;
    for (int i = 0; i < 7; ++i)
        threads.emplace_back([&] { EXPECT_EQ("", sendHttp(server->port, {""}).raw); });
    for (int client = 0; client < 10; ++client) {
        threads.emplace_back([&, client] {
            for (int i = 0; i < 12; ++i) {  // each amount four times; they and their sums are exact in binary
                const std::string value = std::vector<std::string>{"0.25", "0.5", "1"}[(client + i) % 3];
                const std::string charge = R"({"exten_array":["1","2"],"value":")" + value + "\"}";
                // The busy time-out is 30 s: no charge may fail.
                EXPECT_EQ("0 SUCCESS",
                          callPersistently(server->port, request("CHARGE_EXTEN", charge)).outcome);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ("82.5 72.5|100.0 90.0|0.0 0.0",
              *db.queryOne("SELECT group_concat(total_charge || ' ' || balance, '|') FROM exten"));
}

// One server for both: rates and call records are apart.
TEST(ConcurrentWrites, CollidingAddsAtTheSameMomentCommitOnceAndReadersSeeWholeDeletes) {
    testsupport::TempDatabase db;
    // 600 calls of January 2016, AcctId 1001 to 1600, beside the seven of 2015.
    db.exec(
        "WITH RECURSIVE n(i) AS (SELECT 1001 UNION ALL SELECT i + 1 FROM n WHERE i < 1600) "
        "INSERT INTO cdr (AcctId, src, dst, start, duration, cost) SELECT i, '101', '0048221234567', "
        "printf('2016-01-%02d %02d:%02d:00', 1 + i % 28, i % 24, i % 60), 60, 0.25 FROM n");
    const auto server = startServer(db.path(), {"-u"});
    for (int round = 0; round < 6; ++round) {
        const std::string prefix = "07" + std::to_string(round);
        const std::string add = request(
            "ADD_RATE",
            R"({"prefix":")" + prefix +
                R"(","number_length":null,"rate":"0.5","bill_unit":"60","from_hour":"08:00",)"
                R"("to_hour":"18:00","init_cost":"0","init_time":"0","extensions":["101"],"active":"1"})");
        std::atomic<int> ready{0};
        std::vector<std::string> outcomes(2);
        std::vector<std::thread> pair;
        for (int side = 0; side < 2; ++side) {
            pair.emplace_back([&, side] {
                for (++ready; ready < 2;) std::this_thread::yield();  // both send at once
                outcomes[side] = callPersistently(server->port, add).outcome;
            });
        }
        for (auto& t : pair) t.join();
        std::sort(outcomes.begin(), outcomes.end());
        EXPECT_EQ(std::vector<std::string>({"0 SUCCESS", "11 Corrupted rates table - 1 are colliding"}),
                  outcomes);
        EXPECT_EQ("1", *db.queryOne("SELECT count(*) FROM rate WHERE prefix = '" + prefix + "'"));
    }
    EXPECT_EQ("8", *db.queryOne("SELECT count(*) FROM rate"));
    std::atomic<bool> deleting{true};
    std::vector<std::thread> readers;
    for (int r = 0; r < 4; ++r) {
        readers.emplace_back([&] {
            while (deleting) {
                const Reply reply = callPersistently(
                    server->port, request("GET_CALL_LOGS", R"({"from_date":"2016-01-01 00:00"})"));
                ASSERT_EQ("0 SUCCESS", reply.outcome);
                // A delete is one statement: a reader sees each batch of 50 whole or not at all.
                EXPECT_EQ(0, reply.rows % 50) << reply.rows;
            }
        });
    }
    for (int batch = 0; batch < 12; ++batch) {
        std::string ids = "\"" + std::to_string(1001 + 50 * batch) + "\"";
        for (int id = 1002 + 50 * batch; id < 1051 + 50 * batch; ++id)
            ids += ",\"" + std::to_string(id) + "\"";
        const std::string remove = request("DELETE_CALL_LOGS", R"({"ids":[)" + ids + "]}");
        EXPECT_EQ("0 SUCCESS", callPersistently(server->port, remove).outcome);
    }
    deleting = false;
    for (auto& t : readers) t.join();
    EXPECT_EQ("0 7", *db.queryOne("SELECT sum(AcctId > 1000) || ' ' || count(*) FROM cdr"));
}

}  // namespace
}  // namespace servertest
