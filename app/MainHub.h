// The main window's decisions, without the window: the modified flag and Apply, the editing profile, the
// key edit mode, the icon state, the message dispatch, key clicks, report rate, restore defaults, the two
// menus, import and export, the About rule and the exit sequence. The Qt window turns events into calls
// of this class and draws what it is told through MainView.
//
// Threads: every member function runs on the user-interface thread, except isReady(), which any thread
// may call. Multi-report writes (Apply, import, report rate, lighting) run on the device worker through
// the toWorker poster and come back through toUi; nothing is shown while a store lock is held.
#pragma once

#include "app/LightingPanelPort.h"
#include "app/MainIds.h"
#include "app/MainView.h"
#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "device/MainWindowPort.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"
#include "profiles/ApplyChanges.h"
#include "profiles/AssignmentStore.h"
#include "profiles/DataFolder.h"
#include "profiles/EditHistory.h"
#include "profiles/KeyboardGuard.h"
#include "profiles/ProfileMenu.h"
#include "profiles/ProfileSwitcher.h"
#include "profiles/Settings.h"
#include "ui/Editor.h"
#include "ui/TextTable.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::app {

// Hands a task to another thread's queue (the device worker, or back to the user-interface thread).
using Poster = std::function<void(std::function<void()>)>;

struct MainHubParts {
    device::AppLinkState& state;
    profiles::AssignmentStore& store;
    device::Commands& commands;
    profiles::SettingsStore& settings;
    Prompter& prompter;
    FileChooser& files;
    MainView& view;
    const ui::TextTable& texts;
    std::filesystem::path languageFile;  // for the texts read when a menu opens
    std::filesystem::path programFolder; // holds Help/ and the program itself
    std::filesystem::path dataFolder;    // where the profile file dialogs start
    Poster toWorker;
    Poster toUi;
    // Run when a reload from the keyboard creates the data folder: the first-run copy of the user
    // lighting files.
    profiles::FirstRunHook firstRun = {};
    // The search path the autostart entry is written for (PATH of the program's environment).
    std::string searchPath = {};
};

// What the hub reaches automatic profiles through (the program's controller); empty: the tray menu has
// no entries for them.
struct AutoProfileHooks {
    std::function<bool()> paused;
    std::function<void(bool paused)> setPaused;
    std::function<void()> openRules;
    // Something an automatic switch waits for changed (edits applied or dropped, a switch ended, a
    // keyboard read); called from the user-interface thread's queue, never from inside a hub call.
    std::function<void()> stateChanged;
};

// What an automatic switch is decided on.
struct AutoSwitchState {
    bool keyboard = false;     // a keyboard is attached and read
    bool editsPending = false; // unapplied edits (window or profile manager), the key dialog open, or busy
    int keyboardProfile = -1;
};

class MainHub {
public:
    explicit MainHub(MainHubParts parts);
    ~MainHub();
    MainHub(const MainHub&) = delete;
    MainHub& operator=(const MainHub&) = delete;

    // --- wiring, before the first message ---
    // The lighting panel, when the window has one.
    void setLighting(LightingPanelPort* lighting) { lighting_ = lighting; }
    // The web addresses Link, Link1, Link2 of the skin.
    void setLinks(std::array<std::string, 3> links) { links_ = std::move(links); }
    // The About box first, then the editors in the order the exit sequence asks them (profile manager,
    // composite key dialog, update dialog).
    void setAbout(ui::Editor* about) { about_ = about; }
    void addEditor(ui::Editor* editor) { editors_.push_back(editor); }
    // The editors whose state decides something besides the exit: while the key dialog is open a key
    // click does nothing and a profile switch is refused; the profile manager's unapplied changes count
    // as unapplied changes of the window.
    void setKeyDialog(ui::Editor* dialog) { keyDialog_ = dialog; }
    void setProfileManager(ui::Editor* manager, std::function<bool()> modified) {
        manager_ = manager;
        managerModified_ = std::move(modified);
    }
    // After a keyboard has arrived and been read: the firmware update's offer to restore its automatic
    // backup, asked once the message is handled (never while the presence worker waits for it). Returns
    // the file to import.
    void setRestoreOffer(std::function<std::optional<std::filesystem::path>()> offer) {
        restoreOffer_ = std::move(offer);
    }
    // Steps of the exit sequence that belong to the process: the instance lock and the named events.
    void setExitSteps(std::function<void()> closeInstance, std::function<void()> closeNamedEvents);
    // The language switch of the windows (stores the choice, reloads the texts, re-texts every window).
    void setLanguageSwitch(std::function<void(int)> switchLanguage) {
        switchLanguage_ = std::move(switchLanguage);
    }

    void setAutoProfiles(AutoProfileHooks hooks) { autoProfiles_ = std::move(hooks); }

    // --- start ---
    // The main window's own part of its initialisation: Apply disabled, the indicators set, the window
    // known to AppLinkState. The caller posts MSG_INIT afterwards.
    void initialise();
    // Set by MSG_INIT; the presence worker waits for it. Any thread.
    bool isReady() const { return ready_.load(std::memory_order_acquire); }

    // --- messages and timers ---
    // A message sent or posted to the main window; a handler ignores a wParam code other than its own.
    intptr_t handleMessage(uint32_t message, uint32_t wParam, bool posted);
    void onTimer(int timerId);
    // The notification-area icon the device link asks for; nothing happens when it is shown already.
    void setTrayIcon(int iconId);
    int trayIcon() const { return trayIcon_; }

    // --- the user ---
    void onControl(int controlId);
    void onCommand(int commandId);
    void onHelpKey() { onControl(control::kHelp); }
    std::vector<MenuItem> mainMenu() const;
    std::vector<MenuItem> trayMenu() const;
    void onTrayOpen() { onCommand(command::kOpen); }
    // An editor changed the working copy (the key dialog after OK, the macro panel): Apply becomes
    // enabled and the buttons show the new assignments.
    void assignmentsChanged();
    // The key dialog closed: the button it was opened for is drawn released again.
    void keyDialogClosed();
    // The funnel every edit of the working copy made in the program's windows goes through.
    profiles::EditHistory& edits() { return edits_; }
    // Ctrl+Z, Ctrl+Shift+Z (Ctrl+Y) and their menu items: the last step taken back or done again. Nothing
    // happens while the keyboard is written or the program is closing.
    void undo();
    void redo();
    // A step of the lighting panel (a paint stroke, a user slot chosen or renamed), taken back and done
    // again by restore.
    void lightingStep(std::function<void(bool forward)> restore);

    // --- profile switching ---
    // What a switch asked for now is decided on.
    profiles::SwitchContext switchContext() const;
    // The keyboard work of a switch is under way: busy pictures, no input.
    void setSwitchBusy(bool busy);
    // A switch has finished: Apply, the editing profile, the profile buttons, the key buttons and the
    // lighting of the profile it made current.
    void profileSwitched(const profiles::SwitchFinish& finish);
    // The profile manager's Apply reached the keyboard: the store was reloaded from it.
    void profilesReloaded();
    // A client of the program's service wrote to the keyboard: what changed is read and merged into the
    // working and applied copies (the user's unapplied edits stay and win on what they touched), and the
    // buttons and the lighting panel show it. No notice: the user's own tools asked for it.
    void keyboardWrittenByClient();
    // A switch made for the application in front: as a switch from the keyboard, no question and no
    // notice. False (nothing happens) while edits are pending, a switch runs or the program is closing.
    bool switchAutomatically(int profile);
    AutoSwitchState autoSwitchState() const;
    // The tray tooltip says that an automatic switch waits for the unapplied edits.
    void setSwitchWaiting(bool waiting);
    // The profile menu (control 1009): <Default Profile>, then the on-board profiles by their names, the
    // keyboard's current one checked.
    std::vector<MenuItem> profileMenu() const;

    // --- what the lighting panel reports ---
    // The panel went off: back to function-keys mode, the key buttons show their assignments.
    void lightingPanelTurnedOff();
    // The panel's state was read from the keyboard: the editing profile's report rate (byte 15).
    void lightingRead(int reportRate);

    // --- what the window draws ---
    ButtonLook buttonLook(int controlId) const;
    std::u16string switchText() const;
    // The caption and tooltip of the profile-manager button for the current on-board profile.
    std::u16string profileEntryName(int profile) const;

    // --- state ---
    bool modified() const { return modified_; }
    int editingProfile() const { return editingProfile_; }
    int gKeyLayer() const;
    int shownReportRate() const { return reportRate_; }
    int flip() const { return flip_; }
    bool busy() const { return busy_; }
    bool exiting() const { return exiting_; }
    int busyFrame() const { return busyFrame_; }

    // --- the flows ---
    void showMainWindow();
    // The exit sequence; false when an editor refused to close (the program stays resident). An editor
    // whose edits the user chose to keep has them written first: the rest of the exit then waits for the
    // device worker.
    bool exitSequence();
    // The same exit when the session ends (a termination signal) or another process asks for it
    // (MSG_KILL): the editors are not asked and their edits are dropped, since nobody may be there to
    // answer and such an exit cannot be refused.
    void endSession();
    void apply();
    void restoreDefaults();
    void setReportRate(int rate);
    void importProfile();
    void exportProfile();
    void openAbout();
    void switchLanguage(int language);
    // The menu button's "Start with the desktop".
    void toggleAutostart();

private:
    using Handler = void (MainHub::*)();
    struct Route {
        uint32_t message;
        bool anyCode;
        uint32_t code;
        bool postedOnly;
        Handler handler;
    };
    static const Route kRoutes[];

    void onOpen();
    void onKill();
    void onInit();
    void onProfileSync();
    void onKeyModeChanged();
    void onDeviceLost();

    bool runExit(bool askEditors);
    enum class EditorsClosed { Closed, AfterSaving, Refused };
    // Asks About and each editor in order; an editor with edits not kept asks the user first (Yes keeps
    // them, No drops them, Cancel refuses). Refused at the first that refuses.
    EditorsClosed closeEditors();
    // The last steps of the exit: the store released, the event loop ended.
    void finishExit();
    void onKeyClick(int controlId);
    void setModified(bool modified);
    // Apply is enabled exactly when the working copy differs from what was last applied.
    void refreshModified();
    void undoOrRedo(bool forward);
    void autoStateChanged();
    std::u16string trayTip() const;
    void closeEditorsWithoutAsking();
    void finishApply(bool sent, const profiles::ApplyOutcome& outcome);
    void showDownloadMessages(const profiles::DownloadOutcome& outcome);
    // A download found another program's changes: the buttons and the lighting panel show them.
    void keyboardChangedElsewhere(const profiles::DownloadOutcome& outcome);
    // Imports a profile file on the device worker (busy meanwhile) and shows its messages afterwards.
    void importFile(const std::filesystem::path& file);
    void offerRestore();
    void openHelp();
    void setKeyEditMode(int mode);
    void toggleKeyEditMode();
    void toggleFlip();
    std::u16string onDemand(std::string_view key) const;

    MainHubParts p_;
    profiles::EditHistory edits_{p_.store};
    LightingPanelPort* lighting_ = nullptr;
    std::array<std::string, 3> links_;
    ui::Editor* about_ = nullptr;
    std::vector<ui::Editor*> editors_;
    ui::Editor* keyDialog_ = nullptr;
    ui::Editor* manager_ = nullptr;
    std::function<bool()> managerModified_;
    std::function<std::optional<std::filesystem::path>()> restoreOffer_;
    std::function<void()> closeInstance_;
    std::function<void()> closeNamedEvents_;
    std::function<void(int)> switchLanguage_;
    AutoProfileHooks autoProfiles_;
    bool switchWaiting_ = false;

    std::atomic<bool> ready_{false};
    bool modified_ = false;
    int editingProfile_ = 0;
    int trayIcon_ = 0; // 0 while there is no icon
    int busyFrame_ = 0;
    int reportRate_ = 0;
    int flip_ = 0;
    bool busy_ = false;
    bool exiting_ = false;
    bool askingEditors_ = false; // an exit's question to an editor is on the screen
    // Apply was asked for while one ran: it runs again when that one is back.
    bool applyPending_ = false;
    // Counts the edits, so that an Apply clears the modified flag only when no edit came during it.
    unsigned editCount_ = 0;
    // The button whose key dialog is open (drawn pressed), 0 for none.
    int pressedButton_ = 0;
    // Tells work coming back from the device worker whether the hub still exists.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace tarvik::app
