#include "proto/MethodUpdateExten.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"
#include "proto/ProtoException.h"

namespace proto {

namespace {

// Anything but a string is not taken as a password and refuses nothing.
void readNewPass(const RequestData& rd, MethodUpdateExten& arg) {
    const cJSON* const item = findArgItem(rd, ITEM_NEWPASS);
    arg.hasNewPass = cJSON_IsString(item) && item->valuestring != nullptr;
    if (arg.hasNewPass) {
        arg.newPass = item->valuestring;
    }
}

// A password names exactly one extension; checked before any element is.
void singleIdForNewPassOrThrow(const cJSON& array, const MethodUpdateExten& arg) {
    if (arg.hasNewPass && cJSON_GetArraySize(&array) >= 2) {
        throw InvalidArgException("Can't change password for many users");
    }
}

}  // namespace

void MethodUpdateExten::prepare(const RequestData& rd, MethodUpdateExten& arg) {
    arg.billStatus = requiredStringOrThrow(rd, ITEM_BILL_STATUS, "item bill_status");
    arg.limitCredit = requiredDoubleOrThrow(rd, ITEM_LIMIT_CREDIT, "item limit_credit");
    arg.prepaid = requiredIntOrThrow(rd, ITEM_PREPAID, "item prepaid");
    readNewPass(rd, arg);
    const IdListWords words{ITEM_EXTEN_ARRAY, "exten_ids array", "exten_ids",
                            "JSON exten_ids array contains no items", "Id must by a string"};
    const cJSON& array = nonEmptyIdArrayOrThrow(rd, words);
    singleIdForNewPassOrThrow(array, arg);
    readIdsOrThrow(array, words.notString, arg.ids);
}

}  // namespace proto
