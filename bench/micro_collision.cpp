// The rates-table collision check from 100 to 100,000 active records: the counting alone
// (countRateCollisions over records read once) and the whole check as the rate writes run it
// (Korvu::activateRate re-activating an active rate, Korvu::addRate adding one).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <list>
#include <map>
#include <string>

#include "bench/BenchDb.h"
#include "bench/BenchTool.h"
#include "bench/BenchUtil.h"
#include "common/Auth.h"
#include "korvu/korvu/Korvu.h"
#include "korvu/korvu/RateCollision.h"
#include "PelbrinSrv/ProcessSetup.h"
#include "validator/DummyAdminValidator.h"

namespace {

// Before the fixtures touch SQLite: the check runs under the server's memory settings.
const bool kServerSettings = (configureProcessMemory(), true);

class Fixture {
public:
    static const std::string& path(int records) {
        static Fixture fixture;
        auto it = fixture.paths.find(records);
        if (it == fixture.paths.end()) {
            const char* dir = std::getenv("TMPDIR");
            const std::string file = std::string(dir != nullptr ? dir : "/tmp") + "/pelbrin-micro-rates-" +
                                     std::to_string(::getpid()) + "-" + std::to_string(records) + ".db";
            ::unlink(file.c_str());
            const auto db = bench::openOrDie(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
            bench::createSchema(db.get());
            bench::execOrDie(db.get(), "BEGIN");
            bench::fillActiveRates(db.get(), records, 7);
            bench::execOrDie(db.get(), "COMMIT");
            it = fixture.paths.emplace(records, file).first;
        }
        return it->second;
    }
    ~Fixture() {
        for (const auto& entry : paths) ::unlink(entry.second.c_str());
    }

private:
    std::map<int, std::string> paths;
};

// The records as the check builds them: one per extension piece of every active rate.
std::list<korvu::RateRecord> readRecords(const std::string& path) {
    const auto db = bench::openOrDie(path, SQLITE_OPEN_READWRITE);
    const auto s = bench::prepareOrDie(
        db.get(),
        "Select rate.id, rate.prefix, rate.number_length, rate.from_hour, rate.to_hour, rate.extensions "
        "from rate where rate.active = 1 order by rate.id");
    std::list<korvu::RateRecord> records;
    auto text = [&s](int i) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), i));
        return std::string(t != nullptr ? t : "");
    };
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        for (auto& piece : korvu::splitExtensions(text(5))) {
            records.push_back(korvu::RateRecord{sqlite3_column_int(s.get(), 0), text(1),
                                                sqlite3_column_int(s.get(), 2), text(3), text(4),
                                                std::move(piece)});
        }
    }
    return records;
}

void BM_countRateCollisions(benchmark::State& state) {
    const auto records = readRecords(Fixture::path(static_cast<int>(state.range(0))));
    int collisions = 0;
    for (auto _ : state) {
        collisions = korvu::countRateCollisions(records);
        benchmark::DoNotOptimize(collisions);
    }
    state.counters["records"] = static_cast<double>(records.size());
    state.counters["collisions"] = collisions;
}
BENCHMARK(BM_countRateCollisions)->RangeMultiplier(10)->Range(100, 100000)->Unit(benchmark::kMillisecond);

void BM_activateRateCheck(benchmark::State& state) {
    korvu::DummyAdminValidator validator("trivx", "trivx");
    const korvu::Korvu korvu(Fixture::path(static_cast<int>(state.range(0))), validator, 20000);
    const Auth admin{"trivx", "trivx", true};
    for (auto _ : state) {
        korvu.activateRate(admin, 1, 1);  // throws CorruptedRatesTableException if the data collided
    }
}
BENCHMARK(BM_activateRateCheck)->RangeMultiplier(10)->Range(100, 100000)->Unit(benchmark::kMillisecond);

// Its floor: the same statements by the bare loop, without the records or the count.
void BM_activateRateFloor(benchmark::State& state) {
    const std::string& path = Fixture::path(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench::bareActivateRate(path, 1, 1));
    }
}
BENCHMARK(BM_activateRateFloor)->RangeMultiplier(10)->Range(100, 100000)->Unit(benchmark::kMillisecond);

// The check as adding a rate runs it: each iteration adds one active, non-colliding rate, and the row is
// removed again outside the timing so the active set stays at N records.
void BM_addRateCheck(benchmark::State& state) {
    const std::string& path = Fixture::path(static_cast<int>(state.range(0)));
    korvu::DummyAdminValidator validator("trivx", "trivx");
    const korvu::Korvu korvu(path, validator, 20000);
    const Auth admin{"trivx", "trivx", true};
    const auto db = bench::openOrDie(path, SQLITE_OPEN_READWRITE);
    const int numberLength = 11;
    long long sequence = 0;
    for (auto _ : state) {
        korvu.addRate(admin, "99" + std::to_string(++sequence), &numberLength, 0.25, 60, "08:00", "20:00", 0,
                      0, "101,102", 1);
        state.PauseTiming();
        bench::execOrDie(db.get(), "DELETE FROM rate WHERE id = (SELECT max(id) FROM rate)");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_addRateCheck)->RangeMultiplier(10)->Range(100, 100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
