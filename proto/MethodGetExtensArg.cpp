#include "proto/MethodGetExtensArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodGetExtensArg::prepare(const RequestData& rd, MethodGetExtensArg& arg) {
    // Read in this order, not the fields' order: a bad "prepaid" is reported before "bill_status".
    arg.exten = optionalStringOrThrow(rd, ITEM_EXTEN);
    arg.prepaid = optionalIntOrThrow(rd, ITEM_PREPAID);
    arg.billStatus = optionalStringOrThrow(rd, ITEM_BILL_STATUS);
}

}  // namespace proto
