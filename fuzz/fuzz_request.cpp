// Worker::processRequest against a seeded database: every answer is one JSON object of "response",
// "error_code", "error_description" and "arg", written as cJSON prints it (so the string encoder is held to
// cJSON's); only valid credentials succeed; a changed file passes SQLite's integrity check and is then put
// back, so every input meets the same rows and a saved crash input reproduces on its own.
#include <cjson/cJSON.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "common/JsonPtr.h"
#include "fuzz/FuzzCheck.h"
#include "korvu/worker/Worker.h"
#include "validator/DummyAdminValidator.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs sql on the file and returns the first column of the last row it yields.
std::string exec(const std::string& path, const std::string& sql) {
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open(path.c_str(), &handle);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> connection(handle, sqlite3_close);
    std::string last;
    const auto keep = [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) = values[0] ? values[0] : "";
        return 0;
    };
    require(rc == SQLITE_OK && sqlite3_exec(handle, sql.c_str(), keep, &last, nullptr) == SQLITE_OK,
            "the database runs the statements");
    return last;
}

// Every write commits with a sync, which costs a disk round trip unless the file is in memory.
struct Fixture {
    std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/fuzz_request_" +
                       std::to_string(getpid()) + ".db";
    std::string pristine;
    korvu::DummyAdminValidator validator{"trivx", "trivx"};
    std::unique_ptr<Worker> worker;

    Fixture() {
        std::remove(path.c_str());
        const std::string data = PELBRIN_TEST_DATA_DIR "/";
        exec(path, readFile(data + "schema.sql") + readFile(data + "seed.sql") + ";SELECT 1 FROM exten");
        pristine = readFile(path);
        worker.reset(new Worker(path, validator, "2.3.1", "'Dec  2 2015 07:26:53'", 20000));
    }
    ~Fixture() { std::remove(path.c_str()); }
};

Fixture* fixture = nullptr;

// The administrator above and the web passwords of the seed rows.
bool validCredentials(const cJSON* request) {
    const cJSON* auth = cJSON_GetObjectItem(request, "auth");
    const char* name = cJSON_GetStringValue(cJSON_GetObjectItem(auth, "name"));
    const char* pass = cJSON_GetStringValue(cJSON_GetObjectItem(auth, "pass"));
    const cJSON* admin = cJSON_GetObjectItem(auth, "admin");
    if (!name || !pass || !cJSON_IsBool(admin)) return false;
    const std::string n = name;
    if (cJSON_IsTrue(admin)) return n == "trivx" && std::string(pass) == "trivx";
    return (n == "101" || n == "102" || n == "103") && pass == "secret" + n;
}

void checkResponse(const std::string& request, const std::string& response) {
    const JsonPtr root(cJSON_ParseWithOpts(response.c_str(), nullptr, 1));
    require(response.size() == std::strlen(response.c_str()) && cJSON_IsObject(root.get()),
            "the response is one JSON object");
    const JsonText printed(cJSON_PrintUnformatted(root.get()));
    require(printed && response == printed.get(), "written exactly as cJSON prints it");
    std::string keys;
    for (const cJSON* member = root->child; member; member = member->next)
        keys += member->string + std::string(";");
    require(keys == "response;error_code;error_description;arg;", "the four members in order");

    const cJSON* method = root->child;
    const cJSON* code = method->next;
    require(cJSON_IsString(method) && cJSON_IsNumber(code) && cJSON_IsString(code->next), "member types");
    require(code->valueint == 0 || cJSON_IsNull(code->next->next), "an error carries arg null");
    const std::string name = method->valuestring;
    if (code->valueint != 0 || name == "ECHO" || name == "GET_VERSION") return;
    const JsonPtr parsed(cJSON_Parse(request.c_str()));
    require(validCredentials(parsed.get()), "a billing method succeeds only with valid credentials");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static log4cplus::Initializer initializer;
    // Log lines are built (and so exercised) but go nowhere.
    log4cplus::Logger root = log4cplus::Logger::getRoot();
    root.addAppender(log4cplus::SharedAppenderPtr(new log4cplus::NullAppender()));
    root.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
    static Fixture instance;
    fixture = &instance;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string request(reinterpret_cast<const char*>(data), size);
    const std::string response = fixture->worker->processRequest(request);
    // For reading what a saved input is answered: PELBRIN_FUZZ_PRINT=1 ./fuzz_request FILE...
    static const bool print = std::getenv("PELBRIN_FUZZ_PRINT") != nullptr;
    if (print) std::fprintf(stderr, "%s\n", response.c_str());
    checkResponse(request, response);
    if (readFile(fixture->path) != fixture->pristine) {
        require(exec(fixture->path, "PRAGMA integrity_check") == "ok", "the database file stays intact");
        std::ofstream out(fixture->path, std::ios::binary | std::ios::trunc);
        require(static_cast<bool>(out << fixture->pristine << std::flush), "the pristine file is put back");
    }
    return 0;
}
