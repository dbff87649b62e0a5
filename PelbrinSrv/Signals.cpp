#include "PelbrinSrv/Signals.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

namespace {

const int LAST_HANDLED_SIGNAL = 30;

std::atomic<bool> stopFlag{false};
// Cleared when main is done: a late signal is still taken off the threads but no longer logged, as logging
// is being torn down by then.
std::atomic<bool> handling{false};
sigset_t handledSignals;
pthread_t waiter;

log4cplus::Logger mainLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("PelbrinSrv"));

bool isFault(int n) { return n == SIGILL || n == SIGTRAP || n == SIGBUS || n == SIGFPE || n == SIGSEGV; }

void signalHandler(int n) {
    const std::string text = "Got signal " + std::to_string(n) + ": " + strsignal(n);
    if (n == SIGPIPE) {
        LOG4CPLUS_DEBUG(mainLogger, text);
        return;
    }
    if (n == SIGINT || n == SIGTERM) {
        // Logged before the flag is set, so the line always precedes main's "Server stopped".
        LOG4CPLUS_INFO(mainLogger, text);
        stopFlag = true;
        return;
    }
    stopFlag = true;
    LOG4CPLUS_FATAL(mainLogger, text);
    // At once: exit() would run static destructors under the feet of the still serving threads.
    _exit(1);
}

[[noreturn]] void waitForSignals() {
    for (;;) {
        int n = 0;
        if (sigwait(&handledSignals, &n) == 0 && handling) {
            signalHandler(n);
        }
    }
}

// The logging library starts threads of its own before main, with every signal open; a signal the kernel
// hands to one of them is passed on to the waiting thread, which is all a handler may safely do.
void forwardSignal(int n) {
    const int savedErrno = errno;
    pthread_kill(waiter, n);
    errno = savedErrno;
}

}  // namespace

SignalThread::SignalThread() {
    sigemptyset(&handledSignals);
    for (int n = 1; n <= LAST_HANDLED_SIGNAL; ++n) {
        if (n != SIGKILL && n != SIGSTOP && !isFault(n)) sigaddset(&handledSignals, n);
    }
    pthread_sigmask(SIG_BLOCK, &handledSignals, nullptr);
    handling = true;
    // Never joined: it may sit in sigwait until the process ends, and the forwarding handler needs it alive.
    std::thread thread(waitForSignals);
    waiter = thread.native_handle();
    thread.detach();

    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigfillset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int n = 1; n <= LAST_HANDLED_SIGNAL; ++n) {
        if (sigismember(&handledSignals, n) == 1) sigaction(n, &action, nullptr);
    }
}

SignalThread::~SignalThread() { handling = false; }

bool stopRequested() { return stopFlag; }
