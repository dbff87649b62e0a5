#include "PelbrinSrv/HttpServer.h"

#include <log4cplus/loggingmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "common/LogText.h"

log4cplus::Logger HttpServer::logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("HttpServer"));

namespace {

const char REQUEST_FIELD[] = "request";
const char NOT_FOUND_TEXT[] = "URL could not be found";
const char NOT_ALLOWED_TEXT[] = "Method not allowed";
const char CONTENT_TYPE[] = "text/plain;charset=utf-8";
const size_t POST_BUFFER_SIZE = 1024;
const size_t LOG_BUFFER_SIZE = 10000;

struct PostProcessorDelete {
    void operator()(MHD_PostProcessor* p) const noexcept { MHD_destroy_post_processor(p); }
};
struct MhdResponseDelete {
    void operator()(MHD_Response* r) const noexcept { MHD_destroy_response(r); }
};
using PostProcessorPtr = std::unique_ptr<MHD_PostProcessor, PostProcessorDelete>;
using MhdResponsePtr = std::unique_ptr<MHD_Response, MhdResponseDelete>;

// Lives in the connection's pointer from the first call of a request to its completion notice.
struct ConnectionContext {
    std::string body;
    PostProcessorPtr postProcessor;
    bool tooLarge = false;
    bool working = false;  // carried out by the dispatcher: counted until its answer is sent
};

MHD_Result reply(MHD_Connection* connection, unsigned status, const std::string& text) {
    MhdResponsePtr response(
        MHD_create_response_from_buffer(text.size(), const_cast<char*>(text.data()), MHD_RESPMEM_MUST_COPY));
    if (!response ||
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONTENT_TYPE, CONTENT_TYPE) != MHD_YES ||
        MHD_add_response_header(response.get(), MHD_HTTP_HEADER_CONNECTION, "close") != MHD_YES) {
        return MHD_NO;
    }
    return MHD_queue_response(connection, status, response.get());
}

}  // namespace

HttpServer::~HttpServer() { stop(); }

bool HttpServer::start() {
    refusingRequests = false;
    // The library wants its own polling thread beside the thread per connection (MHD_USE_ERROR_LOG is the
    // current name of MHD_USE_DEBUG); stop() can only stop the accepting alone over the inter-thread channel.
    const unsigned flags =
        MHD_USE_ERROR_LOG | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ITC;
    // The logger comes first: the library reports options given before it on standard error.
    daemon = MHD_start_daemon(
        flags, port, nullptr, nullptr, &HttpServer::accessHandlerCallback, this, MHD_OPTION_EXTERNAL_LOGGER,
        static_cast<MHD_LogCallback>(&HttpServer::externalLoggerCallback), nullptr,
        MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned>(connectionLimit), MHD_OPTION_NOTIFY_COMPLETED,
        static_cast<MHD_RequestCompletedCallback>(&HttpServer::requestCompletedCallback), this,
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(connectionTimeout), MHD_OPTION_END);
    return daemon != nullptr;
}

void HttpServer::stop() {
    if (daemon == nullptr) return;
    // Closing the connections at once would cut off requests being carried out: their work would be done
    // (a charge committed) but never answered, and a client trying again would do it twice.
    const MHD_socket listening = MHD_quiesce_daemon(daemon);
    {
        std::unique_lock<std::mutex> lock(requestsMutex);
        const auto timeout = std::chrono::seconds(connectionTimeout);
        requestsEnded.wait_for(lock, timeout, [this] { return requestsInProgress == 0; });
        // Checked under the same lock as the counts: a request still being sent cannot begin its work after
        // this and be cut off halfway.
        refusingRequests = true;
        // No bound for work that may commit: it is bounded by the database's busy time-out and the manager's
        // time-outs. The answers then get the connection time-out to be sent: a client reading a large one
        // slowly must not hold the stop for as long as it likes.
        requestsEnded.wait(lock, [this] { return requestsDispatching == 0; });
        requestsEnded.wait_for(lock, timeout, [this] { return requestsWorking == 0; });
    }
    MHD_stop_daemon(daemon);
    daemon = nullptr;
    // The library leaves a quiesced socket to its caller, to be closed once its threads are gone.
    if (listening != MHD_INVALID_SOCKET) close(listening);
}

bool HttpServer::beginRequest() {
    const std::lock_guard<std::mutex> lock(requestsMutex);
    if (refusingRequests) return false;
    ++requestsInProgress;
    return true;
}

bool HttpServer::beginWork() {
    const std::lock_guard<std::mutex> lock(requestsMutex);
    if (refusingRequests) return false;
    ++requestsWorking;
    ++requestsDispatching;
    return true;
}

void HttpServer::endDispatch() {
    const std::lock_guard<std::mutex> lock(requestsMutex);
    if (--requestsDispatching == 0) requestsEnded.notify_all();
}

void HttpServer::endRequest(bool working) {
    const std::lock_guard<std::mutex> lock(requestsMutex);
    --requestsInProgress;
    if (working) --requestsWorking;
    if (requestsInProgress == 0 || (working && requestsWorking == 0)) requestsEnded.notify_all();
}

MHD_Result HttpServer::carryOut(MHD_Connection* connection, const char* url, const std::string& text,
                                bool& working) {
    // A request that gets this far after stop() was done waiting for begun requests is refused unanswered.
    if (!working) {
        if (!beginWork()) return MHD_NO;
        working = true;
    }
    const MHD_Result queued = answer(connection, url, text);
    endDispatch();
    return queued;
}

std::string HttpServer::normalizePath(std::string path) {
    for (auto at = path.find("//"); at != std::string::npos; at = path.find("//")) {
        path.replace(at, 2, "/");
    }
    if (path.size() > 2 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

MHD_Result HttpServer::accessHandlerCallback(void* cls, MHD_Connection* connection, const char* url,
                                             const char* method, const char*, const char* uploadData,
                                             size_t* uploadDataSize, void** conCls) noexcept {
    HttpServer& server = *static_cast<HttpServer*>(cls);
    const bool post = std::strcmp(method, MHD_HTTP_METHOD_POST) == 0;

    if (*conCls == nullptr) {
        // MHD_NO closes the connection unanswered; here nothing has been done for the request yet.
        if (!server.beginRequest()) return MHD_NO;
        std::unique_ptr<ConnectionContext> created(new (std::nothrow) ConnectionContext());
        if (!created) {
            server.endRequest(false);
            return MHD_NO;
        }
        ConnectionContext& context = *created;
        *conCls = created.release();  // requestCompletedCallback frees it and ends the request
        if (post) {
            // The library makes a post processor only for form-encoded and multipart bodies.
            context.postProcessor.reset(MHD_create_post_processor(
                connection, POST_BUFFER_SIZE, &HttpServer::iteratePostCallback, &context));
            if (!context.postProcessor) {
                LOG4CPLUS_ERROR(logger, "error creating post processor");
                return MHD_NO;
            }
            return MHD_YES;
        }
    }
    ConnectionContext& context = *static_cast<ConnectionContext*>(*conCls);
    if (std::strcmp(method, MHD_HTTP_METHOD_GET) == 0) {
        const char* value = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, REQUEST_FIELD);
        return server.carryOut(connection, url, value != nullptr ? value : "", context.working);
    }
    if (post) {
        if (*uploadDataSize != 0) {
            MHD_post_process(context.postProcessor.get(), uploadData, *uploadDataSize);
            *uploadDataSize = 0;
            return context.tooLarge ? MHD_NO : MHD_YES;  // MHD_NO closes the connection unanswered
        }
        return server.carryOut(connection, url, context.body, context.working);
    }
    return reply(connection, MHD_HTTP_METHOD_NOT_ALLOWED, NOT_ALLOWED_TEXT);
}

MHD_Result HttpServer::iteratePostCallback(void* cls, MHD_ValueKind, const char* key, const char*,
                                           const char*, const char*, const char* data, uint64_t,
                                           size_t size) noexcept {
    // An empty piece (a field without a value) carries nothing; stopping here would lose a later field.
    if (size == 0) return MHD_YES;
    ConnectionContext& context = *static_cast<ConnectionContext*>(cls);
    if (key == nullptr || std::strcmp(key, REQUEST_FIELD) != 0) return MHD_YES;
    // Checked before appending, so the text never outgrows the limit.
    if (size > kMaxRequestSize - context.body.size()) {
        LOG4CPLUS_ERROR(logger, "request too large");
        context.tooLarge = true;
        return MHD_NO;
    }
    context.body.append(data, size);
    return MHD_YES;
}

void HttpServer::requestCompletedCallback(void* cls, MHD_Connection*, void** conCls,
                                          MHD_RequestTerminationCode) noexcept {
    // Also called when the handler refused the request or the connection broke: every begun request ends.
    if (*conCls == nullptr) return;
    const std::unique_ptr<ConnectionContext> context(static_cast<ConnectionContext*>(*conCls));
    *conCls = nullptr;
    static_cast<HttpServer*>(cls)->endRequest(context->working);
}

void HttpServer::externalLoggerCallback(void*, const char* format, va_list ap) noexcept {
    if (!logger.isEnabledFor(log4cplus::DEBUG_LOG_LEVEL)) return;
    char text[LOG_BUFFER_SIZE] = {};
    std::vsnprintf(text, sizeof text, format, ap);
    // The library quotes the request's decoded URL: a line break in it must not forge log lines. Its own
    // line end goes, as the layout ends the line.
    std::string_view message(text);
    if (!message.empty() && message.back() == '\n') message.remove_suffix(1);
    LOG4CPLUS_DEBUG(logger, logSafeText(message));
}

MHD_Result HttpServer::answer(MHD_Connection* connection, const char* url, const std::string& text) const {
    // The text is collected before the path is looked at.
    const std::string path = normalizePath(url != nullptr ? url : "");
    if (canHandleUrlPath(path)) {
        return reply(connection, MHD_HTTP_OK, processRequest(text));
    }
    return reply(connection, MHD_HTTP_NOT_FOUND, NOT_FOUND_TEXT);
}
