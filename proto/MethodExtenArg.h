#pragma once

#include <string>

#include "proto/RequestData.h"

namespace proto {

// GET_EXTEN and GET_RATE: one extension number, "arg" {"exten": "..."}.
struct MethodExtenArg {
    std::string exten;

    static void prepare(const RequestData& rd, MethodExtenArg& arg);
};

}  // namespace proto
