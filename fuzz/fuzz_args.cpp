// pa::parseArgs over argument words cut from the input at NUL and line-feed bytes, and
// pa::loadConfiguration over the input saved as a configuration file. Every refusal is reported and
// flagged; whatever is taken without a refusal holds a value the server can use.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PelbrinSrv/ProgArgs.h"
#include "fuzz/FuzzCheck.h"

using fuzzcheck::require;
using fuzzcheck::visible;

namespace {

const char PROGRAM[] = "PelbrinSrv";

std::vector<std::string> splitWords(const std::string& input) {
    std::vector<std::string> words{PROGRAM};
    std::string word;
    for (const char c : input) {
        if (c == '\0' || c == '\n') {
            words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!input.empty()) words.push_back(word);
    return words;
}

template <typename Detail>
void requireEndpoint(const std::string& text, const pa::IpPort& endpoint, const Detail& detail) {
    pa::IpPort again;
    require(pa::ipPortFromString(text, again) == 0, "a taken endpoint text parses", detail);
    require(again.ip == endpoint.ip && again.port == endpoint.port, "the endpoint matches its text", detail);
    require(pa::validateIpAddress(endpoint.ip) == 0, "a taken address is valid", detail);
    require(endpoint.port >= 1 && endpoint.port <= 65535, "a taken port fits 16 bits", detail);
}

// What the start-up sequence relies on when neither source refused anything.
template <typename Detail>
void requireUsable(const pa::ProgArgs& args, int smallestPort, const Detail& detail) {
    require(args.connectionLimit > 0, "connection limit above 0", detail);
    require(args.listeningPort >= smallestPort && args.listeningPort <= 65535, "listening port in range",
            detail);
    require(args.databaseRecordLimit > 0, "record limit above 0", detail);
    require(args.connectionTimeout > 0, "connection timeout above 0", detail);
    requireEndpoint(args.asterisk, args.asteriskIpPort, detail);
    requireEndpoint(args.logServer, args.logServerIpPort, detail);
}

void fuzzCommandLine(const std::string& input) {
    std::vector<std::string> words = splitWords(input);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);  // getopt relies on argv[argc] being null

    pa::ProgArgs args = pa::defaultProgArgs();
    std::ostringstream err;
    pa::parseArgs(static_cast<int>(words.size()), argv.data(), args, err);
    const auto detail = [&] { return "argv: " + visible(input) + "\nerr: " + visible(err.str()); };

    require((args.error != 0) == !err.str().empty(), "a refusal is both flagged and reported", detail);
    if (args.error != 0) {
        require(err.str().compare(0, sizeof PROGRAM - 1 + 2, std::string(PROGRAM) + ": ") == 0,
                "a refusal starts with the program path", detail);
        require(err.str().find('\n') == err.str().size() - 1, "one refusal, one line", detail);
        return;
    }
    requireUsable(args, 2, detail);
    // No word holds a line feed, so the summary has its heading and fifteen settings, a line each.
    const std::string summary = args.printConfiguration();
    require(std::count(summary.begin(), summary.end(), '\n') == 16, "the summary has sixteen lines", detail);
    require(args.logLevel >= 0 && args.logLevel <= 60000 && args.logLevel % 10000 == 0,
            "log level from -l is 0 to 6 times 10000", detail);
}

// Named once per process; written for one input and removed again, since libFuzzer may leave the
// process without running static destructors.
const std::string& configPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/fuzz_args_" + std::to_string(getpid()) + ".cfg";
    }();
    return path;
}

void fuzzConfiguration(const std::string& input) {
    {
        std::ofstream file(configPath(), std::ios::binary | std::ios::trunc);
        file.write(input.data(), static_cast<std::streamsize>(input.size()));
    }
    pa::ProgArgs args = pa::defaultProgArgs();
    std::ostringstream err;
    pa::loadConfiguration(PROGRAM, configPath(), args, err);
    std::remove(configPath().c_str());
    const auto detail = [&] { return "file: " + visible(input) + "\nerr: " + visible(err.str()); };

    require((args.error != 0) == !err.str().empty(), "a refused file is both flagged and reported", detail);
    if (args.error == 0) requireUsable(args, 1, detail);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    fuzzCommandLine(input);
    fuzzConfiguration(input);
    return 0;
}
