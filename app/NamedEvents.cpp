#include "app/NamedEvents.h"

#include <cstdio>
#include <fcntl.h>

namespace tarvik::app {

std::string namedEventName(int n, std::string_view prefix) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", n);
    return std::string(prefix) + "Main_" + number;
}

int NamedEvents::create() {
    close();
    for (int n = 1; n <= kNamedEventCount; ++n) {
        std::string name = namedEventName(n, prefix_);
        sem_t* s = ::sem_open(name.c_str(), O_CREAT, 0600, 0);
        if (s != SEM_FAILED) {
            open_.emplace_back(std::move(name), s);
        }
    }
    return count();
}

void NamedEvents::close() {
    for (auto& [name, s] : open_) {
        ::sem_close(s);
        ::sem_unlink(name.c_str());
    }
    open_.clear();
}

} // namespace tarvik::app
