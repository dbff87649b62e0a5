#pragma once

#include <cxxabi.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>

namespace testsupport {

// Readable name of a type, for failure messages.
inline std::string typeName(const std::type_info& type) {
    int status = 0;
    const std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    return status == 0 && demangled ? demangled.get() : type.name();
}

// Expects call() to throw E (caught as E, so a subclass passes) carrying exactly this errorCode() and
// errorMessage(). Anything else is reported with what the call did instead. Failures carry the
// caller's line when wrapped in SCOPED_TRACE, or use EXPECT_ERROR below.
template <typename E, typename F>
void expectError(int code, const std::string& message, F&& call) {
    try {
        std::forward<F>(call)();
    } catch (const E& e) {
        EXPECT_EQ(code, e.errorCode()) << "error code of " << typeName(typeid(e)) << ": " << e.what();
        EXPECT_EQ(message, e.errorMessage())
            << "error message of " << typeName(typeid(e)) << ": " << e.what();
        return;
    } catch (const std::exception& e) {
        ADD_FAILURE() << "expected " << typeName(typeid(E)) << " (" << code << ", \"" << message
                      << "\"), but " << typeName(typeid(e)) << " was thrown: " << e.what();
        return;
    } catch (...) {
        ADD_FAILURE() << "expected " << typeName(typeid(E)) << " (" << code << ", \"" << message
                      << "\"), but something not derived from std::exception was thrown";
        return;
    }
    ADD_FAILURE() << "expected " << typeName(typeid(E)) << " (" << code << ", \"" << message
                  << "\"), but nothing was thrown";
}

}  // namespace testsupport

// expectError with the failure reported at the caller's line.
#define EXPECT_ERROR(E, code, message, call)                      \
    do {                                                          \
        SCOPED_TRACE("EXPECT_ERROR");                             \
        ::testsupport::expectError<E>((code), (message), (call)); \
    } while (0)
