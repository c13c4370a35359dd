// The main window's side of a profile switch: asks ProfileSwitcher, shows its refusal or its save question
// (on the user-interface thread, with no lock held), hands the keyboard work to the device worker, and
// when that is done rebuilds the profile menu and tells the window what to redraw. The window calls it
// from the three profile buttons, the profile menu's commands and the lighting panel's on switch.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "platform/Prompter.h"
#include "profiles/AssignmentStore.h"
#include "profiles/ProfileMenu.h"
#include "profiles/ProfileSwitcher.h"

#include <QObject>

#include <functional>

namespace tarvik::profiles {

// What the runner needs of the main window.
class ProfileSwitchHost {
public:
    virtual ~ProfileSwitchHost() = default;
    // The state a switch is decided on, read when it is asked for.
    virtual SwitchContext switchContext() const = 0;
    // The keyboard work of a switch is under way (with an Apply in it: the busy pictures); the window
    // takes no input until it is over.
    virtual void setSwitchBusy(bool busy) = 0;
    // The switch is done. The window, in this order: disables its Apply when finish says so, ticks the
    // profile manager's row, redraws the key and G buttons from the current profile's records under the
    // key-data lock, shows `menu` (the manager button's caption and tooltip), and when finish.profile is
    // 0..2 makes it the editing profile: the pressed profile button and that profile's lighting.
    virtual void profileSwitched(const SwitchFinish& finish, const ProfileMenu& menu) = 0;
};

class ProfileSwitchRunner : public QObject {
    Q_OBJECT

public:
    using PostToWorker = std::function<void(std::function<void()>)>;
    // Called once the switch is over: true when it ran, false when it was refused or skipped.
    using Done = std::function<void(bool switched)>;

    // Everything is owned by the main window and outlives the runner; the worker is stopped before the
    // store and the commands go.
    ProfileSwitchRunner(ProfileSwitchHost& host, Prompter& prompter, PostToWorker postToWorker,
                        AssignmentStore& store, device::Commands& commands, device::AppLinkState& link,
                        QObject* parent = nullptr);

    // A profile button (profile 0..2, ProfileButton) or the lighting panel's check (the keyboard's current
    // profile, Menu).
    void switchProfile(int profile, SwitchSource source, Done done = {});
    // A command of the profile menu: 9000..9200. False (and nothing happens) for any other id.
    bool menuCommand(int id);

    // The menu as it stands; rebuilt after every switch and by rebuildMenu (start-up, after the profile
    // manager's Apply).
    const ProfileMenu& menu() const { return menu_; }
    const ProfileMenu& rebuildMenu();

    const ProfileSwitcher& switcher() const { return switcher_; }
    // Switches handed to the worker and not yet finished.
    int pending() const { return pending_; }

private:
    void run(const SwitchWork& work, Done done);
    void finish(const SwitchWork& work, const SwitchResult& result, const Done& done);

    ProfileSwitchHost& host_;
    Prompter& prompter_;
    PostToWorker post_;
    AssignmentStore& store_;
    device::Commands& commands_;
    device::AppLinkState& link_;
    ProfileSwitcher switcher_;
    ProfileMenu menu_;
    int pending_ = 0;
};

} // namespace tarvik::profiles
