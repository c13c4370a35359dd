// The macro recorder: key messages in, recorded actions out. It is fed from two paths, as the key
// hooks of the original platform were: the messages of the user-interface thread (virtual key and
// lParam of a Windows keyboard message) and a low-level path that alone records the two Windows keys.
// It keeps no clock of its own: every call says what time it is, in milliseconds.
#pragma once

#include "keyboard/KeyTable.h"

#include <bitset>
#include <cstdint>
#include <vector>

namespace tarvik::macros {

// What a hook does with the message it was given.
enum class HookResult {
    PassOn,  // the next hook and the windows get it
    Swallow, // no window sees it
};

struct RecordedAction {
    keyboard::KeyCode key = 0;
    uint16_t direction = 0; // kPress or kRelease
    uint32_t delayMs = 0;   // the pause before this action, by the recording rule
    friend bool operator==(const RecordedAction&, const RecordedAction&) = default;
};

class Recorder {
public:
    // With record delays off every recorded pause is this long.
    static constexpr uint32_t kFixedDelayMs = 50;
    // The pause recorded before the real event of a special recording key whose press never came.
    static constexpr uint32_t kSynthesizedPressDelayMs = 2;

    void start(uint32_t nowMs);
    void stop();
    bool recording() const { return recording_; }

    // The record-delays setting: measured pauses when on, kFixedDelayMs when off.
    void setRecordDelays(bool on) { recordDelays_ = on; }
    bool recordDelays() const { return recordDelays_; }

    // A key message of the user-interface thread. Keys without a key code and the media keys pass on
    // unrecorded; auto-repeats are swallowed unrecorded; every other message is recorded and swallowed.
    HookResult onKeyMessage(uint32_t vk, uint32_t lParam, uint32_t nowMs, std::vector<RecordedAction>& out);
    // The low-level path, given every key event first: only Win and Right Win are recorded (and never
    // passed on); any release forgets the Windows key last seen going down.
    HookResult onLowLevelKey(uint32_t vk, bool keyDown, uint32_t nowMs, std::vector<RecordedAction>& out);

private:
    void record(keyboard::KeyCode key, bool release, uint32_t nowMs, std::vector<RecordedAction>& out);
    uint32_t pause(uint32_t measuredMs) const;

    bool recording_ = false;
    bool recordDelays_ = false;
    uint32_t lastEventMs_ = 0;
    uint32_t windowsKeyDown_ = 0; // virtual key of the Windows key last seen going down, 0 = none
    // Keys whose press was recorded and whose release has not come yet, by KeyIndex.
    std::bitset<keyboard::kKeyTableSize> down_;
};

} // namespace tarvik::macros
