#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace pa {

struct IpPort {
    std::string ip;  // dotted IPv4 address text
    int port = 0;
};

// The settings of one run: defaults, then the command line, then the configuration file.
struct ProgArgs {
    std::string databasePath = "/etc/asterisk/cdr.db";
    int connectionLimit = 7;
    int listeningPort = 10000;
    bool sslFlag = false;
    std::string asterisk = "127.0.0.1:5038";
    std::string logServer = "127.0.0.1:5140";
    int logToServer = 0;
    int logLevel = 40000;  // log4cplus units: ERROR
    std::string logFile = "/var/log/Pelbrin.log";
    int logToFile = 0;
    int logToConsole = 0;
    int databaseRecordLimit = 20000;
    int connectionTimeout = 30;  // seconds
    std::optional<std::string> configFile;
    int help = 0;
    int version = 0;
    int printConfigurationFlag = 0;  // -z; named apart from printConfiguration(), which C++ cannot share
    int error = 0;
    int useDummyAdminValidator = 0;
    IpPort asteriskIpPort;   // parsed from asterisk
    IpPort logServerIpPort;  // parsed from logServer

    // The configuration summary, one line per setting.
    std::string printConfiguration() const;
};

// Every default, the two endpoints included (parsed from their default texts).
ProgArgs defaultProgArgs();

// Refusals go to err as "<argv[0]><message>" and set args.error; parsing stops at the first one.
void parseArgs(int argc, char** argv, ProgArgs& args);
void parseArgs(int argc, char** argv, ProgArgs& args, std::ostream& err);

// Values found in the file override the record; refusals go to err and set args.error.
void loadConfiguration(const std::string& programPath, const std::string& configPath, ProgArgs& args);
void loadConfiguration(const std::string& programPath, const std::string& configPath, ProgArgs& args,
                       std::ostream& err);

void printHelp();
void printHelp(std::ostream& out);
void printVersion();
void printVersion(std::ostream& out);

// 0 for four dot-separated groups of 1 to 3 digits, -1 otherwise.
int validateIpAddress(const std::string& text);
// 0, -1 (no colon), -2 (port outside 1..65535) or -3 (invalid address).
int ipPortFromString(const std::string& text, IpPort& out);
// The value of an unsigned decimal text, -1 when it is not one or does not fit an int.
int toInt(const std::string& text);
// getopt, but ':' for a known option whose argument is missing.
int getoptHack(int argc, char** argv, const char* optionString);

}  // namespace pa
