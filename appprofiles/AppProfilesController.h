// The program's side of automatic profiles: keeps the rules (and their file), runs the desktop's focus
// watcher, and when the focus has settled asks AutoSwitch and has the main window switch as a switch from
// the keyboard would. Lives on the user-interface thread.
#pragma once

#include "appprofiles/AppRules.h"
#include "appprofiles/AutoSwitch.h"
#include "appprofiles/FocusWatcher.h"

#include "platform/FileChecks.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

namespace tarvik::appprofiles {

class AppProfilesController final : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        // The keyboard, its profile and whether edits are pending, read when a decision is due.
        std::function<SwitchInputs()> inputs;
        // Switches the keyboard to an on-board profile without any question.
        std::function<void(int profile)> switchTo;
        // A switch waits for unapplied edits (the tray tooltip says so), or waits no more.
        std::function<void(bool waiting)> waiting;
    };

    AppProfilesController(std::filesystem::path rulesFile, Hooks hooks, QObject* parent = nullptr);
    ~AppProfilesController() override;

    // Reads the rules (each bad line reported on stderr and skipped) and starts the watcher.
    void start(std::unique_ptr<FocusWatcher> watcher);

    const AppRules& rules() const { return rules_; }
    // Keeps the rules (written to the file) and applies them to the window in front. False with why when
    // the file could not be written; the rules are in effect anyway.
    bool setRules(AppRules rules, std::string* why = nullptr);
    // The rules file as it is now on disk. Done by itself whenever another program or an editor changes
    // the file while the program runs (rulesChanged() follows), so a change made here never writes over
    // one made there unseen.
    void reload();
    // Reads the file again when it changed since it was last read or written here; an edit that starts
    // from rules() calls it first.
    void followFile();
    bool paused() const { return rules_.paused; }
    bool setPaused(bool paused) {
        followFile();
        AppRules r = rules_;
        r.paused = paused;
        return setRules(std::move(r));
    }

    bool watching() const { return watching_; }
    const FocusWatcher* watcher() const { return watcher_.get(); }
    std::vector<WindowIdentity> openWindows() const;
    // The window in front as last reported.
    const WindowIdentity& focused() const { return focused_; }
    // A focus report that came over the session bus.
    void reportFocus(const WindowIdentity& window);
    // The next focus report goes to once (the rules window's "the next window I click").
    void captureNextFocus(std::function<void(const WindowIdentity&)> take) { capture_ = std::move(take); }

    // Something the decision depends on changed (edits applied, a keyboard arrived, a switch ended).
    void recheck();

signals:
    // The rules were read anew from a file another program changed.
    void rulesChanged();

private:
    void watchFolder();
    void focusChanged(const WindowIdentity& window);
    void refeed();
    void decide();
    static int64_t nowMs();

    std::filesystem::path file_;
    Hooks hooks_;
    AppRules rules_;
    AutoSwitch switch_;
    std::unique_ptr<FocusWatcher> watcher_;
    bool watching_ = false;
    bool waiting_ = false;
    WindowIdentity focused_;
    std::function<void(const WindowIdentity&)> capture_;
    QTimer timer_;
    // The file as last read or written here; the folder is watched, since a whole-file write replaces it.
    std::optional<FileStamp> stamp_;
    QFileSystemWatcher folder_;
};

} // namespace tarvik::appprofiles
