// No write of the store overwrites what another program wrote to the keyboard. Before every download the
// keyboard's key blocks and macro image are read once and compared with the store's fingerprint of them;
// when another writer changed them, what the keyboard holds now is merged into the working copy
// (StoreMerge.h: the user's unapplied edits win on what they touched) and the merged copy is what gets
// sent. The settings records are read in the same pass and compared with what this process last read
// or wrote of them (device::SettingsShadow).
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "profiles/AssignmentStore.h"
#include "profiles/KeyboardFingerprint.h"
#include "profiles/StoreMerge.h"

#include <optional>
#include <string_view>

namespace tarvik::profiles {

struct KeyboardCheck {
    // Not 1: the keyboard could not be read, and nothing may be sent.
    int result = device::kOk;
    // Another writer had changed the keyboard where the working copy differs from it: its changes are in
    // the working copy now, or gave way to the user's edits of the same keys.
    bool merged = false;
    MergeOutcome merge;
    // Another writer had changed a settings byte this process last read or wrote otherwise (lighting,
    // report rate). Settings are written field by field as the user changes them, so there is nothing of
    // the user's to merge: what is shown of them is to be read again.
    bool settingsChanged = false;
    // What was read; nothing when the store knew nothing to compare with (no read of the keyboard since
    // it arrived), and then nothing was read.
    std::optional<KeyboardAreas> areas;
    bool ok() const { return result == device::kOk; }
};

// The check before a download. The caller holds the keyboard (device::Commands::Frame) and the store's
// key-data lock; the applied copy and fingerprint are left as they were (the download replaces them once
// the keyboard took it).
KeyboardCheck checkKeyboard(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
                            std::u16string_view macroPrefix = u"Macro");

// After a client wrote to the keyboard through this program: what the keyboard now holds becomes the
// applied copy and the fingerprint, and is merged into the working copy (the user's unapplied edits stay).
// Takes the keyboard, then both locks. merged tells whether anything had changed.
KeyboardCheck takeKeyboardChanges(AssignmentStore& store, device::Commands& commands,
                                  device::AppLinkState& state, std::u16string_view macroPrefix = u"Macro");

// The applied copy made from copy (its texts packed, which sets their offsets in copy's records). False
// when memory ran out; applied is then released.
bool fillAppliedCopy(AppliedCopy& applied, WorkingCopy& copy);

} // namespace tarvik::profiles
