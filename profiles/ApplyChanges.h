// Apply: the one path by which the working copy reaches the keyboard and the cache file. The Apply
// button, message 0x001E and the "Yes" of a profile switch all run it, on the device worker. It never
// shows anything: the caller shows the messages the outcome names after every lock is released.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "profiles/AssignmentStore.h"

namespace tarvik::profiles {

struct DownloadOutcome {
    // 1 when the keyboard took everything; otherwise the first failing step's result (0 when nothing
    // was sent).
    int result = 0;
    bool namesDropped = false; // EXTRA_PROFILE_SPACE_TIGHT to be shown
    bool tooLong = false;      // EXTRA_MACRO_TOO_LONG to be shown
};

struct ApplyOutcome {
    bool saved = false; // the cache file holds the working copy
    DownloadOutcome download;
    // Both steps succeeded: the caller clears its modified flag.
    bool succeeded() const { return saved && download.result == 1; }
};

// Saves the current working copy into the keyboard cache file and downloads the current profile's key
// block with the macro image. Takes the store's locks itself.
ApplyOutcome applyChanges(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state);

} // namespace tarvik::profiles
