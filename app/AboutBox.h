// The About box: one modeless window with the program's name and version, the two About texts of the
// current language and the maker's web address. OK and Cancel hide it; F1 opens the help page.
#pragma once

#include "ui/Editor.h"

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;

namespace tarvik::app {

class AboutBox : public QDialog, public ui::Editor {
    Q_OBJECT

public:
    AboutBox(QString link, std::function<void()> openHelp, QWidget* parent = nullptr);

    // Reads its texts afresh (they follow the language) and shows the window in front.
    void open();
    bool requestClose() override;
    bool isOpen() const override { return isVisible(); }

    QString introText() const;
    QString copyrightText() const;
    QString okText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void retext();

    QString link_;
    std::function<void()> openHelp_;
    QLabel* title_ = nullptr;
    QLabel* intro_ = nullptr;
    QLabel* copyright_ = nullptr;
    QLabel* linkLabel_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace tarvik::app
