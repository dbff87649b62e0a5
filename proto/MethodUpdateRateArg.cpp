#include "proto/MethodUpdateRateArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodUpdateRateArg::prepare(const RequestData& rd, MethodUpdateRateArg& arg) {
    arg.rateId = requiredLongLongOrThrow(rd, ITEM_RATE_ID, "item rate_id");
    // Accepts JSON null like ADD_RATE, but its type message names only the string.
    readRateItemsOrThrow(rd, arg, "string");
}

}  // namespace proto
