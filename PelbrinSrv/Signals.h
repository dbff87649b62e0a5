#pragma once

// Takes the process's signals 1 to 30 away from every thread and handles them one at a time on a thread of
// its own, where logging is safe: SIGINT and SIGTERM ask for a stop; SIGPIPE, SIGCHLD, SIGCONT, SIGURG and
// SIGWINCH are only logged; SIGTSTP, SIGTTIN and SIGTTOU are logged and suspend the process until SIGCONT;
// any other ends the process with status 1, an abort() inside the process too.
// A real fault (SIGILL, SIGTRAP, SIGBUS, SIGFPE, SIGSEGV raised by the processor) keeps its default action,
// so a crash still crashes; only one sent from outside is handled.
class SignalThread {
public:
    // Call on the main thread before it starts any thread of its own: they inherit the blocked signals.
    SignalThread();
    // Handling ends here; the waiting thread stays blocked until the process ends (see Signals.cpp).
    ~SignalThread();

    SignalThread(const SignalThread&) = delete;
    SignalThread& operator=(const SignalThread&) = delete;
};

// True once SIGINT or SIGTERM arrived.
bool stopRequested();
