// The signals that end a program from outside: SIGTERM (a desktop logout, systemd, kill), SIGINT (Ctrl+C
// in a terminal) and SIGHUP (the terminal went away). A signal handler may do almost nothing, so the
// handler only writes the signal's number into a pipe; the event loop watches the pipe's read end and
// runs the program's orderly end from there, on its own thread, with nothing interrupted half-way.
//
// One object at a time per process. While it lives the three signals are caught; when it goes the
// handlers it replaced are back. The pipe is close-on-exec: programs the process starts do not inherit
// it (and start with the signals' default actions, as exec resets caught signals).
#pragma once

#include <csignal>

namespace tarvik {

inline constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

// For a process without an event loop: handler (which may only note that a signal came) runs for each of
// the three from now on; a blocking call it interrupts returns early.
void catchTerminationSignals(void (*handler)(int));

// For a process without an event loop that must never be interrupted inside a call: the three signals are
// blocked in the calling thread (and so in every thread it starts afterwards), and onSignal runs for each
// one that arrives on a thread of its own, where it may lock and call anything. For the whole process life.
void takeTerminationSignalsOnThread(void (*onSignal)(int));

class TerminationSignals {
public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or a handler could not be set up (the signals then keep their old actions).
    bool ok() const { return ok_; }
    // Readable when a signal has arrived.
    int fd() const { return read_; }
    // The number of a signal that has arrived and not been taken yet, oldest first; 0 when none.
    int take();

private:
    bool ok_ = false;
    int read_ = -1;
    int write_ = -1;
};

} // namespace tarvik
