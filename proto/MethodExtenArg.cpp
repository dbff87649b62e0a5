#include "proto/MethodExtenArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodExtenArg::prepare(const RequestData& rd, MethodExtenArg& arg) {
    arg.exten = requiredStringOrThrow(rd, ITEM_EXTEN, "exten");
}

}  // namespace proto
