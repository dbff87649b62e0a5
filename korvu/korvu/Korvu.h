#pragma once

#include <log4cplus/logger.h>

#include <list>
#include <memory>
#include <string>

#include "common/Auth.h"
#include "db/DBException.h"
#include "db/Database.h"
#include "db/Stmt.h"
#include "korvu/korvu/KorvuData.h"
#include "korvu/korvu/KorvuException.h"
#include "korvu/korvu/RateRecord.h"

namespace korvu {

class AdminValidator;

// The billing core. It keeps no connection: every public operation opens its own, authorises the
// caller on it and closes it again, so one object serves all connection threads without a lock.
// Public operations let only KorvuException out.
class Korvu {
public:
    Korvu(const std::string& databasePath, AdminValidator& adminValidator, unsigned maxRows);
    virtual ~Korvu();

    bool isAdmin(const Auth& auth) const;
    void login(const Auth& auth) const;

    // Lets AuthException, AccessDeniedException, the validator's InternalError and db::DBException out.
    void authorizeOrThrow(const Auth& auth, bool adminRequired, db::Database& connection) const;
    // True when exactly one exten row has this number and web password; lets db::DBException out.
    bool checkExtenAuth(const Auth& auth, db::Database& connection) const;

    // Settings, help texts, currency.
    std::unique_ptr<KorvuData> getSettings(const Auth& auth) const;
    void setCurrency(const Auth& auth, const std::string& currency) const;
    std::unique_ptr<KorvuData> getHelp(const Auth& auth, const std::string& language) const;

    // Rates.
    void deleteRate(const Auth& auth, long long id) const;
    void activateRate(const Auth& auth, long long id, int active) const;
    void addRate(const Auth& auth, const std::string& prefix, const int* numberLength, double rate,
                 int billUnit, const std::string& fromHour, const std::string& toHour, double initCost,
                 double initTime, const std::string& extensions, int active) const;
    void updateRate(const Auth& auth, long long id, const std::string& prefix, const int* numberLength,
                    double rate, int billUnit, const std::string& fromHour, const std::string& toHour,
                    double initCost, double initTime, const std::string& extensions, int active) const;
    std::unique_ptr<KorvuData> getRateHistory(const Auth& auth, long long id) const;
    std::unique_ptr<KorvuData> getRates(const Auth& auth) const;
    std::unique_ptr<KorvuData> getRate(const Auth& auth, const std::string& exten) const;

    // Extensions and charging.
    std::unique_ptr<KorvuData> getExten(const Auth& auth, const std::string& exten) const;
    std::unique_ptr<KorvuData> getExtens(const Auth& auth, const std::string* exten,
                                         const std::string* billStatus, const int* prepaid) const;
    void updateExten(const Auth& auth, const std::list<long long>& ids, const std::string& billStatus,
                     double limitCredit, int prepaid) const;
    void updateExtenWithPass(const Auth& auth, long long id, const std::string& billStatus,
                             double limitCredit, int prepaid, const std::string& password) const;
    void clearExten(const Auth& auth, const std::list<long long>& ids) const;
    void changeExtenPass(const Auth& auth, long long id, const std::string& newPass) const;
    void chargeExten(const Auth& auth, const std::list<long long>& ids, double value) const;

    // Call records and statistics.
    void deleteCallLogs(const Auth& auth) const;
    void deleteCallLogs(const Auth& auth, const std::list<long long>& acctIds) const;
    std::unique_ptr<KorvuData> getStatistics(const Auth& auth, bool monthly, const std::string* fromDate,
                                             const std::string* toDate, const std::string* exten) const;
    std::string getCallLogs(const Auth& auth, const std::string* exten, const std::string* fromDate,
                            const std::string* toDate, const std::string* filterName,
                            const std::string* filterValue) const;

    // Recharge history.
    std::unique_ptr<KorvuData> getRechargeHistory(const Auth& auth, const std::string* exten,
                                                  const std::string* fromDate,
                                                  const std::string* toDate) const;

    // Result-table readers, for a prepared, bound and not yet stepped statement. More rows than the
    // limit throw TooManyRowsException naming recordLimit; db::DBException passes.
    std::unique_ptr<KorvuData> performSelect(db::Stmt& statement, int limit) const;
    std::unique_ptr<KorvuData> performSelect(db::Stmt& statement) const;
    std::string performSelectAndReturnString(db::Stmt& statement, int limit) const;

    // Argument checks; the OrThrow forms throw InvalidArgException with the check's message.
    static bool checkHourFormat(const std::string& value);
    static bool checkDateFormat(const std::string& value);
    static void checkHourFormatOrThrow(const std::string& value);
    static void checkDateFormatOrThrow(const std::string& value);
    static void checkStringArgOrThrow(const std::string& name, const std::string& value,
                                      const std::list<std::string>& allowed);
    static void checkBillStatusOrThrow(const std::string& value);
    static void checkIfNotNegativeOrThrow(const std::string& name, int value);
    // A double is shown as the int check shows its value truncated toward zero, but between -1 and 0,
    // which it shows as it is; negative zero passes, NaN does not.
    static void checkIfNotNegativeOrThrow(const std::string& name, double value);
    static void checkIfZeroOrOneOrThrow(const std::string& name, int value);

    static const std::string mStrAuthException;
    static const std::string mStrAccessDenied;
    static const std::string mStrExtenNotFound;
    static const std::string mStrRateNotFound;

private:
    // Where a database error's text goes besides the log; only the call-record listing echoes it.
    enum class DbErrorEcho { logOnly, alsoToStandardError };

    // The operation frame: opens the connection, authorises on it, returns body(connection). The
    // connection and every statement of body are released before a db::DBException becomes
    // InternalError; korvu exceptions pass untouched.
    template <typename Body>
    auto run(const Auth& auth, bool adminRequired, Body&& body,
             DbErrorEcho echo = DbErrorEcho::logOnly) const;
    // The frame under the own-extension rule: the administrator is required when exten is not given,
    // and an extension user must give its own number.
    template <typename Body>
    auto runForExten(const Auth& auth, const std::string* exten, Body&& body,
                     DbErrorEcho echo = DbErrorEcho::logOnly) const;

    std::unique_ptr<db::Database> openDatabase() const;
    static void checkOwnExtenOrThrow(const Auth& auth, const std::string* exten);
    // Logs the database error at ERROR and returns the InternalError carrying its text.
    static InternalError internalError(const db::DBException& error, DbErrorEcho echo = DbErrorEcho::logOnly);
    TooManyRowsException tooManyRows() const;

    // Rates.
    int getRateCount(long long id, db::Database& connection) const;
    int checkRatesTable(const Auth& auth, db::Database& connection) const;
    int performCheckRatesTable(std::list<RateRecord> records) const;
    static bool checkRateHours(const std::string& fromHour1, const std::string& toHour1,
                               const std::string& fromHour2, const std::string& toHour2);

    // Extensions.
    std::unique_ptr<KorvuData> getExtenData(const Auth& auth, const std::string& sql,
                                            const std::string& exten) const;
    bool checkExtenList(const std::list<long long>& ids, db::Database& connection) const;
    int getExtenCountById(long long id, db::Database& connection) const;
    int getExtenCountByIdAndExten(long long id, const std::string& exten, db::Database& connection) const;
    int getExtenCount(const std::string& exten, db::Database& connection) const;
    int getExtenCountByPrepaid(long long id, int prepaid, db::Database& connection) const;
    void performChargeExten(db::Database& connection, const std::list<long long>& ids, double value) const;

    static log4cplus::Logger logger;

    const std::string dbPath;
    AdminValidator& validator;
    const unsigned recordLimit;
};

template <typename Body>
auto Korvu::run(const Auth& auth, bool adminRequired, Body&& body, DbErrorEcho echo) const {
    try {
        const auto connection = openDatabase();
        authorizeOrThrow(auth, adminRequired, *connection);
        return body(*connection);
    } catch (const db::DBException& error) {
        throw internalError(error, echo);
    }
}

template <typename Body>
auto Korvu::runForExten(const Auth& auth, const std::string* exten, Body&& body, DbErrorEcho echo) const {
    return run(
        auth, exten == nullptr,
        [&](db::Database& connection) {
            checkOwnExtenOrThrow(auth, exten);
            return body(connection);
        },
        echo);
}

}  // namespace korvu
