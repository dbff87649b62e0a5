#pragma once

#include <sqlite3.h>

#include <map>
#include <string>

namespace bench {

// The call-record listing for rows from fromDate on, written as result-table JSON by the bare loop.
std::string callLogsJson(sqlite3* db, const std::string& fromDate);

// Subcommands of bench_tool; each returns the process exit status.
int runSqliteFloor(const std::string& mode, const std::string& dbPath, unsigned threads, double seconds,
                   const std::map<std::string, std::string>& options);
int runBareHttp(unsigned port, unsigned connectionLimit, const std::string& textPath);
int runInProcess(const std::string& dbPath, unsigned threads, double seconds, const std::string& requestPath,
                 unsigned recordLimit);

}  // namespace bench
