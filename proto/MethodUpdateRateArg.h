#pragma once

#include <memory>
#include <string>

#include "proto/RequestData.h"

namespace proto {

// UPDATE_RATE: "rate_id" first, then the items of ADD_RATE.
struct MethodUpdateRateArg {
    long long rateId = 0;
    std::string prefix;
    std::unique_ptr<int> numberLength;
    double rate = 0;
    int billUnit = 0;
    std::string fromHour;
    std::string toHour;
    double initCost = 0;
    double initTime = 0;
    std::string extensions;
    int active = 0;

    static void prepare(const RequestData& rd, MethodUpdateRateArg& arg);
};

}  // namespace proto
