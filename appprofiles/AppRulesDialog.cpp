#include "appprofiles/AppRulesDialog.h"

#include "ui/DarkStyle.h"
#include "ui/TextKeys.h"
#include "ui/TextTable.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

namespace tarvik::appprofiles {

AppRulesDialog::AppRulesDialog(AppProfilesController& controller, QWidget* parent)
    : QDialog(parent), controller_(controller), status_(new QLabel(this)),
      table_(new QTableWidget(0, 2, this)), fallback_(new QComboBox(this)), fallbackLabel_(new QLabel(this)),
      add_(new QPushButton(this)), remove_(new QPushButton(this)), close_(new QPushButton(this)) {
    setObjectName(QStringLiteral("TarvikPlainDialog")); // the dark background of the program's plain windows
    setStyleSheet(ui::darkStyleSheet());
    status_->setWordWrap(true);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    table_->setColumnWidth(1, 150);
    table_->verticalHeader()->setDefaultSectionSize(QComboBox().sizeHint().height() + 6);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(remove_);
    buttons->addStretch();
    buttons->addWidget(close_);
    auto* fallbackRow = new QHBoxLayout;
    fallbackRow->addWidget(fallbackLabel_);
    fallbackRow->addWidget(fallback_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(table_, 1);
    layout->addLayout(fallbackRow);
    layout->addLayout(buttons);
    resize(460, 340);

    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(remove_, &QPushButton::clicked, this, [this] {
        const int row = table_->currentRow();
        AppRules r = controller_.rules();
        if (row >= 0 && row < static_cast<int>(r.rules.size())) {
            r.rules.erase(r.rules.begin() + row);
            keep(std::move(r));
        }
    });
    connect(fallback_, &QComboBox::activated, this, [this](int index) {
        AppRules r = controller_.rules();
        r.fallback = index == 0 ? std::nullopt : std::optional<int>(index - 1);
        keep(std::move(r));
    });
    connect(add_, &QPushButton::clicked, this, [this] {
        // The applications with windows now, then the next window the user brings to the front.
        QMenu menu(this);
        std::set<std::string> seen;
        for (const WindowIdentity& w : controller_.openWindows()) {
            const std::string name = appNameOf(w);
            if (seen.insert(name).second) {
                const QString shown = QString::fromStdString(name);
                menu.addAction(shown, this, [this, name] { add(name); });
            }
        }
        if (!seen.empty()) {
            menu.addSeparator();
        }
        QAction* next = menu.addAction(text("APPPROFILES_NEXT_WINDOW"));
        next->setEnabled(controller_.watching());
        connect(next, &QAction::triggered, this, [this] {
            status_->setText(text("APPPROFILES_CLICK_WINDOW"));
            QPointer<AppRulesDialog> self(this);
            controller_.captureNextFocus([self](const WindowIdentity& w) {
                if (self) {
                    self->add(appNameOf(w));
                }
            });
        });
        menu.exec(add_->mapToGlobal(QPoint(0, add_->height())));
    });
    refresh();
}

QString AppRulesDialog::text(std::string_view key) const {
    return QString::fromStdU16String(ui::uiTexts().readOnDemand(ui::languageFilePath(), key)).trimmed();
}

void AppRulesDialog::add(const std::string& app) {
    AppRules r = controller_.rules();
    // A new rule starts on profile 0; its row's box changes it.
    if (!matchProfile(r, {"", app, ""})) {
        setRule(r, app, 0);
        keep(std::move(r));
    } else {
        refresh();
    }
}

void AppRulesDialog::keep(AppRules rules) {
    std::string why;
    if (!controller_.setRules(std::move(rules), &why)) {
        status_->setText(text("APPPROFILES_SAVE_FAILED") + QStringLiteral(" ") + QString::fromStdString(why));
        return;
    }
    refresh();
}

void AppRulesDialog::refresh() {
    setWindowTitle(text("APPPROFILES_TITLE"));
    add_->setText(text("APPPROFILES_ADD"));
    remove_->setText(text("APPPROFILES_REMOVE"));
    close_->setText(text("APPPROFILES_CLOSE"));
    fallbackLabel_->setText(text("APPPROFILES_FALLBACK"));
    table_->setHorizontalHeaderLabels({text("APPPROFILES_APPLICATION"), text("APPPROFILES_PROFILE")});
    const FocusWatcher* w = controller_.watcher();
    if (controller_.watching()) {
        status_->setText(text("APPPROFILES_WATCHING").replace(QStringLiteral("%s"), w->name()));
    } else if (w != nullptr && !w->adviceKey().empty()) {
        status_->setText(text(w->adviceKey()).replace(QStringLiteral("%s"), w->why()));
    } else {
        status_->setText(
            text("APPPROFILES_OFF").replace(QStringLiteral("%s"), w != nullptr ? w->why() : QString()));
    }
    QStringList profiles;
    for (std::string_view key : ui::kOnBoardProfileKeys) {
        profiles << text(key);
    }
    fallback_->clear();
    fallback_->addItem(text("APPPROFILES_PREVIOUS"));
    fallback_->addItems(profiles);
    const AppRules& r = controller_.rules();
    fallback_->setCurrentIndex(r.fallback ? *r.fallback + 1 : 0);

    table_->setRowCount(static_cast<int>(r.rules.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const AppRule& rule = r.rules[static_cast<size_t>(row)];
        table_->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(rule.app)));
        auto* box = new QComboBox;
        box->addItems(profiles);
        box->setCurrentIndex(rule.profile);
        connect(box, &QComboBox::activated, this, [this, app = rule.app](int index) {
            AppRules changed = controller_.rules();
            setRule(changed, app, index);
            keep(std::move(changed));
        });
        table_->setCellWidget(row, 1, box);
    }
}

} // namespace tarvik::appprofiles
