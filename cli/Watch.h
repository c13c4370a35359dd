// tarvikctl watch: the keyboard's events as they happen. The device link is started as the program starts
// it, with a main window that has nothing to show: what the link tells the window (a keyboard arrived or
// left, the G-key layer switched, the lighting changed on the keyboard) becomes an event, and a read of
// the configuration block after an arrival or a lighting change tells whether the on-board profile
// changed. Only the library's contract is used, so it works the same beside the program when the
// virtual keyboard's server or a real keyboard delivers the events to every process.
#pragma once

#include "cli/CliCommand.h"
#include "device/HeadlessWindowPort.h"
#include "device/LinkSession.h"
#include "device/SerialWorker.h"
#include "device/Timing.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace tarvik::cli::watch {

struct Event {
    enum Kind { Attached, Detached, Layer, Lighting, Profile } kind = Attached;
    int value = 0; // keyboards for Attached and Detached, the layer, the profile
    friend bool operator==(const Event&, const Event&) = default;
};

// "attached 1" / {"event": "attached", "keyboards": 1}, "layer 1", "lighting changed", "profile 2".
std::string formatEvent(const Event& event, bool json);

// Where events go; called from the link's threads, one event at a time.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void emit(const Event& event) = 0;
};

// Raised once (by a signal, or by a test); waits on it are bounded by their caller.
class StopSignal {
public:
    void raise() {
        std::lock_guard lock(mutex_);
        raised_ = true;
        changed_.notify_all();
    }
    // True when raised; false when the time ran out first.
    bool waitFor(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return raised_; });
    }
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return raised_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool raised_ = false;
};

// The main window of a watching tarvikctl.
class WatchWindow final : public device::HeadlessWindowPort {
public:
    explicit WatchWindow(EventSink& sink) : sink_(sink), worker_(std::make_unique<device::SerialWorker>()) {}
    ~WatchWindow() override { finish(); }
    // The session whose link and commands the window uses; set before the session is opened.
    void attach(device::LinkSession& session) { session_ = &session; }

    intptr_t sendMessage(uint32_t message, uint32_t wParam) override;
    void startTimer(int timerId, int periodMs) override;

    // Reads the configuration block and reports the profile when it is another than last time. Runs on
    // the window's own worker, so the library's thread never waits for an exchange.
    void checkProfileLater();
    // Ends the worker after its running task and joins it; later requests are dropped.
    void finish();
    // Says once that no keyboard is there when the link has said nothing of one yet: a start without a
    // keyboard. Once an arrival or a loss was said, the line would be one loss too many.
    void sayNoKeyboardAtStart();

private:
    void checkProfile();

    EventSink& sink_;
    device::LinkSession* session_ = nullptr;
    std::mutex profileMutex_;
    int lastProfile_ = -1; // -1: none reported since the last arrival
    std::mutex workerMutex_;
    std::unique_ptr<device::SerialWorker> worker_;
    std::atomic<bool> presenceSaid_{false};
};

struct Options {
    // Also read the configuration block this often, for profile changes no event announces (another
    // program switching it); zero: only after arrivals and lighting changes.
    std::chrono::milliseconds interval{0};
    device::LinkTiming timing;
};

// Runs until stop is raised: binds the library, starts the link and hands every event to sink, the
// current state first (attached with the count and the profile, or detached). 0, or 1 with one line on
// ctx.err when the library cannot be bound.
int runWatch(CliContext& ctx, const Options& options, EventSink& sink, StopSignal& stop);

} // namespace tarvik::cli::watch
