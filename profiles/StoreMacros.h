// The macro operations on the working copy, each under the key-data lock: the position a play-macro key
// entry carries, the check before a macro is deleted, and handing an editor's list back to the store.
#pragma once

#include "macros/MacroReferences.h"
#include "platform/Prompter.h"
#include "profiles/AssignmentStore.h"

namespace tarvik::profiles {

// The index of the macro with this id in the working copy's list; 0 when none has it.
size_t macroPosition(AssignmentStore& store, uint32_t id);

// The check before an editor deletes a macro.
enum class MacroDeleteCheck {
    MayDelete, // new in the editor, or no key plays it
    AskFirst,  // keys play it: ask MACRO_DELETE_CONFIRM_OF_KEYS first (confirmMacroDelete)
};
// Looks through all four profiles under the key-data lock (the rule of macros::isMacroInUse) and asks
// nothing: a question is a message box with its own event loop, which must not run under the lock.
MacroDeleteCheck isMacroInUse(AssignmentStore& store, const macros::MacroRecord& macro);
// True when the macro may go: at once for MayDelete; for AskFirst only when the user answers Yes to
// MACRO_DELETE_CONFIRM_OF_KEYS (No preselected). Call it with no lock of the store held.
bool confirmMacroDelete(MacroDeleteCheck check, Prompter& prompter);

// Fixes the play-macro records of all four profiles against list, clears isNew in it and makes it the
// working copy's macro set (same order).
macros::ReconcileResult reconcileMacroReferences(AssignmentStore& store, macros::MacroSet list);

} // namespace tarvik::profiles
