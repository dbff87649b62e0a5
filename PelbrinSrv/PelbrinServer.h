#pragma once

#include <memory>
#include <string>

#include "PelbrinSrv/HttpServer.h"
#include "PelbrinSrv/ProgArgs.h"
#include "korvu/worker/Worker.h"
#include "validator/AdminValidator.h"

// The billing service's HTTP server: serves "/Pelbrin" through one Worker and answers an empty request text
// with the version banner.
class PelbrinServer : public HttpServer {
public:
    // Builds the validator and the Worker; connects to nothing yet.
    explicit PelbrinServer(const pa::ProgArgs& args);
    ~PelbrinServer() override;

    std::string processRequest(const std::string& body) const override;
    bool canHandleUrlPath(const std::string& path) const override;

private:
    // Declared before the Worker, which refers to it, so it is released after the Worker.
    std::unique_ptr<korvu::AdminValidator> validator;
    std::unique_ptr<Worker> worker;
    std::string urlPath;
};
