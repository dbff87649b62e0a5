#pragma once

#include <gtest/gtest.h>

namespace testsupport {

// Expects call() to throw E (a subclass passes) with exactly this errorCode() and errorMessage(); any other
// exception leaves the test, which fails with its text.
template <typename E, typename F>
void expectError(int code, const std::string& message, F&& call) {
    try {
        call();
        ADD_FAILURE() << "nothing was thrown";
    } catch (const E& e) {
        EXPECT_EQ(code, e.errorCode()) << "error code of: " << e.what();
        EXPECT_EQ(message, e.errorMessage()) << "error message of: " << e.what();
    }
}

}  // namespace testsupport
