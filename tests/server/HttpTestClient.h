#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace servertest {

// A TCP port on 127.0.0.1 that was free a moment ago; callers retry when it is taken in between.
std::uint16_t freePort();

// Starts whatever make(port) builds on a free port; retries a few ports, fails the test when none works.
template <typename Server, typename Make>
std::unique_ptr<Server> startOnFreePort(Make make, std::uint16_t& port) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        port = freePort();
        std::unique_ptr<Server> server = make(port);
        if (server->start()) return server;
    }
    return nullptr;
}

// One HTTP reply as read from the wire up to the server's close.
struct HttpReply {
    std::string raw;  // every byte received; empty when the server closed without answering
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // Values of every header with this name (compared without regard to case).
    std::vector<std::string> header(const std::string& name) const;
};

// Sends the pieces one after another, pausing between them so the server reads them separately, then
// reads until the server closes (at most ten seconds). Send errors end the sending silently: a server
// that closes early shows up as an empty reply.
HttpReply sendHttp(std::uint16_t port, const std::vector<std::string>& pieces,
                   std::chrono::milliseconds pause = std::chrono::milliseconds(0));
HttpReply sendHttp(std::uint16_t port, const std::string& bytes);

// A complete request with a body and the given content type.
std::string postRequest(const std::string& path, const std::string& contentType, const std::string& body);

// Percent-encodes every byte but letters, digits and "-_.~".
std::string urlEncode(const std::string& text);

}  // namespace servertest
