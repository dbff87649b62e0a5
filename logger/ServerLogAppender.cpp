#include "logger/ServerLogAppender.h"

#include <arpa/inet.h>
#include <sys/types.h>
#include <unistd.h>

#include <ctime>

namespace korvuLoger {

namespace {

std::string quoted(const std::string& text) { return '"' + text + '"'; }

}  // namespace

ServerLogAppender::ServerLogAppender() = default;

ServerLogAppender::~ServerLogAppender() {
    destructorImpl();
    closeSocket();
}

void ServerLogAppender::closeSocket() noexcept {
    if (socket >= 0) ::close(socket);
    socket = -1;
}

void ServerLogAppender::createSocket() {
    addr = sockaddr_in{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = inet_addr(host.c_str());
    addr.sin_port = htons(port);
    addrLen = sizeof(addr);
    // A second call must not leak the first descriptor.
    closeSocket();
    socket = ::socket(AF_INET, SOCK_DGRAM, 0);
}

void ServerLogAppender::setApplicationName(const std::string& value) { appName = escapedText(value); }

void ServerLogAppender::setApplicationVerion(const std::string& value) { appVersion = escapedText(value); }

void ServerLogAppender::setUserName(const std::string& value) { userName = escapedText(value); }

void ServerLogAppender::setPlatformInfo(const std::string& value) { platformInfo = escapedText(value); }

std::string ServerLogAppender::escapedText(const std::string& text) const {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '"':
                result += "\\\"";
                break;
            case '\\':
                result += "\\\\";
                break;
            case '\b':
                result += "\\b";
                break;
            case '\f':
                result += "\\f";
                break;
            case '\n':
                result += "\\n";
                break;
            case '\r':
                result += "\\r";
                break;
            case '\t':
                result += "\\t";
                break;
            default:
                result += c;
                break;
        }
    }
    return result;
}

std::string ServerLogAppender::fileLineString(const log4cplus::spi::InternalLoggingEvent& event) {
    const std::string& file = event.getFile();
    const std::string::size_type slash = file.rfind('/');
    const std::string baseName = slash == std::string::npos ? file : file.substr(slash + 1);
    return escapedText(baseName) + ":" + std::to_string(event.getLine());
}

const std::string& ServerLogAppender::levelToKnd(int level) {
    switch (level) {
        case log4cplus::TRACE_LOG_LEVEL:
        case log4cplus::DEBUG_LOG_LEVEL:
            return debugKind;
        case log4cplus::INFO_LOG_LEVEL:
            return logKind;
        case log4cplus::WARN_LOG_LEVEL:
            return warningKind;
        default:
            return errorKind;
    }
}

void ServerLogAppender::close() {}

std::string ServerLogAppender::timeText(const log4cplus::spi::InternalLoggingEvent& event) const {
    const std::time_t seconds = log4cplus::helpers::to_time_t(event.getTimestamp());
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return std::string();
    char buffer[64] = {};
    const std::size_t length = std::strftime(buffer, sizeof(buffer), dateFormat.c_str(), &local);
    return std::string(buffer, length);
}

std::string ServerLogAppender::record(const log4cplus::spi::InternalLoggingEvent& event) {
    std::string text = "{ver: 1,";
    text += "log:[{";
    // The logger name goes out as it stands, unescaped.
    text += "tag:" + quoted(event.getLoggerName()) + ",";
    text +=
        "val:" + quoted("[pid:" + std::to_string(getpid()) + "] " + escapedText(event.getMessage())) + ",";
    text += "src:" + quoted(appName) + ",";
    text += "usr:" + quoted(userName) + ",";
    text += "knd:" + quoted(levelToKnd(event.getLogLevel())) + ",";
    text += "dte:" + quoted(timeText(event)) + ",";
    text += "dev:" + quoted(platformInfo) + ",";
    text += "atr:[";
    text += "[" + quoted("App Version") + "," + quoted(appVersion) + "],";
    text += "[" + quoted("File") + "," + quoted(fileLineString(event)) + "]";
    text += "]";
    text += "}]}";
    return text;
}

void ServerLogAppender::append(const log4cplus::spi::InternalLoggingEvent& event) {
    const std::string text = record(event);
    // Fire and forget: a lost datagram or a failed send must not disturb the caller.
    (void)::sendto(socket, text.data(), text.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&addr),
                   addrLen);
}

}  // namespace korvuLoger
