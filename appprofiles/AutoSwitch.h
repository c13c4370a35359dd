// When the profile follows the application in front. A focus change is acted on once the focus has
// rested for kSettleMs (alt-tabbing through windows switches nothing); the switch then needs a keyboard,
// no pause and no unapplied edits in the main window. While edits are pending the switch waits and is
// made once they are applied or dropped. Without a rule the fallback profile is used: the chosen one, or
// the profile that was current before the first automatic switch.
#pragma once

#include <cstdint>
#include <optional>

namespace tarvik::appprofiles {

inline constexpr int64_t kSettleMs = 250;

// What the program knows when a decision is due.
struct SwitchInputs {
    bool paused = false;
    bool keyboard = false;       // a keyboard is attached and read
    bool editsPending = false;   // unapplied edits, an open key dialog, or a switch already running
    int keyboardProfile = -1;    // the keyboard's current on-board profile, -1 when unknown
    std::optional<int> fallback; // nullopt: the profile before the first automatic switch
};

struct SwitchDecision {
    enum class Kind {
        None,   // nothing to do (nothing pending, not settled yet, already there, or nowhere to go)
        Wait,   // a switch is due but edits are pending: ask again when they are gone
        Switch, // switch the keyboard to profile
    };
    Kind kind = Kind::None;
    int profile = -1;
    friend bool operator==(const SwitchDecision&, const SwitchDecision&) = default;
};

class AutoSwitch {
public:
    // The focus moved to a window whose rule gives ruleProfile (nullopt: no rule) at time nowMs. Returns
    // the time the decision is due.
    int64_t focusChanged(std::optional<int> ruleProfile, int64_t nowMs);
    SwitchDecision decide(const SwitchInputs& in, int64_t nowMs);
    // Nothing stays pending (paused, or the rules changed and the focus is fed again).
    void forget() { pending_ = false; }

    bool pending() const { return pending_; }
    int64_t dueAt() const { return dueMs_; }
    // The profile a window without rule returns to when no fallback is chosen; -1 before the first switch.
    int previousProfile() const { return previous_; }

private:
    bool pending_ = false;
    std::optional<int> wanted_;
    int64_t dueMs_ = 0;
    int previous_ = -1;
};

} // namespace tarvik::appprofiles
