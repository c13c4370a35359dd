#include "profiles/ApplyChanges.h"

#include "platform/AtomicFile.h"
#include "profiles/ProfileFiles.h"

#include <optional>

namespace tarvik::profiles {

ApplyOutcome applyChanges(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state) {
    ApplyOutcome outcome;
    device::Commands::Frame held = commands.frame();
    if (!held) {
        outcome.download.result = held.result();
        outcome.download.failedStep = DownloadStep::Keyboard;
        return outcome;
    }
    AssignmentStore::Lock lock = store.lockKeyData();
    // Another writer's changes are merged first, so that the cache file holds what the keyboard will.
    const KeyboardCheck check = checkBeforeDownload(store, commands, state);
    if (!check.ok()) {
        outcome.download = checkFailed(check);
        return outcome;
    }
    outcome.download.merged = check.merged;
    outcome.download.settingsChanged = check.settingsChanged;
    std::optional<PendingFile> cache = stageCacheFile(store);
    if (!cache) {
        return outcome;
    }
    outcome.download = downloadChecked(store, commands, state, false, check);
    if (outcome.download.succeeded()) {
        outcome.saved = cache->commit();
    }
    return outcome;
}

} // namespace tarvik::profiles
