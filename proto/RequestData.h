#pragma once

#include <string>

#include "common/Auth.h"
#include "common/JsonPtr.h"

namespace proto {

// One parsed request. Owns the copy of its "arg" tree (a JSON object or JSON null, null until a
// parse succeeds); argument classes only read it.
struct RequestData {
    std::string method;
    Auth auth;
    JsonPtr arg;
};

}  // namespace proto
