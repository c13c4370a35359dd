#include "device/KeyboardEvents.h"

#include "device/OnBoardProfile.h"

#include <array>
#include <thread>

namespace tarvik::device {

KeyboardEvents::KeyboardEvents(DeviceLink& link, Commands& commands, MainWindowPort& window,
                               AppLinkState& state, const LinkTiming& timing)
    : link_(link), commands_(commands), window_(window), state_(state), timing_(timing) {}

KeyboardEvents::~KeyboardEvents() {
    stop();
}

void KeyboardEvents::setDefaultKeyBlockSink(KeyBlockSink sink) {
    std::lock_guard lock(sinkMutex_);
    sink_ = std::move(sink);
}

void KeyboardEvents::onConsumerCode(uint16_t usage) {
    switch (usage) {
    case kCodeLayerSwitch:
        link_.switchLayer();
        layerWorker_.post([this] { window_.sendMessage(MSG_KEYMODE_CHANGED, kCodeLed); });
        break;
    case kCodeLightingChanged:
        window_.startTimer(kTimerLightingReload, 0);
        break;
    case kCodeActivityEnd:
    case kCodeActivityStart:
        iconWorker_.post([this, usage] { changeIcon(usage); });
        break;
    case 0x1801:
    case 0x1802:
    case 0x1803:
    case 0x1804:
        break; // the keyboard's own codes that need nothing from the program
    default:
        break; // not a code of this keyboard
    }
}

void KeyboardEvents::onDeviceCount(int count) {
    presenceWorker_.post([this, count] { handlePresence(count); });
}

void KeyboardEvents::handlePresence(int count) {
    const int stored = state_.devicePresence.load();
    if (count == stored) {
        return;
    }
    if (count != 0) {
        std::array<uint8_t, kKeyBlockSize> block{};
        int read = kLinkBusy;
        // Both reads as one sequence, let go before the window is told (its handler reads the keyboard
        // itself). A keyboard held by another sequence for long is asked again a few times: without its
        // macro capacity every download would be refused as too long.
        for (int attempt = 0; attempt < kArrivalAttempts && read == kLinkBusy && !presenceWorker_.stopping();
             ++attempt) {
            Commands::Frame held = commands_.frame();
            read = held ? commands_.readDefaultKeyBlock(block) : held.result();
            if (held) {
                refreshMacroCapacity(commands_, state_);
            }
        }
        if (read == kOk) {
            state_.defaultKeyBlock.set(block);
            std::lock_guard lock(sinkMutex_);
            if (sink_) {
                sink_(block);
            }
        } else if (read != kLinkBusy) {
            // A keyboard kept busy by another sequence has not failed to deliver its matrix.
            window_.showMessage(kDefaultMatrixPrompt);
        }
        window_.sendMessage(MSG_PROFILE_SYNC, kCodeProf);
    } else {
        state_.currentProfile.store(-1);
        window_.sendMessage(MSG_DEVICE_LOST, 0);
        window_.hide();
    }
    waitUntilWindowReady();
    const int icon = count != 0 ? kIconKeyboard : kIconNoKeyboard;
    presenceIcon_.store(icon);
    window_.setIcon(icon);
    state_.devicePresence.store(count);
    if (!state_.suppressAutoOpen.load() && count != 0) {
        window_.postMessage(MSG_OPEN, kCodeOpen);
    }
    state_.suppressAutoOpen.store(true);
}

void KeyboardEvents::waitUntilWindowReady() {
    // Bounded, so a window that never finishes its start cannot keep later reports waiting for ever.
    const auto deadline = std::chrono::steady_clock::now() + timing_.readyLimit;
    while (!window_.isReady() && !presenceWorker_.stopping() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(timing_.readyPoll);
    }
}

void KeyboardEvents::changeIcon(uint16_t code) {
    window_.setIcon(code == kCodeActivityStart ? kIconActivity : presenceIcon_.load());
    std::this_thread::sleep_for(timing_.iconPause);
}

bool KeyboardEvents::waitPresenceIdle(std::chrono::milliseconds limit) {
    return presenceWorker_.waitIdle(limit);
}

bool KeyboardEvents::waitIconsIdle(std::chrono::milliseconds limit) {
    return iconWorker_.waitIdle(limit) && layerWorker_.waitIdle(limit);
}

void KeyboardEvents::stop() {
    presenceWorker_.stop();
    iconWorker_.stop();
    layerWorker_.stop();
}

bool KeyboardEvents::stop(std::chrono::milliseconds limit) {
    const bool presence = presenceWorker_.stop(limit);
    const bool icons = iconWorker_.stop(limit);
    const bool layer = layerWorker_.stop(limit);
    return presence && icons && layer;
}

} // namespace tarvik::device
