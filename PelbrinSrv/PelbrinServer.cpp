#include "PelbrinSrv/PelbrinServer.h"

#include <cstdint>

#include "PelbrinSrv/Version.h"
#include "validator/AsteriskAdminValidator.h"
#include "validator/DummyAdminValidator.h"

namespace {

const char URL_PATH[] = "/Pelbrin";
// The administrator credential of the dummy validator: user name and password alike.
const char BUILT_IN_ADMIN[] = "trivx";

std::unique_ptr<korvu::AdminValidator> makeValidator(const pa::ProgArgs& args) {
    if (args.useDummyAdminValidator != 0) {
        return std::make_unique<korvu::DummyAdminValidator>(BUILT_IN_ADMIN, BUILT_IN_ADMIN);
    }
    return std::make_unique<korvu::AsteriskAdminValidator>(
        args.asteriskIpPort.ip, static_cast<std::uint16_t>(args.asteriskIpPort.port));
}

}  // namespace

PelbrinServer::PelbrinServer(const pa::ProgArgs& args)
    : validator(makeValidator(args)),
      worker(std::make_unique<Worker>(args.databasePath, *validator, PROGRAM_VERSION, BUILD_STAMP,
                                      static_cast<unsigned>(args.databaseRecordLimit))),
      urlPath(URL_PATH) {
    port = static_cast<std::uint16_t>(args.listeningPort);
    connectionLimit = args.connectionLimit;
    ssl = args.sslFlag;
    connectionTimeout = args.connectionTimeout;
}

// Stopped here, while the Worker lives: a request still being carried out uses it, and once this object is
// gone processRequest() would be the base's pure virtual.
PelbrinServer::~PelbrinServer() { stop(); }

std::string PelbrinServer::processRequest(const std::string& body) const {
    if (body.empty()) {
        return std::string(PROGRAM_NAME) + ", ver " + PROGRAM_VERSION + " (" + BUILD_STAMP + ")";
    }
    return worker->processRequest(body);
}

bool PelbrinServer::canHandleUrlPath(const std::string& path) const { return path == urlPath; }
