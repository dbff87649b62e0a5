#pragma once

#include <log4cplus/logger.h>
#include <microhttpd.h>

#include <condition_variable>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

// Plain-text HTTP front end over libmicrohttpd: one request text per HTTP request, taken from the GET query
// argument or the form-encoded POST field "request". A subclass decides which path it serves and what it
// answers; it fills the fields in its own constructor.
class HttpServer {
public:
    // Longest request text collected from a POST body; a longer one closes the connection unanswered.
    static constexpr std::size_t kMaxRequestSize = 8 * 1024 * 1024;

    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Stops a daemon still running, as the library's threads point at this object. A subclass whose
    // processRequest() uses its own members calls stop() in its own destructor: here they are gone.
    virtual ~HttpServer();

    // True once the daemon listens; nothing is logged, the caller reports a failure.
    bool start();
    // Stops accepting connections and waits, for at most the connection time-out, for the requests already
    // begun to be answered. Then a request not yet carried out is refused, while one in the dispatcher is
    // waited for without a bound: its work may commit, so it must not go unanswered. The answers then get
    // the connection time-out once more to be sent. Then closes every connection and waits for the
    // library's threads; harmless when not running.
    void stop();

    // The reply text for one request text on a served path; called on many connection threads at once.
    virtual std::string processRequest(const std::string& body) const = 0;
    virtual bool canHandleUrlPath(const std::string& path) const = 0;

    // Runs of slashes become one and a single trailing slash goes, but "/" stays.
    static std::string normalizePath(std::string path);

protected:
    HttpServer() = default;

    MHD_Daemon* daemon = nullptr;
    std::uint16_t port = 0;
    int connectionLimit = 0;
    bool ssl = false;  // never used to start TLS: start-up refuses SSL before a server is built
    int connectionTimeout = 0;

    static log4cplus::Logger logger;

private:
    // The library's C callbacks: nothing may unwind through them, so exhausted memory ends the process.
    static MHD_Result accessHandlerCallback(void* cls, MHD_Connection* connection, const char* url,
                                            const char* method, const char* version, const char* uploadData,
                                            size_t* uploadDataSize, void** conCls) noexcept;
    static MHD_Result iteratePostCallback(void* cls, MHD_ValueKind kind, const char* key,
                                          const char* filename, const char* contentType,
                                          const char* transferEncoding, const char* data, uint64_t off,
                                          size_t size) noexcept;
    static void requestCompletedCallback(void* cls, MHD_Connection* connection, void** conCls,
                                         MHD_RequestTerminationCode code) noexcept;
    static void externalLoggerCallback(void* cls, const char* format, va_list ap) noexcept;

    // False once stop() is done waiting for begun requests: the request is then refused before it does
    // anything.
    bool beginRequest();
    // Before the dispatcher runs the request; false once refusing, under the same lock as the flag.
    bool beginWork();
    void endDispatch();
    // At the completion notice, once per begun request; working tells whether the dispatcher ran it.
    void endRequest(bool working);

    // Runs the dispatcher on a request (working is its context's flag) and queues the answer.
    MHD_Result carryOut(MHD_Connection* connection, const char* url, const std::string& text, bool& working);
    MHD_Result answer(MHD_Connection* connection, const char* url, const std::string& text) const;

    // Requests from their first handler call to their completion notice, which comes once the answer is sent;
    // of them, those the dispatcher has begun to carry out; of those, the ones still in the dispatcher.
    std::mutex requestsMutex;
    std::condition_variable requestsEnded;
    int requestsInProgress = 0;
    int requestsWorking = 0;
    int requestsDispatching = 0;
    bool refusingRequests = false;
};
