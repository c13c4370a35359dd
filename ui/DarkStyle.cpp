#include "ui/DarkStyle.h"

#include <QStringList>

#include <algorithm>

namespace tarvik::ui {

namespace {

const QStringList& families() {
    static const QStringList list = {QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei"),
                                     QStringLiteral("Noto Sans CJK SC"), QStringLiteral("sans-serif")};
    return list;
}

} // namespace

const QString& darkStyleSheet() {
    static const QString sheet = QStringLiteral(R"(
QLabel { color: #c9cdd4; background: transparent; }
QComboBox, QLineEdit, QSpinBox { background: #101215; color: #e4e6ea; border: 1px solid #2c3038;
    border-radius: 5px; padding: 2px 8px; selection-background-color: #1b6f9e; }
QComboBox:focus, QLineEdit:focus { border-color: #38b6f0; }
QComboBox QAbstractItemView { background: #16181c; color: #e4e6ea; border: 1px solid #2c3038;
    selection-background-color: #1b6f9e; outline: none; }
QTreeWidget, QTreeView, QListView, QTableView { background: #101215; color: #e4e6ea;
    border: 1px solid #2c3038; border-radius: 5px; alternate-background-color: #14171b;
    selection-background-color: #1b6f9e; }
QHeaderView::section { background: #1c1f24; color: #8f959e; border: none; border-right: 1px solid #2c3038;
    padding: 4px 6px; }
QCheckBox { color: #c9cdd4; }
QCheckBox::indicator { width: 16px; height: 16px; border: 1px solid #373c46; border-radius: 3px;
    background: #101215; }
QCheckBox::indicator:checked { background: #38b6f0; border-color: #38b6f0; }
QMenu { background: #1a1d22; color: #e4e6ea; border: 1px solid #30343c; padding: 4px; }
QMenu::item { padding: 6px 28px 6px 22px; border-radius: 4px; }
QMenu::item:selected { background: #1b6f9e; }
QMenu::item:disabled { color: #6b717b; }
QMenu::separator { height: 1px; background: #30343c; margin: 4px 8px; }
QMenu::indicator { width: 12px; height: 12px; left: 6px; }
QMenu::indicator:non-exclusive:unchecked { border: 1px solid #5a606b; border-radius: 3px; background: #101215; }
QMenu::indicator:non-exclusive:unchecked:selected { border-color: #c9cdd4; }
QMenu::indicator:non-exclusive:checked { border: 1px solid #38b6f0; border-radius: 3px; background: #38b6f0; }
QToolTip { background: #1a1d22; color: #e4e6ea; border: 1px solid #3a3f48; padding: 4px 6px; }
QMessageBox, QDialog#TarvikPlainDialog, QFileDialog { background: #16181c; }
QMessageBox QLabel { color: #e4e6ea; }
QPushButton { background: #23272e; color: #e4e6ea; border: 1px solid #373c46; border-radius: 5px;
    padding: 5px 18px; min-width: 64px; }
QPushButton:hover { background: #2b3038; border-color: #4a505b; }
QPushButton:pressed { background: #1b6f9e; }
QPushButton:default { border-color: #38b6f0; }
QPushButton:disabled { color: #6b717b; }
QScrollBar:vertical { background: #101215; width: 10px; }
QScrollBar::handle:vertical { background: #2c3038; border-radius: 4px; min-height: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; width: 0; }
)");
    return sheet;
}

QFont skinFont(double pixelSize, bool bold) {
    QFont f;
    f.setFamilies(families());
    f.setPixelSize(std::max(1, static_cast<int>(pixelSize + 0.5)));
    f.setBold(bold);
    return f;
}

QFont skinPointFont(double pointSize, bool bold) {
    QFont f;
    f.setFamilies(families());
    f.setPointSizeF(pointSize > 0 ? pointSize : 8);
    f.setBold(bold);
    return f;
}

} // namespace tarvik::ui
