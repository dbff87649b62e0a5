#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>

namespace bench {

[[noreturn]] void die(const std::string& message);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);

// Percent-encodes everything but unreserved characters, as a client does for a query argument.
std::string urlEncode(const std::string& text);

// The JSON string literal of text, escaped as cJSON escapes it, appended in place without a
// temporary: the floor the product's writers are measured against.
void appendJsonString(std::string& out, const char* text);

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start);

struct SqliteClose {
    void operator()(sqlite3* h) const noexcept { sqlite3_close(h); }
};
using Connection = std::unique_ptr<sqlite3, SqliteClose>;
struct StmtFinalize {
    void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StmtFinalize>;

// Both die with SQLite's message: a benchmark has no error path worth keeping.
Connection openOrDie(const std::string& path, int flags);
Statement prepareOrDie(sqlite3* db, const std::string& sql);
void execOrDie(sqlite3* db, const std::string& sql);

// A request text with placeholders filled anew for each request:
//   XNX  a number unique to the thread and request (thread * 10000000 + sequence),
//   XTX  "1" on odd and "0" on even sequence numbers (toggles a flag, starting with 1),
//   XAX, XBX, XCX  three distinct random extension ids from 1 to idRange.
// The placeholders survive URL encoding, so the same template serves HTTP and in-process runs.
class RequestTemplate {
public:
    RequestTemplate(std::string text, int idRange);
    bool isFixed() const { return fixed; }
    std::string render(unsigned thread, std::uint64_t sequence, std::mt19937& random) const;

private:
    std::string text;
    int idRange;
    bool fixed;
};

// Three distinct ids in [1, range].
void threeDistinctIds(std::mt19937& random, int range, long long ids[3]);

// Runs body(thread, sequence) on `threads` threads until `seconds` have passed; returns the
// number of completed calls and the wall time taken.
struct LoopResult {
    std::uint64_t operations = 0;
    double seconds = 0;
    std::uint64_t bytes = 0;
    std::uint64_t failures = 0;
    double cpuSeconds = 0;  // user and system time of the whole process during the loop
};
using LoopBody = std::function<void(unsigned thread, std::uint64_t sequence, LoopResult& own)>;
LoopResult runTimedLoop(unsigned threads, double seconds, const LoopBody& body);

// One machine-readable line:
// RESULT ops=... seconds=... ops_per_s=... us_per_op=... bytes=... failures=... cpu_us_per_op=...
void printResult(const LoopResult& result);

}  // namespace bench
