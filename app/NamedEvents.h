// The 208 named events other processes may open while the main window lives: named semaphores
// "/Tarvik_Event_UID_Main_01" ... "/Tarvik_Event_UID_Main_208" (the names carry the user, as they are
// host-wide), created not signalled when the main window starts and removed at exit. The program itself
// never waits on them and never signals them.
//
// Each is created exclusively. One that exists already is used only when it is the user's own (left by a
// crashed run, or made by an instance in another session) and is then left in place at exit: only what
// this object created is removed. One of another user is never opened.
#pragma once

#include "platform/NamedSemaphore.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvik::app {

inline constexpr int kNamedEventCount = 208;
inline constexpr std::string_view kNamedEventPrefix = "/Tarvik_Event_";

// The name of event n (1..208): prefix + "Main_" + n in at least two digits.
std::string namedEventName(int n, std::string_view prefix = kNamedEventPrefix);
// The program's prefix: kNamedEventPrefix + the user id + "_".
std::string userNamedEventPrefix();

class NamedEvents {
public:
    explicit NamedEvents(std::string prefix = userNamedEventPrefix()) : prefix_(std::move(prefix)) {}
    ~NamedEvents() { close(); }
    NamedEvents(const NamedEvents&) = delete;
    NamedEvents& operator=(const NamedEvents&) = delete;

    // Creates (or opens the user's own that exist) all 208; returns how many could be had. One that cannot
    // be had is skipped: nothing in the program depends on them.
    int create();
    // Closes every one and removes those this object created.
    void close();
    int count() const { return static_cast<int>(open_.size()); }

private:
    struct Event {
        std::string name;
        NamedSemaphore semaphore;
    };
    std::string prefix_;
    std::vector<Event> open_;
};

} // namespace tarvik::app
