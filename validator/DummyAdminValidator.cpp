#include "validator/DummyAdminValidator.h"

namespace korvu {

DummyAdminValidator::DummyAdminValidator(const std::string& adminUser, const std::string& adminPassword)
    : user(adminUser), password(adminPassword) {}

DummyAdminValidator::~DummyAdminValidator() = default;

bool DummyAdminValidator::validate(const std::string& givenUser, const std::string& givenPassword) {
    return givenUser == user && givenPassword == password;
}

}  // namespace korvu
