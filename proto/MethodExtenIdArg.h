#pragma once

#include <list>

#include "proto/RequestData.h"

namespace proto {

// CLEAR_EXTEN: "arg" {"exten_array": ["200", "201"]}, at least one id.
struct MethodExtenIdArg {
    std::list<long long> ids;

    static void prepare(const RequestData& rd, MethodExtenIdArg& arg);
};

}  // namespace proto
