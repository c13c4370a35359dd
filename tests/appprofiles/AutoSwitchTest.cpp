#include "appprofiles/AutoSwitch.h"

#include <gtest/gtest.h>

namespace tarvik::appprofiles {
namespace {

using Kind = SwitchDecision::Kind;

SwitchInputs attached(int profile) {
    SwitchInputs in;
    in.keyboard = true;
    in.keyboardProfile = profile;
    return in;
}

TEST(AutoSwitch, DecidesOnceTheFocusHasSettled) {
    struct Case {
        const char* what;
        std::optional<int> rule;
        SwitchInputs in;
        int64_t at; // ms after the focus change
        SwitchDecision expected;
        bool stillPending;
    };
    SwitchInputs paused = attached(0);
    paused.paused = true;
    SwitchInputs edits = attached(0);
    edits.editsPending = true;
    SwitchInputs none;
    SwitchInputs fallback1 = attached(0);
    fallback1.fallback = 1;
    const Case cases[] = {
        {"before 250 ms", 2, attached(0), 249, {}, true},
        {"at 250 ms", 2, attached(0), 250, {Kind::Switch, 2}, false},
        {"already there", 2, attached(2), 300, {}, false},
        {"paused drops it", 2, paused, 300, {}, false},
        {"edits pending: waits", 2, edits, 300, {Kind::Wait, 2}, true},
        {"no keyboard: kept for the next one", 2, none, 300, {}, true},
        {"no rule, fallback chosen", {}, fallback1, 300, {Kind::Switch, 1}, false},
        {"no rule, no switch made yet: stays", {}, attached(0), 300, {}, false},
    };
    for (const Case& c : cases) {
        AutoSwitch s;
        s.focusChanged(c.rule, 1000);
        EXPECT_EQ(s.decide(c.in, 1000 + c.at), c.expected) << c.what;
        EXPECT_EQ(s.pending(), c.stillPending) << c.what;
    }
}

TEST(AutoSwitch, ReturnsToTheProfileBeforeTheFirstAutomaticSwitch) {
    AutoSwitch s;
    s.focusChanged(2, 0);
    EXPECT_EQ(s.decide(attached(1), 250), (SwitchDecision{Kind::Switch, 2}));
    // Another ruled window: the profile to return to is still the user's own.
    s.focusChanged(0, 1000);
    EXPECT_EQ(s.decide(attached(2), 1250), (SwitchDecision{Kind::Switch, 0}));
    s.focusChanged(std::nullopt, 2000);
    EXPECT_EQ(s.decide(attached(0), 2250), (SwitchDecision{Kind::Switch, 1}));
    EXPECT_EQ(s.previousProfile(), 1);
}

TEST(AutoSwitch, QuickFocusChangesCountOnlyTheLastAndAWaitEndsInTheSwitch) {
    AutoSwitch s;
    s.focusChanged(2, 0);
    s.focusChanged(1, 200); // alt-tab passes on before the first settled
    EXPECT_EQ(s.decide(attached(0), 300), SwitchDecision{});
    EXPECT_EQ(s.decide(attached(0), 450), (SwitchDecision{Kind::Switch, 1}));

    SwitchInputs edits = attached(0);
    edits.editsPending = true;
    s.focusChanged(2, 1000);
    EXPECT_EQ(s.decide(edits, 1300).kind, Kind::Wait);
    EXPECT_EQ(s.decide(attached(0), 5000), (SwitchDecision{Kind::Switch, 2}));
    EXPECT_EQ(s.decide(attached(2), 5001), SwitchDecision{});
}

} // namespace
} // namespace tarvik::appprofiles
