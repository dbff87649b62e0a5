#pragma once

#include <list>

#include "proto/RequestData.h"

namespace proto {

// CHARGE_EXTEN: "arg" {"exten_array": ["200"], "value": "10.5"}; the sign of the amount is the
// operation's concern.
struct MethodChargeExtenArg {
    std::list<long long> ids;
    double value = 0;

    static void prepare(const RequestData& rd, MethodChargeExtenArg& arg);
};

}  // namespace proto
