#include "dialogs/ProfileStoreAccess.h"

#include "profiles/StoreMacros.h"

namespace tarvik::dialogs {

ProfileStoreAccess::ProfileStoreAccess(profiles::AssignmentStore& store, profiles::EditHistory& edits,
                                       std::function<unsigned()> currentProfile)
    : store_(store), edits_(edits), currentProfile_(std::move(currentProfile)) {}

keyboard::KeyAssignment ProfileStoreAccess::record(keyboard::KeySlot slot) {
    const unsigned profile = currentProfile_();
    if (profile >= keyboard::kProfileCount || slot >= keyboard::kSlotsPerProfile) {
        return {};
    }
    auto lock = store_.lockKeyData();
    return store_.working().records()[profile * keyboard::kSlotsPerProfile + slot];
}

macros::MacroSet ProfileStoreAccess::macros() {
    auto lock = store_.lockKeyData();
    return store_.working().macros();
}

bool ProfileStoreAccess::macroPlayedByKeys(const macros::MacroRecord& macro) {
    return profiles::isMacroInUse(store_, macro) == profiles::MacroDeleteCheck::AskFirst;
}

AssignOutcome ProfileStoreAccess::assign(macros::MacroSet list, keyboard::KeySlot slot,
                                         const std::optional<keyboard::KeyAssignment>& record) {
    AssignOutcome out;
    const unsigned profile = currentProfile_();
    // The macro list and the key's record are one step: undo takes both back.
    edits_.edit([&](profiles::WorkingCopy& working) {
        out.reconcile = profiles::reconcileMacroReferences(store_, std::move(list));
        if (profile >= keyboard::kProfileCount || slot >= keyboard::kSlotsPerProfile) {
            return;
        }
        out.recordIndex = static_cast<long>(profile * keyboard::kSlotsPerProfile + slot);
        if (record) {
            out.written = keyboard::AssignToSlot(working, profile, slot, *record) >= 0;
        }
        out.record = working.records()[static_cast<size_t>(out.recordIndex)];
    });
    return out;
}

} // namespace tarvik::dialogs
