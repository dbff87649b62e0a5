// The service's own work without HTTP: one Worker, as the server builds it, answering the same request text
// from several threads. Between the bare loops and the HTTP figures, it shows where the time goes.

#include <log4cplus/logger.h>

#include <string>

#include "bench/BenchTool.h"
#include "bench/BenchUtil.h"
#include "korvu/worker/Worker.h"
#include "validator/DummyAdminValidator.h"

namespace bench {

int runInProcess(const std::string& dbPath, unsigned threads, double seconds, const std::string& requestPath,
                 unsigned recordLimit) {
    // As the server runs with no appender switched on.
    log4cplus::Logger::getRoot().setLogLevel(log4cplus::OFF_LOG_LEVEL);
    std::string text = readFile(requestPath);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const RequestTemplate request(text, 1000);
    korvu::DummyAdminValidator validator("trivx", "trivx");
    Worker worker(dbPath, validator, "2.3.1", "'Dec  2 2015 07:26:53'", recordLimit);
    const LoopBody body = [&](unsigned thread, std::uint64_t sequence, LoopResult& own) {
        thread_local std::mt19937 random(thread * 7919u + 29u);
        const std::string response = worker.processRequest(request.render(thread + 100, sequence, random));
        own.bytes += response.size();
        if (response.find("\"error_code\":0,") == std::string::npos) ++own.failures;
    };
    printResult(runTimedLoop(threads, seconds, body));
    return 0;
}

}  // namespace bench
