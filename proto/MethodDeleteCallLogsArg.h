#pragma once

#include <list>

#include "proto/RequestData.h"

namespace proto {

// DELETE_CALL_LOGS: "arg" {"ids": ["1", "2"]}, at least one call-record id.
struct MethodDeleteCallLogsArg {
    std::list<long long> ids;

    static void prepare(const RequestData& rd, MethodDeleteCallLogsArg& arg);
};

}  // namespace proto
