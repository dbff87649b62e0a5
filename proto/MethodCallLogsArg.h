#pragma once

#include <memory>
#include <string>

#include "proto/RequestData.h"

namespace proto {

// GET_CALL_LOGS: every item optional (a null field means not given), but a filter value needs a
// filter name.
struct MethodCallLogsArg {
    std::unique_ptr<std::string> exten;
    std::unique_ptr<std::string> filterName;
    std::unique_ptr<std::string> filterValue;
    std::unique_ptr<std::string> fromDate;
    std::unique_ptr<std::string> toDate;

    static void prepare(const RequestData& rd, MethodCallLogsArg& arg);
};

}  // namespace proto
