#include "proto/MethodExtenIdArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodExtenIdArg::prepare(const RequestData& rd, MethodExtenIdArg& arg) {
    // The messages call the list "exten_ids" although its key is "exten_array"; "must by" is the wire text.
    idListOrThrow(rd,
                  {ITEM_EXTEN_ARRAY, "exten_ids array", "exten_ids", "JSON exten_ids array contains no items",
                   "Id must by a string"},
                  arg.ids);
}

}  // namespace proto
