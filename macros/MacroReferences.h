// The two consistency rules between macros and the key assignments that play them: a macro that keys
// still name is deleted only after the user agrees, and when an editor hands back its list, every
// play-macro record that names a macro no longer there (or a new macro that took a freed id) falls back
// to the key's default function.
#pragma once

#include "keyboard/KeyAssignment.h"
#include "macros/MacroRecord.h"
#include "platform/Prompter.h"

#include <cstddef>
#include <span>
#include <vector>

namespace tarvik::macros {

// May the macro be deleted? A new macro always may; one that a play-macro record among records names only
// when the user answers Yes to MACRO_DELETE_CONFIRM_OF_KEYS (No preselected). The caller holds the
// key-data lock over records (all four profiles of the working copy).
bool isMacroInUse(const MacroRecord& macro, std::span<const keyboard::KeyAssignment> records,
                  Prompter& prompter);

struct ReconcileResult {
    bool modified = false;            // some record changed: the configuration needs Apply
    std::vector<size_t> resetRecords; // indexes of records reset to the default function
};

// Fixes the play-macro records against the editor's list and clears isNew in every macro of the list.
// The caller then makes the list the working copy's macro set.
ReconcileResult reconcileMacroReferences(std::span<MacroRecord> list,
                                         std::span<keyboard::KeyAssignment> records);

} // namespace tarvik::macros
