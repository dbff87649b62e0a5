#pragma once

#include "common/Exception.h"

namespace korvu {

// The billing core's errors; its public operations let only this family out.
class KorvuException : public Exception {
public:
    ~KorvuException() noexcept override;

protected:
    KorvuException(const std::string& name, int code, const std::string& message);
};

#define KORVU_EXCEPTION(Class)                                 \
    class Class : public KorvuException {                      \
    public:                                                    \
        explicit Class(const std::string& message);            \
        ~Class() noexcept override;                            \
    }

KORVU_EXCEPTION(InternalError);
KORVU_EXCEPTION(InvalidArgException);
KORVU_EXCEPTION(AuthException);
KORVU_EXCEPTION(AccessDeniedException);
KORVU_EXCEPTION(ExtenNotFoundException);
KORVU_EXCEPTION(TooManyRowsException);
KORVU_EXCEPTION(CorruptedRatesTableException);
KORVU_EXCEPTION(RateNotFoundException);

#undef KORVU_EXCEPTION

}  // namespace korvu
