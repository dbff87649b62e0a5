#include "proto/MethodAddRateArg.h"

#include "proto/ArgItems.h"

namespace proto {

void MethodAddRateArg::prepare(const RequestData& rd, MethodAddRateArg& arg) {
    readRateItemsOrThrow(rd, arg, "string or NULL");
}

}  // namespace proto
