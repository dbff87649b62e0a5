#pragma once

#include <cjson/cJSON.h>

#include <memory>

// Single owners for cJSON trees and for the texts its printers return.
struct CJsonDelete {
    void operator()(cJSON* p) const noexcept { cJSON_Delete(p); }
};
struct CJsonFree {
    void operator()(char* p) const noexcept { cJSON_free(p); }
};

using JsonPtr = std::unique_ptr<cJSON, CJsonDelete>;  // from cJSON_Parse*, cJSON_Create*, cJSON_Duplicate
using JsonText = std::unique_ptr<char, CJsonFree>;    // from cJSON_Print*
