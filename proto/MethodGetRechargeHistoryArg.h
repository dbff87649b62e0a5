#pragma once

#include <memory>
#include <string>

#include "proto/RequestData.h"

namespace proto {

// GET_RECHARGE_HISTORY: every item optional; a null field means not given.
struct MethodGetRechargeHistoryArg {
    std::unique_ptr<std::string> exten;
    std::unique_ptr<std::string> fromDate;
    std::unique_ptr<std::string> toDate;

    static void prepare(const RequestData& rd, MethodGetRechargeHistoryArg& arg);
};

}  // namespace proto
