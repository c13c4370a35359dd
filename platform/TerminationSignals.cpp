#include "platform/TerminationSignals.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace tarvik {

namespace {

// The write end for the handler; -1 while no object lives.
std::atomic<int> gWriteEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read inside a signal handler");

struct sigaction gPrevious[std::size(kTerminationSignals)];

extern "C" void onTerminationSignal(int signal) {
    const int saved = errno;
    const int fd = gWriteEnd.load();
    if (fd >= 0) {
        const unsigned char number = static_cast<unsigned char>(signal);
        // A full pipe already holds a signal the loop has not read: this one changes nothing.
        [[maybe_unused]] const ssize_t written = ::write(fd, &number, 1);
    }
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals() {
    int ends[2];
    if (gWriteEnd.load() >= 0 || ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    read_ = ends[0];
    write_ = ends[1];
    gWriteEnd.store(write_);
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls go on: the loop, not the interrupted code, deals with the signal.
    action.sa_flags = SA_RESTART;
    ok_ = true;
    for (size_t i = 0; i < std::size(kTerminationSignals); ++i) {
        ok_ = ::sigaction(kTerminationSignals[i], &action, &gPrevious[i]) == 0 && ok_;
    }
}

TerminationSignals::~TerminationSignals() {
    if (write_ < 0) {
        return;
    }
    for (size_t i = 0; i < std::size(kTerminationSignals); ++i) {
        ::sigaction(kTerminationSignals[i], &gPrevious[i], nullptr);
    }
    gWriteEnd.store(-1);
    ::close(write_);
    ::close(read_);
}

int TerminationSignals::take() {
    unsigned char number = 0;
    return read_ >= 0 && ::read(read_, &number, 1) == 1 ? number : 0;
}

void catchTerminationSignals(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    for (int s : kTerminationSignals) {
        ::sigaction(s, &action, nullptr);
    }
}

void takeTerminationSignalsOnThread(void (*onSignal)(int)) {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kTerminationSignals) {
        sigaddset(&set, s);
    }
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set, onSignal] {
        for (;;) {
            int sig = 0;
            if (sigwait(&set, &sig) == 0) {
                onSignal(sig);
            }
        }
    }).detach();
}

} // namespace tarvik
