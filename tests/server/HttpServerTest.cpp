#include <sys/utsname.h>

#include <thread>

#include "tests/server/ServerProcess.h"

namespace servertest {
namespace {

const std::string ECHO_HEAD = R"({"request":"ECHO","arg":{"value":")";
const std::string ECHO_TAIL = R"("},"auth":{"name":"x","pass":"y","admin":false}})";

std::string echo(const std::string& value) { return ECHO_HEAD + value + ECHO_TAIL; }
// The request text with its bytes as given, around the encoded request.
std::string raw(const std::string& value) { return urlEncode(ECHO_HEAD) + value + urlEncode(ECHO_TAIL); }
std::string echoed(const std::string& value) {
    return R"({"response":"ECHO","error_code":0,"error_description":"SUCCESS","arg":{"value":")" + value +
           "\"}}";
}

std::string form(const std::string& value) { return post(FORM, "request=" + urlEncode(echo(value))); }

const std::string ECHO = echo(R"(a \"b\" & c=d%+%41)");
const std::string ECHOED = echoed(R"(a \"b\" & c=d%+%41)");

TEST(HttpTransport, EveryRequestGetsItsReply) {
    testsupport::TempDatabase db;
    const auto server = startServer(db.path(), {"-k"});
    // As a browser sends a form: blanks as '+', other fields around, empty ones before the request (which
    // must not end the reading).
    const std::string browser = std::regex_replace(
        "comment=" + urlEncode("a b+c") + "&a=&b&request=" + urlEncode(ECHO) + "&send=Send&c=",
        std::regex("%20"), "+");
    const std::string multipart =
        "--XyZ\r\nContent-Disposition: form-data; name=\"comment\"\r\n\r\nignored\r\n--XyZ\r\n"
        "Content-Disposition: form-data; name=\"request\"; filename=\"r.json\"\r\n"
        "Content-Type: application/json\r\n\r\n" +
        ECHO + "\r\n--XyZ--\r\n";
    const std::string longest(8 * 1024 * 1024 - echo("").size(), 'a');  // the longest request text taken
    const std::string parseError =
        R"({"response":"UNKNOWN","error_code":2,"error_description":"Cannot parse JSON: a","arg":null})";
    const std::string invalidUtf8 = "\xff\xfe\xc3\x28\xed\xa0\x80\xf4\x90\x80\x80\xc0\xaf";
    const auto replaced = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += "\xef\xbf\xbd";
        return text;
    };
    // {request, status (0: closed unanswered), body}
    const std::vector<std::tuple<std::string, int, std::string>> cases{
        {get("/Pelbrin?request=" + urlEncode(ECHO)), 200, ECHOED},
        {post(FORM, browser), 200, ECHOED},
        // Multipart parts are taken as they are, without decoding.
        {post("multipart/form-data; boundary=XyZ", multipart), 200, ECHOED},
        // Answers are UTF-8: each ill-formed subpart comes back as one U+FFFD (FF, FE, C3 | ED, A0, 80 |
        // F4, 90, 80, 80 | C0, AF).
        {form(invalidUtf8), 200, echoed(replaced(3) + "(" + replaced(9))},
        // A NUL ends the text the JSON parser sees; broken escapes stay as they are.
        {post(FORM, "request=" + raw("a%00b")), 200, parseError},
        {get("/Pelbrin?request=" + raw("a%zzb+c%2B%")), 200, echoed("a%zzb c+%")},
        {post(FORM, "request=" + raw("a%zzb+c%2B%")), 200, echoed("a%zzb c+%")},
        {form(longest), 200, echoed(longest)},
        {form(longest + "b"), 0, ""},
        {post("application/json", ECHO), 0, ""},
        // Runs of slashes collapse and a trailing one goes; no or an empty request gets the banner.
        {get("//Pelbrin/?request="), 200, BANNER},
        {get("///Pelbrin//?request="), 200, BANNER},
        {post(FORM, "requests=x"), 200, BANNER},
        {get("/pelbrin?request=x"), 404, "URL could not be found"},
        {get("/Pelbrin/x"), 404, "URL could not be found"},
        {"PUT" + post(FORM, "request=y").substr(4), 405, "Method not allowed"},
        {"HEAD /Pelbrin HTTP/1.1\r\nHost: a\r\n\r\n", 405, ""}};
    for (const auto& [request, status, text] : cases) {
        SCOPED_TRACE(request.substr(0, 300));
        const HttpReply reply = sendHttp(server->port, request);
        EXPECT_EQ(status, reply.status);
        EXPECT_TRUE(text == reply.body)
            << reply.body.substr(0, 300) << "\ninstead of " << text.substr(0, 300);
        EXPECT_EQ(status == 0 ? "" : "Connection: close\r\nContent-Type: text/plain;charset=utf-8\r\n",
                  reply.headers);
    }
    EXPECT_EQ("ERROR HttpServer  - request too large\nERROR HttpServer  - error creating post processor\n",
              sourceless(server->err()));
}

// The library's messages quote the request's decoded URL; a line break in it stays inside the one record.
TEST(HttpLog, ALineBreakInAQuotedUrlCannotForgeARecord) {
    testsupport::TempDatabase db;
    const auto server = startServer(db.path(), {"-k", "-l", "1"});
    const std::string failed = "DEBUG HttpServer  - Failed to send the response headers for the request for `";
    // A client that resets its connection at once makes the library quote the URL when the answer fails.
    for (int attempt = 0; attempt < 20 && server->err().find(failed) == std::string::npos; ++attempt) {
        {
            Socket client;
            ASSERT_TRUE(connectToServer(client, server->port));
            const linger reset{1, 0};
            ::setsockopt(client.fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            const std::string text = get("/Pelbrin%0D%0AFATAL%20PelbrinSrv%20-%20forged?request=");
            ::send(client.fd, text.data(), text.size(), MSG_NOSIGNAL);
        }  // reset before the answer is written
        std::this_thread::sleep_for(50ms);
    }
    const std::string log = sourceless(server->err());
    EXPECT_NE(std::string::npos, log.find(failed + "/Pelbrin\\r\\nFATAL PelbrinSrv - forged'. Error: ")) << log;
    EXPECT_EQ(std::string::npos, log.find("\nFATAL")) << log;
    // The library's own line end is not kept: no empty records.
    EXPECT_EQ(std::string::npos, log.find("\n\n")) << log;
}

// The log server is shown the host's platform, uname's four texts, whole as the user and as the device.
TEST(RemoteLog, NamesTheWholePlatformAsUserAndDevice) {
    testsupport::TempDatabase db;
    const Socket logServer(SOCK_DGRAM);
    const auto server = startServer(db.path(), {"-l", "2", "-e127.0.0.1:" + std::to_string(logServer.port)});
    utsname name{};
    ASSERT_EQ(0, uname(&name));
    const std::string platform =
        std::string(name.sysname) + " " + name.machine + " " + name.release + " " + name.version;
    char datagram[65536];
    const ssize_t size = ::recv(logServer.fd, datagram, sizeof datagram, 0);
    ASSERT_GT(size, 0);
    const std::string sent(datagram, static_cast<std::size_t>(size));
    EXPECT_NE(std::string::npos, sent.find(",usr:\"" + platform + "\",knd:\"")) << sent;
    EXPECT_NE(std::string::npos, sent.find(",dev:\"" + platform + "\",atr:[")) << sent;
}

}  // namespace
}  // namespace servertest
