#pragma once

namespace proto {

// Base of the argument class without items; the record-shaped argument classes stand alone.
class BaseArg {
public:
    BaseArg() = default;
    BaseArg(const BaseArg&) = default;
    BaseArg& operator=(const BaseArg&) = default;
    virtual ~BaseArg();
};

}  // namespace proto
