// Carrying the working copy to the keyboard: the applied copy is made from it, the macro image is sized
// against the keyboard's macro capacity (dropping the names when only that makes it fit) and sent with
// the key blocks as one write sequence: beginWrite, writeMacroArea, writeKeyBlock for the current or all
// on-board profiles, endWrite.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "keyboard/DefaultLayout.h"
#include "platform/Prompter.h"
#include "profiles/AssignmentStore.h"

namespace tarvik::profiles {

// The keyboard's own default layout when it has delivered one, else the process-wide one.
keyboard::DefaultLayout keyboardLayout(const device::AppLinkState& state);

// Replaces the applied copy by the working copy: records, header for its macro count and text sum, macro
// set, and the texts packed into the pool (which sets the text offsets in the working copy's records, as
// saving does). Takes both locks. False when memory ran out; the applied copy is then released.
bool prepareAppliedCopy(AssignmentStore& store);

// The download. Runs with the key-data lock held (it takes it, re-entrantly) and the applied-copy lock
// from the copy to the end. Returns 1 when the keyboard took the macro area and every key block;
// otherwise the first failing command's result, or 0 when nothing was sent (the image does not fit even
// without names: EXTRA_MACRO_TOO_LONG; out of memory: no message). The sequence runs to its endWrite
// after a failing write, and stops at once when the keyboard is gone. When the names had to be dropped,
// EXTRA_PROFILE_SPACE_TIGHT follows the transfer. With allProfiles false and no readable current
// profile, the macro area is written but no key block: the result is -201.
int download(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
             Prompter& prompter, bool allProfiles);

// The apply step of Apply and import: the applied copy, then the download; its result.
int makeAppliedCopy(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
                    Prompter& prompter, bool allProfiles);

} // namespace tarvik::profiles
