#pragma once

#include "common/Exception.h"

namespace proto {

// The protocol layer's errors; request parsing and argument preparation let only this family out.
class ProtoException : public Exception {
public:
    ~ProtoException() noexcept override;

protected:
    ProtoException(const std::string& name, int code, const std::string& message);
};

// Code 4: a request member or an argument item is missing, of the wrong type or unconvertible.
class InvalidArgException : public ProtoException {
public:
    explicit InvalidArgException(const std::string& message) noexcept;
    ~InvalidArgException() noexcept override;
};

// Code 2: the request text is not JSON; the message quotes the text from where the parser stopped.
class JSONException : public ProtoException {
public:
    explicit JSONException(const std::string& message);
    ~JSONException() noexcept override;
};

}  // namespace proto
