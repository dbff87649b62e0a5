#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A loopback TCP stand-in for the Asterisk manager interface on a port the kernel picks. A thread per
// connection follows the script: greeting, read the request, answer (or misbehave), then record whatever
// else arrives until the client closes. Reads time out, so a broken client cannot hang a test.
class FakePeer {
public:
    // After the greeting: Answer sends the script's answer, CloseAfterGreeting ends the stream at once,
    // OverlongLine sends kOverlongLine, NeverAnswer stays silent until the client closes (or holdLimit runs
    // out), AnswerGarbage sends kGarbageAnswer.
    enum class Behaviour { Answer, CloseAfterGreeting, OverlongLine, NeverAnswer, AnswerGarbage };
    struct Script {
        explicit Script(Behaviour b = Behaviour::Answer) : behaviour(b) {}
        std::string greeting = kGreeting;  // empty: no greeting is sent
        std::string answer = kSuccessAnswer;
        Behaviour behaviour;
        std::string requestEnd = "\r\n\r\n";  // the request is complete once this has arrived
        std::chrono::milliseconds readTimeout{5000};
        std::chrono::milliseconds holdLimit{30000};
    };
    static const std::string kGreeting;       // "Asterisk Call Manager/1.1\r\n"
    static const std::string kSuccessAnswer;  // starts with "Response: Success\r\n"
    static const std::string kErrorAnswer;    // starts with "Response: Error\r\n"
    static const std::string kGarbageAnswer;  // binary noise ending in CR LF
    static const std::string kOverlongLine;   // 200 bytes of 'A', no CR LF

    FakePeer();
    explicit FakePeer(Behaviour behaviour);
    explicit FakePeer(Script script);
    ~FakePeer();  // its mutex and threads already forbid copies

    unsigned short port() const { return mPort; }
    // Connections accepted so far; one the kernel completed before the call is always counted.
    std::size_t connectionCount();
    // Every byte received on one connection (in accept order), once the peer is done with it or
    // readTimeout and a margin have passed.
    std::string received(std::size_t connection = 0);

private:
    struct Session {
        int fd;
        std::string received;  // guarded by mMutex, as is done
        bool done;
    };
    bool acceptPending();
    void serve(Session& session);
    bool record(Session& session, std::chrono::milliseconds timeout, bool untilRequest);

    const Script mScript;
    unsigned short mPort = 0;  // before the socket, whose initialiser fills it in
    int mListenFd = -1;
    std::mutex mMutex;
    std::condition_variable mSessionDone;
    std::deque<Session> mSessions;  // a deque keeps each serving thread's reference valid
    std::vector<std::thread> mThreads;
    std::thread mAcceptor;
};

// A loopback port that refuses every connection: bound, never listening, held so no one else takes it.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    unsigned short port() const { return mPort; }

private:
    unsigned short mPort = 0;  // before the socket, whose initialiser fills it in
    int mFd = -1;
};

}  // namespace testsupport
