#include "common/Exception.h"

#include <sstream>

Exception::Exception(const std::string& name, int code, const std::string& message) {
    init(name, code, message);
}

Exception::~Exception() noexcept = default;

void Exception::init(const std::string& name, int newCode, const std::string& newMessage) noexcept {
    // Building the texts can only fail on exhausted memory, which ends the process anyway.
    mCode = newCode;
    mMessage = newMessage;
    std::ostringstream text;
    text << name << "  " << mCode << ": " << mMessage;
    whatText = text.str();
}
