// JSON string encoding: the C encoder, its std::string wrapper, and the in-place writer the floors use.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "bench/BenchUtil.h"
#include "common/JsonEncode.h"

namespace {

std::string sample(int kind) {
    switch (kind) {
        case 0:
            return "101";  // a typical cell: extension number, id, amount
        case 1: {
            std::string text;
            while (text.size() < 4096) text += "Rates apply by prefix, number length and hour of the day. ";
            return text;
        }
        default: {
            std::string text;  // quotes, backslashes, line ends and other control bytes in every few bytes
            while (text.size() < 4096) text += "\"Jan\" <101>\\\t\n\x01 a\r";
            return text;
        }
    }
}

const char* label(int kind) { return kind == 0 ? "short" : kind == 1 ? "long" : "escapes"; }

void BM_cJSON_EncodeString(benchmark::State& state) {
    const std::string text = sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        char* encoded = cJSON_EncodeString(text.c_str());
        benchmark::DoNotOptimize(encoded);
        std::free(encoded);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_cJSON_EncodeString)->DenseRange(0, 2);

// What every table writer calls per value: the encoder, then a copy into a new std::string.
void BM_encodedJsonString(benchmark::State& state) {
    const std::string text = sample(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::string encoded = proto::encodedJsonString(text);
        benchmark::DoNotOptimize(encoded.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_encodedJsonString)->DenseRange(0, 2);

// The floor: the same bytes appended to a reused buffer, no allocation per value.
void BM_appendJsonStringInPlace(benchmark::State& state) {
    const std::string text = sample(static_cast<int>(state.range(0)));
    std::string out;
    for (auto _ : state) {
        out.clear();
        bench::appendJsonString(out, text.c_str());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.SetLabel(label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_appendJsonStringInPlace)->DenseRange(0, 2);

}  // namespace

BENCHMARK_MAIN();
