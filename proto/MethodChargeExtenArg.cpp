#include "proto/MethodChargeExtenArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodChargeExtenArg::prepare(const RequestData& rd, MethodChargeExtenArg& arg) {
    // Unlike CLEAR_EXTEN's, this element message reads "must be".
    idListOrThrow(rd,
                  {ITEM_EXTEN_ARRAY, "exten_ids array", "exten_ids", "JSON exten_ids array contains no items",
                   "Id must be a string"},
                  arg.ids);
    arg.value = requiredDoubleOrThrow(rd, ITEM_VALUE, "value");
}

}  // namespace proto
