#include "proto/ProtoException.h"

namespace proto {

ProtoException::ProtoException(const std::string& name, int code, const std::string& message)
    : Exception(name, code, message) {}

ProtoException::~ProtoException() noexcept = default;

InvalidArgException::InvalidArgException(const std::string& message) noexcept
    : ProtoException("InvalidArgException", 4, message) {}

InvalidArgException::~InvalidArgException() noexcept = default;

JSONException::JSONException(const std::string& message) : ProtoException("JSONException", 2, message) {}

JSONException::~JSONException() noexcept = default;

}  // namespace proto
