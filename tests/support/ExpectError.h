#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <typeinfo>

namespace testsupport {

// Expects call() to throw E (a subclass passes) with exactly this errorCode() and errorMessage();
// anything else fails, telling what the call did instead.
template <typename E, typename F>
void expectError(int code, const std::string& message, F&& call) {
    std::string outcome = "nothing was thrown";
    try {
        call();
    } catch (const E& e) {
        EXPECT_EQ(code, e.errorCode()) << "error code of: " << e.what();
        EXPECT_EQ(message, e.errorMessage()) << "error message of: " << e.what();
        return;
    } catch (const std::exception& e) {
        outcome = std::string("this was thrown: ") + e.what();
    }
    ADD_FAILURE() << "expected " << typeid(E).name() << " (" << code << ", \"" << message << "\"), but "
                  << outcome;
}

}  // namespace testsupport

// expectError with the failure reported at the caller's line.
#define EXPECT_ERROR(E, code, message, call)                      \
    do {                                                          \
        SCOPED_TRACE("EXPECT_ERROR");                             \
        ::testsupport::expectError<E>((code), (message), (call)); \
    } while (0)
