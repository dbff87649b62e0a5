#include "proto/MethodActivateRateArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodActivateRateArg::prepare(const RequestData& rd, MethodActivateRateArg& arg) {
    arg.rateId = requiredLongLongOrThrow(rd, ITEM_RATE_ID, "rate_id");
    arg.active = requiredIntOrThrow(rd, ITEM_ACTIVE, "active");
}

}  // namespace proto
