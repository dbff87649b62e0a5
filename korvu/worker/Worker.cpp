#include "korvu/worker/Worker.h"

#include <cjson/cJSON.h>
#include <log4cplus/loggingmacros.h>

#include <ctime>
#include <exception>
#include <iomanip>
#include <new>
#include <string_view>
#include <vector>

#include "common/Exception.h"
#include "common/JsonEncode.h"
#include "common/JsonPtr.h"
#include "common/LogText.h"
#include "common/ProtoConstants.h"
#include "proto/MethodEchoArg.h"
#include "proto/MethodNullArg.h"
#include "proto/Protocol.h"

namespace {

// How much of a request text the "new request" line shows.
constexpr std::string::size_type kLoggedRequestBytes = 50;

JsonPtr newObjectOrThrow() {
    JsonPtr object(cJSON_CreateObject());
    if (!object) {
        throw std::bad_alloc();
    }
    return object;
}

// The object owns the item only once the add succeeded; until then the JsonPtr does.
void addStringOrThrow(cJSON* object, const std::string& key, const std::string& value) {
    JsonPtr item(cJSON_CreateString(value.c_str()));
    if (!item || !cJSON_AddItemToObject(object, key.c_str(), item.get())) {
        throw std::bad_alloc();
    }
    item.release();
}

void appendEncoded(std::string& text, const std::string& value) {
    proto::appendEncodedJsonString(text, value.data(), value.size());
}

void appendJsonArrayOfStrings(std::string& text, const std::vector<std::string>& values) {
    text += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        appendEncoded(text, values[i]);
    }
    text += ']';
}

void appendJsonRow(std::string& text, const korvu::KorvuData::ListType<korvu::NullableString>& row) {
    text += '[';
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        if (row[i].isNull()) {
            text += "null";
        } else {
            appendEncoded(text, row[i].str());
        }
    }
    text += ']';
}

}  // namespace

log4cplus::Logger Worker::logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Worker"));

// Names are compared by exact equality only, so the order decides nothing but the number of comparisons.
const Worker::MethodEntry Worker::methodTable[] = {
    {&proto::METHOD_ECHO, &Worker::processEcho},
    {&proto::METHOD_GET_EXTEN, &Worker::processGetExten},
    {&proto::METHOD_CHANGE_EXTEN_PASS, &Worker::processChangeExtenPassword},
    {&proto::METHOD_GET_EXTENS, &Worker::processGetExtens},
    {&proto::METHOD_GET_RECHARGE_HISTORY, &Worker::processGetRechargeHistory},
    {&proto::METHOD_GET_CALL_LOGS, &Worker::processGetCallLog},
    {&proto::METHOD_GET_RATE, &Worker::processGetRate},
    {&proto::METHOD_LOGIN, &Worker::processLogin},
    {&proto::METHOD_GET_VERSION, &Worker::processGetVersion},
    {&proto::METHOD_UPDATE_EXTEN, &Worker::processUpdateExten},
    {&proto::METHOD_GET_SETTINGS, &Worker::processGetSettings},
    {&proto::METHOD_SET_CURRENCY, &Worker::processSetCurrency},
    {&proto::METHOD_GET_RATES, &Worker::processGetRates},
    {&proto::METHOD_GET_HELP, &Worker::processGetHelp},
    {&proto::METHOD_GET_RATE_HISTORY, &Worker::processGetRateHistory},
    {&proto::METHOD_ADD_RATE, &Worker::processAddRate},
    {&proto::METHOD_CHARGE_EXTEN, &Worker::processChargeExten},
    {&proto::METHOD_CLEAR_EXTEN, &Worker::processClearExten},
    {&proto::METHOD_UPDATE_RATE, &Worker::processUpdateRate},
    {&proto::METHOD_ACTIVATE_RATE, &Worker::processActivateRate},
    {&proto::METHOD_DELETE_RATE, &Worker::processDeleteRate},
    {&proto::METHOD_GET_STATISTICS, &Worker::processGetStatistics},
    {&proto::METHOD_DELETE_CALL_LOGS, &Worker::processDeleteCallLogs},
    {&proto::METHOD_DELETE_ALL_CALL_LOGS, &Worker::processDeleteAllCallLogs},
};

Worker::Worker(const std::string& dbPath, korvu::AdminValidator& validator, const std::string& versionText,
               const std::string& builtDateText, unsigned recordLimit)
    : korvu(dbPath, validator, recordLimit),
      version(versionText),
      builtDate(builtDateText),
      requestCount(0) {}

Worker::~Worker() = default;

std::string Worker::processRequest(const std::string& request) noexcept {
    // Unsigned arithmetic: the count wraps to 0 after 2^32 - 1.
    const std::uint32_t number = ++requestCount;
    // Client text in log lines is escaped and bounded, so it cannot forge lines nor flood the log.
    const std::string_view head = std::string_view(request).substr(0, kLoggedRequestBytes);
    LOG4CPLUS_DEBUG(logger, "new request [" << number << "]:" << logSafeText(head) << " ...  ");
    // The process CPU clock costs a system call that sums every thread's time; only the DEBUG line
    // shows it, so it is read only when that line is written.
    const bool timed = logger.isEnabledFor(log4cplus::DEBUG_LOG_LEVEL);
    const std::clock_t start = timed ? std::clock() : 0;

    std::string method = proto::METHOD_UNKNOWN;
    std::string response;
    try {
        proto::RequestData rd;
        proto::parseRequestOrThrow(request, rd);
        method = rd.method;
        response = dispatch(rd);
    } catch (const Exception& e) {
        LOG4CPLUS_WARN(logger, "process request [" << number << "] error: " << logSafeText(e.what()));
        response = proto::createErrorResponseString(method, e.errorCode(), e.errorMessage());
    } catch (const std::bad_alloc& e) {
        LOG4CPLUS_FATAL(logger, "Failed to allocate memory " << e.what());
        std::terminate();
    }

    if (timed) {
        const std::clock_t end = std::clock();
        LOG4CPLUS_DEBUG(logger, "request [" << number << "] processed. size: " << std::fixed
                                            << std::setprecision(6)
                                            << static_cast<double>(response.size()) / 1024.0 << " kB, time: "
                                            << static_cast<double>(end - start) / CLOCKS_PER_SEC << " sec");
    }
    return response;
}

std::string Worker::dispatch(const proto::RequestData& rd) {
    for (const MethodEntry& entry : methodTable) {
        if (rd.method == *entry.name) {
            try {
                return (this->*entry.handler)(rd);
            } catch (const Exception&) {
                throw;
            } catch (...) {
                // A handler lets only Exception out; anything else, exhausted memory included, ends
                // the process here rather than being mistaken for a failure of the dispatcher.
                std::terminate();
            }
        }
    }
    return processUnknownMethod(rd);
}

std::string Worker::createResponse(int code, const std::string& description,
                                   const std::string& method) noexcept {
    const JsonPtr response(proto::createErrorResponse(method, code, description));
    return proto::jsonToString(response.get());
}

std::string Worker::korvuDataToJsonString(const korvu::KorvuData& data) {
    std::string text = "{";
    appendEncoded(text, proto::ITEM_HEADERS);
    text += ':';
    appendJsonArrayOfStrings(text, data.headers);
    text += ',';
    appendEncoded(text, proto::ITEM_ROWS);
    text += ":[";
    for (std::size_t i = 0; i < data.rows.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        appendJsonRow(text, data.rows[i]);
    }
    text += "]}";
    return text;
}

std::string Worker::processEcho(const proto::RequestData& rd) {
    proto::MethodEchoArg arg;
    proto::MethodEchoArg::prepare(rd, arg);
    const JsonPtr answer = newObjectOrThrow();
    addStringOrThrow(answer.get(), proto::ITEM_VALUE, arg.value);
    return proto::createResponseString(rd.method, answer.get());
}

std::string Worker::processGetVersion(const proto::RequestData& rd) {
    proto::MethodNullArg arg;
    proto::MethodNullArg::prepare(rd, arg);
    const JsonPtr answer = newObjectOrThrow();
    addStringOrThrow(answer.get(), proto::ITEM_VERSION, version);
    addStringOrThrow(answer.get(), proto::ITEM_BUILT_DATE, builtDate);
    return proto::createResponseString(rd.method, answer.get());
}

std::string Worker::processUnknownMethod(const proto::RequestData& rd) noexcept {
    return proto::createErrorResponseString(rd.method, 3, "unknown method");
}
