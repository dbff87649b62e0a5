#pragma once

#include "proto/RequestData.h"

namespace proto {

// GET_RATE_HISTORY and DELETE_RATE: a rate id sent as a string, "arg" {"rate_id": "17"}.
struct MethodRateIdArg {
    long long rateId = 0;

    static void prepare(const RequestData& rd, MethodRateIdArg& arg);
};

}  // namespace proto
