#include "profiles/ApplyChanges.h"

#include "profiles/Download.h"
#include "profiles/ProfileFiles.h"

#include <string_view>

namespace tarvik::profiles {
namespace {

// The download's two messages, kept for the caller instead of shown.
class OutcomePrompter final : public Prompter {
public:
    explicit OutcomePrompter(DownloadOutcome& outcome) : outcome_(outcome) {}
    void show(std::string_view key) override {
        if (key == "EXTRA_MACRO_TOO_LONG") {
            outcome_.tooLong = true;
        } else if (key == "EXTRA_PROFILE_SPACE_TIGHT") {
            outcome_.namesDropped = true;
        }
    }
    bool askYesNo(std::string_view, bool defaultYes) override { return defaultYes; }

private:
    DownloadOutcome& outcome_;
};

} // namespace

ApplyOutcome applyChanges(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state) {
    ApplyOutcome outcome;
    AssignmentStore::Lock lock = store.lockKeyData();
    outcome.saved = saveCacheFile(store);
    OutcomePrompter prompter(outcome.download);
    outcome.download.result = makeAppliedCopy(store, commands, state, prompter, false);
    return outcome;
}

} // namespace tarvik::profiles
