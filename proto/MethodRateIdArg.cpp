#include "proto/MethodRateIdArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"
#include "proto/Convert.h"

namespace proto {

void MethodRateIdArg::prepare(const RequestData& rd, MethodRateIdArg& arg) {
    arg.rateId = requiredLongLongOrThrow(rd, ITEM_RATE_ID, "rate_id");
}

}  // namespace proto
