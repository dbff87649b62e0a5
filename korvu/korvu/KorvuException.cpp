#include "korvu/korvu/KorvuException.h"

namespace korvu {

KorvuException::KorvuException(const std::string& name, int code, const std::string& message)
    : Exception(name, code, message) {}

KorvuException::~KorvuException() noexcept = default;

// Three name texts lack the word "Exception"; clients and log readers see them so.
#define KORVU_EXCEPTION_DEFINE(Class, name, code)                                    \
    Class::Class(const std::string& message) : KorvuException(name, code, message) {} \
    Class::~Class() noexcept = default;

KORVU_EXCEPTION_DEFINE(InternalError, "InternalError", 1)
KORVU_EXCEPTION_DEFINE(InvalidArgException, "InvalidArgException", 4)
KORVU_EXCEPTION_DEFINE(AuthException, "AuthException", 6)
KORVU_EXCEPTION_DEFINE(AccessDeniedException, "AccessDeniedException", 7)
KORVU_EXCEPTION_DEFINE(ExtenNotFoundException, "ExtenNotFoundException", 8)
KORVU_EXCEPTION_DEFINE(TooManyRowsException, "TooManyRows", 10)
KORVU_EXCEPTION_DEFINE(CorruptedRatesTableException, "CorruptedRatesTable", 11)
KORVU_EXCEPTION_DEFINE(RateNotFoundException, "RateNotFound", 12)

#undef KORVU_EXCEPTION_DEFINE

}  // namespace korvu
