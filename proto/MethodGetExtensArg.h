#pragma once

#include <memory>
#include <string>

#include "proto/RequestData.h"

namespace proto {

// GET_EXTENS: every item optional; a null field means not given. "prepaid" travels as a string.
struct MethodGetExtensArg {
    std::unique_ptr<std::string> exten;
    std::unique_ptr<std::string> billStatus;
    std::unique_ptr<int> prepaid;

    static void prepare(const RequestData& rd, MethodGetExtensArg& arg);
};

}  // namespace proto
