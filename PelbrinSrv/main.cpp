#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "PelbrinSrv/Logging.h"
#include "PelbrinSrv/PelbrinServer.h"
#include "PelbrinSrv/ProcessSetup.h"
#include "PelbrinSrv/ProgArgs.h"
#include "PelbrinSrv/Signals.h"
#include "PelbrinSrv/Version.h"

namespace {

log4cplus::Logger mainLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("PelbrinSrv"));

}  // namespace

int main(int argc, char** argv) {
    configureProcessMemory();  // before anything else
    log4cplus::Initializer initializer;
    // After the initializer, so signal handling ends before logging is shut down.
    const SignalThread signalThread;

    pa::ProgArgs args = pa::defaultProgArgs();
    pa::parseArgs(argc, argv, args);
    if (args.error) return 1;
    if (args.help) {
        pa::printHelp();
        return 0;
    }
    if (args.version) {
        pa::printVersion();
        return 0;
    }
    const std::string programPath = argc > 0 ? argv[0] : PROGRAM_NAME;
    if (args.configFile) {
        pa::loadConfiguration(programPath, *args.configFile, args);
    }
    setUpLogging(args);
    if (args.printConfigurationFlag) {
        LOG4CPLUS_ERROR(mainLogger, args.printConfiguration());
    }
    if (args.error) return 1;
    if (args.sslFlag) {
        std::cerr << programPath << ": SSL not supported yet" << std::endl;
        return 1;
    }

    PelbrinServer server(args);
    if (!server.start()) {
        LOG4CPLUS_ERROR(mainLogger, "Cannot start server");
        return 1;
    }
    LOG4CPLUS_INFO(mainLogger, "server started. Port: " << args.listeningPort << "   ssl: "
                                                        << "OFF");
    while (!stopRequested()) {
        sleep(1);
    }
    server.stop();
    LOG4CPLUS_INFO(mainLogger, "Server stopped");
    sleep(1);
    return 0;
}
