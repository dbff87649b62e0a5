#pragma once

#include "proto/BaseArg.h"
#include "proto/RequestData.h"

namespace proto {

// The argument of the methods that take none: "arg" must be JSON null, even {} is refused.
class MethodNullArg : public BaseArg {
public:
    ~MethodNullArg() override;

    static void prepare(const RequestData& rd, MethodNullArg& arg);
};

}  // namespace proto
