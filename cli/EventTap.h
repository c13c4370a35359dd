// The program's window port with an ear on it: everything the device link tells the window goes on to
// the window unchanged, and what tarvikctl watch reports of it (a keyboard arrived or left, the layer
// switched, the lighting changed on the keyboard) also goes to a sink, for the session-bus signals.
#pragma once

#include "cli/Watch.h"
#include "device/AppLinkState.h"
#include "device/MainWindowPort.h"

#include <functional>

namespace tarvik::cli::watch {

class EventTap final : public device::MainWindowPort {
public:
    // keyboards: how many are attached now (the link exists only once this port is handed to it).
    EventTap(device::MainWindowPort& window, device::AppLinkState& state, EventSink& sink,
             std::function<int()> keyboards)
        : window_(window), state_(state), sink_(sink), keyboards_(std::move(keyboards)) {}

    intptr_t sendMessage(uint32_t message, uint32_t wParam) override {
        tell(message, wParam);
        return window_.sendMessage(message, wParam);
    }
    void postMessage(uint32_t message, uint32_t wParam) override {
        tell(message, wParam);
        window_.postMessage(message, wParam);
    }
    void hide() override { window_.hide(); }
    bool isReady() const override { return window_.isReady(); }
    void setIcon(int iconId) override { window_.setIcon(iconId); }
    void startTimer(int timerId, int periodMs) override {
        if (timerId == device::kTimerLightingReload) {
            sink_.emit({Event::Lighting, 0});
        }
        window_.startTimer(timerId, periodMs);
    }
    void showMessage(std::string_view languageKey) override { window_.showMessage(languageKey); }
    void closePort() override { window_.closePort(); }

private:
    void tell(uint32_t message, uint32_t wParam) {
        if (message == device::MSG_PROFILE_SYNC && wParam == device::kCodeProf) {
            sink_.emit({Event::Attached, keyboards_()});
        } else if (message == device::MSG_DEVICE_LOST) {
            sink_.emit({Event::Detached, 0});
        } else if (message == device::MSG_KEYMODE_CHANGED && wParam == device::kCodeLed) {
            sink_.emit({Event::Layer, state_.linkStatusMode.load() & 1});
        }
    }

    device::MainWindowPort& window_;
    device::AppLinkState& state_;
    EventSink& sink_;
    std::function<int()> keyboards_;
};

} // namespace tarvik::cli::watch
