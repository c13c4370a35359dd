// Apply: the one path by which the working copy reaches the keyboard and the cache file. The Apply
// button, message 0x001E and the "Yes" of a profile switch all run it, on the device worker. It never
// shows anything: the caller shows the messages the outcome names after every lock is released
// (showDownloadMessages).
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "profiles/AssignmentStore.h"
#include "profiles/Download.h"

namespace tarvik::profiles {

struct ApplyOutcome {
    bool saved = false; // the cache file holds the working copy
    DownloadOutcome download;
    // Both steps succeeded: the caller clears its modified flag.
    bool succeeded() const { return saved && download.result == 1; }
};

// Checks the keyboard for another writer's changes and merges them into the working copy (checkKeyboard;
// a keyboard that cannot be read for it gets nothing), then saves the working copy into the keyboard
// cache file and downloads the current profile's key block with
// the macro image, so that both hold the same or neither changes: the new cache file is written beside
// the old one first (no cache file yet, or none can be written: nothing is sent), then the download runs,
// and only when the keyboard took all of it does the new file replace the old. A refused or failed
// download leaves the cache file and the keyboard as they were. A download whose read-back found a byte
// the keyboard did not keep (download.verifyFailed()) fails too: the cache file stays, and the caller
// keeps Apply enabled. Holds the keyboard and the store's locks itself (keyboard first).
ApplyOutcome applyChanges(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state);

} // namespace tarvik::profiles
