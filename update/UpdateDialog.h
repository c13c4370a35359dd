// The firmware update dialog: a skinned window with the chosen update program's path, the button that
// chooses it, Update, Cancel and Backup. Every decision is FirmwareUpdate's; this window turns clicks into
// its calls and shows the path it holds. The main window owns one for the whole run.
#pragma once

#include "ui/CBaseDialog.h"
#include "ui/Editor.h"
#include "ui/SkinLayout.h"
#include "update/FirmwareUpdate.h"

#include <QPixmap>
#include <QString>

#include <filesystem>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;

namespace tarvik::ui {
class CPngButton;
}

namespace tarvik::update {

class UpdateDialog final : public ui::CBaseDialog, public ui::Editor {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 149;

    struct Hooks {
        // F1: the program's help page.
        std::function<void()> openHelp;
        // A picture of the dialog missing at the first opening. Default: the program ends quietly.
        ui::MissingPictureHandler missingPicture = ui::exitQuietly;
    };

    // skinFolder holds UpdateDlg.ini and the pictures; languageFile the texts read at each opening.
    UpdateDialog(QWidget* parent, FirmwareUpdate& update, std::filesystem::path skinFolder,
                 std::filesystem::path languageFile, Hooks hooks);
    ~UpdateDialog() override;

    // The main window's command 32780: shows the dialog modally and returns when it closes (Accepted
    // once the update program has been started).
    int runModal();

    // ui::Editor: closing is Cancel.
    bool requestClose() override;
    bool isOpen() const override;

    FirmwareUpdate& firmwareUpdate() { return update_; }

public slots:
    // Cancel, and every other way of closing without an update: the chosen file is forgotten.
    void reject() override;

protected:
    void onInitDialog() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void build();
    void placeControls();
    void readTexts();
    void showPath();
    void onChoose();
    void onUpdate();
    void onBackup();
    ui::CPngButton& imageButton(const char* key);

    FirmwareUpdate& update_;
    std::filesystem::path languageFile_;
    Hooks hooks_;

    bool built_ = false;
    bool picturesLoaded_ = false;
    std::vector<QPixmap> pictures_;
    ui::StatePictures buttonSet_;
    QString noFileText_;

    QLabel* path_ = nullptr;
    QComboBox* combo_ = nullptr;
    ui::CPngButton* open_ = nullptr;
    ui::CPngButton* start_ = nullptr;
    ui::CPngButton* cancel_ = nullptr;
    ui::CPngButton* backup_ = nullptr;
};

} // namespace tarvik::update
