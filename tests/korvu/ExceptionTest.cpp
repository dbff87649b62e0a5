#include <gtest/gtest.h>

#include "korvu/korvu/KorvuException.h"
#include "tests/support/ExpectError.h"

namespace {

// The message is what follows the first ": " of the log text.
void expectText(const Exception& e, int code, const std::string& what) {
    EXPECT_EQ(code, e.errorCode()) << what;
    EXPECT_EQ(what, e.what());
    EXPECT_EQ(what.substr(what.find(": ") + 2), e.errorMessage());
}

// Name, two blanks, code, ": ", message; three names lack "Exception" and trailing blanks stay.
TEST(ExceptionText, EachClassHasItsNameAndCode) {
    expectText(korvu::InternalError("SQL Error  14: unable to open database file"), 1,
               "InternalError  1: SQL Error  14: unable to open database file");
    expectText(korvu::InvalidArgException("m"), 4, "InvalidArgException  4: m");
    expectText(korvu::AuthException(""), 6, "AuthException  6: ");
    expectText(korvu::AccessDeniedException("m"), 7, "AccessDeniedException  7: m");
    expectText(korvu::ExtenNotFoundException("m"), 8, "ExtenNotFoundException  8: m");
    expectText(korvu::TooManyRowsException("Too many rows. Current limit is 20000. "), 10,
               "TooManyRows  10: Too many rows. Current limit is 20000. ");
    expectText(korvu::CorruptedRatesTableException("m"), 11, "CorruptedRatesTable  11: m");
    expectText(korvu::RateNotFoundException("m"), 12, "RateNotFound  12: m");
    // caught as its family or as the base, a class keeps its own code and message
    EXPECT_ERROR(korvu::KorvuException, 8, "m", [] { throw korvu::ExtenNotFoundException("m"); });
    EXPECT_ERROR(Exception, 12, "m", [] { throw korvu::RateNotFoundException("m"); });
}

}  // namespace
