#include "appprofiles/AutoSwitch.h"

#include "appprofiles/AppRules.h"

namespace tarvik::appprofiles {

int64_t AutoSwitch::focusChanged(std::optional<int> ruleProfile, int64_t nowMs) {
    pending_ = true;
    wanted_ = ruleProfile;
    dueMs_ = nowMs + kSettleMs;
    return dueMs_;
}

SwitchDecision AutoSwitch::decide(const SwitchInputs& in, int64_t nowMs) {
    using Kind = SwitchDecision::Kind;
    if (!pending_ || nowMs < dueMs_) {
        return {};
    }
    if (in.paused) {
        pending_ = false;
        return {};
    }
    // Without a keyboard the request stays: the keyboard that arrives gets the focused window's profile.
    if (!in.keyboard || in.keyboardProfile < 0 || in.keyboardProfile >= kProfileCount) {
        return {};
    }
    int target = -1;
    if (wanted_) {
        target = *wanted_;
    } else if (in.fallback) {
        target = *in.fallback;
    } else {
        target = previous_; // -1 before any automatic switch: the user's own profile stays
    }
    if (target < 0 || target == in.keyboardProfile) {
        pending_ = false;
        return {};
    }
    if (in.editsPending) {
        return {Kind::Wait, target};
    }
    if (wanted_ && previous_ < 0) {
        previous_ = in.keyboardProfile;
    }
    pending_ = false;
    return {Kind::Switch, target};
}

} // namespace tarvik::appprofiles
