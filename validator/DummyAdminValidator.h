#pragma once

#include <string>

#include "validator/AdminValidator.h"

namespace korvu {

// Accepts exactly one fixed pair, compared byte for byte.
class DummyAdminValidator : public AdminValidator {
public:
    DummyAdminValidator(const std::string& adminUser, const std::string& adminPassword);
    ~DummyAdminValidator() override;

    bool validate(const std::string& givenUser, const std::string& givenPassword) override;

private:
    std::string user;
    std::string password;
};

}  // namespace korvu
