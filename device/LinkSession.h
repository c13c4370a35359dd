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
    // Stops the workers, then cancels the registrations. The library stays loaded: its threads may
    // still be running.
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Binds libportmux.so (programFolder first, then the default search path) and starts the channel;
    // the presence worker then handles the keyboard count found at start. detail names a missing entry
    // point or the loader's reason.
    BindResult open(const std::filesystem::path& programFolder, OnBindFailure onFailure,
                    std::string* detail = nullptr);
    bool isOpen() const { return link_ != nullptr; }
    // Where the presence worker hands each default key block it reads; set it before open().
    void setDefaultKeyBlockSink(KeyboardEvents::KeyBlockSink sink) { sink_ = std::move(sink); }

    // Valid after a successful open().
    const ServiceTable& service() const { return service_; }
    DeviceLink& link() { return *link_; }
    Commands& commands() { return *commands_; }
    KeyboardEvents& events() { return *events_; }
    AppLinkState& state() { return state_; }

private:
    AppLinkState& state_;
    MainWindowPort& window_;
    LinkTiming timing_;
    ServiceTable service_;
    KeyboardEvents::KeyBlockSink sink_;
    std::unique_ptr<DeviceLink> link_;
    std::unique_ptr<Commands> commands_;
    std::unique_ptr<KeyboardEvents> events_;
};

} // namespace tarvik::device
