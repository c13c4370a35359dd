#include "profiles/ProfileManagerDialog.h"

#include "ui/CPngButton.h"
#include "ui/Language.h"
#include "ui/TextBinder.h"
#include "ui/TextKeys.h"
#include "ui/TextTable.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace tarvik::profiles {

namespace {

// The list in the dialog's dark look. Grid lines and a full-row selection, as a report list draws them.
const char* const kListStyle = R"(
QTableWidget { background: #101215; color: #e4e6ea; gridline-color: #2c3038; border: 1px solid #2c3038;
               selection-background-color: #1b4f6e; selection-color: #ffffff; outline: none; }
QHeaderView::section { background: #1c1f24; color: #aeb4bd; border: none; border-right: 1px solid #2c3038;
                       border-bottom: 1px solid #2c3038; padding: 3px 6px; }
)";

// The tick box of a row, drawn by us so that it reads on the dark list both ticked and unticked (a
// style's own indicator can vanish on a dark base). A click anywhere in the cell, or Space, toggles it.
class TickDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        // The cell's own background (the selection), without the style's check mark.
        QStyleOptionViewItem cell = option;
        cell.state &= ~(QStyle::State_On | QStyle::State_Off | QStyle::State_NoChange);
        cell.features = QStyleOptionViewItem::None;
        const QWidget* view = option.widget;
        QStyle* style = view != nullptr ? view->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, p, view);

        const bool ticked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        const QRectF box(option.rect.center().x() - 7.5, option.rect.center().y() - 7.5, 15, 15);
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        if (ticked) {
            p->setPen(QPen(QColor(0x38, 0xb6, 0xf0), 1.2));
            p->setBrush(QColor(0x38, 0xb6, 0xf0));
        } else {
            p->setPen(QPen(QColor(0x9a, 0xa1, 0xab), 1.2));
            p->setBrush(QColor(0x16, 0x19, 0x1e));
        }
        p->drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        if (ticked) {
            QPainterPath mark;
            mark.moveTo(box.left() + 3.5, box.center().y() + 0.5);
            mark.lineTo(box.left() + 6.5, box.bottom() - 4);
            mark.lineTo(box.right() - 3.5, box.top() + 4);
            p->setPen(QPen(QColor(255, 255, 255), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p->setBrush(Qt::NoBrush);
            p->drawPath(mark);
        }
        p->restore();
    }

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override {
        if (!(index.flags() & Qt::ItemIsUserCheckable)) {
            return false;
        }
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // The press selects the row; only the release toggles, once.
            return false;
        case QEvent::MouseButtonRelease: {
            const auto* m = static_cast<QMouseEvent*>(event);
            if (m->button() != Qt::LeftButton || !option.rect.contains(m->position().toPoint())) {
                return false;
            }
            break;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Space && key != Qt::Key_Select) {
                return false;
            }
            break;
        }
        default:
            return false;
        }
        const bool ticked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        return model->setData(index, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }
};

QString qs(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

} // namespace

ProfileManagerDialog::ProfileManagerDialog(QWidget* parent, std::filesystem::path layoutFile,
                                           std::filesystem::path pictureFolder,
                                           ProfileManagerServices services,
                                           ui::MissingPictureHandler onMissingPicture)
    : CBaseDialog(kTemplateId, parent, std::move(layoutFile), std::move(pictureFolder)),
      services_(std::move(services)), onMissingPicture_(std::move(onMissingPicture)) {
    setModal(true);
}

ProfileManagerDialog::~ProfileManagerDialog() = default;

void ProfileManagerDialog::onInitDialog() {
    CBaseDialog::onInitDialog();
    if (!built_) {
        built_ = true;
        build();
    }
    model_.open(services_.link.currentProfile.load());
    setColumnCaptions();
    refreshList();
    refreshButtons();
}

void ProfileManagerDialog::build() {
    // The pressed picture also stands for the disabled and the selected state.
    if (!ui::loadRequiredPictures(pictureFolder(),
                                  {"Profile_normal.jpg", "Profile_over.jpg", "Profile_down.jpg"}, pictures_,
                                  onMissingPicture_)) {
        pictures_.assign(3, QPixmap());
    }
    const ui::StatePictures set{&pictures_[0], &pictures_[1], &pictures_[2], &pictures_[2], &pictures_[2]};
    auto button = [&](const char* key) {
        auto* b = new ui::CPngButton(this);
        b->setObjectName(QString::fromLatin1(key));
        ui::placeImageButton(*b, layout(), QString::fromLatin1(key).toStdU16String(), set);
        return b;
    };
    ok_ = button("CONTROL_OK");
    cancel_ = button("CONTROL_CANCEL");
    add_ = button("FUNC_ADD");
    load_ = button("FUNC_LOAD");
    delete_ = button("FUNC_DELETE");
    apply_ = button("CONTROL2_APPLY");
    // The buttons' words are drawn by the window from the skin, so a reader gets them as names.
    const std::pair<ui::CPngButton*, const char*> names[] = {
        {ok_, "PROFILE_OK"},     {cancel_, "MESSAGE_CANCEL"}, {add_, "PROFILE_ADD"},
        {load_, "PROFILE_LOAD"}, {delete_, "PROFILE_DELETE"}, {apply_, "PROFILE_APPLY"}};
    for (const auto& [b, key] : names) {
        ui::TextBinder::instance().bind(*b, key, ui::TextRole::Name);
    }

    list_ = new QTableWidget(this);
    list_->setObjectName(QStringLiteral("PROGRAM_LIST"));
    list_->setStyleSheet(QString::fromLatin1(kListStyle));
    list_->setColumnCount(static_cast<int>(kManagerColumnCaptions.size()));
    // The captions may be Chinese whatever the language: a face that has their glyphs.
    QFont headerFont = list_->horizontalHeader()->font();
    headerFont.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), headerFont.family()});
    list_->horizontalHeader()->setFont(headerFont);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->horizontalHeader()->setStretchLastSection(true);
    for (size_t c = 0; c < kManagerColumnWidths.size(); ++c) {
        list_->setColumnWidth(static_cast<int>(c), kManagerColumnWidths[c]);
    }
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(24);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->setTextElideMode(Qt::ElideMiddle);
    list_->setItemDelegateForColumn(0, new TickDelegate(list_));
    ui::placeControl(*list_, layout(), u"PROGRAM_LIST");
    ui::TextBinder::instance().bind(*list_, "ACC_PROFILE_LIST", ui::TextRole::Name);

    connect(list_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling_ || item->column() != 0) {
            return;
        }
        model_.setTicked(item->row(), item->checkState() == Qt::Checked);
        refreshList();
        refreshButtons();
    });
    connect(list_, &QTableWidget::itemSelectionChanged, this, [this] {
        if (!filling_) {
            const QList<QTableWidgetItem*> items = list_->selectedItems();
            model_.select(items.isEmpty() ? -1 : items.front()->row());
        }
    });
    connect(add_, &QAbstractButton::clicked, this, [this] {
        if (model_.add(services_.files, ui::uiText("PROFILE_NEW")) == ProfileManagerModel::FileStep::Added) {
            refreshList();
            refreshButtons();
        }
    });
    connect(load_, &QAbstractButton::clicked, this, [this] {
        if (model_.load(services_.files) == ProfileManagerModel::FileStep::Added) {
            refreshList();
            refreshButtons();
        }
    });
    connect(delete_, &QAbstractButton::clicked, this, [this] {
        if (model_.removeSelected()) {
            refreshList();
            refreshButtons();
        }
    });
    connect(apply_, &QAbstractButton::clicked, this, [this] { startApply(false); });
    connect(ok_, &QAbstractButton::clicked, this, [this] { startApply(true); });
    connect(cancel_, &QAbstractButton::clicked, this, [this] { reject(); });
}

void ProfileManagerDialog::setColumnCaptions() {
    // Read at each opening, in the language of the moment.
    QStringList captions;
    for (size_t c = 0; c < kManagerColumnCaptions.size(); ++c) {
        const QString t = ui::text(ui::kProfileColumnTextKeys[c]).trimmed();
        captions << (t.isEmpty() ? QString::fromStdU16String(std::u16string(kManagerColumnCaptions[c])) : t);
    }
    list_->setHorizontalHeaderLabels(captions);
}

void ProfileManagerDialog::refreshList() {
    if (list_ == nullptr) {
        return;
    }
    filling_ = true;
    const auto& rows = model_.rows();
    list_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const ManagerRow& row = rows[static_cast<size_t>(r)];
        auto* tick = new QTableWidgetItem();
        tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        tick->setCheckState(r == model_.ticked() ? Qt::Checked : Qt::Unchecked);
        list_->setItem(r, 0, tick);
        // The on-board profiles share the one cache file: they are told apart by their names (the folder
        // column and its tooltip still give the file).
        QString shown = qs(row.name());
        if (r < ProfileManagerModel::kOnBoardRows) {
            if (const QString n = ui::text(ui::kOnBoardProfileKeys[r]).trimmed(); !n.isEmpty()) {
                shown = n;
            }
        }
        auto* name = new QTableWidgetItem(shown);
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        list_->setItem(r, 1, name);
        auto* folder = new QTableWidgetItem(qs(row.folder()));
        folder->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        folder->setToolTip(QString::fromStdString(row.file.string()));
        list_->setItem(r, 2, folder);
    }
    if (model_.selected() >= 0) {
        list_->selectRow(model_.selected());
    } else {
        list_->clearSelection();
    }
    filling_ = false;
}

void ProfileManagerDialog::refreshButtons() {
    if (apply_ == nullptr) {
        return;
    }
    apply_->setEnabled(model_.modified() && !applying_);
    for (QWidget* w : std::initializer_list<QWidget*>{ok_, cancel_, add_, load_, delete_, list_}) {
        w->setEnabled(!applying_);
    }
}

void ProfileManagerDialog::profileSwitched(int profile) {
    if (!model_.isOpen()) {
        return;
    }
    model_.switched(profile);
    refreshList();
    refreshButtons();
}

void ProfileManagerDialog::startApply(bool closeAfter) {
    if (applying_) {
        return;
    }
    const ManagerApply plan = model_.apply(services_.settings);
    applying_ = true;
    refreshButtons();
    QPointer<ProfileManagerDialog> self(this);
    ProfileManagerServices& s = services_;
    s.postToWorker([self, plan, closeAfter, &store = s.store, &commands = s.commands, &link = s.link,
                    firstRun = s.firstRun] {
        ManagerApplyResult result = runManagerApply(plan, store, commands, link, firstRun);
        // Back on the user-interface thread; the application outlives the worker, the dialog may not.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, result, closeAfter] {
                if (self) {
                    self->finishApply(result, closeAfter);
                }
            },
            Qt::QueuedConnection);
    });
}

void ProfileManagerDialog::finishApply(const ManagerApplyResult& result, bool closeAfter) {
    applying_ = false;
    model_.applied(result.succeeded());
    refreshButtons();
    for (const std::string& key : result.messages) {
        services_.prompter.show(key);
    }
    emit applied(result.succeeded());
    if (closeAfter && isVisible()) {
        accept();
    }
}

void ProfileManagerDialog::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_F1 || event->key() == Qt::Key_Help) && services_.openHelp) {
        services_.openHelp();
        event->accept();
        return;
    }
    CBaseDialog::keyPressEvent(event);
}

std::string_view ProfileManagerDialog::unsavedEditsQuestion() const {
    // While Apply runs, its edits are on their way already.
    return model_.isOpen() && model_.modified() && !applying_ ? ui::kExitQuestionKeys[1] : "";
}

void ProfileManagerDialog::saveEdits() {
    // The closing that follows leaves the worker to finish it; the exit waits for the worker.
    startApply(false);
}

bool ProfileManagerDialog::requestClose() {
    if (isVisible()) {
        reject();
    }
    return true;
}

void ProfileManagerDialog::done(int result) {
    model_.close();
    refreshButtons();
    CBaseDialog::done(result);
}

} // namespace tarvik::profiles
