#pragma once

#include <list>
#include <string>

#include "proto/RequestData.h"

namespace proto {

// UPDATE_EXTEN: billing settings for the extensions of "exten_array"; a "new_pass" string also
// changes the web password, and then exactly one extension may be named.
struct MethodUpdateExten {
    std::list<long long> ids;
    std::string billStatus;
    double limitCredit = 0;
    int prepaid = 0;
    std::string newPass;
    bool hasNewPass = false;

    static void prepare(const RequestData& rd, MethodUpdateExten& arg);
};

}  // namespace proto
