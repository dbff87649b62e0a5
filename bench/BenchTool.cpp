// Helpers that scripts/bench.sh drives; see bench/README.md.
// clang-format off
//   bench_tool gendb OUT.db
//   bench_tool floor MODE DB THREADS SECONDS [key=value ...]   (login settings calllogs addrate activate charge)
//   bench_tool inproc DB THREADS SECONDS REQUEST_FILE [RECORD_LIMIT]
//   bench_tool bare-http PORT CONNECTION_LIMIT TEXT_FILE      (runs until SIGINT or SIGTERM)
//   bench_tool urlencode FILE | freeport | contains HAYSTACK_FILE NEEDLE_FILE
// clang-format on

#include "bench/BenchTool.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/BenchDb.h"
#include "bench/BenchUtil.h"
#include "PelbrinSrv/ProcessSetup.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: bench_tool gendb|floor|inproc|bare-http|urlencode|freeport|contains ...\n");
    return 2;
}

std::string trimmedFile(const std::string& path) {
    std::string text = bench::readFile(path);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// The kernel's choice of a free loopback port; the socket is closed again at once.
int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) bench::die("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        bench::die("bind");
    }
    const int port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

}  // namespace

int main(int argc, char** argv) {
    configureProcessMemory();  // the server's settings, for the floors and the in-process loop alike
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usage();
    const std::string& command = args[0];
    if (command == "gendb" && args.size() == 2) {
        bench::generateDatabase(args[1], bench::DbShape());
        return 0;
    }
    if (command == "floor" && args.size() >= 5) {
        std::map<std::string, std::string> options;
        for (std::size_t i = 5; i < args.size(); ++i) {
            const auto equals = args[i].find('=');
            if (equals == std::string::npos) return usage();
            options[args[i].substr(0, equals)] = args[i].substr(equals + 1);
        }
        return bench::runSqliteFloor(args[1], args[2], static_cast<unsigned>(std::stoul(args[3])),
                                     std::stod(args[4]), options);
    }
    if (command == "inproc" && (args.size() == 5 || args.size() == 6)) {
        return bench::runInProcess(args[1], static_cast<unsigned>(std::stoul(args[2])), std::stod(args[3]),
                                   args[4],
                                   args.size() == 6 ? static_cast<unsigned>(std::stoul(args[5])) : 20000u);
    }
    if (command == "bare-http" && args.size() == 4) {
        return bench::runBareHttp(static_cast<unsigned>(std::stoul(args[1])),
                                  static_cast<unsigned>(std::stoul(args[2])), args[3]);
    }
    if (command == "urlencode" && args.size() == 2) {
        std::printf("%s\n", bench::urlEncode(trimmedFile(args[1])).c_str());
        return 0;
    }
    if (command == "freeport" && args.size() == 1) {
        std::printf("%d\n", freePort());
        return 0;
    }
    if (command == "contains" && args.size() == 3) {
        return bench::readFile(args[1]).find(trimmedFile(args[2])) != std::string::npos ? 0 : 1;
    }
    return usage();
}
