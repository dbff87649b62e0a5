#pragma once

#include <chrono>
#include <exception>
#include <string>

#include "validator/AdminValidator.h"

namespace korvu {

// Lets the exchange's Asterisk manager interface judge the administrator's password: one short TCP
// connection per call, greeting, Login action, first answer line.
class AsteriskAdminValidator : public AdminValidator {
public:
    // Failure of a socket helper; never leaves validate().
    class SocketException : public std::exception {
    public:
        explicit SocketException(const std::string& text);
        ~SocketException() noexcept override;
        const char* what() const noexcept override;

    private:
        std::string message;
    };

    // Limit for connecting and for each read or write, so a silent manager interface cannot hold a
    // request thread for good.
    static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

    AsteriskAdminValidator(const std::string& address, unsigned short portNumber,
                           std::chrono::milliseconds limit = kDefaultTimeout);
    ~AsteriskAdminValidator() override;

    // Throws only korvu::InternalError ("Asterisk connection problem: " and the cause).
    bool validate(const std::string& user, const std::string& password) override;

    static int createSocket();
    // Connects within the timeout and applies it to every later read and write on the descriptor.
    static void connect(int descriptor, const std::string& ip, unsigned short port,
                        std::chrono::milliseconds timeout = kDefaultTimeout);
    // One line, CR LF included; fails with "Read error" on end of stream or after 128 bytes without CR LF.
    static void readLine(int descriptor, std::string& line);
    // Appends CR LF unless the text already ends with it.
    static void writeLine(int descriptor, std::string text);
    static void closeSocket(int descriptor);

private:
    std::string ip;
    unsigned short port;
    std::chrono::milliseconds timeout;
};

}  // namespace korvu
