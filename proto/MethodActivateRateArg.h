#pragma once

#include "proto/RequestData.h"

namespace proto {

// ACTIVATE_RATE: "arg" {"rate_id": "17", "active": "1"}.
struct MethodActivateRateArg {
    long long rateId = 0;
    int active = 0;

    static void prepare(const RequestData& rd, MethodActivateRateArg& arg);
};

}  // namespace proto
