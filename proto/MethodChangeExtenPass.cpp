#include "proto/MethodChangeExtenPass.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodChangeExtenPass::prepare(const RequestData& rd, MethodChangeExtenPass& arg) {
    // A number beyond int is refused rather than wrapped onto another extension's id.
    arg.extenId = requiredIntOrThrow(rd, ITEM_EXTEN_ID, "item exten_id");
    arg.newPass = requiredStringOrThrow(rd, ITEM_NEWPASS, "item new_pass");
}

}  // namespace proto
