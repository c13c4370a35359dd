// The windows the main window owns besides itself, built once (the dialogs when first opened) and reused: the
// key assignment dialog, the profile manager, the firmware update dialog with its decisions, the lighting
// panel in the window's lighting area, and the runner of profile switches. This class connects each of them
// to MainHub: the hub decides, these windows show and edit.
#pragma once

#include "app/LightingPanelPort.h"
#include "app/MainHub.h"
#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"
#include "profiles/AssignmentStore.h"
#include "profiles/DataFolder.h"
#include "profiles/ProfileSwitchRunner.h"
#include "profiles/Settings.h"
#include "ui/SkinLayout.h"
#include "update/FirmwareUpdate.h"
#include "update/ProgramStarter.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>
#include <span>

class QWidget;

namespace tarvik::dialogs {
class ProfileStoreAccess;
class KeyDialog;
} // namespace tarvik::dialogs
namespace tarvik::update {
class UpdateDialog;
class UpdateMessageBox;
} // namespace tarvik::update
namespace tarvik::lighting {
class LightingPanel;
class LightingState;
} // namespace tarvik::lighting
namespace tarvik::profiles {
class ProfileManagerDialog;
}
namespace tarvik::ui {
class CPngButton;
}

namespace tarvik::app {

// Everything the sub-windows reach the world through; owned by the main window and the program, all
// outliving the sub-windows. The device worker is stopped before the lighting state, the store and the
// commands go.
struct SubWindowParts {
    MainHub& hub;
    device::AppLinkState& state;
    profiles::AssignmentStore& store;
    profiles::SettingsStore& settings;
    device::Commands& commands;
    lighting::LightingState& lighting;
    Prompter& prompter;
    FileChooser& files;
    Poster toWorker;
    std::filesystem::path programFolder; // holds Skins/ and Package/
    std::filesystem::path languageFile;
    profiles::FirstRunHook firstRun;
    // The firmware update's trigger report; empty: no keyboard to send it to.
    update::FirmwareUpdate::RawSender sendRaw;
    // The update's messages that name a file, and how it starts the update program; null: message boxes
    // and a detached process.
    update::UpdatePrompter* updatePrompter = nullptr;
    update::ProgramStarter* programStarter = nullptr;
    // The key dialog's on-screen keyboard button; empty: onboard or florence from the search path.
    std::function<void()> startOnScreenKeyboard;
    // A message whose text is already made (the key dialog's numbers filled in).
    std::function<void(const QString&)> notice;
    ui::MissingPictureHandler missingPicture = ui::exitQuietly;
};

class SubWindows final : public QObject, private profiles::ProfileSwitchHost {
    Q_OBJECT

public:
    // window: the parent of every dialog and the host of the lighting panel.
    SubWindows(QWidget& window, SubWindowParts parts);
    ~SubWindows() override;

    // What the main window's hooks run.
    void openKeyDialog(const KeyDialogRequest& request, const QRect& buttonGlobalRect);
    void openProfileManager();
    void openUpdateDialog();
    void switchProfile(int profile, profiles::SwitchSource source);

    // The dialogs, built on first use (each then joins the hub's editors).
    dialogs::KeyDialog& keyDialog();
    profiles::ProfileManagerDialog& profileManager();
    update::UpdateDialog& updateDialog();
    update::FirmwareUpdate& firmwareUpdate() { return *update_; }
    // Only while hasLightingPanel().
    lighting::LightingPanel& lightingPanel() { return *panel_; }
    bool hasLightingPanel() const { return panel_ != nullptr; }
    // The panel over the window's key buttons (by button index, lighting/KeyButtons.h, null where it has
    // none: it tints them and takes their clicks while clicks paint), made with the window's controls and
    // gone with them; the hub's lighting requests go on without it.
    void attachPanel(std::span<ui::CPngButton* const> keyButtons);
    void detachPanel();
    // No lighting request of the panel's (or made without it) is on its way.
    bool lightingIdle() const;
    profiles::ProfileSwitchRunner& switchRunner() { return *runner_; }

private:
    class LightingPanelAdapter;

    // profiles::ProfileSwitchHost
    profiles::SwitchContext switchContext() const override;
    void setSwitchBusy(bool busy) override;
    void profileSwitched(const profiles::SwitchFinish& finish, const profiles::ProfileMenu& menu) override;

    void openHelp();

    QWidget& window_;
    SubWindowParts p_;
    std::unique_ptr<update::UpdateMessageBox> ownUpdatePrompter_;
    std::unique_ptr<update::ProgramStarter> ownStarter_;
    std::unique_ptr<dialogs::ProfileStoreAccess> storeAccess_;
    std::unique_ptr<profiles::ProfileSwitchRunner> runner_;
    std::unique_ptr<lighting::LightingPanel> panel_;
    std::unique_ptr<LightingPanelAdapter> lightingPort_;
    std::unique_ptr<dialogs::KeyDialog> keyDialog_;
    std::unique_ptr<profiles::ProfileManagerDialog> manager_;
    std::unique_ptr<update::FirmwareUpdate> update_;
    std::unique_ptr<update::UpdateDialog> updateDialog_;
};

} // namespace tarvik::app
