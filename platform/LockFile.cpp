#include "platform/LockFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tarvik {

LockFile::~LockFile() {
    unlock();
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool LockFile::open() {
    if (fd_ >= 0) {
        return true;
    }
    const std::filesystem::path folder = path_.parent_path();
    if (!folder.empty()) {
        // Only the last level is ours to create private; the levels above are the user's.
        std::error_code ec;
        std::filesystem::create_directories(folder.parent_path(), ec);
        // A folder another user made (in a shared /tmp), or one others may write to, is not trusted with
        // our lock: its holder could keep it for ever, or swap the file.
        struct stat st {};
        if ((::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) || ::lstat(folder.c_str(), &st) != 0 ||
            !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 022) != 0) {
            unavailable_ = true;
            return false;
        }
    }
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    unavailable_ = fd_ < 0;
    return fd_ >= 0;
}

bool LockFile::lockUntil(Clock::time_point deadline, const std::function<bool()>& cancelled) {
    if (held_) {
        return true;
    }
    if (!open()) {
        return false;
    }
    // flock has no timed wait: try, and between tries sleep a little longer each time, up to 16 ms, so a
    // short hold costs little and a long one does not spin.
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        const auto now = Clock::now();
        if (now >= deadline || (cancelled && cancelled())) {
            return false;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(16));
    }
}

void LockFile::unlock() {
    if (held_) {
        ::flock(fd_, LOCK_UN);
        held_ = false;
    }
}

} // namespace tarvik
