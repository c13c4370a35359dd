// The library's notification thread: a queue of events ordered by due time (then by arrival), delivered
// one at a time on the library's own thread, never on a caller's thread.
//
// Without a thread of its own (the daemon's poll loop drives it): the owner delivers what is due with
// deliverDue() and is told of every new event through the wake function.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace portmux {

struct Event {
    enum class Type { ControlReport, Consumer, DeviceCount, Action };
    Type type = Type::Action;
    std::vector<uint8_t> bytes;   // ControlReport / Consumer: the received bytes
    uint16_t usage = 0;           // Consumer: the usage code
    uint32_t count = 0;           // DeviceCount: keyboards now attached
    std::function<void()> action; // Action: run on the notification thread (timers of the back ends)
};

class Dispatcher {
public:
    using Clock = std::chrono::steady_clock;
    using Deliver = std::function<void(Event&)>;

    explicit Dispatcher(Deliver deliver);
    // Without a thread: wake is called (outside the lock) after every post.
    Dispatcher(Deliver deliver, std::function<void()> wake);
    ~Dispatcher();
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    void start();
    // Stops the thread and drops what is still queued. Must not be called on the notification thread.
    void stop();

    // Queues an event, due after delay. Events of a group can be dropped together (group 0: none).
    void post(Event event, Clock::duration delay = Clock::duration::zero(), uint64_t group = 0);
    // Drops the queued events of a group; with notYetDue only those whose time has not come.
    void cancelGroup(uint64_t group, bool notYetDue = false);
    // Waits until nothing due by now is queued or being delivered.
    bool waitIdle(std::chrono::milliseconds timeout);
    bool onDispatchThread() const;
    // Without a thread: delivers every event due by now on the calling thread; answers when the next
    // queued one falls due (nullopt: none queued).
    std::optional<Clock::time_point> deliverDue();

private:
    void run();

    struct Item {
        uint64_t group;
        Event event;
    };
    Deliver deliver_;
    std::function<void()> wakeOwner_; // set: no thread of its own
    mutable std::mutex m_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::map<std::pair<Clock::time_point, uint64_t>, Item> queue_;
    uint64_t seq_ = 0;
    std::atomic<uint64_t> posted_{0}; // events posted so far, read without the lock while spinning
    bool running_ = false;
    bool stopping_ = false;
    bool delivering_ = false;
    std::thread thread_;
    std::thread::id threadId_;
};

} // namespace portmux
