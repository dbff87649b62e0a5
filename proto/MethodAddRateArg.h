#pragma once

#include <memory>
#include <string>

#include "proto/RequestData.h"

namespace proto {

// ADD_RATE: every item required; "number_length" may be JSON null (no number length), "extensions"
// is an array of strings kept joined with ",".
struct MethodAddRateArg {
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

    static void prepare(const RequestData& rd, MethodAddRateArg& arg);
};

}  // namespace proto
