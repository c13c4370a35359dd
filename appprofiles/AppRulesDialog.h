// The rules window: the rules (application, on-board profile) with Add, change (the profile box of a
// row) and Remove, the fallback, and what the program watches the focus through or why it cannot. Its
// texts are read from the language file each time it opens.
#pragma once

#include "appprofiles/AppProfilesController.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tarvik::appprofiles {

class AppRulesDialog final : public QDialog {
    Q_OBJECT

public:
    AppRulesDialog(AppProfilesController& controller, QWidget* parent = nullptr);
    // Texts and rows anew from the language file and the controller.
    void refresh();
    QTableWidget* table() const { return table_; }

private:
    void add(const std::string& app);
    void keep(AppRules rules);
    QString text(std::string_view key) const;

    AppProfilesController& controller_;
    QLabel* status_;
    QTableWidget* table_;
    QComboBox* fallback_;
    QLabel* fallbackLabel_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* close_;
};

} // namespace tarvik::appprofiles
