#include "bench/BenchUtil.h"

#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>
#include <vector>

namespace bench {

void die(const std::string& message) {
    std::cerr << "bench: " << message << std::endl;
    std::exit(2);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) die("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())))
        die("cannot write " + path);
}

std::string urlEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}

namespace {

// Encoded length of each byte: 1, 2 for the seven short escapes, 6 for other control bytes.
struct EscapeTable {
    unsigned char width[256];
    char shortForm[256];
    EscapeTable() : width(), shortForm() {
        for (int c = 0; c < 256; ++c) width[c] = c < 0x20 ? 6 : 1;
        const char pairs[][2] = {{'"', '"'},  {'\\', '\\'}, {'\b', 'b'}, {'\t', 't'},
                                 {'\n', 'n'}, {'\f', 'f'},  {'\r', 'r'}};
        for (const auto& pair : pairs) {
            width[static_cast<unsigned char>(pair[0])] = 2;
            shortForm[static_cast<unsigned char>(pair[0])] = pair[1];
        }
    }
};
const EscapeTable escapes;

}  // namespace

void appendJsonString(std::string& out, const char* text) {
    static const char hex[] = "0123456789abcdef";
    const auto* input = reinterpret_cast<const unsigned char*>(text);
    std::size_t length = 2;
    for (const unsigned char* p = input; *p != '\0'; ++p) length += escapes.width[*p];
    const std::size_t at = out.size();
    out.resize(at + length);
    char* o = &out[at];
    *o++ = '"';
    for (const unsigned char* p = input; *p != '\0'; ++p) {
        const unsigned char c = *p;
        const unsigned width = escapes.width[c];
        if (width == 1) {
            *o++ = static_cast<char>(c);
        } else if (width == 2) {
            o[0] = '\\';
            o[1] = escapes.shortForm[c];
            o += 2;
        } else {
            const char form[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0x0F]};
            std::memcpy(o, form, sizeof form);
            o += 6;
        }
    }
    *o = '"';
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

Connection openOrDie(const std::string& path, int flags) {
    sqlite3* handle = nullptr;
    const int result = sqlite3_open_v2(path.c_str(), &handle, flags, nullptr);
    Connection db(handle);
    if (result != SQLITE_OK) die("open " + path + ": " + sqlite3_errmsg(handle));
    sqlite3_busy_timeout(handle, 30000);
    return db;
}

Statement prepareOrDie(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* handle = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &handle, nullptr) != SQLITE_OK) {
        die("prepare: " + std::string(sqlite3_errmsg(db)) + " in " + sql);
    }
    return Statement(handle);
}

void execOrDie(sqlite3* db, const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error != nullptr ? error : "unknown error";
        sqlite3_free(error);
        die("exec: " + message + " in " + sql.substr(0, 200));
    }
}

RequestTemplate::RequestTemplate(std::string requestText, int range)
    : text(std::move(requestText)), idRange(range), fixed(true) {
    for (const char* mark : {"XNX", "XTX", "XAX", "XBX", "XCX"}) {
        if (text.find(mark) != std::string::npos) fixed = false;
    }
}

void threeDistinctIds(std::mt19937& random, int range, long long ids[3]) {
    std::uniform_int_distribution<int> pick(1, range);
    ids[0] = pick(random);
    do ids[1] = pick(random);
    while (ids[1] == ids[0]);
    do ids[2] = pick(random);
    while (ids[2] == ids[0] || ids[2] == ids[1]);
}

std::string RequestTemplate::render(unsigned thread, std::uint64_t sequence, std::mt19937& random) const {
    if (fixed) return text;
    long long ids[3];
    threeDistinctIds(random, idRange, ids);
    const std::string values[] = {std::to_string(thread * 10000000ULL + sequence),
                                  sequence % 2 == 1 ? "1" : "0", std::to_string(ids[0]),
                                  std::to_string(ids[1]), std::to_string(ids[2])};
    const char* marks[] = {"XNX", "XTX", "XAX", "XBX", "XCX"};
    std::string out = text;
    for (int i = 0; i < 5; ++i) {
        for (auto at = out.find(marks[i]); at != std::string::npos; at = out.find(marks[i], at)) {
            out.replace(at, 3, values[i]);
            at += values[i].size();
        }
    }
    return out;
}

namespace {

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

LoopResult runTimedLoop(unsigned threads, double seconds, const LoopBody& body) {
    std::atomic<bool> stop(false);
    std::vector<LoopResult> own(threads);
    std::vector<std::thread> workers;
    const double cpuStart = processCpuSeconds();
    const auto start = Clock::now();
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            std::uint64_t sequence = 0;
            while (!stop.load(std::memory_order_relaxed)) {
                body(t, ++sequence, own[t]);
                ++own[t].operations;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    for (auto& worker : workers) worker.join();
    LoopResult total;
    total.seconds = secondsSince(start);
    total.cpuSeconds = processCpuSeconds() - cpuStart;
    for (const auto& r : own) {
        total.operations += r.operations;
        total.bytes += r.bytes;
        total.failures += r.failures;
    }
    return total;
}

void printResult(const LoopResult& result) {
    const double ops = static_cast<double>(result.operations);
    std::printf(
        "RESULT ops=%llu seconds=%.6f ops_per_s=%.3f us_per_op=%.3f bytes=%llu failures=%llu "
        "cpu_us_per_op=%.3f\n",
        static_cast<unsigned long long>(result.operations), result.seconds, ops / result.seconds,
        ops > 0 ? result.seconds * 1e6 / ops : 0.0, static_cast<unsigned long long>(result.bytes),
        static_cast<unsigned long long>(result.failures), ops > 0 ? result.cpuSeconds * 1e6 / ops : 0.0);
    std::fflush(stdout);
}

}  // namespace bench
