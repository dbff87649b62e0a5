#include <memory>
#include <string>

#include "korvu/worker/Worker.h"
#include "proto/MethodActivateRateArg.h"
#include "proto/MethodAddRateArg.h"
#include "proto/MethodCallLogsArg.h"
#include "proto/MethodChangeExtenPass.h"
#include "proto/MethodChargeExtenArg.h"
#include "proto/MethodCurrencyArg.h"
#include "proto/MethodDeleteCallLogsArg.h"
#include "proto/MethodExtenArg.h"
#include "proto/MethodExtenIdArg.h"
#include "proto/MethodGetExtensArg.h"
#include "proto/MethodGetRechargeHistoryArg.h"
#include "proto/MethodGetStatisticsArg.h"
#include "proto/MethodLanguageArg.h"
#include "proto/MethodNullArg.h"
#include "proto/MethodRateIdArg.h"
#include "proto/MethodUpdateExten.h"
#include "proto/MethodUpdateRateArg.h"
#include "proto/Protocol.h"

// Each billing handler: prepare the method's argument, call one operation with the caller's
// credentials first, answer with null or the rendered table. Exceptions pass to processRequest.

namespace {

template <typename Arg>
Arg preparedArg(const proto::RequestData& rd) {
    Arg arg;
    Arg::prepare(rd, arg);
    return arg;
}

// The methods without argument still insist on "arg" being JSON null.
void nullArgOrThrow(const proto::RequestData& rd) {
    proto::MethodNullArg arg;
    proto::MethodNullArg::prepare(rd, arg);
}

std::string tableResponse(const std::string& method, const std::unique_ptr<korvu::KorvuData>& table) {
    return proto::createResponseString(method, Worker::korvuDataToJsonString(*table));
}

}  // namespace

std::string Worker::processGetExten(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodExtenArg>(rd);
    return tableResponse(rd.method, korvu.getExten(rd.auth, arg.exten));
}

std::string Worker::processChangeExtenPassword(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodChangeExtenPass>(rd);
    korvu.changeExtenPass(rd.auth, static_cast<long long>(arg.extenId), arg.newPass);
    return proto::createResponseString(rd.method);
}

std::string Worker::processGetExtens(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodGetExtensArg>(rd);
    return tableResponse(rd.method,
                         korvu.getExtens(rd.auth, arg.exten.get(), arg.billStatus.get(), arg.prepaid.get()));
}

std::string Worker::processGetRechargeHistory(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodGetRechargeHistoryArg>(rd);
    return tableResponse(
        rd.method, korvu.getRechargeHistory(rd.auth, arg.exten.get(), arg.fromDate.get(), arg.toDate.get()));
}

std::string Worker::processGetCallLog(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodCallLogsArg>(rd);
    // The listing arrives as finished JSON text and goes into the response unparsed.
    return proto::createResponseString(
        rd.method, korvu.getCallLogs(rd.auth, arg.exten.get(), arg.fromDate.get(), arg.toDate.get(),
                                     arg.filterName.get(), arg.filterValue.get()));
}

std::string Worker::processGetRate(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodExtenArg>(rd);
    return tableResponse(rd.method, korvu.getRate(rd.auth, arg.exten));
}

std::string Worker::processLogin(const proto::RequestData& rd) {
    nullArgOrThrow(rd);
    korvu.login(rd.auth);
    return proto::createResponseString(rd.method);
}

std::string Worker::processUpdateExten(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodUpdateExten>(rd);
    if (arg.hasNewPass) {
        // The argument class lets a new password through only with exactly one id.
        korvu.updateExtenWithPass(rd.auth, arg.ids.front(), arg.billStatus, arg.limitCredit, arg.prepaid,
                                  arg.newPass);
    } else {
        korvu.updateExten(rd.auth, arg.ids, arg.billStatus, arg.limitCredit, arg.prepaid);
    }
    return proto::createResponseString(rd.method);
}

std::string Worker::processGetSettings(const proto::RequestData& rd) {
    nullArgOrThrow(rd);
    return tableResponse(rd.method, korvu.getSettings(rd.auth));
}

std::string Worker::processSetCurrency(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodCurrencyArg>(rd);
    korvu.setCurrency(rd.auth, arg.currency);
    return proto::createResponseString(rd.method);
}

std::string Worker::processGetRates(const proto::RequestData& rd) {
    nullArgOrThrow(rd);
    return tableResponse(rd.method, korvu.getRates(rd.auth));
}

std::string Worker::processGetHelp(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodLanguageArg>(rd);
    return tableResponse(rd.method, korvu.getHelp(rd.auth, arg.language));
}

std::string Worker::processGetRateHistory(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodRateIdArg>(rd);
    return tableResponse(rd.method, korvu.getRateHistory(rd.auth, arg.rateId));
}

std::string Worker::processAddRate(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodAddRateArg>(rd);
    korvu.addRate(rd.auth, arg.prefix, arg.numberLength.get(), arg.rate, arg.billUnit, arg.fromHour,
                  arg.toHour, arg.initCost, arg.initTime, arg.extensions, arg.active);
    return proto::createResponseString(rd.method);
}

std::string Worker::processChargeExten(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodChargeExtenArg>(rd);
    korvu.chargeExten(rd.auth, arg.ids, arg.value);
    return proto::createResponseString(rd.method);
}

std::string Worker::processClearExten(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodExtenIdArg>(rd);
    korvu.clearExten(rd.auth, arg.ids);
    return proto::createResponseString(rd.method);
}

std::string Worker::processUpdateRate(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodUpdateRateArg>(rd);
    korvu.updateRate(rd.auth, arg.rateId, arg.prefix, arg.numberLength.get(), arg.rate, arg.billUnit,
                     arg.fromHour, arg.toHour, arg.initCost, arg.initTime, arg.extensions, arg.active);
    return proto::createResponseString(rd.method);
}

std::string Worker::processActivateRate(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodActivateRateArg>(rd);
    korvu.activateRate(rd.auth, arg.rateId, arg.active);
    return proto::createResponseString(rd.method);
}

std::string Worker::processDeleteRate(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodRateIdArg>(rd);
    korvu.deleteRate(rd.auth, arg.rateId);
    return proto::createResponseString(rd.method);
}

std::string Worker::processGetStatistics(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodGetStatisticsArg>(rd);
    return tableResponse(rd.method, korvu.getStatistics(rd.auth, arg.monthly, arg.fromDate.get(),
                                                        arg.toDate.get(), arg.exten.get()));
}

std::string Worker::processDeleteCallLogs(const proto::RequestData& rd) {
    const auto arg = preparedArg<proto::MethodDeleteCallLogsArg>(rd);
    korvu.deleteCallLogs(rd.auth, arg.ids);
    return proto::createResponseString(rd.method);
}

std::string Worker::processDeleteAllCallLogs(const proto::RequestData& rd) {
    nullArgOrThrow(rd);
    korvu.deleteCallLogs(rd.auth);
    return proto::createResponseString(rd.method);
}
