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
// How long a thread that aborts waits for the waiting thread to log the abort and end the process.
const unsigned ABORT_WAIT_SECONDS = 5;

std::atomic<bool> stopFlag{false};
// Cleared when main is done: a late signal is still taken off the threads but no longer logged, as logging
// is being torn down by then.
std::atomic<bool> handling{false};
sigset_t handledSignals;
pthread_t waiter;
// The actions the fault signals had before (the default, or a sanitizer's), for a real fault.
struct sigaction previousFaultActions[LAST_HANDLED_SIGNAL + 1];

log4cplus::Logger mainLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("PelbrinSrv"));

bool isFault(int n) { return n == SIGILL || n == SIGTRAP || n == SIGBUS || n == SIGFPE || n == SIGSEGV; }

// By default ignored or only continuing the process: a closed connection written to, a child's end, a
// continue (systemd and timeout send one right after SIGTERM), urgent socket data, a resized terminal.
bool isOnlyLogged(int n) {
    return n == SIGPIPE || n == SIGCHLD || n == SIGCONT || n == SIGURG || n == SIGWINCH;
}

// The terminal's stop signals (Ctrl-Z, a background job's terminal access).
bool isJobStop(int n) { return n == SIGTSTP || n == SIGTTIN || n == SIGTTOU; }

// Stops the whole process by the default action, so the parent sees the stop signal itself and the kernel
// discards it in an orphaned process group, as for any program. One that reaches a logging library thread
// while the default action is on stops the process there, just as well. Serving goes on after SIGCONT.
void suspendProcess(int n) {
    struct sigaction byDefault {};
    struct sigaction forwarding {};
    byDefault.sa_handler = SIG_DFL;
    sigaction(n, &byDefault, &forwarding);
    sigset_t signal;
    sigemptyset(&signal);
    sigaddset(&signal, n);
    pthread_sigmask(SIG_UNBLOCK, &signal, nullptr);
    // Open on this thread, it is delivered before pthread_kill returns.
    pthread_kill(pthread_self(), n);
    pthread_sigmask(SIG_BLOCK, &signal, nullptr);
    sigaction(n, &forwarding, nullptr);
}

void signalHandler(int n) {
    const std::string text = "Got signal " + std::to_string(n) + ": " + strsignal(n);
    if (isOnlyLogged(n)) {
        LOG4CPLUS_DEBUG(mainLogger, text);
        return;
    }
    if (isJobStop(n)) {
        LOG4CPLUS_DEBUG(mainLogger, text);
        suspendProcess(n);
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

// abort() opens SIGABRT on its own thread and, once a handler returns, raises it again under the default
// action: the process would die before the waiting thread logged it. So the aborting thread waits here
// for the waiting thread to log and end the process. Should the abort come while the thread holds a lock
// the logging needs, that logging blocks for good; the wait is bounded, and the process then ends by the
// default action after all (status 134, with a core) rather than hanging.
void abortHandler(int n) {
    const int savedErrno = errno;
    if (handling && !pthread_equal(pthread_self(), waiter)) {
        pthread_kill(waiter, n);
        sleep(ABORT_WAIT_SECONDS);
    }
    errno = savedErrno;
}

// A fault signal sent by another process (kill, sigqueue) or by a thread (tkill) is handled like any other
// signal. A real fault keeps its crash and core: the earlier action comes back and the faulting
// instruction, run again, faults under it; a trap instruction does not run again, so it is raised anew.
void faultHandler(int n, siginfo_t* info, void*) {
    const int savedErrno = errno;
    if (info->si_code <= 0) {
        pthread_kill(waiter, n);
    } else {
        sigaction(n, &previousFaultActions[n], nullptr);
        if (n == SIGTRAP) raise(n);
    }
    errno = savedErrno;
}

}  // namespace

SignalThread::SignalThread() {
    sigset_t faults;
    sigemptyset(&handledSignals);
    sigemptyset(&faults);
    for (int n = 1; n <= LAST_HANDLED_SIGNAL; ++n) {
        if (n == SIGKILL || n == SIGSTOP) continue;
        sigaddset(&handledSignals, n);
        if (isFault(n)) sigaddset(&faults, n);
    }
    // The waiting thread alone keeps the fault signals blocked. On a thread that blocks one, a real fault
    // goes straight to the default action, past any earlier handler (a sanitizer's report); the other
    // threads leave them open to faultHandler, which passes sent ones on to the waiting thread.
    pthread_sigmask(SIG_BLOCK, &handledSignals, nullptr);
    handling = true;
    // Never joined: it may sit in sigwait until the process ends, and the forwarding handlers need it alive.
    std::thread thread(waitForSignals);
    waiter = thread.native_handle();
    thread.detach();
    pthread_sigmask(SIG_UNBLOCK, &faults, nullptr);

    struct sigaction action {};
    sigfillset(&action.sa_mask);
    for (int n = 1; n <= LAST_HANDLED_SIGNAL; ++n) {
        if (sigismember(&handledSignals, n) != 1) continue;
        if (isFault(n)) {
            action.sa_flags = SA_RESTART | SA_SIGINFO;
            action.sa_sigaction = faultHandler;
            sigaction(n, &action, &previousFaultActions[n]);
        } else {
            action.sa_flags = SA_RESTART;
            action.sa_handler = n == SIGABRT ? abortHandler : forwardSignal;
            sigaction(n, &action, nullptr);
        }
    }
}

SignalThread::~SignalThread() { handling = false; }

bool stopRequested() { return stopFlag; }
