#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PelbrinSrv/ProgArgs.h"

namespace {

const char PROGRAM[] = "/usr/sbin/PelbrinSrv";

struct Parsed {
    pa::ProgArgs args;
    std::string err;
};

// PROGRAM followed by words, as a mutable argv that lives as long as the object.
class Argv {
public:
    explicit Argv(const std::vector<std::string>& words) : storage{PROGRAM} {
        storage.insert(storage.end(), words.begin(), words.end());
        for (std::string& word : storage) pointers.push_back(&word[0]);
        pointers.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(storage.size()); }
    char** argv() { return pointers.data(); }

private:
    std::vector<std::string> storage;
    std::vector<char*> pointers;
};

Parsed parseWith(pa::ProgArgs args, Argv& argv) {
    std::ostringstream err;
    pa::parseArgs(argv.argc(), argv.argv(), args, err);
    return Parsed{args, err.str()};
}

// Runs the command-line parser on PROGRAM followed by words, starting from the given record.
Parsed parseOnto(pa::ProgArgs args, const std::vector<std::string>& words) {
    Argv argv(words);
    return parseWith(args, argv);
}

Parsed parse(const std::vector<std::string>& words) { return parseOnto(pa::defaultProgArgs(), words); }

// Every field in one text, so a test can show that nothing else moved.
std::string everything(const pa::ProgArgs& a) {
    return a.printConfiguration() + "help " + std::to_string(a.help) + " version " +
           std::to_string(a.version) + " z " + std::to_string(a.printConfigurationFlag) + " error " +
           std::to_string(a.error) + " asteriskIpPort " + a.asteriskIpPort.ip + " " +
           std::to_string(a.asteriskIpPort.port) + " logServerIpPort " + a.logServerIpPort.ip + " " +
           std::to_string(a.logServerIpPort.port);
}

void expectRefused(const std::vector<std::string>& words, const std::string& message) {
    const Parsed p = parse(words);
    EXPECT_EQ(1, p.args.error) << words[0];
    EXPECT_EQ(std::string(PROGRAM) + message + "\n", p.err) << words[0];
}

void expectTaken(const std::vector<std::string>& words) {
    const Parsed p = parse(words);
    EXPECT_EQ(0, p.args.error) << words[0];
    EXPECT_EQ("", p.err) << words[0];
}

class ConfigFile : public testing::Test {
protected:
    // A file of the given text with a name no other test uses.
    std::string write(const std::string& text) {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        const std::string path = testing::TempDir() + "progargs_" + info->name() + "_" +
                                 std::to_string(getpid()) + "_" + std::to_string(files.size()) + ".cfg";
        std::ofstream(path) << text;
        files.push_back(path);
        return path;
    }

    void TearDown() override {
        for (const std::string& path : files) std::remove(path.c_str());
    }

    Parsed load(pa::ProgArgs args, const std::string& path) {
        std::ostringstream err;
        pa::loadConfiguration(PROGRAM, path, args, err);
        return Parsed{args, err.str()};
    }

    std::vector<std::string> files;
};

const char DEFAULT_SUMMARY[] =
    "Server configuration: \n"
    " database path: /etc/asterisk/cdr.db\n"
    " connectionLimit: 7\n"
    " listening port: 10000\n"
    " use ssl: 0\n"
    " asterisk: 127.0.0.1:5038\n"
    " log server: 127.0.0.1:5140\n"
    " log to server: 0\n"
    " log file: /var/log/Pelbrin.log\n"
    " log to file: 0\n"
    " log to console: 0\n"
    " log level: 40000\n"
    " database record limit: 20000\n"
    " connection timeout: 30\n"
    " configuration file:  NONE\n"
    " use dummy admin validator: 0\n";

TEST(Defaults, NoArgumentsKeepEveryDefault) {
    const Parsed p = parse({});
    EXPECT_EQ("", p.err);
    const pa::ProgArgs& a = p.args;
    EXPECT_EQ("/etc/asterisk/cdr.db", a.databasePath);
    EXPECT_EQ(7, a.connectionLimit);
    EXPECT_EQ(10000, a.listeningPort);
    EXPECT_FALSE(a.sslFlag);
    EXPECT_EQ("127.0.0.1:5038", a.asterisk);
    EXPECT_EQ("127.0.0.1:5140", a.logServer);
    EXPECT_EQ(0, a.logToServer);
    EXPECT_EQ(40000, a.logLevel);
    EXPECT_EQ("/var/log/Pelbrin.log", a.logFile);
    EXPECT_EQ(0, a.logToFile);
    EXPECT_EQ(0, a.logToConsole);
    EXPECT_EQ(20000, a.databaseRecordLimit);
    EXPECT_EQ(30, a.connectionTimeout);
    EXPECT_FALSE(a.configFile.has_value());
    EXPECT_EQ(0, a.help);
    EXPECT_EQ(0, a.version);
    EXPECT_EQ(0, a.printConfigurationFlag);
    EXPECT_EQ(0, a.error);
    EXPECT_EQ(0, a.useDummyAdminValidator);
    EXPECT_EQ("127.0.0.1", a.asteriskIpPort.ip);
    EXPECT_EQ(5038, a.asteriskIpPort.port);
    EXPECT_EQ("127.0.0.1", a.logServerIpPort.ip);
    EXPECT_EQ(5140, a.logServerIpPort.port);
}

TEST(Summary, DefaultsShowNoneForTheConfigurationFile) {
    EXPECT_EQ(DEFAULT_SUMMARY, pa::defaultProgArgs().printConfiguration());
}

TEST(Summary, ShowsEveryValueSet) {
    const Parsed p = parse({"-d",
                            "/srv/cdr.db",
                            "-c",
                            "3",
                            "-p",
                            "8080",
                            "-s",
                            "-a",
                            "10.0.0.1:6038",
                            "-e10.0.0.2:6140",
                            "-l",
                            "1",
                            "-o/tmp/p.log",
                            "-k",
                            "-r",
                            "50",
                            "-t",
                            "9",
                            "-f",
                            "/etc/p.cfg",
                            "-u"});
    ASSERT_EQ("", p.err);
    EXPECT_EQ(
        "Server configuration: \n"
        " database path: /srv/cdr.db\n"
        " connectionLimit: 3\n"
        " listening port: 8080\n"
        " use ssl: 1\n"
        " asterisk: 10.0.0.1:6038\n"
        " log server: 10.0.0.2:6140\n"
        " log to server: 1\n"
        " log file: /tmp/p.log\n"
        " log to file: 1\n"
        " log to console: 1\n"
        " log level: 10000\n"
        " database record limit: 50\n"
        " connection timeout: 9\n"
        " configuration file: /etc/p.cfg\n"
        " use dummy admin validator: 1\n",
        p.args.printConfiguration());
}

TEST(CommandLine, EveryOptionSetsItsField) {
    const Parsed p = parse({"-d",
                            "/srv/cdr.db",
                            "-c",
                            "12",
                            "-p",
                            "8080",
                            "-s",
                            "-a",
                            "10.0.0.1:6038",
                            "-e10.0.0.2:6140",
                            "-l",
                            "3",
                            "-o/tmp/p.log",
                            "-k",
                            "-r",
                            "500",
                            "-t",
                            "9",
                            "-f",
                            "/etc/p.cfg",
                            "-z",
                            "-u",
                            "-h",
                            "-v"});
    EXPECT_EQ("", p.err);
    const pa::ProgArgs& a = p.args;
    EXPECT_EQ("/srv/cdr.db", a.databasePath);
    EXPECT_EQ(12, a.connectionLimit);
    EXPECT_EQ(8080, a.listeningPort);
    EXPECT_TRUE(a.sslFlag);
    EXPECT_EQ("10.0.0.1:6038", a.asterisk);
    EXPECT_EQ("10.0.0.1", a.asteriskIpPort.ip);
    EXPECT_EQ(6038, a.asteriskIpPort.port);
    EXPECT_EQ(1, a.logToServer);
    EXPECT_EQ("10.0.0.2:6140", a.logServer);
    EXPECT_EQ("10.0.0.2", a.logServerIpPort.ip);
    EXPECT_EQ(6140, a.logServerIpPort.port);
    EXPECT_EQ(30000, a.logLevel);
    EXPECT_EQ(1, a.logToFile);
    EXPECT_EQ("/tmp/p.log", a.logFile);
    EXPECT_EQ(1, a.logToConsole);
    EXPECT_EQ(500, a.databaseRecordLimit);
    EXPECT_EQ(9, a.connectionTimeout);
    ASSERT_TRUE(a.configFile.has_value());
    EXPECT_EQ("/etc/p.cfg", *a.configFile);
    EXPECT_EQ(1, a.printConfigurationFlag);
    EXPECT_EQ(1, a.useDummyAdminValidator);
    EXPECT_EQ(1, a.help);
    EXPECT_EQ(1, a.version);
    EXPECT_EQ(0, a.error);
}

TEST(CommandLine, GroupedFlagsAreTaken) {
    const Parsed p = parse({"-ksz", "-hv"});
    EXPECT_EQ("", p.err);
    EXPECT_EQ(1, p.args.logToConsole);
    EXPECT_TRUE(p.args.sslFlag);
    EXPECT_EQ(1, p.args.printConfigurationFlag);
    EXPECT_EQ(1, p.args.help);
    EXPECT_EQ(1, p.args.version);
}

TEST(CommandLine, LogLevelTakesZeroToSixTimesTenThousand) {
    EXPECT_EQ(0, parse({"-l", "0"}).args.logLevel);
    EXPECT_EQ(20000, parse({"-l", "2"}).args.logLevel);
    EXPECT_EQ(60000, parse({"-l", "6"}).args.logLevel);
    EXPECT_EQ(60000, parse({"-l6"}).args.logLevel);
    const std::string message = ": Log level must be greater or equal 0 and smaller than 6";
    for (const char* refused : {"7", "-1", "x", "", "60000", "99999999999"}) {
        const Parsed p = parse({"-l", refused});
        EXPECT_EQ(1, p.args.error) << refused;
        EXPECT_EQ(std::string(PROGRAM) + message + "\n", p.err) << refused;
        EXPECT_EQ(40000, p.args.logLevel) << refused;
    }
}

TEST(CommandLine, ListeningPortTakesTwoTo65535) {
    const std::string message = ": Invalid listenning port number: ";
    expectRefused({"-p", "1"}, message + "1");
    expectRefused({"-p", "0"}, message + "0");
    expectRefused({"-p", "abc"}, message + "abc");
    expectRefused({"-p", "-80"}, message + "-80");
    expectRefused({"-p", "65536"}, message + "65536");
    expectRefused({"-p", "4294967297"}, message + "4294967297");
    EXPECT_EQ(2, parse({"-p", "2"}).args.listeningPort);
    EXPECT_EQ(65535, parse({"-p", "65535"}).args.listeningPort);
    expectTaken({"-p", "65535"});
    // The refused value is already in the field; start-up ends before anyone reads it.
    EXPECT_EQ(-1, parse({"-p", "abc"}).args.listeningPort);
}

TEST(CommandLine, LimitsAndTimeoutMustBePositive) {
    const std::string connection =
        ": Invalid connection limit number: connection limit must be greater than 0";
    expectRefused({"-c", "0"}, connection);
    expectRefused({"-c", "-3"}, connection);
    expectRefused({"-c", "many"}, connection);
    expectRefused({"-c", "2147483648"}, connection);
    EXPECT_EQ(1, parse({"-c", "1"}).args.connectionLimit);
    EXPECT_EQ(INT_MAX, parse({"-c", "2147483647"}).args.connectionLimit);

    const std::string records = ": Database record limit must by greater than 0";
    expectRefused({"-r", "0"}, records);
    expectRefused({"-r", "-1"}, records);
    expectRefused({"-r", "10000000000"}, records);
    EXPECT_EQ(1, parse({"-r", "1"}).args.databaseRecordLimit);

    const std::string timeout = ": Connection timeout must by greater than 0";
    expectRefused({"-t", "0"}, timeout);
    expectRefused({"-t", "1s"}, timeout);
    expectRefused({"-t", "4294967296"}, timeout);
    EXPECT_EQ(1, parse({"-t", "1"}).args.connectionTimeout);
}

TEST(CommandLine, AsteriskEndpointNeedsAddressAndPort) {
    const std::string message = ": Invalid asterisk address";
    expectRefused({"-a", "1.2.3:5038"}, message);
    expectRefused({"-a", "1.2.3.4"}, message);
    expectRefused({"-a", "1.2.3.4:0"}, message);
    expectRefused({"-a", "1.2.3.4:65536"}, message);
    expectRefused({"-a", "host:5038"}, message);
    const Parsed p = parse({"-a", "1.2.3.4:5038x"});
    EXPECT_EQ("", p.err);
    EXPECT_EQ("1.2.3.4:5038x", p.args.asterisk);
    EXPECT_EQ("1.2.3.4", p.args.asteriskIpPort.ip);
    EXPECT_EQ(5038, p.args.asteriskIpPort.port);
    EXPECT_EQ(65535, parse({"-a", "1.2.3.4:65535"}).args.asteriskIpPort.port);
}

TEST(CommandLine, LogServerArgumentMustBeAttached) {
    const Parsed alone = parse({"-e"});
    EXPECT_EQ("", alone.err);
    EXPECT_EQ(1, alone.args.logToServer);
    EXPECT_EQ("127.0.0.1:5140", alone.args.logServer);
    EXPECT_EQ("127.0.0.1", alone.args.logServerIpPort.ip);
    EXPECT_EQ(5140, alone.args.logServerIpPort.port);

    const Parsed attached = parse({"-e10.1.1.1:514"});
    EXPECT_EQ("", attached.err);
    EXPECT_EQ("10.1.1.1:514", attached.args.logServer);
    EXPECT_EQ("10.1.1.1", attached.args.logServerIpPort.ip);
    EXPECT_EQ(514, attached.args.logServerIpPort.port);

    const Parsed separate = parse({"-e", "10.1.1.1:514"});
    EXPECT_EQ(1, separate.args.error);
    EXPECT_EQ(std::string(PROGRAM) + ": invalid option '10.1.1.1:514'\n", separate.err);
    EXPECT_EQ(1, separate.args.logToServer);
    EXPECT_EQ("127.0.0.1:5140", separate.args.logServer);

    expectRefused({"-e10.1.1.1"}, ": Invalid log serwer address");
    expectRefused({"-e10.1.1:514"}, ": Invalid log serwer address");
    expectRefused({"-e10.1.1.1:70000"}, ": Invalid log serwer address");
}

TEST(CommandLine, LogFileArgumentIsOptionalAndAttached) {
    const Parsed alone = parse({"-o"});
    EXPECT_EQ(1, alone.args.logToFile);
    EXPECT_EQ("/var/log/Pelbrin.log", alone.args.logFile);
    const Parsed attached = parse({"-o/tmp/x.log"});
    EXPECT_EQ(1, attached.args.logToFile);
    EXPECT_EQ("/tmp/x.log", attached.args.logFile);
    expectRefused({"-o", "/tmp/x.log"}, ": invalid option '/tmp/x.log'");
}

TEST(CommandLine, UnknownOptionsMissingArgumentsAndStrayWords) {
    expectRefused({"-x"}, ": invalid option -- 'x'");
    expectRefused({"-k", "-Q"}, ": invalid option -- 'Q'");
    expectRefused({"-d"}, ": option requires an argument -- 'd'");
    expectRefused({"-k", "-f"}, ": option requires an argument -- 'f'");
    expectRefused({"-l"}, ": option requires an argument -- 'l'");
    expectRefused({"word"}, ": invalid option 'word'");
    expectRefused({"-k", "-"}, ": invalid option '-'");
}

TEST(CommandLine, StopsAtTheFirstRefusal) {
    const Parsed p = parse({"-c", "0", "-p", "1", "-k", "-x"});
    EXPECT_EQ(
        std::string(PROGRAM) + ": Invalid connection limit number: connection limit must be greater than 0\n",
        p.err);
    EXPECT_EQ(10000, p.args.listeningPort);
    EXPECT_EQ(0, p.args.logToConsole);

    const Parsed q = parse({"-xk"});
    EXPECT_EQ(std::string(PROGRAM) + ": invalid option -- 'x'\n", q.err);
    EXPECT_EQ(0, q.args.logToConsole);
}

TEST(CommandLine, ArgumentsAfterDoubleDashAskForHelp) {
    const Parsed p = parse({"-k", "--", "-v", "more"});
    EXPECT_EQ("", p.err);
    EXPECT_EQ(1, p.args.help);
    EXPECT_EQ(0, p.args.version);
    EXPECT_EQ(1, p.args.logToConsole);
    EXPECT_EQ(0, p.args.error);

    const Parsed bare = parse({"-k", "--"});
    EXPECT_EQ(0, bare.args.help);
    EXPECT_EQ(0, bare.args.error);
}

TEST(CommandLine, ParsingAgainStartsAfresh) {
    // The first parse stops inside "-xk" while its argv is still alive; a second one must not resume there.
    Argv firstArgv({"-xk"});
    const Parsed first = parseWith(pa::defaultProgArgs(), firstArgv);
    ASSERT_EQ(1, first.args.error);
    Argv secondArgv({"-h"});
    const Parsed second = parseWith(pa::defaultProgArgs(), secondArgv);
    EXPECT_EQ("", second.err);
    EXPECT_EQ(1, second.args.help);
    EXPECT_EQ(0, second.args.logToConsole);
    EXPECT_EQ(0, second.args.error);

    const Parsed third = parseOnto(second.args, {"-p", "3000", "-d", "/x.db"});
    EXPECT_EQ("", third.err);
    EXPECT_EQ(3000, third.args.listeningPort);
    EXPECT_EQ("/x.db", third.args.databasePath);
    EXPECT_EQ(1, third.args.help);
}

TEST(Conversions, ToIntReadsUnsignedDecimalThatFitsAnInt) {
    EXPECT_EQ(0, pa::toInt("0"));
    EXPECT_EQ(7, pa::toInt("007"));
    EXPECT_EQ(10000, pa::toInt("10000"));
    EXPECT_EQ(INT_MAX, pa::toInt("2147483647"));
    EXPECT_EQ(-1, pa::toInt("2147483648"));
    EXPECT_EQ(-1, pa::toInt("99999999999999999999"));
    EXPECT_EQ(-1, pa::toInt(""));
    EXPECT_EQ(-1, pa::toInt("-1"));
    EXPECT_EQ(-1, pa::toInt("+1"));
    EXPECT_EQ(-1, pa::toInt(" 1"));
    EXPECT_EQ(-1, pa::toInt("1 "));
    EXPECT_EQ(-1, pa::toInt("12a"));
    EXPECT_EQ(-1, pa::toInt("1.5"));
}

TEST(Conversions, IpAddressIsFourGroupsOfOneToThreeDigits) {
    for (const char* valid : {"1.2.3.4", "127.0.0.1", "999.999.999.999", "000.0.00.0"}) {
        EXPECT_EQ(0, pa::validateIpAddress(valid)) << valid;
    }
    for (const char* invalid : {"", "1.2.3", "1.2.3.4.5", "1..3.4", "1.2.3.", ".1.2.3", "1234.1.1.1",
                                "1.2.3.1234", "a.b.c.d", "1.2.3.4 ", " 1.2.3.4", "1.2.3.-4", "1,2,3,4"}) {
        EXPECT_EQ(-1, pa::validateIpAddress(invalid)) << invalid;
    }
}

TEST(Conversions, IpPortSplitsAtTheFirstColon) {
    pa::IpPort out{"untouched", 42};
    EXPECT_EQ(-1, pa::ipPortFromString("1.2.3.4", out));
    EXPECT_EQ("untouched", out.ip);
    EXPECT_EQ(42, out.port);

    EXPECT_EQ(-3, pa::ipPortFromString("1.2.3:5", out));
    EXPECT_EQ("1.2.3", out.ip);
    EXPECT_EQ(-3, pa::ipPortFromString(":5", out));
    EXPECT_EQ("", out.ip);

    EXPECT_EQ(-2, pa::ipPortFromString("1.2.3.4:0", out));
    EXPECT_EQ(-2, pa::ipPortFromString("1.2.3.4:", out));
    EXPECT_EQ(-2, pa::ipPortFromString("1.2.3.4:-5", out));
    EXPECT_EQ(-2, pa::ipPortFromString("1.2.3.4:x80", out));
    EXPECT_EQ(-2, pa::ipPortFromString("1.2.3.4:65536", out));
    EXPECT_EQ(-2, pa::ipPortFromString("1.2.3.4:4294967297", out));
    EXPECT_EQ(-2, pa::ipPortFromString("1.2.3.4:99999999999999999999", out));

    const auto taken = [](const std::string& text, const std::string& ip, int port) {
        pa::IpPort endpoint;
        EXPECT_EQ(0, pa::ipPortFromString(text, endpoint)) << text;
        EXPECT_EQ(ip, endpoint.ip) << text;
        EXPECT_EQ(port, endpoint.port) << text;
    };
    taken("1.2.3.4:5038", "1.2.3.4", 5038);
    taken("1.2.3.4:5038x", "1.2.3.4", 5038);
    taken("1.2.3.4: +80", "1.2.3.4", 80);
    taken("1.2.3.4:1", "1.2.3.4", 1);
    taken("1.2.3.4:65535", "1.2.3.4", 65535);
    taken("1.2.3.4:1:2", "1.2.3.4", 1);
}

TEST(Texts, HelpByteForByte) {
    std::ostringstream out;
    pa::printHelp(out);
    EXPECT_EQ(
        "Pelbri http server\n"
        "Usage:  PelbrinSrv [OPTIONS]\n"
        "Options: \n"
        " -h  show help \n"
        " -v  print version info\n"
        " -d  set path to database\n"
        " -c  set connection number limit\n"
        " -p  set listening port\n"
        " -s  use ssl\n"
        " -a  asterisk ip:port\n"
        " -e  set logging to log server, optional argument: log server ip:port\n"
        " -l  set log level\n"
        " -o  set logging to log file, optional argument: path to log file\n"
        " -k  set logging to console\n"
        " -r  set record number limit \n"
        " -t  set connection timeout \n"
        " -f  configuration file (options will be overriden with those in config file)\n"
        " -u  use dummy admin validator\n"
        " -z  print server configuration\n"
        "\n"
        "Log levels:\n"
        " 0: trace\n"
        " 1: debug\n"
        " 2: info\n"
        " 3: warn\n"
        " 4: error\n"
        " 5: fatal\n"
        " 6: logging is off\n"
        "\n",
        out.str());
}

TEST(Texts, VersionLineThenEmptyLine) {
    std::ostringstream out;
    pa::printVersion(out);
    EXPECT_EQ("PelbrinSrv v2.3.1   platform:x86    'Dec  2 2015 07:26:53'\n\n", out.str());
}

TEST_F(ConfigFile, EveryKeyOverridesTheCommandLine) {
    const Parsed cmd = parse({"-d", "/cmd.db", "-p", "3000", "-k", "-f", "/ignored.cfg"});
    ASSERT_EQ("", cmd.err);
    const std::string path = write(
        "databasePath = \"/file.db\";\n"
        "connectionLimit = 11;\n"
        "listeningPort = 8081;\n"
        "sslFlag = true;\n"
        "asterisk = \"10.0.0.5:6000\";\n"
        "logServer = \"10.0.0.6:6001\";\n"
        "logToServer = 1;\n"
        "logLevel = 20000;\n"
        "logFile = \"/tmp/file.log\";\n"
        "logToFile = 1;\n"
        "logToConsole = 0;\n"
        "databaseRecordLimit = 123;\n"
        "connectionTimeout = 45;\n"
        "useDummyConfigurationFlag = 1;\n");
    const Parsed p = load(cmd.args, path);
    EXPECT_EQ("", p.err);
    const pa::ProgArgs& a = p.args;
    EXPECT_EQ(0, a.error);
    EXPECT_EQ("/file.db", a.databasePath);
    EXPECT_EQ(11, a.connectionLimit);
    EXPECT_EQ(8081, a.listeningPort);
    EXPECT_TRUE(a.sslFlag);
    EXPECT_EQ("10.0.0.5:6000", a.asterisk);
    EXPECT_EQ("10.0.0.5", a.asteriskIpPort.ip);
    EXPECT_EQ(6000, a.asteriskIpPort.port);
    EXPECT_EQ("10.0.0.6:6001", a.logServer);
    EXPECT_EQ("10.0.0.6", a.logServerIpPort.ip);
    EXPECT_EQ(6001, a.logServerIpPort.port);
    EXPECT_EQ(1, a.logToServer);
    EXPECT_EQ(20000, a.logLevel);
    EXPECT_EQ("/tmp/file.log", a.logFile);
    EXPECT_EQ(1, a.logToFile);
    EXPECT_EQ(0, a.logToConsole);
    EXPECT_EQ(123, a.databaseRecordLimit);
    EXPECT_EQ(45, a.connectionTimeout);
    EXPECT_EQ(1, a.useDummyAdminValidator);
    EXPECT_EQ("/ignored.cfg", *a.configFile);
}

TEST_F(ConfigFile, AbsentKeysAndOtherTypesLeaveFieldsUnchanged) {
    const Parsed cmd = parse({"-p", "3000", "-s", "-e", "-l", "1"});
    ASSERT_EQ("", cmd.err);
    const std::string path = write(
        "listeningPort = \"8080\";\n"
        "sslFlag = 0;\n"
        "logToServer = false;\n"
        "logLevel = 2.5;\n"
        "connectionLimit = 99999999999L;\n"
        "databasePath = 17;\n"
        "group = { logToConsole = 1; };\n");
    const Parsed p = load(cmd.args, path);
    EXPECT_EQ("", p.err);
    EXPECT_EQ(everything(cmd.args), everything(p.args));
}

TEST_F(ConfigFile, LogLevelIsInLibraryUnits) {
    const Parsed p = load(pa::defaultProgArgs(), write("logLevel = 20000;\n"));
    EXPECT_EQ(20000, p.args.logLevel);
    EXPECT_EQ(6, load(pa::defaultProgArgs(), write("logLevel = 6;\n")).args.logLevel);
}

TEST_F(ConfigFile, UnreadableFileIsRefusedWithoutLineEnd) {
    const Parsed cmd = parse({"-p", "3000", "-k"});
    const Parsed missing = load(cmd.args, testing::TempDir() + "progargs_absent_" + std::to_string(getpid()));
    EXPECT_EQ(std::string(PROGRAM) + ": Cannot read configureation file. FileIOException", missing.err);
    EXPECT_EQ(1, missing.args.error);
    pa::ProgArgs expected = cmd.args;
    expected.error = 1;
    EXPECT_EQ(everything(expected), everything(missing.args));

    const Parsed broken = load(cmd.args, write("listeningPort = 8080;\nlogLevel = ;\n"));
    EXPECT_EQ(std::string(PROGRAM) + ": Cannot read configureation file. ParseException", broken.err);
    EXPECT_EQ(1, broken.args.error);
    EXPECT_EQ(everything(expected), everything(broken.args));
}

TEST_F(ConfigFile, InvalidEndpointsAreRefused) {
    const Parsed asterisk = load(pa::defaultProgArgs(), write("asterisk = \"1.2.3:5038\";\n"));
    EXPECT_EQ(std::string(PROGRAM) + ": Invalid asterisk address\n", asterisk.err);
    EXPECT_EQ(1, asterisk.args.error);

    const Parsed logServer = load(pa::defaultProgArgs(), write("logServer = \"1.2.3.4\";\n"));
    EXPECT_EQ(std::string(PROGRAM) + ": Invalid log serwer address\n", logServer.err);
    EXPECT_EQ(1, logServer.args.error);

    const Parsed both =
        load(pa::defaultProgArgs(), write("logServer = \"1.2.3.4:0\";\nasterisk = \"1.2.3.4:70000\";\n"));
    EXPECT_EQ(
        std::string(PROGRAM) + ": Invalid asterisk address\n" + PROGRAM + ": Invalid log serwer address\n",
        both.err);
    EXPECT_EQ(1, both.args.error);
}

TEST_F(ConfigFile, PortsOutsideSixteenBitsAreRefused) {
    const std::string message = std::string(PROGRAM) + ": Invalid listenning port number: ";
    for (const int port : {65536, 70000, 0, -1}) {
        const Parsed p =
            load(pa::defaultProgArgs(), write("listeningPort = " + std::to_string(port) + ";\n"));
        EXPECT_EQ(message + std::to_string(port) + "\n", p.err);
        EXPECT_EQ(1, p.args.error);
    }
    for (const int port : {1, 65535}) {
        const Parsed p =
            load(pa::defaultProgArgs(), write("listeningPort = " + std::to_string(port) + ";\n"));
        EXPECT_EQ("", p.err);
        EXPECT_EQ(port, p.args.listeningPort);
        EXPECT_EQ(0, p.args.error);
    }
}

TEST_F(ConfigFile, LimitsAndTimeoutBelowOneAreRefused) {
    const auto refused = [&](const std::string& line, const std::string& message) {
        const Parsed p = load(pa::defaultProgArgs(), write(line));
        EXPECT_EQ(std::string(PROGRAM) + message + "\n", p.err) << line;
        EXPECT_EQ(1, p.args.error) << line;
    };
    refused("connectionLimit = 0;",
            ": Invalid connection limit number: connection limit must be greater than 0");
    refused("connectionLimit = -5;",
            ": Invalid connection limit number: connection limit must be greater than 0");
    refused("databaseRecordLimit = 0;", ": Database record limit must by greater than 0");
    refused("databaseRecordLimit = -1;", ": Database record limit must by greater than 0");
    refused("connectionTimeout = 0;", ": Connection timeout must by greater than 0");
    refused("connectionTimeout = -30;", ": Connection timeout must by greater than 0");

    const Parsed ones =
        load(pa::defaultProgArgs(),
             write("connectionLimit = 1;\ndatabaseRecordLimit = 1;\nconnectionTimeout = 1;\n"));
    EXPECT_EQ("", ones.err);
    EXPECT_EQ(0, ones.args.error);
    EXPECT_EQ(1, ones.args.connectionLimit);
    EXPECT_EQ(1, ones.args.databaseRecordLimit);
    EXPECT_EQ(1, ones.args.connectionTimeout);
}

TEST_F(ConfigFile, SampleFileSetsEveryKeyToItsDefault) {
    // Every field moved away from its default first, so each key of the sample has to bring it back.
    const Parsed cmd = parse({"-d", "/cmd.db", "-c", "3", "-p", "3000", "-s", "-a", "1.1.1.1:1",
                              "-e2.2.2.2:2", "-l", "0", "-o/cmd.log", "-k", "-r", "5", "-t", "5", "-u"});
    ASSERT_EQ("", cmd.err);
    const Parsed p = load(cmd.args, PELBRIN_SAMPLE_CONFIG);
    EXPECT_EQ("", p.err);
    EXPECT_EQ(everything(pa::defaultProgArgs()), everything(p.args));
}

}  // namespace
