#include "platform/NamedSemaphore.h"

#include <cerrno>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvik {

namespace {

// Whether the semaphore called name belongs to this user. The C library keeps named semaphores as files
// "sem.NAME" in /dev/shm; the semaphore calls themselves cannot tell their owner.
bool ownSemaphore(const std::string& name) {
    struct stat st {};
    const std::string file = "/dev/shm/sem." + name.substr(1);
    return ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

} // namespace

NamedSemaphore openOwnNamedSemaphore(const std::string& name) {
    sem_t* s = ::sem_open(name.c_str(), O_CREAT | O_EXCL, 0600, 0);
    const bool created = s != SEM_FAILED;
    if (!created && errno == EEXIST && ownSemaphore(name)) {
        s = ::sem_open(name.c_str(), 0);
        // Checked again once open: the name may have been replaced in between.
        if (s != SEM_FAILED && !ownSemaphore(name)) {
            ::sem_close(s);
            s = SEM_FAILED;
        }
    }
    return s != SEM_FAILED ? NamedSemaphore{s, created} : NamedSemaphore{};
}

void closeNamedSemaphore(const std::string& name, const NamedSemaphore& semaphore) {
    if (semaphore.handle == nullptr) {
        return;
    }
    ::sem_close(static_cast<sem_t*>(semaphore.handle));
    if (semaphore.created) {
        ::sem_unlink(name.c_str());
    }
}

} // namespace tarvik
