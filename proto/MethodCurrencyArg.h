#pragma once

#include <string>

#include "proto/RequestData.h"

namespace proto {

// SET_CURRENCY: the new currency text, "arg" {"currency": "..."}.
struct MethodCurrencyArg {
    std::string currency;

    static void prepare(const RequestData& rd, MethodCurrencyArg& arg);
};

}  // namespace proto
