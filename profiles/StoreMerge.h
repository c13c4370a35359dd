// Merging what another program wrote to the keyboard into the store, three ways: the base is what this
// program last read from or wrote to the keyboard (the applied copy), the working copy is the base plus
// the user's unapplied edits, and the keyboard copy is what the keyboard holds now.
//
// Keys: record by record. A record the user edited keeps the user's edit; every other record takes the
// keyboard's. Only records the keyboard holds take part: profile 3, the G keys and the header area stay
// as the working copy has them.
// Macros: the macro set is one unit, since records name macros by id and the keyboard numbers them by
// position. The user's set stays when the user edited it or the keyboard's is the same as the base's;
// otherwise the keyboard's set is taken. Every macro record then names its macro by id in that set,
// found by its contents (cycles and actions; the name breaks a tie), so a macro that moved in the
// keyboard's area keeps its keys; a macro a kept record needs that the set lacks is appended to it.
#pragma once

#include "profiles/AssignmentStore.h"

#include <cstddef>

namespace tarvik::profiles {

struct MergeOutcome {
    size_t keysTaken = 0;     // records that now hold the keyboard's function
    size_t keysKept = 0;      // records the user and the keyboard both changed: the user's edit stayed
    bool macrosTaken = false; // the macro set is the keyboard's
    bool macrosKept = false;  // the user and the keyboard both changed the macros: the user's set stayed
    size_t macrosAdded = 0;   // macros appended because a record needed them
    // The keyboard held something the working copy did not: taken, or given up for the user's edit.
    bool changed() const {
        return keysTaken > 0 || keysKept > 0 || macrosTaken || macrosKept || macrosAdded > 0;
    }
};

// Merges keyboard into working (the caller holds the key-data lock and reads base under the applied-copy
// lock).
MergeOutcome mergeKeyboardChanges(WorkingCopy& working, const AppliedCopy& base, const WorkingCopy& keyboard);

} // namespace tarvik::profiles
