#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "proto/ProtoException.h"
#include "proto/Protocol.h"
#include "proto/RequestData.h"

namespace prototest {

// Runs call and checks that it throws exactly E with the given code and message.
template <typename E, typename Call>
void expectThrows(int code, const std::string& message, Call call) {
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const E& e) {
        EXPECT_EQ(code, e.errorCode());
        EXPECT_EQ(message, e.errorMessage());
    } catch (const std::exception& e) {
        ADD_FAILURE() << "wrong exception: " << e.what();
    }
}

inline void expectInvalidArg(const std::string& message, const std::function<void()>& call) {
    expectThrows<proto::InvalidArgException>(4, message, call);
}

// A well-formed request carrying argText as its "arg".
inline proto::RequestData requestWithArg(const std::string& argText) {
    proto::RequestData rd;
    proto::parseRequestOrThrow(
        "{\"request\":\"X\",\"arg\":" + argText + ",\"auth\":{\"name\":\"\",\"pass\":\"\",\"admin\":false}}",
        rd);
    return rd;
}

}  // namespace prototest
