#include "app/NamedEvents.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik::app {

namespace {

// Whether the semaphore called name belongs to this user. The C library keeps named semaphores as files
// "sem.NAME" in /dev/shm; the semaphore calls themselves cannot tell their owner.
bool ownSemaphore(const std::string& name) {
    struct stat st {};
    const std::string file = "/dev/shm/sem." + name.substr(1);
    return ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

} // namespace

std::string namedEventName(int n, std::string_view prefix) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", n);
    return std::string(prefix) + "Main_" + number;
}

std::string userNamedEventPrefix() {
    return std::string(kNamedEventPrefix) + std::to_string(::getuid()) + "_";
}

int NamedEvents::create() {
    close();
    for (int n = 1; n <= kNamedEventCount; ++n) {
        std::string name = namedEventName(n, prefix_);
        sem_t* s = ::sem_open(name.c_str(), O_CREAT | O_EXCL, 0600, 0);
        bool created = s != SEM_FAILED;
        if (!created && errno == EEXIST && ownSemaphore(name)) {
            s = ::sem_open(name.c_str(), 0);
            // Checked again once open: the name may have been replaced in between.
            if (s != SEM_FAILED && !ownSemaphore(name)) {
                ::sem_close(s);
                s = SEM_FAILED;
            }
        }
        if (s != SEM_FAILED) {
            open_.push_back(Event{std::move(name), s, created});
        }
    }
    return count();
}

void NamedEvents::close() {
    for (Event& e : open_) {
        ::sem_close(e.semaphore);
        if (e.created) {
            ::sem_unlink(e.name.c_str());
        }
    }
    open_.clear();
}

} // namespace tarvik::app
