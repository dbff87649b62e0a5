#include "proto/MethodEchoArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodEchoArg::prepare(const RequestData& rd, MethodEchoArg& arg) {
    arg.value = requiredStringOrThrow(rd, ITEM_VALUE, "value");
}

}  // namespace proto
