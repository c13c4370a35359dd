#include "appprofiles/AppRulesDialog.h"

#include "ui/CPngButton.h"
#include "ui/Language.h"
#include "ui/TextBinder.h"
#include "ui/TextKeys.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTableWidget>

#include <set>

namespace tarvik::appprofiles {

namespace {

const std::vector<std::string> kPictureFiles = {"AppRules_normal.jpg", "AppRules_over.jpg",
                                                "AppRules_down.jpg"};

QString text(std::string_view key) {
    return ui::text(key).trimmed();
}

// Delete in the list removes the selected rule, as Remove does.
class DeleteKey final : public QObject {
public:
    DeleteKey(QObject* parent, std::function<void()> remove) : QObject(parent), remove_(std::move(remove)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
            remove_();
            return true;
        }
        return false;
    }

private:
    std::function<void()> remove_;
};

// The box shows entries with the one at index chosen; entries already there are re-texted, not replaced,
// so a box that has the focus keeps it.
void setEntries(QComboBox& box, const QStringList& entries, int index) {
    if (box.count() != entries.size()) {
        box.clear();
        box.addItems(entries);
    } else {
        for (int i = 0; i < entries.size(); ++i) {
            box.setItemText(i, entries[i]);
        }
    }
    box.setCurrentIndex(index);
}

} // namespace

AppRulesDialog::AppRulesDialog(AppProfilesController& controller, const std::filesystem::path& skinFolder,
                               QWidget* parent, ui::MissingPictureHandler onMissingPicture)
    : ui::CBaseDialog(kTemplateId, parent, skinFolder / "AppRules.ini", skinFolder), controller_(controller),
      onMissingPicture_(std::move(onMissingPicture)), status_(new QLabel(this)),
      table_(new QTableWidget(0, 2, this)), fallback_(new QComboBox(this)), add_(new ui::CPngButton(this)),
      remove_(new ui::CPngButton(this)), close_(new ui::CPngButton(this)) {
    setObjectName(QStringLiteral("AppRulesDialog"));
    status_->setObjectName(QStringLiteral("APPRULES_STATUS"));
    status_->setWordWrap(true);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    status_->setStyleSheet(QStringLiteral("background: transparent;"));

    table_->setObjectName(QStringLiteral("APPRULES_LIST"));
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table_->setColumnWidth(1, 170);
    table_->verticalHeader()->setDefaultSectionSize(fallback_->sizeHint().height() + 4);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list for the rows' profile boxes and the buttons; the arrows move between rules.
    table_->setTabKeyNavigation(false);
    table_->setTextElideMode(Qt::ElideMiddle);
    table_->installEventFilter(new DeleteKey(table_, [this] { removeSelected(); }));
    fallback_->setObjectName(QStringLiteral("APPRULES_FALLBACK"));

    add_->setObjectName(QStringLiteral("FUNC_ADD"));
    remove_->setObjectName(QStringLiteral("FUNC_DELETE"));
    close_->setObjectName(QStringLiteral("CONTROL_CANCEL"));
    // The buttons' words are drawn by the window from the skin, so a reader gets them as names; the list
    // and the fallback box are named by the words shown with them.
    const std::pair<QWidget*, const char*> names[] = {{add_, "APPPROFILES_ADD"},
                                                      {remove_, "APPPROFILES_REMOVE"},
                                                      {close_, "APPPROFILES_CLOSE"},
                                                      {table_, "APPPROFILES_TITLE"},
                                                      {fallback_, "APPPROFILES_FALLBACK"}};
    for (const auto& [w, key] : names) {
        ui::TextBinder::instance().bind(*w, key, ui::TextRole::Name);
    }

    connect(close_, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(remove_, &QAbstractButton::clicked, this, [this] { removeSelected(); });
    connect(fallback_, &QComboBox::activated, this, [this](int index) {
        AppRules r = controller_.rules();
        r.fallback = index == 0 ? std::nullopt : std::optional<int>(index - 1);
        keep(std::move(r));
    });
    connect(add_, &QAbstractButton::clicked, this, [this] {
        // The applications with windows now, then the next window the user brings to the front.
        QMenu menu(this);
        std::set<std::string> seen;
        for (const WindowIdentity& w : controller_.openWindows()) {
            const std::string name = appNameOf(w);
            if (seen.insert(name).second) {
                menu.addAction(QString::fromStdString(name), this, [this, name] { add(name); });
            }
        }
        if (!seen.empty()) {
            menu.addSeparator();
        }
        QAction* next = menu.addAction(text("APPPROFILES_NEXT_WINDOW"));
        next->setEnabled(controller_.watching());
        connect(next, &QAction::triggered, this, [this] {
            capturing_ = true;
            showStatus();
            QPointer<AppRulesDialog> self(this);
            controller_.captureNextFocus([self](const WindowIdentity& w) {
                if (self) {
                    self->capturing_ = false;
                    self->add(appNameOf(w));
                }
            });
        });
        menu.exec(add_->mapToGlobal(QPoint(0, add_->height())));
    });
    // Rules another program wrote into the file show at once.
    connect(&controller_, &AppProfilesController::rulesChanged, this, [this] {
        if (isVisible()) {
            refresh();
        }
    });
    connect(this, &QDialog::finished, this, [this] {
        // A window clicked after the rules window closed adds nothing behind the user's back.
        if (capturing_) {
            capturing_ = false;
            controller_.captureNextFocus({});
        }
    });
    refresh();
}

AppRulesDialog::~AppRulesDialog() = default;

void AppRulesDialog::onInitDialog() {
    ui::CBaseDialog::onInitDialog();
    if (pictures_.empty()) {
        // Once per run; the buttons keep copies of their parts.
        ui::loadRequiredPictures(pictureFolder(), kPictureFiles, pictures_, onMissingPicture_);
        pictures_.resize(kPictureFiles.size());
        const QPixmap* p = pictures_.data();
        // The pressed picture also stands for the disabled and the selected state.
        buttonSet_ = {&p[0], &p[1], &p[2], &p[2], &p[2]};
    }
    placeControls();
    refresh();
}

void AppRulesDialog::retext() {
    ui::CBaseDialog::retext();
    refresh();
}

void AppRulesDialog::placeControls() {
    const IniFile& l = layout();
    for (ui::CPngButton* b : {add_, remove_, close_}) {
        ui::placeImageButton(*b, l, b->objectName().toStdU16String(), buttonSet_);
    }
    ui::placeControl(*status_, l, u"APPRULES_STATUS");
    ui::placeControl(*table_, l, u"APPRULES_LIST");
    ui::placeControl(*fallback_, l, u"APPRULES_FALLBACK");
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

void AppRulesDialog::removeSelected() {
    const int row = table_->currentRow();
    AppRules r = controller_.rules();
    if (row >= 0 && row < static_cast<int>(r.rules.size())) {
        r.rules.erase(r.rules.begin() + row);
        keep(std::move(r));
        table_->setCurrentCell(std::min(row, table_->rowCount() - 1), 0);
    }
}

void AppRulesDialog::keep(AppRules rules) {
    std::string why;
    const bool kept = controller_.setRules(std::move(rules), &why);
    refresh();
    if (!kept) {
        status_->setText(text("APPPROFILES_SAVE_FAILED") + QStringLiteral(" ") + QString::fromStdString(why));
    }
}

void AppRulesDialog::showStatus() {
    const FocusWatcher* w = controller_.watcher();
    if (capturing_) {
        status_->setText(text("APPPROFILES_CLICK_WINDOW"));
    } else if (controller_.watching()) {
        status_->setText(text("APPPROFILES_WATCHING").replace(QStringLiteral("%s"), w->name()));
    } else if (w != nullptr && !w->adviceKey().empty()) {
        status_->setText(text(w->adviceKey()).replace(QStringLiteral("%s"), w->why()));
    } else {
        status_->setText(
            text("APPPROFILES_OFF").replace(QStringLiteral("%s"), w != nullptr ? w->why() : QString()));
    }
}

void AppRulesDialog::refresh() {
    // A frameless window still has a title: the task switcher and the window list show it.
    setWindowTitle(text("APPPROFILES_TITLE"));
    table_->setHorizontalHeaderLabels({text("APPPROFILES_APPLICATION"), text("APPPROFILES_PROFILE")});
    showStatus();
    QStringList profiles;
    for (std::string_view key : ui::kOnBoardProfileKeys) {
        profiles << text(key);
    }
    const AppRules& r = controller_.rules();
    setEntries(*fallback_, QStringList{text("APPPROFILES_PREVIOUS")} + profiles,
               r.fallback ? *r.fallback + 1 : 0);

    const int current = table_->currentRow();
    table_->setRowCount(static_cast<int>(r.rules.size()));
    const QString profileColumn = text("APPPROFILES_PROFILE");
    for (int row = 0; row < table_->rowCount(); ++row) {
        const AppRule& rule = r.rules[static_cast<size_t>(row)];
        const QString app = QString::fromStdString(rule.app);
        auto* item = new QTableWidgetItem(app);
        item->setToolTip(app);
        table_->setItem(row, 0, item);
        // A row that still shows the same rule keeps its box, and with it the keyboard focus while the
        // arrows step through the profiles.
        auto* box = qobject_cast<QComboBox*>(table_->cellWidget(row, 1));
        if (box == nullptr || box->property("app").toString() != app) {
            box = new QComboBox;
            box->setProperty("app", app);
            connect(box, &QComboBox::activated, this, [this, app = rule.app](int index) {
                AppRules changed = controller_.rules();
                setRule(changed, app, index);
                keep(std::move(changed));
            });
            table_->setCellWidget(row, 1, box);
        }
        setEntries(*box, profiles, rule.profile);
        // A reader hears which rule the box belongs to.
        box->setAccessibleName(app + QStringLiteral(": ") + profileColumn);
    }
    if (current >= 0 && current < table_->rowCount()) {
        table_->selectRow(current);
    }
    chainFocus();
}

void AppRulesDialog::chainFocus() {
    // Tab: the list, each rule's profile box in the rules' order, the fallback, Add, Remove, Close (the
    // boxes are made after the buttons, so their own order would put them last).
    QWidget* previous = table_;
    for (int row = 0; row < table_->rowCount(); ++row) {
        if (QWidget* box = table_->cellWidget(row, 1)) {
            setTabOrder(previous, box);
            previous = box;
        }
    }
    for (QWidget* next : std::initializer_list<QWidget*>{fallback_, add_, remove_, close_}) {
        setTabOrder(previous, next);
        previous = next;
    }
}

} // namespace tarvik::appprofiles
