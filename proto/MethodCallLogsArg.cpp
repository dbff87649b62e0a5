#include "proto/MethodCallLogsArg.h"

#include "common/ProtoConstants.h"
#include "proto/ArgItems.h"
#include "proto/ProtoException.h"

namespace proto {

namespace {

// A filter value means nothing without the column it filters; this outranks its own type check.
void filterNameGivenOrThrow(const RequestData& rd, const MethodCallLogsArg& arg) {
    if (findArgItem(rd, ITEM_FITLER_VALUE) != nullptr && !arg.filterName) {
        throw InvalidArgException(
            "JSON arg item contains item filter_value, but contains no item filter_name");
    }
}

}  // namespace

void MethodCallLogsArg::prepare(const RequestData& rd, MethodCallLogsArg& arg) {
    arg.exten = optionalStringOrThrow(rd, ITEM_EXTEN);
    arg.filterName = optionalStringOrThrow(rd, ITEM_FILTER_NAME);
    filterNameGivenOrThrow(rd, arg);
    arg.filterValue = optionalStringOrThrow(rd, ITEM_FITLER_VALUE);
    arg.fromDate = optionalStringOrThrow(rd, ITEM_FROM_DATE);
    arg.toDate = optionalStringOrThrow(rd, ITEM_TO_DATE);
}

}  // namespace proto
