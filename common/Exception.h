#pragma once

#include <exception>
#include <string>

// Base of every error that reaches a client: the code and message go on the wire,
// the name only into the log text that what() returns.
class Exception : public std::exception {
public:
    Exception(const std::string& name, int code, const std::string& message);
    ~Exception() noexcept override;

    int errorCode() const { return mCode; }
    const std::string& errorMessage() const { return mMessage; }
    const char* what() const noexcept override { return whatText.c_str(); }

protected:
    void init(const std::string& name, int code, const std::string& message) noexcept;

private:
    int mCode = 0;
    std::string mMessage;
    std::string whatText;
};
