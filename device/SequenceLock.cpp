#include "device/SequenceLock.h"

namespace tarvik::device {

SequenceLock::SequenceLock(const std::filesystem::path& lockFile) {
    if (!lockFile.empty()) {
        file_ = std::make_unique<LockFile>(lockFile);
    }
}

SequenceLock::Entry SequenceLock::enter(Clock::time_point deadline) {
    const auto self = std::this_thread::get_id();
    {
        std::unique_lock lock(mutex_);
        if (closed_) {
            return Entry::Closed;
        }
        if (depth_ > 0 && owner_ == self) {
            ++depth_;
            return Entry::Held;
        }
        if (!free_.wait_until(lock, deadline, [this] { return closed_ || depth_ == 0; })) {
            return Entry::TimedOut;
        }
        if (closed_) {
            return Entry::Closed;
        }
        owner_ = self;
        depth_ = 1;
    }
    if (file_ == nullptr) {
        return Entry::Held;
    }
    // The other processes: waited for outside the mutex, so close() is not held up by it; the file lock
    // wait looks at closed() between its tries.
    if (file_->lockUntil(deadline, [this] { return closed(); })) {
        return Entry::Held;
    }
    const bool wasClosed = closed();
    const bool unavailable = file_->unavailable();
    leave();
    return wasClosed ? Entry::Closed : unavailable ? Entry::Unavailable : Entry::TimedOut;
}

void SequenceLock::leave() {
    {
        std::lock_guard lock(mutex_);
        if (depth_ == 0 || --depth_ > 0) {
            return;
        }
        owner_ = std::thread::id{};
        if (file_ != nullptr) {
            file_->unlock();
        }
    }
    free_.notify_one();
}

void SequenceLock::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    free_.notify_all();
}

bool SequenceLock::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

} // namespace tarvik::device
