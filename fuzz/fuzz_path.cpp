// HttpServer::normalizePath: no run of slashes survives, a trailing slash stays only on paths of one or
// two characters, a second pass changes nothing, and only slashes are ever removed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "PelbrinSrv/HttpServer.h"
#include "fuzz/FuzzCheck.h"

using fuzzcheck::require;
using fuzzcheck::visible;

namespace {

// Written apart from the server's loop: one pass that keeps a slash only after a non-slash.
std::string reference(const std::string& path) {
    std::string out;
    for (const char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    if (out.size() > 2 && out.back() == '/') out.pop_back();
    return out;
}

std::string withoutSlashes(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c != '/') out += c;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const std::string normal = HttpServer::normalizePath(path);
    const auto detail = [&] { return visible(path) + " -> " + visible(normal); };

    require(normal.find("//") == std::string::npos, "no double slash is left", detail);
    require(normal.size() <= 2 || normal.back() != '/', "a trailing slash only on one or two characters",
            detail);
    require(HttpServer::normalizePath(normal) == normal, "normalising twice changes nothing", detail);
    require(withoutSlashes(normal) == withoutSlashes(path), "only slashes are removed", detail);
    require(path.empty() == normal.empty(), "only the empty path normalises to empty", detail);
    require(normal == reference(path), "collapse runs, then drop one trailing slash", detail);
    return 0;
}
