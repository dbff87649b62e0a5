#pragma once

#include <string>

#include "proto/RequestData.h"

namespace proto {

// CHANGE_EXTEN_PASS: "arg" {"exten_id": "200", "new_pass": "..."}.
struct MethodChangeExtenPass {
    int extenId = 0;
    std::string newPass;

    static void prepare(const RequestData& rd, MethodChangeExtenPass& arg);
};

}  // namespace proto
