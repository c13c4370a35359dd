#include "macros/Recorder.h"

#include "macros/MacroRecord.h"

#include <algorithm>

namespace tarvik::macros {

namespace {
constexpr uint32_t kTransitionBit = 1u << 31;    // set for a key release
constexpr uint32_t kPreviousStateBit = 1u << 30; // set when the key was down before
} // namespace

void Recorder::start(uint32_t nowMs) {
    recording_ = true;
    lastEventMs_ = nowMs;
    windowsKeyDown_ = 0;
    down_.reset();
}

void Recorder::stop() {
    recording_ = false;
    windowsKeyDown_ = 0;
}

uint32_t Recorder::pause(uint32_t measuredMs) const {
    // A longer pause would wrap around in the keyboard's 12-bit delay field.
    return recordDelays_ ? std::min(measuredMs, kMaxDelayMs) : kFixedDelayMs;
}

void Recorder::record(keyboard::KeyCode key, bool release, uint32_t nowMs, std::vector<RecordedAction>& out) {
    const keyboard::KeyIndex index = keyboard::KeyIndexFromCode(key);
    // Some keys (Print Screen, Sys Req and the two Korean keys) announce only their release on some
    // keyboards and systems; that release then stands for a whole keystroke. Where the press does
    // arrive it was recorded already, and a second one would replay a key pressed twice.
    if (release && keyboard::IsSpecialRecordKey(key) == 1 && !down_.test(index)) {
        out.push_back(RecordedAction{key, kPress, pause(kSynthesizedPressDelayMs)});
    }
    // Unsigned difference: a tick count that wrapped since the last event still gives the pause.
    out.push_back(RecordedAction{key, release ? kRelease : kPress, pause(nowMs - lastEventMs_)});
    lastEventMs_ = nowMs;
    down_.set(index, !release);
}

HookResult Recorder::onKeyMessage(uint32_t vk, uint32_t lParam, uint32_t nowMs,
                                  std::vector<RecordedAction>& out) {
    if (!recording_) {
        return HookResult::PassOn;
    }
    const keyboard::KeyCode key = keyboard::KeyCodeFromKeyMessage(vk, lParam);
    if (key == 0 || keyboard::IsMediaKeyCode(key)) {
        return HookResult::PassOn;
    }
    const bool release = (lParam & kTransitionBit) != 0;
    if (!release && (lParam & kPreviousStateBit) != 0) {
        return HookResult::Swallow; // auto-repeat
    }
    record(key, release, nowMs, out);
    return HookResult::Swallow;
}

HookResult Recorder::onLowLevelKey(uint32_t vk, bool keyDown, uint32_t nowMs,
                                   std::vector<RecordedAction>& out) {
    if (!recording_) {
        return HookResult::PassOn;
    }
    const bool release = !keyDown;
    bool repeat = false;
    if (release) {
        windowsKeyDown_ = 0;
    } else {
        repeat = vk == windowsKeyDown_;
    }
    const keyboard::KeyCode key = keyboard::WindowsKeyFromVirtualKey(vk, false);
    if (key == 0) {
        return HookResult::PassOn;
    }
    windowsKeyDown_ = release ? 0 : vk;
    if (!repeat) {
        record(key, release, nowMs, out);
    }
    return HookResult::Swallow;
}

} // namespace tarvik::macros
