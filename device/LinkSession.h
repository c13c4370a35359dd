// The device link as the program and tarvikctl start it: bind the service library, start the request
// channel and the keyboard's event handling. Both go through open(), so both make the same service
// calls in the same order; only what a binding failure does differs.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "device/DeviceLink.h"
#include "device/KeyboardEvents.h"
#include "device/MainWindowPort.h"
#include "device/ServiceBinding.h"
#include "device/Timing.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

namespace tarvik::device {

enum class OnBindFailure {
    ExitSilently, // the program: end the process with exit code 0, no message
    Report,       // tarvikctl: return the reason so it can say so and fail
};

class LinkSession {
public:
    LinkSession(AppLinkState& state, MainWindowPort& window, const LinkTiming& timing = LinkTiming{});
    // close(), then cancels the registrations. The library stays loaded: its threads may still be running.
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Binds libportmux.so (programFolder first, then the default search path) and starts the channel;
    // the presence worker then handles the keyboard count found at start. detail names a missing entry
    // point or the loader's reason. A session opens once: a second open (also after close) is refused
    // with AlreadyOpen and changes nothing.
    BindResult open(const std::filesystem::path& programFolder, OnBindFailure onFailure,
                    std::string* detail = nullptr);
    bool isOpen() const { return link_ != nullptr && !closed_.load(); }
    // Where the presence worker hands each default key block it reads; set it before open().
    void setDefaultKeyBlockSink(KeyboardEvents::KeyBlockSink sink) { sink_ = std::move(sink); }

    // The orderly end, for the window's exit (the destructor calls it too; a second call does nothing).
    // Never waits for the user-interface thread, so it may be called on it: the window port is no longer
    // called and is told to let go (MainWindowPort::closePort), exchanges that wait for a reply end at
    // once, the commands refuse to start anything, and the workers are told to stop and waited for at
    // most LinkTiming::closeLimit each. A worker that does not come back in that time is let go; what it
    // uses (link, commands, events) is then never freed, so it cannot touch freed memory.
    void close();
    bool isClosed() const { return closed_.load(); }

    // Valid after a successful open() (and after close(), where they send nothing).
    const ServiceTable& service() const { return service_; }
    DeviceLink& link() { return *link_; }
    Commands& commands() { return *commands_; }
    KeyboardEvents& events() { return *events_; }
    AppLinkState& state() { return state_; }

private:
    // The window as the link's workers see it: every call forwarded until close(), none after.
    class WindowGate;

    AppLinkState& state_;
    LinkTiming timing_;
    ServiceTable service_;
    KeyboardEvents::KeyBlockSink sink_;
    std::unique_ptr<WindowGate> gate_;
    std::unique_ptr<DeviceLink> link_;
    std::unique_ptr<Commands> commands_;
    std::unique_ptr<KeyboardEvents> events_;
    std::atomic<bool> closed_{false};
    bool opened_ = false;
    bool workersStuck_ = false;
};

} // namespace tarvik::device
