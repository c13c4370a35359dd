#include "profiles/Download.h"

#include "device/OnBoardProfile.h"
#include "macros/MacroImage.h"
#include "macros/MacroSetLookup.h"
#include "profiles/KeyboardGuard.h"
#include "profiles/ProfileFile.h"

#include <new>
#include <utility>
#include <vector>

namespace tarvik::profiles {

const char* describe(DownloadStep step) {
    switch (step) {
    case DownloadStep::None:
        return "none";
    case DownloadStep::Skipped:
        return "not started";
    case DownloadStep::Prepare:
        return "preparing the image";
    case DownloadStep::Fit:
        return "macro space";
    case DownloadStep::Keyboard:
        return "holding the keyboard";
    case DownloadStep::Check:
        return "reading what the keyboard holds";
    case DownloadStep::CurrentProfile:
        return "reading the current profile";
    case DownloadStep::BeginWrite:
        return "beginWrite";
    case DownloadStep::MacroArea:
        return "the macro area";
    case DownloadStep::KeyBlock:
        return "a key block";
    case DownloadStep::EndWrite:
        return "endWrite";
    case DownloadStep::Verify:
        return "the read-back check";
    }
    return "unknown";
}

std::string describeFailure(const DownloadOutcome& outcome) {
    std::string text = "result " + std::to_string(outcome.result) + " at ";
    text += outcome.failedStep == DownloadStep::KeyBlock ? "key block " + std::to_string(outcome.failedBlock)
                                                         : std::string(describe(outcome.failedStep));
    if (outcome.mismatch) {
        text += ": " + device::describe(*outcome.mismatch);
    }
    return text;
}

MacroImageFit fitMacroImage(std::span<const macros::MacroRecord> set, size_t capacity) {
    const macros::MacroImageSizes sizes = macros::macroImageSizes(set);
    MacroImageFit fit;
    fit.fits = sizes.withoutNames <= capacity;
    fit.withNames = sizes.withNames <= capacity;
    fit.size = fit.withNames ? sizes.withNames : sizes.withoutNames;
    return fit;
}

keyboard::DefaultLayout keyboardLayout(const device::AppLinkState& state) {
    if (auto block = state.defaultKeyBlock.get()) {
        return keyboard::DefaultLayout(*block);
    }
    return keyboard::CurrentDefaultLayout();
}

bool prepareAppliedCopy(AssignmentStore& store) {
    AssignmentStore::AppliedLock lock = store.lockApplied();
    return fillAppliedCopy(store.applied(), store.working());
}

DownloadOutcome checkFailed(const KeyboardCheck& check) {
    DownloadOutcome out;
    out.failedStep = DownloadStep::Check;
    out.result = check.result;
    return out;
}

DownloadOutcome download(AssignmentStore& store, device::Commands& commands, device::AppLinkState& state,
                         bool allProfiles) {
    device::Commands::Frame held = commands.frame();
    if (!held) {
        DownloadOutcome out;
        out.failedStep = DownloadStep::Keyboard;
        out.result = held.result();
        return out;
    }
    AssignmentStore::Lock lock = store.lockKeyData();
    const KeyboardCheck check = checkBeforeDownload(store, commands, state);
    if (!check.ok()) {
        return checkFailed(check);
    }
    return downloadChecked(store, commands, state, allProfiles, check);
}

KeyboardCheck checkBeforeDownload(AssignmentStore& store, device::Commands& commands,
                                  device::AppLinkState& state) {
    // A set the user made too long is refused before anything is sent, reads included; a set the user
    // did not edit fitted when it was read.
    if (!fitMacroImage(store.working().macros(), state.macroCapacity.load()).fits) {
        return KeyboardCheck{};
    }
    return checkKeyboard(store, commands, state);
}

DownloadOutcome downloadChecked(AssignmentStore& store, device::Commands& commands,
                                device::AppLinkState& state, bool allProfiles, const KeyboardCheck& check) {
    DownloadOutcome out;
    out.merged = check.merged;
    out.settingsChanged = check.settingsChanged;
    auto stop = [&out](DownloadStep step, int result) {
        out.failedStep = step;
        out.result = result;
        return out;
    };
    device::Commands::Frame held = commands.frame();
    if (!held) {
        return stop(DownloadStep::Keyboard, held.result());
    }
    AssignmentStore::AppliedLock lock = store.lockApplied();
    // The base of the next check stays what the keyboard holds until it has taken the new contents.
    AppliedCopy base = std::move(store.applied());
    store.applied().block = std::make_unique<RecordBlock>();
    struct KeepBase {
        AssignmentStore& store;
        AppliedCopy& base;
        bool committed = false;
        ~KeepBase() {
            if (!committed) {
                store.applied() = std::move(base);
            }
        }
    } keepBase{store, base};
    if (!prepareAppliedCopy(store)) {
        return stop(DownloadStep::Prepare, 0);
    }
    const AppliedCopy& applied = store.applied();

    const MacroImageFit fit = fitMacroImage(applied.macros, state.macroCapacity.load());
    if (!fit.fits) {
        out.tooLong = true;
        return stop(DownloadStep::Fit, 0);
    }
    std::vector<uint8_t> image;
    std::vector<std::pair<unsigned, keyboard::KeyBlock>> blocks;
    try {
        image = macros::buildMacroImage(applied.macros, fit.size, fit.withNames);
        if (image.empty()) {
            return stop(DownloadStep::Prepare, 0);
        }
        macros::MacroSetLookup lookup(applied.macros);
        keyboard::DefaultLayout layout = keyboardLayout(state);
        if (allProfiles) {
            for (unsigned p = 0; p < device::kProfileCount; ++p) {
                blocks.emplace_back(p, keyboard::BuildKeyBlock(applied.block->profile(p), lookup, layout));
            }
        } else if (int p = device::currentOnBoardProfile(commands, state); p >= 0) {
            blocks.emplace_back(
                static_cast<unsigned>(p),
                keyboard::BuildKeyBlock(applied.block->profile(static_cast<unsigned>(p)), lookup, layout));
        } else {
            // Without a block for it the new image would sit beside a key block whose macro entries
            // point at the old one: send nothing.
            return stop(DownloadStep::CurrentProfile, device::kBadBlock);
        }
    } catch (const std::bad_alloc&) {
        return stop(DownloadStep::Prepare, 0);
    }

    if (int rc = commands.beginWrite(); rc != device::kOk) {
        return stop(DownloadStep::BeginWrite, rc);
    }
    out.namesDropped = !fit.withNames;
    auto failed = [&](DownloadStep step, int rc) {
        if (rc == device::kNoKeyboard) {
            out.namesDropped = false; // the transfer never happened
        }
        commands.discardWrites(rc);
        return stop(step, rc);
    };
    if (int rc = commands.writeMacroArea(image); rc != device::kOk) {
        return failed(DownloadStep::MacroArea, rc);
    }
    for (const auto& [profile, block] : blocks) {
        if (int rc = commands.writeKeyBlock(block, profile); rc != device::kOk) {
            out.failedBlock = profile;
            return failed(DownloadStep::KeyBlock, rc);
        }
    }
    if (int rc = commands.endWrite(); rc != device::kOk) {
        return failed(DownloadStep::EndWrite, rc);
    }
    // The keyboard holds the new contents now: they are the base of the next check, with the areas not
    // written as the check read them.
    keepBase.committed = true;
    KeyboardFingerprint& seen = store.fingerprint();
    if (check.areas) {
        seen.recordRead(*check.areas, state.macroCapacity.load());
    }
    seen.recordMacroImage(image, state.macroCapacity.load());
    for (const auto& [profile, block] : blocks) {
        seen.recordKeyBlock(profile, block);
    }
    // Committed: what the keyboard did not keep cannot be discarded any more, only reported.
    if (device::VerifyResult checked = commands.verifyWritten(); !checked.ok()) {
        out.mismatch = checked.mismatch;
        return stop(DownloadStep::Verify, checked.result);
    }
    out.failedStep = DownloadStep::None;
    out.result = device::kOk;
    return out;
}

DownloadOutcome makeAppliedCopy(AssignmentStore& store, device::Commands& commands,
                                device::AppLinkState& state, bool allProfiles) {
    return download(store, commands, state, allProfiles);
}

void showDownloadMessages(const DownloadOutcome& outcome, Prompter& prompter) {
    if (outcome.tooLong) {
        prompter.show("EXTRA_MACRO_TOO_LONG");
    }
    if (outcome.namesDropped) {
        prompter.show("EXTRA_PROFILE_SPACE_TIGHT");
    }
    if (outcome.verifyFailed()) {
        prompter.show("EXTRA_VERIFY_FAILED");
    }
    if (outcome.keyboardChanged()) {
        prompter.show("MAIN_KEYBOARD_CHANGED");
    }
}

} // namespace tarvik::profiles
