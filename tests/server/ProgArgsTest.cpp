#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <iterator>
#include <sstream>

#include "PelbrinSrv/ProgArgs.h"

namespace {

const std::string PROGRAM = "/usr/sbin/PelbrinSrv";
const std::string P = PROGRAM + ": ";  // starts every refusal

std::vector<std::string> split(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// Every field as "name=value", in declaration order (no value here holds a blank).
std::vector<std::string> fields(const pa::ProgArgs& a) {
    std::ostringstream s;
    s << "databasePath=" << a.databasePath << " connectionLimit=" << a.connectionLimit
      << " listeningPort=" << a.listeningPort << " sslFlag=" << a.sslFlag << " asterisk=" << a.asterisk
      << " asteriskIpPort=" << a.asteriskIpPort.ip << ':' << a.asteriskIpPort.port
      << " logServer=" << a.logServer << " logServerIpPort=" << a.logServerIpPort.ip << ':'
      << a.logServerIpPort.port << " logToServer=" << a.logToServer << " logLevel=" << a.logLevel
      << " logFile=" << a.logFile << " logToFile=" << a.logToFile << " logToConsole=" << a.logToConsole
      << " databaseRecordLimit=" << a.databaseRecordLimit << " connectionTimeout=" << a.connectionTimeout
      << " configFile=" << a.configFile.value_or("none") << " help=" << a.help << " version=" << a.version
      << " printConfiguration=" << a.printConfigurationFlag << " error=" << a.error
      << " useDummyAdminValidator=" << a.useDummyAdminValidator;
    return split(s.str());
}

// Standard error, then the fields that differ: "<program>: ...\n | listeningPort=1 error=1".
std::string outcome(const std::string& err, const pa::ProgArgs& before, const pa::ProgArgs& after) {
    const std::vector<std::string> was = fields(before), is = fields(after);
    std::string text = err + " |";
    for (std::size_t i = 0; i < is.size(); ++i) text += was[i] != is[i] ? " " + is[i] : "";
    return text;
}

// Runs the parser on PROGRAM and the words; returns what it wrote to standard error.
std::string parse(const std::string& words, pa::ProgArgs& args) {
    // Every argv stays alive, as a real one does, so a parse resuming inside an earlier one would show.
    static std::deque<std::vector<std::string>> alive;
    std::vector<std::string>& kept = alive.emplace_back(split(PROGRAM + " " + words));
    std::vector<char*> argv;
    for (std::string& word : kept) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::ostringstream err;
    pa::parseArgs(static_cast<int>(kept.size()), argv.data(), args, err);
    return err.str();
}

TEST(CommandLine, EveryOptionAndRefusal) {
    const std::string port = P + "Invalid listenning port number: ";
    const std::string limit =
        P + "Invalid connection limit number: connection limit must be greater than 0\n |";
    const std::string level = P + "Log level must be greater or equal 0 and smaller than 6\n | error=1";
    // {words, standard error and changed fields}; a refused value is already in its field.
    const std::vector<std::pair<std::string, std::string>> cases{
        {"-d /srv/cdr.db -c 12 -p 8080 -s -a 10.0.0.1:6038 -e10.0.0.2:6140 -l 3 -o/tmp/p.log -k -r 500 -t 9 "
         "-f /etc/p.cfg -z -u -h -v",
         " | databasePath=/srv/cdr.db connectionLimit=12 listeningPort=8080 sslFlag=1 asterisk=10.0.0.1:6038 "
         "asteriskIpPort=10.0.0.1:6038 logServer=10.0.0.2:6140 logServerIpPort=10.0.0.2:6140 logToServer=1 "
         "logLevel=30000 logFile=/tmp/p.log logToFile=1 logToConsole=1 databaseRecordLimit=500 "
         "connectionTimeout=9 configFile=/etc/p.cfg help=1 version=1 printConfiguration=1 "
         "useDummyAdminValidator=1"},
        // The bounds taken, and "-e" and "-o" without their optional argument.
        {"-e -o -l 0 -p 2 -r 1 -t 1",
         " | listeningPort=2 logToServer=1 logLevel=0 logToFile=1 databaseRecordLimit=1 connectionTimeout=1"},
        {"-l6 -p 65535 -c 2147483647", " | connectionLimit=2147483647 listeningPort=65535 logLevel=60000"},
        {"-l 7", level},
        {"-l -1", level},
        {"-p abc", port + "abc\n | listeningPort=-1 error=1"},
        {"-p 65536", port + "65536\n | listeningPort=65536 error=1"},
        {"-c 2147483648", limit + " connectionLimit=-1 error=1"},
        {"-r 0", P + "Database record limit must by greater than 0\n | databaseRecordLimit=0 error=1"},
        {"-t 1s", P + "Connection timeout must by greater than 0\n | connectionTimeout=-1 error=1"},
        {"-a 999.999.999.999:5038x", " | asterisk=999.999.999.999:5038x asteriskIpPort=999.999.999.999:5038"},
        {"-a 1.2.3.4", P + "Invalid asterisk address\n | asterisk=1.2.3.4 error=1"},
        {"-a 1000.0.0.1:5038", P + "Invalid asterisk address\n | asterisk=1000.0.0.1:5038 "
                                   "asteriskIpPort=1000.0.0.1:5038 error=1"},
        {"-e10.1.1.1:70000", P + "Invalid log serwer address\n | logServer=10.1.1.1:70000 "
                                 "logServerIpPort=10.1.1.1:70000 logToServer=1 error=1"},
        {"word", P + "invalid option 'word'\n | error=1"},
        {"-xk", P + "invalid option -- 'x'\n | error=1"},
        // The parse above stopped inside "-xk"; this one must start afresh.
        {"-h", " | help=1"},
        {"-k -- -v more", " | logToConsole=1 help=1"},
        {"-d", P + "option requires an argument -- 'd'\n | error=1"},
        {"-c 0 -p 1 -k -x", limit + " connectionLimit=0 error=1"}};
    for (const auto& [words, expected] : cases) {
        pa::ProgArgs args = pa::defaultProgArgs();
        EXPECT_EQ(expected, outcome(parse(words, args), pa::defaultProgArgs(), args)) << words;
    }
}

TEST(ConfigurationFile, OverridesTheCommandLineAndRefusesUnsoundValues) {
    // {file text, standard error and changed fields}
    const std::vector<std::pair<std::string, std::string>> cases{
        {"databasePath = \"/file.db\";\nconnectionLimit = 11;\nlisteningPort = 8081;\nsslFlag = false;\n"
         "asterisk = \"10.0.0.5:6000\";\nlogServer = \"10.0.0.6:6001\";\nlogToServer = 0;\n"
         "logLevel = 20000;\nlogFile = \"/tmp/f.log\";\nlogToFile = 1;\nlogToConsole = 0;\n"
         "databaseRecordLimit = 123;\nconnectionTimeout = 45;\nuseDummyConfigurationFlag = 1;\n",
         " | databasePath=/file.db connectionLimit=11 listeningPort=8081 sslFlag=0 asterisk=10.0.0.5:6000 "
         "asteriskIpPort=10.0.0.5:6000 logServer=10.0.0.6:6001 logServerIpPort=10.0.0.6:6001 logToServer=0 "
         "logLevel=20000 logFile=/tmp/f.log logToFile=1 logToConsole=0 databaseRecordLimit=123 "
         "connectionTimeout=45 useDummyAdminValidator=1"},
        // Another type or a nested setting is not taken.
        {"listeningPort = \"8080\";\nsslFlag = 0;\nlogToServer = false;\nlogLevel = 2.5;\n"
         "connectionLimit = 99999999999L;\ndatabasePath = 17;\ngroup = { logToConsole = 0; };\n",
         " |"},
        {"listeningPort = 8080;\nlogLevel = ;\n",
         P + "Cannot read configureation file. ParseException | error=1"},  // no line end
        {"listeningPort = 65535;\nconnectionLimit = 1;\ndatabaseRecordLimit = 1;\nconnectionTimeout = 1;\n",
         " | connectionLimit=1 listeningPort=65535 databaseRecordLimit=1 connectionTimeout=1"},
        {"listeningPort = 65536;",
         P + "Invalid listenning port number: 65536\n | listeningPort=65536 error=1"},
        {"connectionLimit = -5;\ndatabaseRecordLimit = 0;\nconnectionTimeout = -30;\n",
         P + "Invalid connection limit number: connection limit must be greater than 0\n" + P +
             "Database record limit must by greater than 0\n" + P +
             "Connection timeout must by greater than 0\n" +
             " | connectionLimit=-5 databaseRecordLimit=0 connectionTimeout=-30 error=1"},
        {"logServer = \"1.2.3.4:0\";\nasterisk = \"1.2.3:1\";\n",
         P + "Invalid asterisk address\n" + P + "Invalid log serwer address\n" +
             " | asterisk=1.2.3:1 asteriskIpPort=1.2.3:5038 logServer=1.2.3.4:0 logServerIpPort=1.2.3.4:0 "
             "error=1"},
        {"logServer = \"10.0.0.1000:5140\";\n",
         P + "Invalid log serwer address\n | logServer=10.0.0.1000:5140 logServerIpPort=10.0.0.1000:5140 "
             "error=1"}};
    pa::ProgArgs commandLine = pa::defaultProgArgs();
    ASSERT_EQ("", parse("-d /cmd.db -p 3000 -s -e -k -l 1 -f /x.cfg", commandLine));
    const std::string path = testing::TempDir() + "progargs_" + std::to_string(getpid()) + ".cfg";
    for (const auto& [file, expected] : cases) {
        std::ofstream(path) << file;
        pa::ProgArgs args = commandLine;
        std::ostringstream err;
        pa::loadConfiguration(PROGRAM, path, args, err);
        std::remove(path.c_str());
        EXPECT_EQ(expected, outcome(err.str(), commandLine, args)) << file;
    }
}

}  // namespace
