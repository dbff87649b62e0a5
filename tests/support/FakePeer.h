#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A loopback TCP stand-in for the Asterisk manager interface. It listens on 127.0.0.1 on a port the
// kernel picks and serves every connection from a thread of its own, following one script: send the
// greeting, read the client's request, answer (or misbehave), then keep reading until the client
// closes. Every byte received is recorded. Reads time out, so a client that never closes or never
// sends costs a bounded wait instead of hanging the test.
class FakePeer {
public:
    enum class Behaviour {
        Answer,              // greeting, request, the script's answer
        CloseAfterGreeting,  // greeting, then end of stream (what the client still sends is recorded)
        OverlongLine,        // greeting, request, then kOverlongLine: 200 bytes without a line end
        NeverAnswer,         // greeting, request, then silence until the client closes (or holdLimit)
        AnswerGarbage,       // greeting, request, then kGarbageAnswer
    };

    struct Script {
        Script() {}
        std::string greeting = kGreeting;  // empty: no greeting is sent
        std::string answer = kSuccessAnswer;
        Behaviour behaviour = Behaviour::Answer;
        std::string requestEnd = "\r\n\r\n";  // the request is complete once this has arrived
        std::chrono::milliseconds readTimeout{5000};
        std::chrono::milliseconds holdLimit{30000};  // NeverAnswer gives up after this
    };

    static const std::string kGreeting;       // "Asterisk Call Manager/1.1\r\n"
    static const std::string kSuccessAnswer;  // starts with "Response: Success\r\n"
    static const std::string kErrorAnswer;    // starts with "Response: Error\r\n"
    static const std::string kGarbageAnswer;  // binary noise ending in CR LF
    static const std::string kOverlongLine;   // 200 bytes of 'A', no CR LF

    FakePeer();
    explicit FakePeer(Behaviour behaviour);
    explicit FakePeer(Script script);
    ~FakePeer();

    FakePeer(const FakePeer&) = delete;
    FakePeer& operator=(const FakePeer&) = delete;

    unsigned short port() const { return mPort; }

    // Connections accepted so far; accepts first whatever the kernel has already completed, so a
    // connection made before the call is always counted.
    std::size_t connectionCount();

    // Bytes received on the given connection (in accept order), once the peer is done with it; waits
    // for that (bounded by readTimeout and a margin) and returns what arrived so far otherwise.
    std::string received(std::size_t connection = 0);

private:
    struct Session;

    void acceptLoop();
    void acceptPending();
    void serve(Session& session);
    bool sendAll(int fd, const std::string& bytes) const;
    enum class ReadEnd { Request, Closed, TimedOut, Stopped };
    ReadEnd readInto(Session& session, std::chrono::milliseconds timeout, const std::string* until);

    const Script mScript;
    int mListenFd = -1;
    int mStopPipe[2] = {-1, -1};
    unsigned short mPort = 0;

    std::mutex mMutex;
    std::condition_variable mSessionDone;
    std::vector<std::unique_ptr<Session>> mSessions;
    std::vector<std::thread> mSessionThreads;
    std::thread mAcceptor;
};

// A loopback port that refuses every connection: bound but never listening, held for the object's
// lifetime so no one else takes it.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    unsigned short port() const { return mPort; }

private:
    int mFd = -1;
    unsigned short mPort = 0;
};

}  // namespace testsupport
