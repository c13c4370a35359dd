// The rules window: a skinned window with the rules (application, on-board profile), Add, change (the
// profile box of a row) and Remove, the fallback, and what the program watches the focus through or why
// it cannot. Every decision is the controller's; the window turns clicks into its calls and shows the
// rules it holds. Its texts are read anew at each opening and after a language switch. Escape closes it,
// as Close does.
#pragma once

#include "appprofiles/AppProfilesController.h"
#include "ui/CBaseDialog.h"
#include "ui/SkinLayout.h"

#include <QPixmap>
#include <QString>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class QComboBox;
class QLabel;
class QTableWidget;

namespace tarvik::ui {
class CPngButton;
}

namespace tarvik::appprofiles {

class AppRulesDialog final : public ui::CBaseDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 160;

    // skinFolder holds AppRules.ini and its pictures. A picture missing at the first opening goes to
    // onMissingPicture (the program ends quietly, as for every skinned window).
    AppRulesDialog(AppProfilesController& controller, const std::filesystem::path& skinFolder,
                   QWidget* parent = nullptr, ui::MissingPictureHandler onMissingPicture = ui::exitQuietly);
    ~AppRulesDialog() override;

    // Texts and rows anew from the language file and the controller.
    void refresh();
    QTableWidget* table() const { return table_; }

protected:
    void onInitDialog() override;
    void retext() override;

private:
    void placeControls();
    void add(const std::string& app);
    void removeSelected();
    void keep(AppRules rules);
    void showStatus();
    void chainFocus();

    AppProfilesController& controller_;
    ui::MissingPictureHandler onMissingPicture_;
    std::vector<QPixmap> pictures_;
    ui::StatePictures buttonSet_;
    QLabel* status_;
    QTableWidget* table_;
    QComboBox* fallback_;
    ui::CPngButton* add_;
    ui::CPngButton* remove_;
    ui::CPngButton* close_;
    // The next window clicked is awaited: the status line says so until it comes or the window closes.
    bool capturing_ = false;
};

} // namespace tarvik::appprofiles
