#include "macros/Recorder.h"

#include "macros/MacroRecord.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvik::macros {
namespace {

// lParam of a Windows keyboard message for a set-1 key code.
constexpr uint32_t lParamOf(keyboard::KeyCode code, bool release, bool wasDown) {
    uint32_t l = 1u | (static_cast<uint32_t>(code & 0xFF) << 16);
    if (code & 0x100) {
        l |= 1u << 24;
    }
    if (wasDown || release) {
        l |= 1u << 30;
    }
    if (release) {
        l |= 1u << 31;
    }
    return l;
}

// One event as the event filter hands it over: a thread-hook message, or the low-level path.
struct Event {
    enum Path { Thread, LowLevel } path;
    uint32_t vk;
    keyboard::KeyCode code; // thread path
    bool release;
    bool wasDown;
    uint32_t timeMs;
    HookResult expected;
};

Event down(uint32_t vk, keyboard::KeyCode code, uint32_t t) {
    return {Event::Thread, vk, code, false, false, t, HookResult::Swallow};
}
Event repeat(uint32_t vk, keyboard::KeyCode code, uint32_t t) {
    return {Event::Thread, vk, code, false, true, t, HookResult::Swallow};
}
Event up(uint32_t vk, keyboard::KeyCode code, uint32_t t) {
    return {Event::Thread, vk, code, true, true, t, HookResult::Swallow};
}
Event passes(Event e) {
    e.expected = HookResult::PassOn;
    return e;
}
Event lowLevel(uint32_t vk, bool keyDown, uint32_t t, HookResult expected = HookResult::Swallow) {
    return {Event::LowLevel, vk, 0, !keyDown, false, t, expected};
}

std::vector<RecordedAction> run(Recorder& r, const std::vector<Event>& events) {
    std::vector<RecordedAction> out;
    for (const Event& e : events) {
        const HookResult got =
            e.path == Event::Thread
                ? r.onKeyMessage(e.vk, lParamOf(e.code, e.release, e.wasDown), e.timeMs, out)
                : r.onLowLevelKey(e.vk, !e.release, e.timeMs, out);
        EXPECT_EQ(got, e.expected) << "vk " << e.vk << " at " << e.timeMs;
    }
    return out;
}

TEST(Recorder, RecordsKeyEventsByTheRules) {
    constexpr uint32_t kA = 0x41, kPrint = 0x2C, kVolumeUp = 0xAF, kWin = 0x5B, kRWin = 0x5C;
    struct Case {
        const char* what;
        bool recordDelays;
        std::vector<Event> events;
        std::vector<RecordedAction> expected;
        uint32_t startMs = 1000;
    };
    const Case cases[] = {
        {"measured pauses with record delays on",
         true,
         {down(kA, 0x01E, 1120), up(kA, 0x01E, 1205)},
         {{0x01E, kPress, 120}, {0x01E, kRelease, 85}}},
        {"every pause is 50 ms with record delays off",
         false,
         {down(kA, 0x01E, 1120), up(kA, 0x01E, 1205)},
         {{0x01E, kPress, 50}, {0x01E, kRelease, 50}}},
        {"holding a key records one press; the repeats are swallowed unrecorded",
         true,
         {down(kA, 0x01E, 1010), repeat(kA, 0x01E, 1510), repeat(kA, 0x01E, 1543), up(kA, 0x01E, 1600)},
         {{0x01E, kPress, 10}, {0x01E, kRelease, 590}}},
        {"a Print Screen whose press never came: a press 2 ms before the release",
         true,
         {up(kPrint, 0x137, 1300)},
         {{0x137, kPress, 2}, {0x137, kRelease, 300}}},
        {"the synthesized press follows the record-delays rule too",
         false,
         {up(kPrint, 0x137, 1300)},
         {{0x137, kPress, 50}, {0x137, kRelease, 50}}},
        {"a Print Screen whose press arrived is recorded once",
         true,
         {down(kPrint, 0x137, 1100), up(kPrint, 0x137, 1180)},
         {{0x137, kPress, 100}, {0x137, kRelease, 80}}},
        {"Volume Up is not recorded and reaches the system",
         true,
         {passes(down(kVolumeUp, 0x130, 1100)), passes(up(kVolumeUp, 0x130, 1150))},
         {}},
        {"a key without a key code passes on", true, {passes(down(0x07, 0, 1100))}, {}},
        {"Win down and up are recorded on the low-level path and never passed on",
         true,
         {lowLevel(kWin, true, 1040), lowLevel(kWin, true, 1300), lowLevel(kWin, false, 1400)},
         {{0x15B, kPress, 40}, {0x15B, kRelease, 360}}},
        {"Right Win",
         false,
         {lowLevel(kRWin, true, 1040), lowLevel(kRWin, false, 1400)},
         {{0x15C, kPress, 50}, {0x15C, kRelease, 50}}},
        {"the low-level path passes every other key on",
         true,
         {lowLevel(kA, true, 1040, HookResult::PassOn), lowLevel(0x5D, true, 1050, HookResult::PassOn)},
         {}},
        {"any release forgets the Windows key held, so its next repeat counts as a press",
         true,
         {lowLevel(kWin, true, 1000), lowLevel(kA, false, 1100, HookResult::PassOn),
          lowLevel(kWin, true, 1200)},
         {{0x15B, kPress, 0}, {0x15B, kPress, 200}}},
        {"a pause longer than the keyboard keeps is recorded as the longest one",
         true,
         {down(kA, 0x01E, 1000), up(kA, 0x01E, 1000 + 125000)},
         {{0x01E, kPress, 0}, {0x01E, kRelease, kMaxDelayMs}}},
        {"the tick count wrapping between two events",
         true,
         {down(kA, 0x01E, 0xFFFFFFF8u), up(kA, 0x01E, 0x10)},
         {{0x01E, kPress, 8}, {0x01E, kRelease, 0x18}},
         0xFFFFFFF0u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder r;
        r.setRecordDelays(c.recordDelays);
        r.start(c.startMs);
        EXPECT_EQ(run(r, c.events), c.expected);
    }
}

TEST(Recorder, NothingIsTakenWhileNotRecording) {
    Recorder r;
    std::vector<RecordedAction> out;
    EXPECT_EQ(r.onKeyMessage(0x41, lParamOf(0x01E, false, false), 10, out), HookResult::PassOn);
    EXPECT_EQ(r.onLowLevelKey(0x5B, true, 10, out), HookResult::PassOn);
    r.start(0);
    r.stop();
    EXPECT_EQ(r.onKeyMessage(0x41, lParamOf(0x01E, false, false), 10, out), HookResult::PassOn);
    EXPECT_TRUE(out.empty());
}

} // namespace
} // namespace tarvik::macros
