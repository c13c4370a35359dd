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
    std::optional<PendingFile> cache = stageCacheFile(store);
    if (!cache) {
        return outcome;
    }
    outcome.download = makeAppliedCopy(store, commands, state, false);
    if (outcome.download.succeeded()) {
        outcome.saved = cache->commit();
    }
    return outcome;
}

} // namespace tarvik::profiles
