#include "PelbrinSrv/ProgArgs.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <libconfig.h++>
#include <sstream>

#include "PelbrinSrv/Version.h"

namespace pa {

namespace {

// The leading '-' makes getopt return non-option arguments as 1 instead of reordering argv.
const char OPTION_STRING[] = "-hvd:c:p:sa:e::l:o::kr:t:f:zu";

const int MAX_PORT = 65535;

const char CONNECTION_LIMIT_MESSAGE[] =
    ": Invalid connection limit number: connection limit must be greater than 0";
const char LISTENING_PORT_MESSAGE[] = ": Invalid listenning port number: ";
const char ASTERISK_MESSAGE[] = ": Invalid asterisk address";
const char LOG_SERVER_MESSAGE[] = ": Invalid log serwer address";
const char LOG_LEVEL_MESSAGE[] = ": Log level must be greater or equal 0 and smaller than 6";
const char RECORD_LIMIT_MESSAGE[] = ": Database record limit must by greater than 0";
const char CONNECTION_TIMEOUT_MESSAGE[] = ": Connection timeout must by greater than 0";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Applies one getopt result; returns the refusal message, or an empty text when the option is taken.
std::string applyOption(int option, const char* argument, ProgArgs& args) {
    const std::string value = argument ? argument : "";
    switch (option) {
        case 'h':
            args.help = 1;
            break;
        case 'v':
            args.version = 1;
            break;
        case 'd':
            args.databasePath = value;
            break;
        case 'c':
            args.connectionLimit = toInt(value);
            if (args.connectionLimit <= 0) return CONNECTION_LIMIT_MESSAGE;
            break;
        case 'p':
            // Ports above 65535 would wrap when the server keeps them in 16 bits.
            args.listeningPort = toInt(value);
            if (args.listeningPort <= 1 || args.listeningPort > MAX_PORT) {
                return LISTENING_PORT_MESSAGE + value;
            }
            break;
        case 's':
            args.sslFlag = true;
            break;
        case 'a':
            args.asterisk = value;
            if (ipPortFromString(value, args.asteriskIpPort) != 0) return ASTERISK_MESSAGE;
            break;
        case 'e':
            args.logToServer = 1;
            if (argument) {
                args.logServer = value;
                if (ipPortFromString(value, args.logServerIpPort) != 0) return LOG_SERVER_MESSAGE;
            }
            break;
        case 'l': {
            const int level = toInt(value);
            // Compared unsigned so that -1 (not a number) is refused too.
            if (static_cast<unsigned>(level) > 6) return LOG_LEVEL_MESSAGE;
            args.logLevel = level * 10000;
            break;
        }
        case 'o':
            args.logToFile = 1;
            if (argument) args.logFile = value;
            break;
        case 'k':
            args.logToConsole = 1;
            break;
        case 'r':
            args.databaseRecordLimit = toInt(value);
            if (args.databaseRecordLimit <= 0) return RECORD_LIMIT_MESSAGE;
            break;
        case 't':
            args.connectionTimeout = toInt(value);
            if (args.connectionTimeout < 1) return CONNECTION_TIMEOUT_MESSAGE;
            break;
        case 'f':
            args.configFile = value;
            break;
        case 'z':
            args.printConfigurationFlag = 1;
            break;
        case 'u':
            args.useDummyAdminValidator = 1;
            break;
        case 1:
            return ": invalid option '" + value + "'";
        case '?':
            return ": invalid option -- '" + std::string(1, static_cast<char>(optopt)) + "'";
        case ':':
            return ": option requires an argument -- '" + std::string(1, static_cast<char>(optopt)) + "'";
        default:
            break;
    }
    return std::string();
}

// An endpoint text found in the file; returns false after reporting a refused one.
bool lookupEndpoint(const libconfig::Config& config, const char* key, std::string& text, IpPort& endpoint,
                    const std::string& programPath, const char* message, std::ostream& err) {
    if (!config.lookupValue(key, text)) return true;
    if (ipPortFromString(text, endpoint) == 0) return true;
    err << programPath << message << '\n';
    return false;
}

// An int found in the file below its smallest sound value would be refused on the command line, and
// a negative limit or timeout would turn huge once handed on unsigned; refused here with the same text.
bool lookupAtLeast(const libconfig::Config& config, const char* key, int& field, int minimum,
                   const std::string& programPath, const std::string& message, std::ostream& err) {
    if (!config.lookupValue(key, field) || field >= minimum) return true;
    err << programPath << message << '\n';
    return false;
}

}  // namespace

std::string ProgArgs::printConfiguration() const {
    std::ostringstream text;
    text << "Server configuration: " << '\n'
         << " database path: " << databasePath << '\n'
         << " connectionLimit: " << connectionLimit << '\n'
         << " listening port: " << listeningPort << '\n'
         << " use ssl: " << (sslFlag ? 1 : 0) << '\n'
         << " asterisk: " << asterisk << '\n'
         << " log server: " << logServer << '\n'
         << " log to server: " << logToServer << '\n'
         << " log file: " << logFile << '\n'
         << " log to file: " << logToFile << '\n'
         << " log to console: " << logToConsole << '\n'
         << " log level: " << logLevel << '\n'
         << " database record limit: " << databaseRecordLimit << '\n'
         << " connection timeout: " << connectionTimeout << '\n'
         << " configuration file: " << (configFile ? *configFile : std::string(" NONE")) << '\n'
         << " use dummy admin validator: " << useDummyAdminValidator << '\n';
    return text.str();
}

ProgArgs defaultProgArgs() {
    ProgArgs args;
    ipPortFromString(args.asterisk, args.asteriskIpPort);
    ipPortFromString(args.logServer, args.logServerIpPort);
    return args;
}

int toInt(const std::string& text) {
    if (text.empty()) return -1;
    long long value = 0;
    for (const char c : text) {
        if (!isDigit(c)) return -1;
        value = value * 10 + (c - '0');
        // A value beyond int would otherwise come back wrapped, possibly as a plausible number.
        if (value > INT_MAX) return -1;
    }
    return static_cast<int>(value);
}

int getoptHack(int argc, char** argv, const char* optionString) {
    const int result = getopt(argc, argv, optionString);
    if (result == '?' && optopt != '-' && optopt != ':' && optopt != '\0' &&
        std::strchr(optionString, optopt) != nullptr) {
        return ':';
    }
    return result;
}

int validateIpAddress(const std::string& text) {
    std::string::size_type start = 0;
    for (int group = 0; group < 4; ++group) {
        std::string::size_type end = text.size();
        if (group < 3) {
            end = text.find('.', start);
            if (end == std::string::npos) return -1;
        }
        const std::string::size_type length = end - start;
        if (length < 1 || length > 3) return -1;
        for (std::string::size_type i = start; i < end; ++i) {
            if (!isDigit(text[i])) return -1;
        }
        start = end + 1;
    }
    return 0;
}

int ipPortFromString(const std::string& text, IpPort& out) {
    const std::string::size_type colon = text.find(':');
    if (colon == std::string::npos) return -1;
    out.ip = text.substr(0, colon);
    if (validateIpAddress(out.ip) != 0) return -3;
    const long port = std::strtol(text.c_str() + colon + 1, nullptr, 10);
    out.port = static_cast<int>(port < INT_MIN ? INT_MIN : port > INT_MAX ? INT_MAX : port);
    // Above 65535 a port would wrap when kept in 16 bits.
    if (port < 1 || port > MAX_PORT) return -2;
    return 0;
}

void parseArgs(int argc, char** argv, ProgArgs& args) { parseArgs(argc, argv, args, std::cerr); }

void parseArgs(int argc, char** argv, ProgArgs& args, std::ostream& err) {
    const std::string programPath = argc > 0 && argv[0] ? argv[0] : "";
    opterr = 0;
    // glibc re-initialises getopt only for 0, dropping any position left inside an earlier argv.
    optind = 0;
    for (;;) {
        const int option = getoptHack(argc, argv, OPTION_STRING);
        if (option == -1) {
            if (optind < argc) args.help = 1;
            return;
        }
        const std::string message = applyOption(option, optarg, args);
        if (!message.empty()) {
            err << programPath << message << '\n';
            args.error = 1;
            return;
        }
    }
}

void loadConfiguration(const std::string& programPath, const std::string& configPath, ProgArgs& args) {
    loadConfiguration(programPath, configPath, args, std::cerr);
}

void loadConfiguration(const std::string& programPath, const std::string& configPath, ProgArgs& args,
                       std::ostream& err) {
    libconfig::Config config;
    try {
        config.readFile(configPath.c_str());
    } catch (const libconfig::ConfigException& e) {
        // No line end: the text is printed as it always was.
        err << programPath << ": Cannot read configureation file. " << e.what();
        args.error = 1;
        return;
    }
    bool sound = true;
    config.lookupValue("databasePath", args.databasePath);
    sound &= lookupAtLeast(config, "connectionLimit", args.connectionLimit, 1, programPath,
                           CONNECTION_LIMIT_MESSAGE, err);
    if (config.lookupValue("listeningPort", args.listeningPort) &&
        (args.listeningPort < 1 || args.listeningPort > MAX_PORT)) {
        err << programPath << LISTENING_PORT_MESSAGE << args.listeningPort << '\n';
        sound = false;
    }
    config.lookupValue("sslFlag", args.sslFlag);
    sound &= lookupEndpoint(config, "asterisk", args.asterisk, args.asteriskIpPort, programPath,
                            ASTERISK_MESSAGE, err);
    sound &= lookupEndpoint(config, "logServer", args.logServer, args.logServerIpPort, programPath,
                            LOG_SERVER_MESSAGE, err);
    config.lookupValue("logToServer", args.logToServer);
    // In log4cplus units, unlike -l.
    config.lookupValue("logLevel", args.logLevel);
    config.lookupValue("logFile", args.logFile);
    config.lookupValue("logToFile", args.logToFile);
    config.lookupValue("logToConsole", args.logToConsole);
    sound &= lookupAtLeast(config, "databaseRecordLimit", args.databaseRecordLimit, 1, programPath,
                           RECORD_LIMIT_MESSAGE, err);
    sound &= lookupAtLeast(config, "connectionTimeout", args.connectionTimeout, 1, programPath,
                           CONNECTION_TIMEOUT_MESSAGE, err);
    config.lookupValue("useDummyConfigurationFlag", args.useDummyAdminValidator);
    if (!sound) args.error = 1;
}

void printHelp() { printHelp(std::cout); }

void printHelp(std::ostream& out) {
    out << "Pelbri http server" << '\n'
        << "Usage:  " << PROGRAM_NAME << " [OPTIONS]" << '\n'
        << "Options: " << '\n'
        << " -h  show help " << '\n'
        << " -v  print version info" << '\n'
        << " -d  set path to database" << '\n'
        << " -c  set connection number limit" << '\n'
        << " -p  set listening port" << '\n'
        << " -s  use ssl" << '\n'
        << " -a  asterisk ip:port" << '\n'
        << " -e  set logging to log server, optional argument: log server ip:port" << '\n'
        << " -l  set log level" << '\n'
        << " -o  set logging to log file, optional argument: path to log file" << '\n'
        << " -k  set logging to console" << '\n'
        << " -r  set record number limit " << '\n'
        << " -t  set connection timeout " << '\n'
        << " -f  configuration file (options will be overriden with those in config file)" << '\n'
        << " -u  use dummy admin validator" << '\n'
        << " -z  print server configuration" << '\n'
        << '\n'
        << "Log levels:" << '\n'
        << " 0: trace" << '\n'
        << " 1: debug" << '\n'
        << " 2: info" << '\n'
        << " 3: warn" << '\n'
        << " 4: error" << '\n'
        << " 5: fatal" << '\n'
        << " 6: logging is off" << '\n'
        << '\n';
}

void printVersion() { printVersion(std::cout); }

void printVersion(std::ostream& out) {
    out << PROGRAM_NAME << " v" << PROGRAM_VERSION << "   platform:" << PROGRAM_PLATFORM << "    "
        << BUILD_STAMP << '\n'
        << '\n';
}

}  // namespace pa
