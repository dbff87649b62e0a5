#pragma once

#include <string>

#include "proto/RequestData.h"

namespace proto {

// ECHO: the text to send back, "arg" {"value": "..."}.
struct MethodEchoArg {
    std::string value;

    static void prepare(const RequestData& rd, MethodEchoArg& arg);
};

}  // namespace proto
