// Worker::processRequest against a seeded database: every input gets one JSON response with the four
// members in order, in the form cJSON itself prints; unparsable text is answered as "UNKNOWN" with
// code 2; only valid credentials succeed. The database file is put back after every input, so each
// input meets the same rows and a saved crash input reproduces on its own.
#include <cjson/cJSON.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "common/JsonPtr.h"
#include "fuzz/FuzzCheck.h"
#include "korvu/worker/Worker.h"
#include "validator/DummyAdminValidator.h"

using fuzzcheck::require;
using fuzzcheck::visible;

namespace {

const char ADMIN_NAME[] = "trivx";
const char ADMIN_PASS[] = "trivx";

// The 24 served names; any other name is an unknown method.
const std::set<std::string> METHODS = {"ECHO",
                                       "GET_EXTEN",
                                       "CHANGE_EXTEN_PASS",
                                       "GET_EXTENS",
                                       "GET_RECHARGE_HISTORY",
                                       "GET_CALL_LOGS",
                                       "GET_RATE",
                                       "LOGIN",
                                       "GET_VERSION",
                                       "UPDATE_EXTEN",
                                       "GET_SETTINGS",
                                       "SET_CURRENCY",
                                       "GET_RATES",
                                       "GET_HELP",
                                       "GET_RATE_HISTORY",
                                       "ADD_RATE",
                                       "CHARGE_EXTEN",
                                       "CLEAR_EXTEN",
                                       "UPDATE_RATE",
                                       "ACTIVATE_RATE",
                                       "DELETE_RATE",
                                       "GET_STATISTICS",
                                       "DELETE_CALL_LOGS",
                                       "DELETE_ALL_CALL_LOGS"};

const std::set<int> CODES = {0, 1, 2, 3, 4, 6, 7, 8, 10, 11, 12};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fuzzcheck::fail("fixture readable", path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every write request commits with a sync, which costs a disk round trip unless the file is in memory.
std::string scratchDir() {
    const char* dir = std::getenv("TMPDIR");
    if (dir && *dir) return dir;
    if (access("/dev/shm", W_OK) == 0) return "/dev/shm";
    return "/tmp";
}

// The seeded database, its pristine bytes and the one Worker over it.
class Fixture {
public:
    Fixture() {
        path = scratchDir() + "/fuzz_request_" + std::to_string(getpid()) + ".db";
        std::remove(path.c_str());
        build();
        pristine = readFile(path);
        validator.reset(new korvu::DummyAdminValidator(ADMIN_NAME, ADMIN_PASS));
        worker.reset(new Worker(path, *validator, "2.3.1", "'Dec  2 2015 07:26:53'", 20000));
    }
    ~Fixture() {
        worker.reset();
        std::remove(path.c_str());
    }
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;

    // Every operation closes its connection before it returns, so nothing holds the file open here.
    void restore() const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(pristine.data(), static_cast<std::streamsize>(pristine.size()));
        if (!out) fuzzcheck::fail("fixture restorable", path);
    }

    std::string path;
    std::string pristine;
    std::unique_ptr<korvu::DummyAdminValidator> validator;  // outlives the Worker that refers to it
    std::unique_ptr<Worker> worker;

private:
    void build() const {
        sqlite3* handle = nullptr;
        const int rc =
            sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        const std::unique_ptr<sqlite3, int (*)(sqlite3*)> connection(handle, sqlite3_close);
        if (rc != SQLITE_OK) fuzzcheck::fail("fixture database opens", path);
        const std::string dataDir = PELBRIN_TEST_DATA_DIR "/";
        const std::string sql =
            "BEGIN;" + readFile(dataDir + "schema.sql") + readFile(dataDir + "seed.sql") + ";COMMIT;";
        char* error = nullptr;
        if (sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "";
            sqlite3_free(error);
            fuzzcheck::fail("fixture database builds", message);
        }
    }
};

Fixture* fixture = nullptr;

bool validCredentials(const cJSON* request) {
    const cJSON* auth = cJSON_GetObjectItem(request, "auth");
    const cJSON* name = cJSON_GetObjectItem(auth, "name");
    const cJSON* pass = cJSON_GetObjectItem(auth, "pass");
    const cJSON* admin = cJSON_GetObjectItem(auth, "admin");
    if (!cJSON_IsString(name) || !cJSON_IsString(pass) || !cJSON_IsBool(admin)) return false;
    const std::string n = name->valuestring;
    const std::string p = pass->valuestring;
    if (cJSON_IsTrue(admin)) return n == ADMIN_NAME && p == ADMIN_PASS;
    // The web passwords of the seed rows; the database is restored before any change could last.
    return (n == "101" && p == "secret101") || (n == "102" && p == "secret102") ||
           (n == "103" && p == "secret103");
}

void checkResponse(const std::string& request, const std::string& response) {
    const auto detail = [&] { return "request: " + visible(request) + "\nresponse: " + visible(response); };

    require(response.size() == std::strlen(response.c_str()), "the response holds no NUL byte", detail);
    const char* end = nullptr;
    const JsonPtr root(cJSON_ParseWithOpts(response.c_str(), &end, 1));
    require(root != nullptr && cJSON_IsObject(root.get()), "the response is one JSON object", detail);
    const JsonText printed(cJSON_PrintUnformatted(root.get()));
    require(printed != nullptr && response == printed.get(), "written exactly as cJSON prints it", detail);

    const cJSON* method = root->child;
    const cJSON* code = method ? method->next : nullptr;
    const cJSON* description = code ? code->next : nullptr;
    const cJSON* arg = description ? description->next : nullptr;
    require(arg != nullptr && arg->next == nullptr, "exactly four members", detail);
    require(std::strcmp(method->string, "response") == 0 && cJSON_IsString(method), "first \"response\"",
            detail);
    require(std::strcmp(code->string, "error_code") == 0 && cJSON_IsNumber(code), "second \"error_code\"",
            detail);
    require(std::strcmp(description->string, "error_description") == 0 && cJSON_IsString(description),
            "third \"error_description\"", detail);
    require(std::strcmp(arg->string, "arg") == 0, "fourth \"arg\"", detail);
    require(CODES.count(code->valueint) == 1 && code->valuedouble == code->valueint, "a known code", detail);

    const std::string name = method->valuestring;
    const int errorCode = code->valueint;
    require((errorCode == 0) == (std::strcmp(description->valuestring, "SUCCESS") == 0),
            "\"SUCCESS\" exactly on code 0", detail);
    if (errorCode != 0) require(cJSON_IsNull(arg), "an error carries arg null", detail);

    const JsonPtr parsedRequest(cJSON_Parse(request.c_str()));
    if (!parsedRequest) {
        require(errorCode == 2 && name == "UNKNOWN", "unparsable text is code 2 for \"UNKNOWN\"", detail);
        require(std::strncmp(description->valuestring, "Cannot parse JSON: ", 19) == 0,
                "the parse failure message", detail);
        return;
    }
    require(errorCode != 2, "code 2 only for unparsable text", detail);

    const cJSON* requested = cJSON_GetObjectItem(parsedRequest.get(), "request");
    if (!cJSON_IsString(requested)) {
        require(errorCode == 4 && name == "UNKNOWN", "no method name is code 4 for \"UNKNOWN\"", detail);
        return;
    }
    // The parser refuses a malformed "arg" or "auth" after it has read the name, still as "UNKNOWN".
    if (name == "UNKNOWN" && errorCode == 4) return;
    const std::string requestedName = requested->valuestring;
    require(name == requestedName, "answered under the requested name", detail);

    const bool known = METHODS.count(name) == 1;
    require((errorCode == 3) == !known, "code 3 exactly for an unknown name", detail);
    if (!known) {
        require(std::strcmp(description->valuestring, "unknown method") == 0, "the unknown-method text",
                detail);
        return;
    }
    if (errorCode != 0) return;

    if (name == "ECHO") {
        const cJSON* sent = cJSON_GetObjectItem(cJSON_GetObjectItem(parsedRequest.get(), "arg"), "value");
        const cJSON* echoed = cJSON_GetObjectItem(arg, "value");
        require(cJSON_IsString(sent) && cJSON_IsString(echoed) &&
                    std::strcmp(sent->valuestring, echoed->valuestring) == 0,
                "ECHO sends the value back", detail);
    } else if (name != "GET_VERSION") {
        require(validCredentials(parsedRequest.get()),
                "a billing method succeeds only with valid credentials", detail);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static log4cplus::Initializer initializer;
    // Log lines are built (and so exercised) but go nowhere.
    log4cplus::Logger root = log4cplus::Logger::getRoot();
    root.removeAllAppenders();
    root.addAppender(log4cplus::SharedAppenderPtr(new log4cplus::NullAppender()));
    root.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
    static Fixture instance;
    fixture = &instance;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string request(reinterpret_cast<const char*>(data), size);
    const std::string response = fixture->worker->processRequest(request);
    fixture->restore();
    // For reading what a saved input is answered: PELBRIN_FUZZ_PRINT=1 ./fuzz_request FILE...
    static const bool print = std::getenv("PELBRIN_FUZZ_PRINT") != nullptr;
    if (print) std::fprintf(stderr, "%s\n", response.c_str());
    checkResponse(request, response);
    return 0;
}
