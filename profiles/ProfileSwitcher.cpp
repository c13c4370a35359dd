#include "profiles/ProfileSwitcher.h"

#include "device/OnBoardProfile.h"
#include "profiles/DataFolder.h"
#include "profiles/ProfileFiles.h"
#include "profiles/ProfileMenu.h"

namespace tarvik::profiles {

SwitchDecision ProfileSwitcher::request(int profile, SwitchSource source, const SwitchContext& context) {
    SwitchDecision d;
    if (profile >= kOnBoardProfiles) {
        profile = 0;
    }
    d.work.profile = profile;
    if (source == SwitchSource::ProfileButton && profile == context.keyboardProfile) {
        d.step = SwitchStep::Skip;
        return d;
    }
    if (context.compositeOpen) {
        d.step = SwitchStep::Refuse;
        d.message = kEditorOpenMessage;
        return d;
    }
    const bool unapplied = context.mainModified || context.managerModified;
    if (unapplied && !questionUp_) {
        questionUp_ = true;
        askedModified_ = context.mainModified;
        d.step = SwitchStep::Ask;
        d.message = context.undoHistory ? kSaveQuestionHistory : kSaveQuestion;
        return d;
    }
    d.step = SwitchStep::Run;
    d.work.tickManager = !unapplied && context.managerOpen && profile >= 0;
    return d;
}

SwitchWork ProfileSwitcher::answer(const SwitchDecision& asked, bool yes) {
    questionUp_ = false;
    SwitchWork work;
    work.profile = asked.work.profile;
    work.pending = yes ? SwitchWork::Pending::Apply : SwitchWork::Pending::Discard;
    // Apply with nothing modified sends nothing: only the main window's edits are Apply's to send.
    work.applyModified = yes && askedModified_;
    return work;
}

SwitchResult runSwitch(const SwitchWork& work, AssignmentStore& store, device::Commands& commands,
                       device::AppLinkState& state) {
    SwitchResult result;
    if (work.pending == SwitchWork::Pending::Apply && work.applyModified) {
        result.apply = applyChanges(store, commands, state);
    } else if (work.pending == SwitchWork::Pending::Discard && state.currentProfile.load() >= 0) {
        // The cache file holds what the keyboard was last read or applied with.
        (void)loadProfileFile(store, cacheFilePath(state.currentProfile.load()));
        result.reloaded = true;
    }
    result.selectResult = device::selectOnBoardProfile(commands, state, work.profile);
    return result;
}

SwitchFinish finishSwitch(const SwitchWork& work, const SwitchResult& result) {
    SwitchFinish f;
    f.profile = work.profile;
    f.tickManager = work.tickManager;
    if (work.pending == SwitchWork::Pending::Discard) {
        f.disableMainApply = true;
    }
    if (result.apply) {
        f.disableMainApply = result.apply->succeeded();
        if (result.apply->download.tooLong) {
            f.messages.push_back("EXTRA_MACRO_TOO_LONG");
        }
        if (result.apply->download.namesDropped) {
            f.messages.push_back("EXTRA_PROFILE_SPACE_TIGHT");
        }
        if (result.apply->download.verifyFailed()) {
            f.messages.push_back("EXTRA_VERIFY_FAILED");
        }
        if (result.apply->download.keyboardChanged()) {
            f.messages.push_back("MAIN_KEYBOARD_CHANGED");
        }
    }
    return f;
}

} // namespace tarvik::profiles
