#pragma once

#include <memory>
#include <string>

#include "proto/RequestData.h"

namespace proto {

// GET_STATISTICS: every item optional; daily sums unless "monthly" is JSON true, a null field means
// not given.
struct MethodGetStatisticsArg {
    bool monthly = false;
    std::unique_ptr<std::string> fromDate;
    std::unique_ptr<std::string> toDate;
    std::unique_ptr<std::string> exten;

    // Null clears fromDate; a text replaces it with an owned copy.
    void setFromDate(const char* text);

    static void prepare(const RequestData& rd, MethodGetStatisticsArg& arg);
};

}  // namespace proto
