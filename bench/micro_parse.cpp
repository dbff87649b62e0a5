// Request parsing, once per request before dispatch.

#include <benchmark/benchmark.h>

#include <string>

#include "proto/Protocol.h"
#include "proto/RequestData.h"

namespace {

const std::string kRequests[] = {
    R"({"request":"ECHO","arg":{"value":"hello"},"auth":{"name":"trivx","pass":"trivx","admin":true}})",
    R"({"request":"LOGIN","arg":null,"auth":{"name":"537","pass":"k2m9xq7a","admin":false}})",
    R"({"request":"CHARGE_EXTEN","arg":{"exten_array":["17","404","998"],"value":"1.5"},)"
    R"("auth":{"name":"trivx","pass":"trivx","admin":true}})",
    R"({"request":"ADD_RATE","arg":{"prefix":"0048221","number_length":"11","rate":"0.25","bill_unit":"60",)"
    R"("from_hour":"08:00","to_hour":"20:00","init_cost":"0","init_time":"0","extensions":["101","102"],)"
    R"("active":"1"},"auth":{"name":"trivx","pass":"trivx","admin":true}})",
};
const char* const kLabels[] = {"ECHO", "LOGIN", "CHARGE_EXTEN", "ADD_RATE"};

void BM_parseRequestOrThrow(benchmark::State& state) {
    const std::string& text = kRequests[state.range(0)];
    for (auto _ : state) {
        proto::RequestData rd;
        proto::parseRequestOrThrow(text, rd);
        benchmark::DoNotOptimize(rd.arg.get());
    }
    state.SetLabel(kLabels[state.range(0)]);
}
BENCHMARK(BM_parseRequestOrThrow)->DenseRange(0, 3);

}  // namespace

BENCHMARK_MAIN();
