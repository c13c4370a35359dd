#include "app/NamedEvents.h"

#include "platform/NamedSemaphore.h"
#include "platform/ThisProcess.h"

#include <cstdio>

namespace tarvik::app {

std::string namedEventName(int n, std::string_view prefix) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", n);
    return std::string(prefix) + "Main_" + number;
}

std::string userNamedEventPrefix() {
    return std::string(kNamedEventPrefix) + std::to_string(currentUserId()) + "_";
}

int NamedEvents::create() {
    close();
    for (int n = 1; n <= kNamedEventCount; ++n) {
        std::string name = namedEventName(n, prefix_);
        const NamedSemaphore s = openOwnNamedSemaphore(name);
        if (s.handle != nullptr) {
            open_.push_back(Event{std::move(name), s});
        }
    }
    return count();
}

void NamedEvents::close() {
    for (Event& e : open_) {
        closeNamedSemaphore(e.name, e.semaphore);
    }
    open_.clear();
}

} // namespace tarvik::app
