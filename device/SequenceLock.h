// One keyboard sequence at a time: a re-entrant gate for the threads of this process and, held by the
// outermost holder, the per-user lock file for the other processes (the program, tarvikctl). The keyboard
// restarts its write frame on every beginWrite, so two sequences that interleave lose the first one's
// writes while both callers are told they succeeded; holding this for the whole sequence prevents that.
#pragma once

#include "platform/LockFile.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

namespace tarvik::device {

class SequenceLock {
public:
    using Clock = std::chrono::steady_clock;
    enum class Entry { Held, TimedOut, Closed, Unavailable };

    // lockFile empty: only the threads of this process are kept apart.
    explicit SequenceLock(const std::filesystem::path& lockFile = {});
    SequenceLock(const SequenceLock&) = delete;
    SequenceLock& operator=(const SequenceLock&) = delete;

    // Waits until no other thread or process holds the lock, until deadline at most. The thread that holds
    // it may enter again (each entry needs its leave()). Unavailable when the lock file cannot be opened
    // or its folder is not the user's own: going on without it would let another process's sequence
    // interleave with ours, so nothing is held then.
    Entry enter(Clock::time_point deadline);
    void leave();
    // Every waiting enter() ends with Closed, and every later one too. The holder keeps it until it leaves.
    void close();
    bool closed() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable free_;
    std::thread::id owner_;
    int depth_ = 0;
    bool closed_ = false;
    // Used only by the outermost holder, between its enter() and its last leave().
    std::unique_ptr<LockFile> file_;
};

} // namespace tarvik::device
