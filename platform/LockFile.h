// An advisory lock on a file (flock), shared by every process of the user that opens the same path: a
// process waits, up to a deadline, until no other process holds it. The kernel lets go of it when the
// holder ends, however it ends. The folder above the file is created with mode 0700.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>

namespace tarvik {

class LockFile {
public:
    using Clock = std::chrono::steady_clock;

    explicit LockFile(std::filesystem::path path) : path_(std::move(path)) {}
    // Lets go of the lock and closes the file.
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    // Takes the lock, waiting until deadline at most, or until cancelled (asked between tries) answers
    // true. False when it is not taken: the time ran out, the wait was cancelled, or the file cannot be
    // opened or created. Not re-entrant: the holder calls unlock() before locking again.
    [[nodiscard]] bool lockUntil(Clock::time_point deadline, const std::function<bool()>& cancelled = {});
    [[nodiscard]] bool tryLock() { return lockUntil(Clock::time_point::min()); }
    void unlock();
    bool held() const { return held_; }
    // The file could not be opened or created (the last time it was tried).
    bool unavailable() const { return unavailable_; }
    const std::filesystem::path& path() const { return path_; }

private:
    bool open();

    std::filesystem::path path_;
    int fd_ = -1;
    bool held_ = false;
    bool unavailable_ = false;
};

} // namespace tarvik
