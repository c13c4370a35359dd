// The key assignment dialog's view of the program's assignment store: the working copy, addressed in
// the profile the main window is editing.
#pragma once

#include "dialogs/KeyDialogStore.h"
#include "profiles/AssignmentStore.h"
#include "profiles/EditHistory.h"

#include <functional>

namespace tarvik::dialogs {

class ProfileStoreAccess final : public KeyDialogStore {
public:
    // currentProfile: the profile being edited (0-3), read at each call. The dialog's writes go through
    // edits, each OK one step to undo.
    ProfileStoreAccess(profiles::AssignmentStore& store, profiles::EditHistory& edits,
                       std::function<unsigned()> currentProfile);

    keyboard::KeyAssignment record(keyboard::KeySlot slot) override;
    macros::MacroSet macros() override;
    bool macroPlayedByKeys(const macros::MacroRecord& macro) override;
    AssignOutcome assign(macros::MacroSet list, keyboard::KeySlot slot,
                         const std::optional<keyboard::KeyAssignment>& record) override;

private:
    profiles::AssignmentStore& store_;
    profiles::EditHistory& edits_;
    std::function<unsigned()> currentProfile_;
};

} // namespace tarvik::dialogs
