#include "proto/MethodGetRechargeHistoryArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodGetRechargeHistoryArg::prepare(const RequestData& rd, MethodGetRechargeHistoryArg& arg) {
    arg.exten = optionalStringOrThrow(rd, ITEM_EXTEN);
    arg.fromDate = optionalStringOrThrow(rd, ITEM_FROM_DATE);
    arg.toDate = optionalStringOrThrow(rd, ITEM_TO_DATE);
}

}  // namespace proto
