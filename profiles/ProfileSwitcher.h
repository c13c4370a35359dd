// Switching the keyboard's on-board profile from the profile buttons, the profile menu and the lighting
// panel's on switch. The decision (refuse, skip, ask whether to save, run) is made on the user-interface
// thread from what the main window knows; the keyboard and store work runs on the device worker; what the
// window then redraws comes back as a SwitchFinish. Nothing here shows anything: the window asks the
// question and shows the messages after every lock is released.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "profiles/ApplyChanges.h"
#include "profiles/AssignmentStore.h"

#include <optional>
#include <string_view>
#include <vector>

namespace tarvik::profiles {

inline constexpr std::string_view kEditorOpenMessage = "PROFILE_SEELCT_PROMPT2";
inline constexpr std::string_view kSaveQuestion = "PROFILE_SELECT_PROMPT";
// The same question when the window has steps to undo: it says that the switch forgets them.
inline constexpr std::string_view kSaveQuestionHistory = "PROFILE_SELECT_PROMPT_UNDO";

enum class SwitchSource {
    ProfileButton, // skipped when the keyboard already runs the profile
    Menu,          // always runs the whole switch (also the lighting panel's check before turning on)
};

// What the main window knows when a switch is asked for.
struct SwitchContext {
    int keyboardProfile = -1;     // the cached current on-board profile, -1 when not read
    bool compositeOpen = false;   // the composite key dialog is open
    bool mainModified = false;    // the main window's Apply is enabled
    bool managerModified = false; // the profile manager's Apply is enabled
    bool managerOpen = false;
    bool undoHistory = false; // the main window has steps to undo or redo, which a switch forgets
};

enum class SwitchStep {
    Skip,   // nothing happens
    Refuse, // show kEditorOpenMessage; nothing changes
    Ask,    // ask kSaveQuestion (Yes/No, No preselected), then answer()
    Run,    // run the work on the device worker, then finishSwitch
};

struct SwitchWork {
    enum class Pending {
        Keep,    // no unapplied changes, or a second switch while the question is on screen
        Apply,   // Yes: the main window's Apply
        Discard, // No: the edits are dropped
    };
    int profile = -1; // the on-board profile to select; -1 selects nothing and only refreshes the display
    Pending pending = Pending::Keep;
    bool applyModified = false; // Apply has something to do: the main window was modified
    bool tickManager = false;   // no unapplied changes and the manager is open: tick row `profile`
    friend bool operator==(const SwitchWork&, const SwitchWork&) = default;
};

struct SwitchDecision {
    SwitchStep step = SwitchStep::Skip;
    SwitchWork work;               // for Run, and the profile of an Ask
    std::string_view message = {}; // kEditorOpenMessage for Refuse, kSaveQuestion for Ask
};

// The decisions, with the one piece of state they need: whether the save question is on screen. While it
// is, a second switch goes straight to selecting its profile (the question's own switch follows it when
// answered).
class ProfileSwitcher {
public:
    SwitchDecision request(int profile, SwitchSource source, const SwitchContext& context);
    // The answer to the question of an Ask: the work to run.
    SwitchWork answer(const SwitchDecision& asked, bool yes);
    bool questionUp() const { return questionUp_; }

private:
    bool questionUp_ = false;
    bool askedModified_ = false;
};

// What the device worker did.
struct SwitchResult {
    std::optional<ApplyOutcome> apply; // Yes with the main window modified
    bool reloaded = false;             // No: the working copy was reloaded from the keyboard cache file
    int selectResult = device::kOk;    // selectOnBoardProfile's result (1 when nothing was selected)
};

// Runs on the device worker: the Apply or the reload of the cache file, then the profile selection.
SwitchResult runSwitch(const SwitchWork& work, AssignmentStore& store, device::Commands& commands,
                       device::AppLinkState& state);

// What the window does afterwards, in this order.
struct SwitchFinish {
    bool disableMainApply = false; // No, or a Yes whose Apply succeeded
    bool tickManager = false;      // tick row `profile` of the profile manager and disable its Apply
    int profile = -1;              // the profile the window now shows and edits; -1 keeps the current one
    // Then always: the key and G buttons from the records of the (new) current profile, the profile menu
    // rebuilt, the new profile's lighting and the pressed profile button.
    std::vector<std::string_view> messages; // EXTRA_MACRO_TOO_LONG / EXTRA_PROFILE_SPACE_TIGHT of the Apply
};

SwitchFinish finishSwitch(const SwitchWork& work, const SwitchResult& result);

} // namespace tarvik::profiles
