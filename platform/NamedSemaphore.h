// Named semaphores shared by every process of the machine. The program only makes them exist (other
// processes open them by name); it never waits on them and never signals them.
#pragma once

#include <string>

namespace tarvik {

struct NamedSemaphore {
    void* handle = nullptr; // null: none could be had
    bool created = false;   // this process made it, so it removes the name again
};

// Creates the semaphore called name ("/..."), not signalled and for this user only. One that exists
// already is opened only when it is this user's own; one of another user is never opened.
NamedSemaphore openOwnNamedSemaphore(const std::string& name);
// Closes it and removes the name when this process created it.
void closeNamedSemaphore(const std::string& name, const NamedSemaphore& semaphore);

} // namespace tarvik
