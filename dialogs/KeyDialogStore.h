// What the key assignment dialog needs of the assignment store. Each call takes the key-data lock and
// releases it before it returns, so the dialog can ask the user between calls without holding it.
#pragma once

#include "keyboard/KeyAssignment.h"
#include "keyboard/Layout.h"
#include "macros/MacroRecord.h"
#include "macros/MacroReferences.h"

#include <optional>

namespace tarvik::dialogs {

struct AssignOutcome {
    bool written = false;           // the record of the slot was written
    long recordIndex = -1;          // current profile x 512 + slot
    keyboard::KeyAssignment record; // the slot's record afterwards
    // Play-macro records that the macro list handed back changed (reset ones show their default look).
    macros::ReconcileResult reconcile;
};

class KeyDialogStore {
public:
    virtual ~KeyDialogStore() = default;
    // The record of the slot in the current profile of the working copy.
    virtual keyboard::KeyAssignment record(keyboard::KeySlot slot) = 0;
    // A copy of the working copy's macro list.
    virtual macros::MacroSet macros() = 0;
    // Whether some play-macro record of any profile names the macro. Asks nothing.
    virtual bool macroPlayedByKeys(const macros::MacroRecord& macro) = 0;
    // Hands the editor's macro list back (play-macro records fixed against it, then it becomes the
    // working copy's list) and writes the record of the slot in the current profile (none: the record
    // stays as it is), under one lock.
    virtual AssignOutcome assign(macros::MacroSet list, keyboard::KeySlot slot,
                                 const std::optional<keyboard::KeyAssignment>& record) = 0;
};

} // namespace tarvik::dialogs
