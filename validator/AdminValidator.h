#pragma once

#include <string>

namespace korvu {

// Decides whether a user name and password may act as the administrator.
class AdminValidator {
public:
    virtual ~AdminValidator() = default;

    virtual bool validate(const std::string& user, const std::string& password) = 0;
};

}  // namespace korvu
