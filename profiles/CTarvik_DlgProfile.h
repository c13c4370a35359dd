// The profile manager: the list of the keyboard's three on-board profiles and of profile files, with the
// ticked row that Apply makes the keyboard's current profile (or imports, for a file). Modal, opened by the
// main window's profile-manager button. The decisions are ProfileManagerModel's; Apply's keyboard work runs
// on the device worker while the dialog takes no input.
#pragma once

#include "device/AppLinkState.h"
#include "device/Commands.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"
#include "profiles/AssignmentStore.h"
#include "profiles/DataFolder.h"
#include "profiles/ProfileManagerModel.h"
#include "profiles/Settings.h"
#include "ui/CBaseDialog.h"
#include "ui/Editor.h"
#include "ui/SkinLayout.h"

#include <QPixmap>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QTableWidget;

namespace tarvik::ui {
class CPngButton;
}

namespace tarvik::profiles {

// What the dialog reaches the world through. Everything is owned by the main window and outlives the
// dialog; the worker runs tasks one after another and is stopped before the store and commands go.
struct ProfileManagerServices {
    FileChooser& files;
    Prompter& prompter; // the messages of a refused import, shown after the worker is done
    SettingsStore& settings;
    AssignmentStore& store;
    device::Commands& commands;
    device::AppLinkState& link;
    std::function<void(std::function<void()>)> postToWorker;
    FirstRunHook firstRun = {};          // given to the data folder routine when a reload creates the folder
    std::function<void()> openHelp = {}; // the help key: the program's help page
};

class CTarvik_DlgProfile : public ui::CBaseDialog, public ui::Editor {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 131;
    // Control ids of the dialog.
    static constexpr int kList = 1007, kLoad = 1008, kAdd = 1010, kDelete = 1011, kApply = 1012;

    CTarvik_DlgProfile(QWidget* parent, std::filesystem::path layoutFile, std::filesystem::path pictureFolder,
                       ProfileManagerServices services,
                       ui::MissingPictureHandler onMissingPicture = ui::exitQuietly);
    ~CTarvik_DlgProfile() override;

    const ProfileManagerModel& model() const { return model_; }
    // The keyboard work of an Apply is under way: the dialog takes no input.
    bool applying() const { return applying_; }
    // A profile switch made while the dialog is open: its row is ticked and Apply disabled.
    void profileSwitched(int profile);

    // ui::Editor: closes the dialog as Cancel would. It never refuses; changes not applied are asked
    // about first, and kept as Apply keeps them.
    bool requestClose() override;
    bool isOpen() const override { return model_.isOpen(); }
    std::string_view unsavedEditsQuestion() const override;
    void saveEdits() override;

signals:
    // Apply reached the keyboard. The main window disables its own Apply, rebuilds the profile menu and
    // redraws the key buttons and the lighting from the keyboard's current profile. succeeded is false for
    // a refused import, which changed nothing.
    void applied(bool succeeded);

protected:
    void onInitDialog() override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void build();
    void setColumnCaptions();
    void refreshList();
    void refreshButtons();
    void startApply(bool closeAfter);
    void finishApply(const ManagerApplyResult& result, bool closeAfter);

    ProfileManagerServices services_;
    ui::MissingPictureHandler onMissingPicture_;
    ProfileManagerModel model_;
    std::vector<QPixmap> pictures_;
    bool built_ = false;
    bool applying_ = false;
    bool filling_ = false; // the list is being redrawn from the model: its change signals are ours
    QTableWidget* list_ = nullptr;
    ui::CPngButton* ok_ = nullptr;
    ui::CPngButton* cancel_ = nullptr;
    ui::CPngButton* add_ = nullptr;
    ui::CPngButton* load_ = nullptr;
    ui::CPngButton* delete_ = nullptr;
    ui::CPngButton* apply_ = nullptr;
};

} // namespace tarvik::profiles
