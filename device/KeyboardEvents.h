// What the keyboard sends unasked: changes of the number of attached keyboards and consumer-control
// codes. Presence changes are handled by the presence worker, icon codes by the icon worker; each worker
// takes its reports in the order they came, so a quick unplug-plug or an icon 142-then-141 pair never
// ends in the wrong state. The layer switch flips and sends the status in the callback itself, but tells
// the window from a worker: the window's handler runs on the user-interface thread, which may itself be
// waiting in transact for a reply that only this library thread can deliver.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "device/DeviceLink.h"
#include "device/MainWindowPort.h"
#include "device/SerialWorker.h"
#include "device/Timing.h"

#include <atomic>
#include <functional>
#include <mutex>

namespace tarvik::device {

// Consumer-control codes of the keyboard.
inline constexpr uint16_t kCodeLayerSwitch = 0x02FF;
inline constexpr uint16_t kCodeLightingChanged = 0x0401;
inline constexpr uint16_t kCodeActivityEnd = 0x1810;
inline constexpr uint16_t kCodeActivityStart = 0x1811;

inline constexpr const char* kDefaultMatrixPrompt = "MAIN_DEFAULT_MATRIX_PROMPT";
// How many times an arrival waits (LinkTiming::sequenceWait each) for a keyboard that another sequence
// holds before it gives up reading it.
inline constexpr int kArrivalAttempts = 3;

class KeyboardEvents final : public LinkEvents {
public:
    using KeyBlockSink = std::function<void(std::span<const uint8_t, kKeyBlockSize>)>;

    KeyboardEvents(DeviceLink& link, Commands& commands, MainWindowPort& window, AppLinkState& state,
                   const LinkTiming& timing = LinkTiming{});
    ~KeyboardEvents() override;

    // Also called with every default key block read on arrival (after it is stored in AppLinkState),
    // on the presence worker's thread.
    void setDefaultKeyBlockSink(KeyBlockSink sink);

    void onConsumerCode(uint16_t usage) override;
    void onDeviceCount(int count) override;

    // Waits until every presence report so far has been handled; false when limit passed first.
    bool waitPresenceIdle(std::chrono::milliseconds limit);
    // Icon changes and layer-switch messages.
    bool waitIconsIdle(std::chrono::milliseconds limit);
    // Ends the workers after their running task; later reports are dropped.
    void stop();
    // The same, waiting for each running task at most limit; false when one was still running (it is
    // let go and finishes on its own; this object and what it uses must then outlive it).
    bool stop(std::chrono::milliseconds limit);

    // The icon that stands for the keyboard's presence (128 or 141).
    int presenceIcon() const { return presenceIcon_.load(); }

private:
    void handlePresence(int count);
    void waitUntilWindowReady();
    void changeIcon(uint16_t code);

    DeviceLink& link_;
    Commands& commands_;
    MainWindowPort& window_;
    AppLinkState& state_;
    LinkTiming timing_;
    std::mutex sinkMutex_;
    KeyBlockSink sink_;
    std::atomic<int> presenceIcon_{kIconNoKeyboard};
    SerialWorker presenceWorker_;
    SerialWorker iconWorker_;
    SerialWorker layerWorker_;
};

} // namespace tarvik::device
