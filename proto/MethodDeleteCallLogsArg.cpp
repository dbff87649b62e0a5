#include "proto/MethodDeleteCallLogsArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodDeleteCallLogsArg::prepare(const RequestData& rd, MethodDeleteCallLogsArg& arg) {
    idListOrThrow(rd, {ITEM_IDS, "ids", ITEM_IDS, "array 'ids' is empty", "id must by a string"}, arg.ids);
}

}  // namespace proto
