// The record the shell and the device link share. The program owns one and hands it to whoever needs it;
// every field may be read and written from the user-interface thread, the presence worker and the
// service library's threads, hence atomics.
#pragma once

#include "device/Commands.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

namespace tarvik::device {

class MainWindowPort;

inline constexpr uint8_t kLinkStatusId = 0x05;
inline constexpr uint8_t kInitialLinkStatusMode = 0x02;

// The keyboard's factory key block as last read on arrival.
class DefaultKeyBlockCell {
public:
    void set(std::span<const uint8_t, kKeyBlockSize> block) {
        std::lock_guard lock(mutex_);
        block_.emplace();
        std::copy(block.begin(), block.end(), block_->begin());
    }
    // Empty until a keyboard has delivered its block.
    std::optional<std::array<uint8_t, kKeyBlockSize>> get() const {
        std::lock_guard lock(mutex_);
        return block_;
    }

private:
    mutable std::mutex mutex_;
    std::optional<std::array<uint8_t, kKeyBlockSize>> block_;
};

// The three registration handles the service fills in. Only DeviceLink touches them, under its own lock.
struct RequestHandles {
    uint32_t cons = 0;
    uint32_t ctrl = 0;
    uint32_t led = 0;
};

struct AppLinkState {
    // The main window (its handle and dialog in one); null until the shell has one.
    std::atomic<MainWindowPort*> mainWindow{nullptr};
    // The single-instance lock's file descriptor, -1 when not held.
    std::atomic<int> instanceLock{-1};
    // Set: the main window does not open by itself when a keyboard arrives.
    std::atomic<bool> suppressAutoOpen{false};
    // 0 = function-keys mode (a click edits the key), 1 = colour-keys mode.
    std::atomic<int> keyEditMode{0};
    // The keyboard's current on-board profile, -1 when not read since the last arrival.
    std::atomic<int> currentProfile{-1};
    // The keyboard's macro area in bytes; 0 until a keyboard has told it.
    std::atomic<uint32_t> macroCapacity{0};
    // The keyboard count the presence worker handled last.
    std::atomic<int> devicePresence{0};
    // The mode byte of LinkStatus {0x05, mode}: bit 0 is the keyboard's G-key layer.
    std::atomic<uint8_t> linkStatusMode{kInitialLinkStatusMode};
    RequestHandles handles;
    DefaultKeyBlockCell defaultKeyBlock;
};

} // namespace tarvik::device
