#include <gtest/gtest.h>

#include "validator/DummyAdminValidator.h"

namespace {

TEST(FixedCredential, AcceptsOnlyTheExactPair) {
    korvu::DummyAdminValidator dummy("trivx", "trivx");
    korvu::AdminValidator& validator = dummy;
    EXPECT_TRUE(validator.validate("trivx", "trivx"));
    EXPECT_FALSE(validator.validate("Trivx", "trivx"));
    EXPECT_FALSE(validator.validate("trivx", "TRIVX"));
    EXPECT_FALSE(validator.validate("trivx ", "trivx"));
    EXPECT_FALSE(validator.validate("trivx", "trivx\n"));
    EXPECT_FALSE(validator.validate("trivx", ""));
    EXPECT_FALSE(validator.validate("", "trivx"));
    EXPECT_FALSE(validator.validate("", ""));
    EXPECT_FALSE(validator.validate("admin", "admin"));
}

TEST(FixedCredential, ComparesWithTheStoredPairNotAFixedOne) {
    korvu::DummyAdminValidator validator("boss", "");
    EXPECT_TRUE(validator.validate("boss", ""));
    EXPECT_FALSE(validator.validate("trivx", "trivx"));
    EXPECT_FALSE(validator.validate("boss", std::string(1, '\0')));
}

}  // namespace
