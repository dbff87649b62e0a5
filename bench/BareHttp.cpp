// The HTTP floor: libmicrohttpd started with the service's flags and options, answering every request with
// one fixed text through the same calls the service makes (argument lookup, response copied from a buffer,
// the same two headers), so only the product's own work is missing.

#include <microhttpd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/BenchTool.h"
#include "bench/BenchUtil.h"

namespace bench {

namespace {

struct ResponseDelete {
    void operator()(MHD_Response* r) const noexcept { MHD_destroy_response(r); }
};

MHD_Result answer(void* cls, MHD_Connection* connection, const char*, const char*, const char*, const char*,
                  size_t*, void**) {
    const std::string& text = *static_cast<const std::string*>(cls);
    const char* request = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "request");
    const std::string body = request != nullptr ? text : std::string();
    std::unique_ptr<MHD_Response, ResponseDelete> response(
        MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY));
    if (!response ||
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain;charset=utf-8") !=
            MHD_YES ||
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONNECTION, "close") != MHD_YES) {
        return MHD_NO;
    }
    return MHD_queue_response(connection, MHD_HTTP_OK, response.get());
}

void completed(void*, MHD_Connection*, void** conCls, MHD_RequestTerminationCode) { *conCls = nullptr; }

void quietLogger(void*, const char*, va_list) {}

}  // namespace

int runBareHttp(unsigned port, unsigned connectionLimit, const std::string& textPath) {
    const std::string text = readFile(textPath);
    // Blocked before the library starts its threads, so only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const unsigned flags =
        MHD_USE_ERROR_LOG | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD;
    MHD_Daemon* daemon =
        MHD_start_daemon(flags, static_cast<uint16_t>(port), nullptr, nullptr, &answer,
                         const_cast<std::string*>(&text), MHD_OPTION_CONNECTION_LIMIT, connectionLimit,
                         MHD_OPTION_NOTIFY_COMPLETED, static_cast<MHD_RequestCompletedCallback>(&completed),
                         nullptr, MHD_OPTION_EXTERNAL_LOGGER, static_cast<MHD_LogCallback>(&quietLogger),
                         nullptr, MHD_OPTION_CONNECTION_TIMEOUT, 30u, MHD_OPTION_END);
    if (daemon == nullptr) die("cannot start the bare HTTP server");
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
    std::printf("PORT %u\n", info != nullptr ? static_cast<unsigned>(info->port) : port);
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    MHD_stop_daemon(daemon);
    return 0;
}

}  // namespace bench
