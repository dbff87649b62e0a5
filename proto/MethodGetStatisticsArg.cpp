#include "proto/MethodGetStatisticsArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"

namespace proto {

void MethodGetStatisticsArg::setFromDate(const char* text) {
    fromDate = text == nullptr ? nullptr : std::make_unique<std::string>(text);
}

void MethodGetStatisticsArg::prepare(const RequestData& rd, MethodGetStatisticsArg& arg) {
    // An absent "monthly" keeps the field as it is: false in a fresh record.
    if (const cJSON* const monthly = findArgItem(rd, ITEM_MONTHLY)) {
        arg.monthly = boolValueOrThrow(*monthly, ITEM_MONTHLY);
    }
    const std::unique_ptr<std::string> fromDate = optionalStringOrThrow(rd, ITEM_FROM_DATE);
    arg.setFromDate(fromDate ? fromDate->c_str() : nullptr);
    arg.toDate = optionalStringOrThrow(rd, ITEM_TO_DATE);
    arg.exten = optionalStringOrThrow(rd, ITEM_EXTEN);
}

}  // namespace proto
