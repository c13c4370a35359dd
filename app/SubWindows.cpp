#include "app/SubWindows.h"

#include "dialogs/KeyDialog.h"
#include "dialogs/ProfileStoreAccess.h"
#include "lighting/LightingPanel.h"
#include "lighting/LightingState.h"
#include "profiles/ProfileManagerDialog.h"
#include "update/UpdateDialog.h"
#include "update/UpdateMessageBox.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

namespace tarvik::app {

// The lighting panel as the hub asks for it. The panel keeps the lighting state to itself; the few steps
// it has no request for (the profile to read on an arrival, the report rate read back) run on the device
// worker too, in order with the panel's own requests. While the window's controls are not made (a program
// started hidden, or hidden for a while) there is no panel: the requests go to the lighting state on the
// same worker, and what the panel would say back (turned off) is said from there.
class SubWindows::LightingPanelAdapter final : public LightingPanelPort {
public:
    explicit LightingPanelAdapter(SubWindows& owner) : owner_(owner) {}

    void setPanel(lighting::LightingPanel* panel) {
        if (panel_ != nullptr) {
            panelOn_ = panel_->view().panelOn;
        }
        panel_ = panel;
    }

    bool keyClicksPaint() const override { return panel_ != nullptr && panel_->keyClicksPaint(); }
    bool panelOn() const override { return panel_ != nullptr ? panel_->view().panelOn : panelOn_; }
    void reload(int profile) override {
        lighting::LightingState* state = &owner_.p_.lighting;
        owner_.p_.toWorker([state, profile] { state->setProfile(profile); });
        send([](lighting::LightingState& s) { s.keyboardConnected(); });
        readReportRate();
    }
    void scheduleReload() override {
        if (panel_ != nullptr) {
            panel_->scheduleReload(); // several in a row read once
        } else {
            send([](lighting::LightingState& s) { s.readLighting(); });
        }
    }
    void switchProfile(int profile) override {
        send([profile](lighting::LightingState& s) { s.switchProfile(profile); });
        readReportRate();
    }
    void restoreDefaults() override {
        send([](lighting::LightingState& s) { s.restoreDefaults(); });
        readReportRate(); // the default block sets it too
    }
    void paintKey(int button) override {
        if (panel_ != nullptr) {
            panel_->paintKey(button);
        }
    }
    void retranslate() override {
        if (panel_ != nullptr) {
            panel_->retranslate(); // a panel made later is made in the language of the day
        }
    }
    void restore(const lighting::LightingPanel::Restore& restore, bool forward) {
        send([restore, forward](lighting::LightingState& s) { restore(s, forward); });
    }
    bool idle() const { return panel_ == nullptr ? directPending_ == 0 : panel_->pending() == 0; }

private:
    // Through the panel, which draws what the request leaves; without one, straight to the state.
    void send(lighting::LightingPanel::Request op) {
        if (panel_ != nullptr) {
            panel_->request(std::move(op));
        } else {
            direct(std::move(op));
        }
    }
    // A request without the panel, and the panel's state it leaves: a panel that was on and is no longer
    // is reported as the panel reports it.
    void direct(lighting::LightingPanel::Request op) {
        lighting::LightingState* state = &owner_.p_.lighting;
        QPointer<SubWindows> owner(&owner_);
        ++directPending_;
        owner_.p_.toWorker([state, owner, op = std::move(op)] {
            op(*state);
            const bool on = state->view().panelOn;
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [owner, on] {
                    if (owner) {
                        owner->lightingPort_->directDone(on);
                    }
                },
                Qt::QueuedConnection);
        });
    }
    void directDone(bool on) {
        --directPending_;
        const bool wasOn = panelOn_;
        if (panel_ == nullptr) {
            panelOn_ = on;
            if (wasOn && !on) {
                owner_.p_.hub.lightingPanelTurnedOff();
            }
        }
    }

    // After the requests handed to the worker so far: the editing profile's report rate, shown.
    void readReportRate() {
        lighting::LightingState* state = &owner_.p_.lighting;
        QPointer<SubWindows> owner(&owner_);
        owner_.p_.toWorker([state, owner] {
            const int rate = state->reportRate();
            // The application outlives the worker; the window may not.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [owner, rate] {
                    if (owner) {
                        owner->p_.hub.lightingRead(rate);
                    }
                },
                Qt::QueuedConnection);
        });
    }

    SubWindows& owner_;
    lighting::LightingPanel* panel_ = nullptr;
    bool panelOn_ = false; // while there is no panel
    int directPending_ = 0;
};

SubWindows::SubWindows(QWidget& window, SubWindowParts parts)
    : QObject(&window), window_(window), p_(std::move(parts)) {
    MainHub& hub = p_.hub;

    profiles::ProfileSwitchHost& host = *this;
    runner_ = std::make_unique<profiles::ProfileSwitchRunner>(host, p_.prompter, p_.toWorker, p_.store,
                                                              p_.commands, p_.state);

    lightingPort_ = std::make_unique<LightingPanelAdapter>(*this);
    hub.setLighting(lightingPort_.get());

    // The firmware update.
    if (p_.updatePrompter == nullptr) {
        ownUpdatePrompter_ = std::make_unique<update::UpdateMessageBox>(&window, p_.languageFile);
        p_.updatePrompter = ownUpdatePrompter_.get();
    }
    if (p_.programStarter == nullptr) {
        ownStarter_ = std::make_unique<update::DetachedProgramStarter>();
        p_.programStarter = ownStarter_.get();
    }
    update::FirmwareUpdate::RawSender sendRaw = p_.sendRaw;
    if (!sendRaw) {
        sendRaw = [](std::span<const uint8_t>) { return device::kNoKeyboard; };
    }
    update_ = std::make_unique<update::FirmwareUpdate>(
        p_.store, p_.settings,
        update::FirmwareUpdate::Seams{p_.prompter, *p_.updatePrompter, p_.files, *p_.programStarter,
                                      std::move(sendRaw)},
        update::FirmwareUpdate::Folders{p_.programFolder / "Package", p_.firstRun});
    hub.setRestoreOffer([this] { return update_->offerRestore(); });
    // The dialogs are built when they are first opened: a resident program that is never opened keeps
    // none of their controls and pictures.
}

SubWindows::~SubWindows() {
    // The hub goes first (its owner resets it before this); the dialogs before what they use.
    updateDialog_.reset();
    manager_.reset();
    keyDialog_.reset();
    detachPanel();
    lightingPort_.reset();
}

void SubWindows::attachPanel(std::span<ui::CPngButton* const> keyButtons) {
    if (panel_ || keyButtons.empty()) {
        return;
    }
    const std::filesystem::path skins = p_.programFolder / "Skins";
    MainHub& hub = p_.hub;
    // The lighting area: the real panel over the window's lighting state.
    panel_ = std::make_unique<lighting::LightingPanel>(window_, skins / "Main.ini", skins, p_.lighting,
                                                       p_.toWorker);
    panel_->attachKeyButtons(keyButtons);
    // Turning the panel on is a switch to the keyboard's own profile first (it may ask to save edits).
    panel_->setPanelOnCheck([this](std::function<void()> proceed) {
        runner_->switchProfile(p_.state.currentProfile.load(), profiles::SwitchSource::Menu,
                               [proceed = std::move(proceed)](bool switched) {
                                   if (switched) {
                                       proceed();
                                   }
                               });
    });
    connect(panel_.get(), &lighting::LightingPanel::panelTurnedOff, this,
            [this] { p_.hub.lightingPanelTurnedOff(); });
    // A whole stroke, a slot chosen or renamed: each one step of the window's undo history, undone through
    // the panel of the day (or none).
    QPointer<SubWindows> self(this);
    panel_->setStepListener([&hub, self](lighting::LightingPanel::Restore restore) {
        hub.lightingStep([self, restore](bool forward) {
            if (self) {
                self->lightingPort_->restore(restore, forward);
            }
        });
    });
    lightingPort_->setPanel(panel_.get());
    // What the lighting state holds now (read while there was no panel), drawn.
    panel_->refresh();
}

void SubWindows::detachPanel() {
    if (lightingPort_) {
        lightingPort_->setPanel(nullptr);
    }
    panel_.reset();
}

bool SubWindows::lightingIdle() const {
    return lightingPort_->idle();
}

dialogs::KeyDialog& SubWindows::keyDialog() {
    if (!keyDialog_) {
        const std::filesystem::path skins = p_.programFolder / "Skins";
        MainHub& hub = p_.hub;
        // It edits the profile the window shows.
        storeAccess_ = std::make_unique<dialogs::ProfileStoreAccess>(
            p_.store, hub.edits(), [&hub] { return static_cast<unsigned>(hub.editingProfile()); });
        dialogs::KeyDialog::Hooks keyHooks;
        keyHooks.macroCapacity = [this] { return static_cast<size_t>(p_.state.macroCapacity.load()); };
        keyHooks.openHelp = [this] { openHelp(); };
        keyHooks.assigned = [this](const dialogs::AssignOutcome&) { p_.hub.assignmentsChanged(); };
        keyHooks.applyToKeyboard = [this] { p_.hub.apply(); };
        keyHooks.closed = [this](int) { p_.hub.keyDialogClosed(); };
        keyHooks.undoRedo = [this](bool forward) { forward ? p_.hub.redo() : p_.hub.undo(); };
        keyHooks.notice = p_.notice;
        keyHooks.startOnScreenKeyboard = p_.startOnScreenKeyboard;
        keyHooks.missingPicture = p_.missingPicture;
        keyDialog_ = std::make_unique<dialogs::KeyDialog>(&window_, *storeAccess_, p_.prompter, p_.settings,
                                                          std::move(keyHooks), skins, p_.languageFile);
        hub.addEditor(keyDialog_.get());
        hub.setKeyDialog(keyDialog_.get());
    }
    return *keyDialog_;
}

profiles::ProfileManagerDialog& SubWindows::profileManager() {
    if (!manager_) {
        const std::filesystem::path skins = p_.programFolder / "Skins";
        manager_ = std::make_unique<profiles::ProfileManagerDialog>(
            &window_, skins / "Profile.ini", skins,
            profiles::ProfileManagerServices{p_.files, p_.prompter, p_.settings, p_.store, p_.commands,
                                             p_.state, p_.toWorker, p_.firstRun, [this] { openHelp(); }},
            p_.missingPicture);
        connect(manager_.get(), &profiles::ProfileManagerDialog::applied, this, [this](bool succeeded) {
            // A refused import changed nothing.
            if (succeeded) {
                p_.hub.profilesReloaded();
            }
        });
        p_.hub.addEditor(manager_.get());
        p_.hub.setProfileManager(manager_.get(), [this] { return manager_->model().modified(); });
    }
    return *manager_;
}

update::UpdateDialog& SubWindows::updateDialog() {
    if (!updateDialog_) {
        update::UpdateDialog::Hooks updateHooks;
        updateHooks.openHelp = [this] { openHelp(); };
        updateHooks.missingPicture = p_.missingPicture;
        updateDialog_ = std::make_unique<update::UpdateDialog>(&window_, *update_, p_.programFolder / "Skins",
                                                               p_.languageFile, updateHooks);
        p_.hub.addEditor(updateDialog_.get());
    }
    return *updateDialog_;
}

void SubWindows::openKeyDialog(const KeyDialogRequest& request, const QRect& buttonGlobalRect) {
    // Window-modal: the main window takes no input meanwhile, and nothing waits in a nested loop.
    keyDialog().openForSlot(request.slot, request.controlId, request.macroOnly, buttonGlobalRect);
}

void SubWindows::openProfileManager() {
    profileManager().open();
}

void SubWindows::openUpdateDialog() {
    updateDialog().open();
}

void SubWindows::switchProfile(int profile, profiles::SwitchSource source) {
    runner_->switchProfile(profile, source);
}

void SubWindows::openHelp() {
    p_.hub.onHelpKey();
}

profiles::SwitchContext SubWindows::switchContext() const {
    return p_.hub.switchContext();
}

void SubWindows::setSwitchBusy(bool busy) {
    p_.hub.setSwitchBusy(busy);
}

void SubWindows::profileSwitched(const profiles::SwitchFinish& finish, const profiles::ProfileMenu&) {
    // The menu is built by the hub when it is shown, with the profiles' own names.
    if (finish.tickManager && finish.profile >= 0 && manager_) {
        manager_->profileSwitched(finish.profile);
    }
    p_.hub.profileSwitched(finish);
}

} // namespace tarvik::app
