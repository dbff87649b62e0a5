#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <string>

namespace bench {

// The call-record listing for rows from fromDate on, written as result-table JSON by the bare loop.
std::string callLogsJson(sqlite3* db, const std::string& fromDate);

// ACTIVATE_RATE's statements by the bare loop on a connection of its own: set the flag, read every active
// rate's key and hours, commit. Returns the bytes read.
std::uint64_t bareActivateRate(const std::string& dbPath, long long rateId, int active);

// Subcommands of bench_tool; each returns the process exit status.
int runSqliteFloor(const std::string& mode, const std::string& dbPath, unsigned threads, double seconds,
                   const std::map<std::string, std::string>& options);
int runBareHttp(unsigned port, unsigned connectionLimit, const std::string& textPath);
int runInProcess(const std::string& dbPath, unsigned threads, double seconds, const std::string& requestPath,
                 unsigned recordLimit);

}  // namespace bench
