// The largest store the system can hold: 100 macros of 2000 actions, and a launch path or a text block on
// every ordinary key of every profile. Shared by the profile benches.
#pragma once

#include "profiles/AssignmentStore.h"
#include "profiles/ProfileFiles.h"

#include <string>
#include <vector>

namespace tarvik::profiles {

inline void fillLargest(AssignmentStore& store) {
    auto lock = store.lockKeyData();
    WorkingCopy& w = store.working();
    std::vector<macros::MacroAction> actions(macros::kMaxActions);
    for (size_t i = 0; i < actions.size(); ++i) {
        actions[i] = macros::MacroAction{static_cast<uint32_t>(10 * (i % 4000)),
                                         static_cast<uint16_t>(0x10 + i % 40), static_cast<uint16_t>(i % 2)};
    }
    for (size_t m = 0; m < macros::kMaxMacros; ++m) {
        macros::MacroRecord r =
            macros::createMacroRecord(w.macros(), u"A macro with a long descriptive name");
        r.setActions(actions);
        w.macros().push_back(r);
    }
    // A launch path or text block on every ordinary key of every profile.
    std::u16string text(120, u'p');
    for (size_t p = 0; p < 4; ++p) {
        for (size_t slot = 1; slot < 256; ++slot) {
            keyboard::KeyAssignment r;
            r.type = slot % 2 ? keyboard::ASSIGN_LAUNCH : keyboard::ASSIGN_TEXT_BLOCK;
            w.setRecord(p * 512 + slot, r);
            w.attachText(p * 512 + slot, text);
        }
    }
}

} // namespace tarvik::profiles
