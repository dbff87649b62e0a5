#include <gtest/gtest.h>
#include <log4cplus/appender.h>
#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "db/Database.h"
#include "db/Stmt.h"
#include "korvu/korvu/Korvu.h"
#include "korvu/worker/Worker.h"
#include "tests/support/TempDatabase.h"
#include "validator/DummyAdminValidator.h"

namespace {

using testsupport::Rows;

std::string as(const std::string& method, const std::string& arg, const std::string& name,
               const std::string& pass, bool admin) {
    return "{\"request\":\"" + method + "\",\"arg\":" + arg + ",\"auth\":{\"name\":\"" + name +
           "\",\"pass\":\"" + pass + "\",\"admin\":" + (admin ? "true" : "false") + "}}";
}
// The administrator of the fixture's validator, and extension 101 with its seeded web password.
std::string admin(const std::string& method, const std::string& arg = "null") {
    return as(method, arg, "trivx", "trivx", true);
}
std::string user(const std::string& method, const std::string& arg = "null") {
    return as(method, arg, "101", "secret101", false);
}
std::string ok(const std::string& method, const std::string& arg = "null") {
    return "{\"response\":\"" + method +
           "\",\"error_code\":0,\"error_description\":\"SUCCESS\",\"arg\":" + arg + "}";
}
// The description goes in as it stands, so JSON escapes are given escaped.
std::string no(const std::string& method, int code, const std::string& description) {
    return "{\"response\":\"" + method + "\",\"error_code\":" + std::to_string(code) +
           ",\"error_description\":\"" + description + "\",\"arg\":null}";
}

// Every table of the file, so a refusal that touched any of them shows.
std::vector<Rows> snapshot(const testsupport::TempDatabase& database) {
    std::vector<Rows> tables;
    for (const auto& table : database.query("SELECT name FROM sqlite_master WHERE type = 'table'"))
        tables.push_back(database.query("SELECT * FROM " + *table.at(0) + " ORDER BY rowid"));
    return tables;
}

const std::string kVersion = "2.3.1", kBuiltDate = "'Dec  2 2015 07:26:53'";

class Requests : public testing::Test {
protected:
    void SetUp() override {
        log4cplus::Logger::getInstance("Worker").setLogLevel(log4cplus::OFF_LOG_LEVEL);
        log4cplus::Logger::getInstance("Korvu").setLogLevel(log4cplus::OFF_LOG_LEVEL);
    }

    testsupport::TempDatabase database;
    korvu::DummyAdminValidator validator{"trivx", "trivx"};
    Worker worker{database.path(), validator, kVersion, kBuiltDate, 20000};
};

// Each row runs on a fresh file; without SQL showing the effect, every table must stay as seeded.
struct Answer {
    std::string request;
    std::string response;
    std::string check = "";
    Rows rows = {};
    std::string setup = "";
};

// clang-format off
const std::string kRateHeaders = R"("headers":["id","prefix","number_length","rate","bill_unit","from_hour","to_hour","init_cost","init_time","extensions","active","last_mod"])";
const std::string kRateSql = "SELECT id, prefix, number_length, rate, bill_unit, from_hour, to_hour, init_cost, init_time, extensions, active FROM rate WHERE id = ";
const std::string kAmountsSql = "SELECT id, total_charge, balance FROM exten ORDER BY id";
const std::string kBillingSql = "SELECT id, bill_status, limit_credit, prepaid, www_pass FROM exten ORDER BY id";
const std::string kSettings = R"({"headers":["settings_key","settings_value"],"rows":[["CURRENCY","EUR"],["LANGUAGE","en"]]})";
const std::vector<Answer> kAnswers = {
    // ECHO and GET_VERSION look at no credentials.
    {as("ECHO", R"({"value":"a\"b\\c\nd\te"})", "101", "wrong", false), ok("ECHO", R"({"value":"a\"b\\c\nd\te"})")},
    {as("GET_VERSION", "null", "trivx", "wrong", true), R"({"response":"GET_VERSION","error_code":0,"error_description":"SUCCESS","arg":{"version":"2.3.1","built_date":"'Dec  2 2015 07:26:53'"}})"},
    {admin("LOGIN"), R"({"response":"LOGIN","error_code":0,"error_description":"SUCCESS","arg":null})"},
    {user("GET_SETTINGS"), ok("GET_SETTINGS", kSettings)},
    {admin("SET_CURRENCY", R"({"currency":"US$ \"x\""})"), ok("SET_CURRENCY"), "SELECT * FROM settings ORDER BY 1", {{"CURRENCY", "US$ \"x\""}, {"LANGUAGE", "en"}}},
    {admin("GET_RATES"), ok("GET_RATES", "{" + kRateHeaders + R"(,"rows":[["1","0048","11","0.25","60","08:00","18:00","0.1","30.0","101,102","1","2015-01-05 08:00:00"],["2","0049",null,"0.4","60","22:00","06:00","0.0","0.0","101","0","2015-01-06 08:00:00"]]})")},
    {user("GET_HELP", R"({"language":"de"})"), ok("GET_HELP", R"({"headers":["key","value"],"rows":[["login","Melden Sie sich mit Nebenstelle und Web-Passwort an."],["rates","Tarife richten sich nach der Vorwahl der gewaehlten Nummer."]]})")},
    {admin("GET_RATE_HISTORY", R"({"rate_id":"1"})"), ok("GET_RATE_HISTORY", "{" + kRateHeaders + R"(,"rows":[["1","0048","11","0.25","60","08:00","18:00","0.1","30.0","101,102","1","2015-01-05 08:00:00"],["1","0048","11","0.3","60","08:00","18:00","0.1","30.0","101","0","2015-01-01 08:00:00"]]})")},
    {user("GET_RATE", R"({"exten":"101"})"), ok("GET_RATE", R"({"headers":["prefix","number_length","rate","from_hour","to_hour","init_cost","init_time","bill_unit","last_mod"],"rows":[["0048","11","0.25","08:00","18:00","0.1","30.0","60","2015-01-05 08:00:00"]]})")},
    {user("GET_EXTEN", R"({"exten":"101"})"), R"({"response":"GET_EXTEN","error_code":0,"error_description":"SUCCESS","arg":{"headers":["id","exten","outboundcid","name","email","dialplan","analog_phone","vm","sip","can_reinvite","iax2","t38","agent","nat","pickupgroup","delete_vm","dtmf_mode","video_call","permit_ip","provision_man","provision_mac","alaw","ulaw","g729","gsm","speex","h261","h263","h263p","h264","bill_status","total_charge","balance","limit_credit","prepaid","last_mod","active"],"rows":[["1","101","\"Alice\" <101>","Alice","alice@example.com","default","0","0","1","0","0","0","0","0","","0","rfc2833","0","","","","1","1","0","0","0","0","0","0","0","FREE","12.5","2.5","100.0","0","2015-01-10 09:00:00","1"]]}})"},
    {admin("GET_EXTENS", R"({"exten":"10","bill_status":"FREE","prepaid":"1"})"), ok("GET_EXTENS", R"({"headers":["id","exten","name","active","bill_status","total_charge","limit_credit","balance","last_mod","prepaid"],"rows":[["3","103","Carol","0","FREE","0.0","0.0","0.0","2015-01-12 11:00:00","1"]]})")},
    {user("GET_RECHARGE_HISTORY", R"({"exten":"101","from_date":"2015-03-01 00:00","to_date":"2015-03-31 23:59"})"), ok("GET_RECHARGE_HISTORY", R"({"headers":["id","exten_id","recharge_date","exten","pre_balance","charge"],"rows":[["2","1","2015-03-05 11:30:00","101","10.0","2.5"]]})")},
    {user("GET_CALL_LOGS", R"({"exten":"101","from_date":"2015-03-01 00:00","to_date":"2015-03-02 12:00","filter_name":"dst","filter_value":"0048"})"), R"({"response":"GET_CALL_LOGS","error_code":0,"error_description":"SUCCESS","arg":{"headers":["AcctId","start","exten_name","src","dst","billsec","disposition","cost"],"rows":[["4","2015-03-02 08:30:00","Alice","101","0048227654321","120","ANSWERED","1.25"]]}})"},
    {user("GET_STATISTICS", R"({"exten":"101","monthly":true,"from_date":"2015-03-01 00:00"})"), ok("GET_STATISTICS", R"({"headers":["calls","total_duration","avg_duration","total_cost","date","exten"],"rows":[["2","165","83.0","1.25","2015-03","101"]]})")},
    // The one day of both bounds is counted, as GET_CALL_LOGS lists its call.
    {admin("GET_STATISTICS", R"({"from_date":"2015-03-01 00:00","to_date":"2015-03-01 23:59"})"), ok("GET_STATISTICS", R"({"headers":["calls","total_duration","avg_duration","total_cost","date","exten"],"rows":[["1","35","35.0","0.0","2015-03-01","ALL"]]})")},
    {admin("ADD_RATE", R"({"prefix":"0050","number_length":null,"rate":"0.5","bill_unit":"30","from_hour":"08:00","to_hour":"12:00","init_cost":"0.2","init_time":"10","extensions":["101","103"],"active":"1"})"), ok("ADD_RATE"), kRateSql + "3", {{"3", "0050", std::nullopt, "0.5", "30", "08:00", "12:00", "0.2", "10.0", "101,103", "1"}}},
    // Negative zero is zero, not a negative value; between -1 and 0 the value itself is shown.
    {admin("ADD_RATE", R"({"prefix":"0050","number_length":"00","rate":"-0","bill_unit":"0","from_hour":"08:00","to_hour":"12:00","init_cost":"-0.0","init_time":"-.0","extensions":[],"active":"0"})"), ok("ADD_RATE"), kRateSql + "3", {{"3", "0050", "0", "0.0", "0", "08:00", "12:00", "0.0", "0.0", "", "0"}}},
    {admin("ADD_RATE", R"({"prefix":"1","number_length":null,"rate":"-0.5","bill_unit":"1","from_hour":"08:00","to_hour":"09:00","init_cost":"0","init_time":"0","extensions":["101"],"active":"1"})"), no("ADD_RATE", 4, "Bad value of field: rate. Expected value equal or greater than 0, got: -0.5")},
    {admin("UPDATE_RATE", R"({"rate_id":"2","prefix":"0051","number_length":"9","rate":"0.75","bill_unit":"10","from_hour":"20:00","to_hour":"23:00","init_cost":"1.5","init_time":"5","extensions":["102","103"],"active":"1"})"), ok("UPDATE_RATE"), kRateSql + "2", {{"2", "0051", "9", "0.75", "10", "20:00", "23:00", "1.5", "5.0", "102,103", "1"}}},
    {admin("ACTIVATE_RATE", R"({"rate_id":"2","active":"1"})"), ok("ACTIVATE_RATE"), "SELECT id, active FROM rate ORDER BY id", {{"1", "1"}, {"2", "1"}}},
    {admin("DELETE_RATE", R"({"rate_id":"2"})"), ok("DELETE_RATE"), "SELECT id FROM rate", {{"1"}}},
    {admin("DELETE_CALL_LOGS", R"({"ids":["1","3","99"]})"), ok("DELETE_CALL_LOGS"), "SELECT AcctId FROM cdr ORDER BY 1", {{"2"}, {"4"}, {"5"}, {"6"}, {"7"}}},
    {admin("DELETE_ALL_CALL_LOGS"), ok("DELETE_ALL_CALL_LOGS"), "SELECT count(*) FROM cdr", {{"0"}}},
    {admin("CHARGE_EXTEN", R"({"exten_array":["1","2"],"value":"5.25"})"), ok("CHARGE_EXTEN"), kAmountsSql, {{"1", "17.75", "7.75"}, {"2", "35.25", "25.25"}, {"3", "0.0", "0.0"}}},
    {admin("CLEAR_EXTEN", R"({"exten_array":["1"]})"), ok("CLEAR_EXTEN"), kAmountsSql, {{"1", "0.0", "0.0"}, {"2", "30.0", "20.0"}, {"3", "0.0", "0.0"}}},
    {admin("UPDATE_EXTEN", R"({"bill_status":"LOCK","limit_credit":"12.5","prepaid":"1","new_pass":"np","exten_array":["1"]})"), ok("UPDATE_EXTEN"), kBillingSql, {{"1", "LOCK", "12.5", "1", "np"}, {"2", "LOCK", "50.0", "1", "secret102"}, {"3", "FREE", "0.0", "1", "secret103"}}},
    {admin("UPDATE_EXTEN", R"({"bill_status":"FREE","limit_credit":"-3","prepaid":"0","exten_array":["2","3"]})"), ok("UPDATE_EXTEN"), kBillingSql, {{"1", "FREE", "100.0", "0", "secret101"}, {"2", "FREE", "-3.0", "0", "secret102"}, {"3", "FREE", "-3.0", "0", "secret103"}}},
    {admin("CHANGE_EXTEN_PASS", R"({"exten_id":"-1","new_pass":"new"})"), ok("CHANGE_EXTEN_PASS"), "SELECT www_pass FROM exten WHERE id = -1", {{"new"}}, "INSERT INTO exten (id, exten, www_pass) VALUES (-1, '900', 'old')"},
    {"{", R"({"response":"UNKNOWN","error_code":2,"error_description":"Cannot parse JSON: ","arg":null})"},
    // Once the text is parsed its method name is known, yet a missing member is answered under UNKNOWN.
    {R"({"request":"ECHO","auth":{"name":"","pass":"","admin":false}})", no("UNKNOWN", 4, R"(Lack of object item \"arg\")")},
    // Names match exactly; an unknown one is answered as sent, whatever arg and auth hold.
    {as("echo", R"({"x":[1]})", "nobody", "wrong", true), R"({"response":"echo","error_code":3,"error_description":"unknown method","arg":null})"},
    // The administrator is never looked up among the extensions.
    {as("LOGIN", "null", "101", "secret101", true), no("LOGIN", 6, "Invalid user or password")},
    {admin("GET_RATE_HISTORY", R"({"rate_id":"1x"})"), no("GET_RATE_HISTORY", 4, "cannot convert '1x' to long long int")},
    // A number followed by anything is no number: it would name rate 2, extension 3, an amount of 10.
    {admin("DELETE_RATE", R"({"rate_id":"2-999"})"), no("DELETE_RATE", 4, "cannot convert '2-999' to long long int")},
    {admin("CHANGE_EXTEN_PASS", R"({"exten_id":"3-1","new_pass":"x"})"), no("CHANGE_EXTEN_PASS", 4, "cannot convert '3-1' to int")},
    {admin("CHARGE_EXTEN", R"({"exten_array":["1"],"value":"10-5"})"), no("CHARGE_EXTEN", 4, "cannot convert '10-5' to double")},
    // Another extension's record is denied before its existence is looked at.
    {user("GET_EXTEN", R"({"exten":"999"})"), no("GET_EXTEN", 7, "Access denied")},
    {admin("ADD_RATE", R"({"prefix":"0048","number_length":"11","rate":"1","bill_unit":"60","from_hour":"09:00","to_hour":"10:00","init_cost":"0","init_time":"0","extensions":["101","102"],"active":"1"})"), no("ADD_RATE", 11, "Corrupted rates table - 2 are colliding")},
    // The argument is checked before the credentials.
    {as("ADD_RATE", R"({"prefix":"1","number_length":null,"rate":"1","bill_unit":"1","from_hour":"8:00","to_hour":"09:00","init_cost":"0","init_time":"0","extensions":["101"],"active":"1"})", "trivx", "wrong", true), no("ADD_RATE", 4, "Invalid hour format: 8:00")},
    {admin("DELETE_RATE", R"({"rate_id":"99"})"), no("DELETE_RATE", 12, "Rate not found")},
    {admin("ACTIVATE_RATE", R"({"rate_id":"99","active":"1"})"), no("ACTIVATE_RATE", 12, "Rate not found")},
    // The known first extension must keep neither its charge nor its new settings.
    {admin("CHARGE_EXTEN", R"({"exten_array":["1","9"],"value":"1"})"), no("CHARGE_EXTEN", 8, "Exten not found")},
    {admin("UPDATE_EXTEN", R"({"bill_status":"FREE","limit_credit":"1","prepaid":"1","exten_array":["1","9"]})"), no("UPDATE_EXTEN", 8, "Exten not found")},
    {admin("UPDATE_EXTEN", R"({"bill_status":"FREE","limit_credit":"1","prepaid":"1","new_pass":"np","exten_array":["9"]})"), no("UPDATE_EXTEN", 8, "Exten not found")},
    {admin("CLEAR_EXTEN", R"({"exten_array":["1","9"]})"), no("CLEAR_EXTEN", 8, "Exten not found")},
    {user("CHANGE_EXTEN_PASS", R"({"exten_id":"2","new_pass":"x"})"), no("CHANGE_EXTEN_PASS", 7, "can not change the another exten password ")},
    {admin("CHANGE_EXTEN_PASS", R"({"exten_id":"-1","new_pass":""})"), no("CHANGE_EXTEN_PASS", 8, "Exten not found")},
    {admin("CHANGE_EXTEN_PASS", R"({"exten_id":"1","new_pass":""})"), no("CHANGE_EXTEN_PASS", 4, "new pass is empty")},
};
// clang-format on

TEST_F(Requests, EveryMethodAnswersOrRefusesExactlyAndLeavesItsEffectInTheFile) {
    for (const Answer& answer : kAnswers) {
        SCOPED_TRACE(answer.request);
        const testsupport::TempDatabase fresh;
        fresh.exec(answer.setup);
        const auto before = snapshot(fresh);
        Worker one(fresh.path(), validator, kVersion, kBuiltDate, 20000);
        EXPECT_EQ(answer.response, one.processRequest(answer.request));
        if (answer.check.empty()) {
            EXPECT_EQ(before, snapshot(fresh));
        } else {
            EXPECT_EQ(answer.rows, fresh.query(answer.check));
        }
    }
}

// A string cut at an escaped U+0000, or at a \u escape without four hex digits, would be acted on as its
// first part: rate 2 deleted, row 1 charged 7, the password "np5" stored, a login with a password's first
// part. Each is refused before anything runs; an escaped backslash before "u0000" is plain text.
TEST_F(Requests, StringsCutByAnEscapedNulAreRefusedAndNothingChanges) {
    // clang-format off
    const std::string nul = R"({"response":"UNKNOWN","error_code":4,"error_description":"U+0000 is not accepted in a JSON string: \\u0000)";
    const std::string broken = R"({"response":"UNKNOWN","error_code":2,"error_description":"Cannot parse JSON: \\u)";
    // clang-format off
    const std::vector<std::pair<std::string, std::string>> rows = {
        {admin("DELETE_RATE", R"({"rate_id":"2\u0000999"})"), nul + "999"},
        {admin("CHARGE_EXTEN", R"({"exten_array":["1\uzzzz-5"],"value":"7\u00009"})"), broken + "zzzz-5"},
        {admin("CHARGE_EXTEN", R"({"exten_array":["1"],"value":"7\u00009"})"), nul + "9"},
        {admin("CHARGE_EXTEN", R"({"exten_array":["1\u12zz"],"value":"7"})"), broken + "12zz"},
        {admin("UPDATE_EXTEN", R"({"bill_status":"FREE","limit_credit":"1","prepaid":"1","new_pass":"np5\u00009","exten_array":["1"]})"), nul + "9"},
        {admin("DELETE_RATE", R"({"rate_id\u0000x":"2"})"), nul + "x"},
        {as("GET_EXTEN", R"({"exten":"101"})", "101", R"(secret101\u0000x)", false), nul + "x"},
        {as("LOGIN", "null", "trivx", R"(trivx\u0000x)", true), nul + "x"},
        {as("LOGIN", "null", R"(trivx\u0000)", "trivx", true), nul + R"(\")"},
        {R"({"request":"ECHO\u0000","arg":null,"auth":{"name":"","pass":"","admin":false}})", nul + R"(\")"},
    };
    for (const auto& [request, opening] : rows) {
        SCOPED_TRACE(request);
        const testsupport::TempDatabase fresh;
        const auto before = snapshot(fresh);
        const std::string response = Worker(fresh.path(), validator, kVersion, kBuiltDate, 20000).processRequest(request);
        EXPECT_EQ(opening, response.substr(0, opening.size()));
        EXPECT_EQ(before, snapshot(fresh));
    }
    // A request whose trailing text holds such an escape is still served: only the parsed value counts.
    EXPECT_EQ(ok("LOGIN"), worker.processRequest(admin("LOGIN") + R"( "\u0000" \uzzzz)"));
    EXPECT_EQ(ok("UPDATE_EXTEN"), worker.processRequest(admin("UPDATE_EXTEN",
        R"({"bill_status":"FREE","limit_credit":"1","prepaid":"0","new_pass":"np\\u0000b\u00e9\/","exten_array":["1"]})")));
    EXPECT_EQ(Rows({{std::string("np\\u0000b\xc3\xa9/")}}), database.query("SELECT www_pass FROM exten WHERE id = 1"));
    EXPECT_EQ(ok("LOGIN"), worker.processRequest(as("LOGIN", "null", "101", R"(np\\u0000b\u00e9/)", false)));
    // clang-format on
}

// What the Worker is built with decides the record limit (a table of exactly the limit passes, one row more
// refuses it whole), the file (a gone one is code 1 and is not created) and the version texts.
TEST_F(Requests, LimitFileAndVersionTextsComeFromTheConstructor) {
    database.exec("INSERT INTO rate (id) VALUES (5)");  // a third rate
    Worker two(database.path(), validator, kVersion, kBuiltDate, 2);
    Worker three(database.path(), validator, kVersion, kBuiltDate, 3);
    const std::string tooMany = "Too many rows. Current limit is 2. ";
    EXPECT_EQ(no("GET_RATES", 10, tooMany), two.processRequest(admin("GET_RATES")));
    EXPECT_EQ(no("GET_RATES", 10, tooMany), Worker::createResponse(10, tooMany, "GET_RATES"));
    EXPECT_EQ(worker.processRequest(admin("GET_RATES")), three.processRequest(admin("GET_RATES")));
    const std::string path = testing::TempDir() + "worker_gone_" + std::to_string(getpid()) + ".db";
    Worker gone(path, validator, "v", "d", 20000);
    EXPECT_EQ(no("LOGIN", 1, "SQL Error  14: unable to open database file"),
              gone.processRequest(admin("LOGIN")));
    // The methods without argument insist on null before any database work.
    for (const std::string method :
         {"DELETE_ALL_CALL_LOGS", "LOGIN", "GET_SETTINGS", "GET_RATES", "GET_VERSION"})
        EXPECT_EQ(no(method, 4, "arg must by null"), gone.processRequest(admin(method, "{}")));
    EXPECT_EQ(ok("GET_VERSION", R"({"version":"v","built_date":"d"})"),
              gone.processRequest(admin("GET_VERSION")));
    EXPECT_NE(0, access(path.c_str(), F_OK)) << "the missing file was created";
}

using Event = std::pair<log4cplus::LogLevel, std::string>;

// Keeps every event, with the unpredictable processor time masked; appends are serialised per appender.
struct Capture : log4cplus::Appender {
    ~Capture() override { destructorImpl(); }
    void close() override {}
    void append(const log4cplus::spi::InternalLoggingEvent& event) override {
        static const std::regex time("time: [0-9]+\\.[0-9]{6} sec$");
        events.emplace_back(event.getLogLevel(), std::regex_replace(event.getMessage(), time, "time: T sec"));
    }
    std::vector<Event> events;
};

// Everything the Worker logs goes to a Capture alone, which the logger owns.
class RequestLog : public Requests {
protected:
    void SetUp() override {
        Requests::SetUp();
        log4cplus::Logger logger = log4cplus::Logger::getInstance("Worker");
        logger.removeAllAppenders();
        logger.addAppender(log4cplus::SharedAppenderPtr(capture));
        logger.setAdditivity(false);
        logger.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
    }
    Capture* const capture = new Capture();
};

TEST_F(RequestLog, EachRequestIsNumberedCutToFiftyBytesAndWarnedOnlyOnError) {
    worker.processRequest("{");
    worker.processRequest(admin("kaput"));
    log4cplus::Logger::getInstance("Worker").setLogLevel(log4cplus::WARN_LOG_LEVEL);
    worker.processRequest(admin("LOGIN"));  // counted, though its lines are not written
    worker.processRequest(as("LOGIN", "null", "101", "bad", false));
    const log4cplus::LogLevel D = log4cplus::DEBUG_LOG_LEVEL, W = log4cplus::WARN_LOG_LEVEL;
    const std::vector<Event> expected = {
        {D, "new request [1]:{ ...  "},
        {W, "process request [1] error: JSONException  2: Cannot parse JSON: "},
        {D, "request [1] processed. size: 0.087891 kB, time: T sec"},
        {D, R"(new request [2]:{"request":"kaput","arg":null,"auth":{"name":"triv ...  )"},
        {D, "request [2] processed. size: 0.081055 kB, time: T sec"},
        {W, "process request [4] error: AuthException  6: Invalid user or password"},
    };
    EXPECT_EQ(expected, capture->events);
}

TEST_F(RequestLog, ConcurrentRequestsGetDistinctNumbersAndTheirOwnAnswers) {
    constexpr unsigned kThreads = 8, kPerThread = 24;
    std::atomic<unsigned> wrong{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (unsigned i = 0; i < kPerThread; ++i) {
                const std::string value = R"({"value":")" + std::to_string(t * 100 + i) + "\"}";
                wrong += worker.processRequest(admin("ECHO", value)) != ok("ECHO", value);
                wrong += worker.processRequest(user("GET_SETTINGS")) != ok("GET_SETTINGS", kSettings);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(0u, wrong.load());
    // Each number from 1 to the count of requests opens exactly one request and closes exactly one.
    std::multiset<unsigned> opened, processed, expected;
    const std::regex line(R"((new )?request \[([0-9]+)\](:| processed\. ).*)");
    for (const Event& event : capture->events) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(event.second, match, line)) << event.second;
        (match[1].matched ? opened : processed).insert(std::stoul(match[2]));
    }
    for (unsigned n = 1; n <= kThreads * kPerThread * 2; ++n) expected.insert(n);
    EXPECT_EQ(expected, opened);
    EXPECT_EQ(expected, processed);
}

// The Worker's table writer and the call-record listing's writer, over the same statement.
using ResultTableJson = Requests;

TEST_F(ResultTableJson, SameTextAsTheCallRecordListingForTheSameRows) {
    database.exec(
        "CREATE TABLE t (\"we\"\"ird\" TEXT, n INTEGER, r REAL, e TEXT);"
        "INSERT INTO t VALUES ('a\"b\\c', 5, 1.5, ''), (NULL, NULL, -0.25, char(9, 10, 13, 1, 31, 47)),"
        "('\xC3\xA9', 0, 100.0, NULL);");
    const korvu::Korvu core(database.path(), validator, 100);
    const auto connection = db::openDatabase(database.path(), SQLITE_OPEN_READWRITE, 1000);
    const auto both = [&](const std::string& sql) {
        const auto first = db::prepare(*connection, sql);
        const std::string table = Worker::korvuDataToJsonString(*core.performSelect(*first));
        const auto second = db::prepare(*connection, sql);
        EXPECT_EQ(table, core.performSelectAndReturnString(*second, 100)) << sql;
        return table;
    };
    EXPECT_EQ(
        R"({"headers":["we\"ird","n","r","e","next"],"rows":[["a\"b\\c","5","1.5","","6"],[null,null,"-0.25","\t\n\r\u0001\u001f/",null],[")"
        "\xC3\xA9"
        R"(","0","100.0",null,"1"]]})",
        both("SELECT \"we\"\"ird\", n, r, e, n + 1 AS next FROM t ORDER BY rowid"));
    EXPECT_EQ(R"({"headers":["n","e"],"rows":[]})", both("SELECT n, e FROM t WHERE 0"));
}

}  // namespace
