// The 208 named events other processes may open while the main window lives: POSIX named semaphores
// "/Tarvik_Event_Main_01" ... "/Tarvik_Event_Main_208", created not signalled when the main window starts
// and removed at exit. The program itself never waits on them and never signals them.
#pragma once

#include <semaphore.h>

#include <string>
#include <string_view>
#include <vector>

namespace tarvik::app {

inline constexpr int kNamedEventCount = 208;
inline constexpr std::string_view kNamedEventPrefix = "/Tarvik_Event_";

// The name of event n (1..208): prefix + "Main_" + n in at least two digits.
std::string namedEventName(int n, std::string_view prefix = kNamedEventPrefix);

class NamedEvents {
public:
    explicit NamedEvents(std::string prefix = std::string(kNamedEventPrefix)) : prefix_(std::move(prefix)) {}
    ~NamedEvents() { close(); }
    NamedEvents(const NamedEvents&) = delete;
    NamedEvents& operator=(const NamedEvents&) = delete;

    // Creates (or opens, when a crashed run left them) all 208; returns how many could be had. One that
    // cannot be created is skipped: nothing in the program depends on them.
    int create();
    // Closes and removes every one this object created.
    void close();
    int count() const { return static_cast<int>(open_.size()); }

private:
    std::string prefix_;
    std::vector<std::pair<std::string, sem_t*>> open_;
};

} // namespace tarvik::app
