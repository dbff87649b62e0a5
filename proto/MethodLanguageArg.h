#pragma once

#include <string>

#include "proto/RequestData.h"

namespace proto {

// GET_HELP: the language of the help texts, "arg" {"language": "..."}.
struct MethodLanguageArg {
    std::string language;

    static void prepare(const RequestData& rd, MethodLanguageArg& arg);
};

}  // namespace proto
