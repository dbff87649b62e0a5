// Worker::processRequest against the seeded test database; README.md lists the properties.
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "common/JsonPtr.h"
#include "db/Database.h"
#include "fuzz/FuzzCheck.h"
#include "korvu/worker/Worker.h"
#include "validator/DummyAdminValidator.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every write commits with a sync, which costs a disk round trip unless the file is in memory.
struct Fixture {
    log4cplus::Initializer initializer;
    std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/fuzz_request_" +
                       std::to_string(getpid()) + ".db";
    std::string pristine;
    korvu::DummyAdminValidator validator{"trivx", "trivx"};
    Worker worker{path, validator, "2.3.1", "'Dec  2 2015 07:26:53'", 20000};

    Fixture() {
        // Log lines are built (and so exercised) but go nowhere.
        log4cplus::Logger::getRoot().addAppender(log4cplus::SharedAppenderPtr(new log4cplus::NullAppender()));
        log4cplus::Logger::getRoot().setLogLevel(log4cplus::TRACE_LOG_LEVEL);
        std::remove(path.c_str());
        const std::string sql =
            readFile(PELBRIN_TEST_DATA_DIR "/schema.sql") + readFile(PELBRIN_TEST_DATA_DIR "/seed.sql");
        db::exec(*db::openDatabase(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, 0), sql.c_str());
        pristine = readFile(path);
    }
    ~Fixture() { std::remove(path.c_str()); }
};

// The administrator above and the web passwords of the seed rows.
bool validCredentials(const std::string& request) {
    const JsonPtr root(cJSON_Parse(request.c_str()));
    const cJSON* auth = cJSON_GetObjectItem(root.get(), "auth");
    const char* name = cJSON_GetStringValue(cJSON_GetObjectItem(auth, "name"));
    const char* pass = cJSON_GetStringValue(cJSON_GetObjectItem(auth, "pass"));
    const cJSON* admin = cJSON_GetObjectItem(auth, "admin");
    if (!name || !pass || !cJSON_IsBool(admin)) return false;
    const std::string n = name;
    if (cJSON_IsTrue(admin)) return n == "trivx" && std::string(pass) == "trivx";
    return (n == "101" || n == "102" || n == "103") && pass == "secret" + n;
}

void checkResponse(const std::string& request, const std::string& response) {
    // Trailing text or a NUL inside the response makes it differ from the printed text.
    const JsonPtr root(cJSON_Parse(response.c_str()));
    const JsonText printed(cJSON_PrintUnformatted(root.get()));
    require(cJSON_IsObject(root.get()) && printed && response == printed.get(),
            "one JSON object, written exactly as cJSON prints it");
    std::string keys;
    for (const cJSON* member = root->child; member; member = member->next)
        keys += member->string + std::string(";");
    require(keys == "response;error_code;error_description;arg;", "the four members in order");

    const cJSON* code = root->child->next;
    require(cJSON_IsString(root->child) && cJSON_IsNumber(code) && cJSON_IsString(code->next),
            "member types");
    const std::string method = root->child->valuestring;
    if (code->valueint == 0 && method != "ECHO" && method != "GET_VERSION")
        require(validCredentials(request), "a billing method succeeds only with valid credentials");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fixture;
    const std::string request(reinterpret_cast<const char*>(data), size);
    const std::string response = fixture.worker.processRequest(request);
    static const bool print = std::getenv("PELBRIN_FUZZ_PRINT") != nullptr;  // read once, not per input
    if (print) std::fprintf(stderr, "%s\n", response.c_str());
    checkResponse(request, response);
    // Every input meets the same rows, so a saved input reproduces on its own.
    if (readFile(fixture.path) == fixture.pristine) return 0;
    std::ofstream out(fixture.path, std::ios::binary | std::ios::trunc);
    require(static_cast<bool>(out << fixture.pristine << std::flush), "the pristine file is put back");
    return 0;
}
