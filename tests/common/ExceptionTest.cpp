#include <gtest/gtest.h>

#include "korvu/korvu/KorvuException.h"

namespace {

TEST(ExceptionText, WhatJoinsNameCodeAndMessage) {
    const korvu::RateNotFoundException e("Rate not found");
    EXPECT_STREQ("RateNotFound  12: Rate not found", e.what());
    EXPECT_EQ(12, e.errorCode());
    EXPECT_EQ("Rate not found", e.errorMessage());
    EXPECT_STREQ("AuthException  6: ", korvu::AuthException("").what());
    EXPECT_STREQ("TooManyRows  10: Too many rows. Current limit is 20000. ",
                 korvu::TooManyRowsException("Too many rows. Current limit is 20000. ").what());
    EXPECT_STREQ("InternalError  1: SQL Error  14: unable to open database file",
                 korvu::InternalError("SQL Error  14: unable to open database file").what());
}

TEST(ExceptionText, EveryCoreClassCarriesItsNameAndCode) {
    const auto check = [](const Exception& e, const char* what, int code) {
        EXPECT_STREQ(what, e.what());
        EXPECT_EQ(code, e.errorCode());
    };
    check(korvu::InternalError("m"), "InternalError  1: m", 1);
    check(korvu::InvalidArgException("m"), "InvalidArgException  4: m", 4);
    check(korvu::AuthException("m"), "AuthException  6: m", 6);
    check(korvu::AccessDeniedException("m"), "AccessDeniedException  7: m", 7);
    check(korvu::ExtenNotFoundException("m"), "ExtenNotFoundException  8: m", 8);
    check(korvu::TooManyRowsException("m"), "TooManyRows  10: m", 10);
    check(korvu::CorruptedRatesTableException("m"), "CorruptedRatesTable  11: m", 11);
    check(korvu::RateNotFoundException("m"), "RateNotFound  12: m", 12);
}

TEST(ExceptionText, CaughtAsFamilyKeepsCodeAndMessage) {
    try {
        throw korvu::ExtenNotFoundException("Exten not found");
    } catch (const korvu::KorvuException& e) {
        EXPECT_EQ(8, e.errorCode());
        EXPECT_EQ("Exten not found", e.errorMessage());
    }
}

}  // namespace
