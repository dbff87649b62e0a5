#include "proto/MethodNullArg.h"

#include "proto/ProtoException.h"

namespace proto {

MethodNullArg::~MethodNullArg() = default;

void MethodNullArg::prepare(const RequestData& rd, MethodNullArg& /*arg*/) {
    if (!cJSON_IsNull(rd.arg.get())) {
        throw InvalidArgException("arg must by null");  // the wire text keeps its typo
    }
}

}  // namespace proto
