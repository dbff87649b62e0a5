// The two result-table writers over the call-record listing of N rows, beside the bare in-place loop:
// Korvu::performSelectAndReturnString (rows straight from the statement), Korvu::performSelect (the table
// object) and Worker::korvuDataToJsonString (the table object written as JSON).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "bench/BenchDb.h"
#include "bench/BenchUtil.h"
#include "db/Database.h"
#include "db/Stmt.h"
#include "korvu/korvu/Korvu.h"
#include "korvu/worker/Worker.h"
#include "PelbrinSrv/ProcessSetup.h"
#include "validator/DummyAdminValidator.h"

namespace {

// Before the fixtures touch SQLite: the writers run under the server's memory settings.
const bool kServerSettings = (configureProcessMemory(), true);

// One database per row count, made once and removed at exit.
class Fixture {
public:
    static const std::string& path(int rows) {
        static Fixture fixture;
        auto it = fixture.paths.find(rows);
        if (it == fixture.paths.end()) {
            const char* dir = std::getenv("TMPDIR");
            const std::string file = std::string(dir != nullptr ? dir : "/tmp") + "/pelbrin-micro-tables-" +
                                     std::to_string(::getpid()) + "-" + std::to_string(rows) + ".db";
            bench::DbShape shape;
            shape.cdrs = rows;
            ::unlink(file.c_str());
            const auto db = bench::openOrDie(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
            bench::createSchema(db.get());
            bench::execOrDie(db.get(), "BEGIN");
            bench::fillExtens(db.get(), shape);
            bench::fillCdrs(db.get(), shape);
            bench::execOrDie(db.get(), "COMMIT");
            it = fixture.paths.emplace(rows, file).first;
        }
        return it->second;
    }
    ~Fixture() {
        for (const auto& entry : paths) ::unlink(entry.second.c_str());
    }

private:
    std::map<int, std::string> paths;
};

std::string listingSql(int rows) {
    return "SELECT AcctId, start, exten.name as exten_name, src, dst, billsec, disposition, cost   FROM cdr "
           "LEFT "
           "JOIN exten ON exten.exten = src  ORDER BY start DESC  LIMIT " +
           std::to_string(rows + 1);
}

korvu::DummyAdminValidator validator("trivx", "trivx");

void BM_performSelectAndReturnString(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const korvu::Korvu korvu(Fixture::path(rows), validator, static_cast<unsigned>(rows));
    const auto connection = db::openDatabase(Fixture::path(rows), SQLITE_OPEN_READWRITE, 30000);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto statement = db::prepare(*connection, listingSql(rows));
        const std::string text = korvu.performSelectAndReturnString(*statement, rows);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_performSelectAndReturnString)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_performSelect(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const korvu::Korvu korvu(Fixture::path(rows), validator, static_cast<unsigned>(rows));
    const auto connection = db::openDatabase(Fixture::path(rows), SQLITE_OPEN_READWRITE, 30000);
    for (auto _ : state) {
        const auto statement = db::prepare(*connection, listingSql(rows));
        const auto table = korvu.performSelect(*statement);
        benchmark::DoNotOptimize(table.get());
    }
}
BENCHMARK(BM_performSelect)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_korvuDataToJsonString(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const korvu::Korvu korvu(Fixture::path(rows), validator, static_cast<unsigned>(rows));
    const auto connection = db::openDatabase(Fixture::path(rows), SQLITE_OPEN_READWRITE, 30000);
    const auto statement = db::prepare(*connection, listingSql(rows));
    const auto table = korvu.performSelect(*statement);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = Worker::korvuDataToJsonString(*table);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_korvuDataToJsonString)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

// The floor of the first: the same statement stepped and written in place.
void BM_bareJsonLoop(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const auto db = bench::openOrDie(Fixture::path(rows), SQLITE_OPEN_READWRITE);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto s = bench::prepareOrDie(db.get(), listingSql(rows));
        std::string out = "{\"headers\":[";
        const int columns = sqlite3_column_count(s.get());
        for (int i = 0; i < columns; ++i) {
            if (i > 0) out += ',';
            bench::appendJsonString(out, sqlite3_column_name(s.get(), i));
        }
        out += "],\"rows\":[";
        int count = 0;
        while (sqlite3_step(s.get()) == SQLITE_ROW) {
            if (count++ > 0) out += ',';
            out += '[';
            for (int i = 0; i < columns; ++i) {
                if (i > 0) out += ',';
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), i));
                if (text != nullptr)
                    bench::appendJsonString(out, text);
                else
                    out += "null";
            }
            out += ']';
        }
        out += "]}";
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_bareJsonLoop)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
