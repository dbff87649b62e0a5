#include "proto/MethodLanguageArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodLanguageArg::prepare(const RequestData& rd, MethodLanguageArg& arg) {
    arg.language = requiredStringOrThrow(rd, ITEM_LANGUAGE, "language item");
}

}  // namespace proto
