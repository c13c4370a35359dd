// The key assignment dialog's view of the program's assignment store: the working copy, addressed in
// the profile the main window is editing.
#pragma once

#include "dialogs/KeyDialogStore.h"
#include "profiles/AssignmentStore.h"

#include <functional>

namespace tarvik::dialogs {

class ProfileStoreAccess final : public KeyDialogStore {
public:
    // currentProfile: the profile being edited (0-3), read at each call.
    ProfileStoreAccess(profiles::AssignmentStore& store, std::function<unsigned()> currentProfile);

    keyboard::KeyAssignment record(keyboard::KeySlot slot) override;
    macros::MacroSet macros() override;
    bool macroPlayedByKeys(const macros::MacroRecord& macro) override;
    AssignOutcome assign(macros::MacroSet list, keyboard::KeySlot slot,
                         const std::optional<keyboard::KeyAssignment>& record) override;

private:
    profiles::AssignmentStore& store_;
    std::function<unsigned()> currentProfile_;
};

} // namespace tarvik::dialogs
