// The macro operations on the working copy, each under the key-data lock: the position a play-macro key
// entry carries, the check before a macro is deleted, and handing an editor's list back to the store.
#pragma once

#include "macros/MacroReferences.h"
#include "platform/Prompter.h"
#include "profiles/AssignmentStore.h"

namespace tarvik::profiles {

// The index of the macro with this id in the working copy's list; 0 when none has it.
size_t macroPosition(AssignmentStore& store, uint32_t id);

// The check before an editor deletes macro: true when it may go (see macros::isMacroInUse).
bool isMacroInUse(AssignmentStore& store, const macros::MacroRecord& macro, Prompter& prompter);

// Fixes the play-macro records of all four profiles against list, clears isNew in it and makes it the
// working copy's macro set (same order).
macros::ReconcileResult reconcileMacroReferences(AssignmentStore& store, macros::MacroSet list);

} // namespace tarvik::profiles
