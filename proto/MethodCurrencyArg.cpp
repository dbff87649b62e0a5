#include "proto/MethodCurrencyArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodCurrencyArg::prepare(const RequestData& rd, MethodCurrencyArg& arg) {
    arg.currency = requiredStringOrThrow(rd, ITEM_CURRENCY, "currency item");
}

}  // namespace proto
