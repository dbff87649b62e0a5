// pa::parseArgs over the input cut into words at NUL and line feed; pa::loadConfiguration over it as a file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PelbrinSrv/ProgArgs.h"
#include "fuzz/FuzzCheck.h"

namespace {

bool usable(const std::string& text, const pa::IpPort& endpoint) {
    pa::IpPort again;
    return pa::ipPortFromString(text, again) == 0 && again.ip == endpoint.ip && again.port == endpoint.port &&
           pa::validateIpAddress(endpoint.ip) == 0 && endpoint.port >= 1 && endpoint.port <= 65535;
}

// Every refusal is reported; what the start-up sequence relies on when nothing was refused.
void check(const pa::ProgArgs& args, const std::string& err, int smallestPort) {
    require((args.error != 0) == !err.empty(), "a refusal is both flagged and reported");
    if (args.error != 0) return;
    require(args.connectionLimit > 0 && args.databaseRecordLimit > 0 && args.connectionTimeout > 0,
            "limits and time-out above 0");
    require(args.listeningPort >= smallestPort && args.listeningPort <= 65535, "listening port in range");
    require(usable(args.asterisk, args.asteriskIpPort) && usable(args.logServer, args.logServerIpPort),
            "a taken endpoint is valid and parses back to its text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> words{"PelbrinSrv", ""};
    for (const char c : input) {
        if (c == '\0' || c == '\n')
            words.emplace_back();
        else
            words.back() += c;
    }
    if (input.empty()) words.pop_back();
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);  // getopt relies on argv[argc] being null
    pa::ProgArgs args = pa::defaultProgArgs();
    std::ostringstream err;
    pa::parseArgs(static_cast<int>(words.size()), argv.data(), args, err);
    check(args, err.str(), 2);
    require(err.str().empty() || err.str().find('\n') == err.str().size() - 1, "at most one refusal");

    // libFuzzer may leave the process without running static destructors: removed after every input.
    static const std::string path = "/tmp/fuzz_args_" + std::to_string(getpid()) + ".cfg";
    std::ofstream(path, std::ios::binary) << input;
    pa::ProgArgs fromFile = pa::defaultProgArgs();
    std::ostringstream fileErr;
    pa::loadConfiguration("PelbrinSrv", path, fromFile, fileErr);
    std::remove(path.c_str());
    check(fromFile, fileErr.str(), 1);
    return 0;
}
