#pragma once

#include <log4cplus/logger.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "korvu/korvu/Korvu.h"
#include "korvu/korvu/KorvuData.h"
#include "proto/RequestData.h"

// Turns one request text into one response text. One Worker serves every connection thread at once:
// besides the request counter nothing in it changes after construction.
class Worker {
public:
    // The validator is referred to, not owned: the caller keeps it alive longer than the Worker.
    Worker(const std::string& dbPath, korvu::AdminValidator& validator, const std::string& version,
           const std::string& builtDate, unsigned recordLimit);
    virtual ~Worker();

    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Every failure becomes an error response; exhausted memory ends the process.
    std::string processRequest(const std::string& request) noexcept;

    // The error response for method with "arg" null.
    static std::string createResponse(int code, const std::string& description,
                                      const std::string& method) noexcept;

    // The JSON text of a result table, the same text Korvu::performSelectAndReturnString writes.
    static std::string korvuDataToJsonString(const korvu::KorvuData& data);

private:
    using Handler = std::string (Worker::*)(const proto::RequestData&);
    struct MethodEntry {
        const std::string* name;
        Handler handler;
    };
    static const MethodEntry methodTable[];

    std::string dispatch(const proto::RequestData& rd);

    // Handlers let only Exception out.
    std::string processEcho(const proto::RequestData& rd);
    std::string processGetVersion(const proto::RequestData& rd);
    std::string processUnknownMethod(const proto::RequestData& rd) noexcept;

    std::string processGetExten(const proto::RequestData& rd);
    std::string processChangeExtenPassword(const proto::RequestData& rd);
    std::string processGetExtens(const proto::RequestData& rd);
    std::string processGetRechargeHistory(const proto::RequestData& rd);
    std::string processGetCallLog(const proto::RequestData& rd);
    std::string processGetRate(const proto::RequestData& rd);
    std::string processLogin(const proto::RequestData& rd);
    std::string processUpdateExten(const proto::RequestData& rd);
    std::string processGetSettings(const proto::RequestData& rd);
    std::string processSetCurrency(const proto::RequestData& rd);
    std::string processGetRates(const proto::RequestData& rd);
    std::string processGetHelp(const proto::RequestData& rd);
    std::string processGetRateHistory(const proto::RequestData& rd);
    std::string processAddRate(const proto::RequestData& rd);
    std::string processChargeExten(const proto::RequestData& rd);
    std::string processClearExten(const proto::RequestData& rd);
    std::string processUpdateRate(const proto::RequestData& rd);
    std::string processActivateRate(const proto::RequestData& rd);
    std::string processDeleteRate(const proto::RequestData& rd);
    std::string processGetStatistics(const proto::RequestData& rd);
    std::string processDeleteCallLogs(const proto::RequestData& rd);
    std::string processDeleteAllCallLogs(const proto::RequestData& rd);

    static log4cplus::Logger logger;

    korvu::Korvu korvu;
    const std::string version;
    const std::string builtDate;
    std::atomic<std::uint32_t> requestCount;
};
