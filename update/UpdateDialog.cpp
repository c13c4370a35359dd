#include "update/UpdateDialog.h"

#include "ui/CPngButton.h"
#include "ui/TextBinder.h"
#include "ui/TextKeys.h"
#include "ui/TextTable.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QStyle>

namespace tarvik::update {

namespace {

const char* const kStyle = R"(
QLabel#CONTROL_UPStatic { color: #e4e6ea; background: transparent; padding: 0 4px; }
QLabel#CONTROL_UPStatic[empty="true"] { color: #6b717b; }
QToolTip { background: #1c1f24; color: #e4e6ea; border: 1px solid #2c3038; padding: 4px; }
)";

const std::vector<std::string> kPictureFiles = {"update_normal.jpg", "update_over.jpg"};

QString qs(const std::u16string& s) {
    return QString::fromStdU16String(s).trimmed();
}

} // namespace

UpdateDialog::UpdateDialog(QWidget* parent, FirmwareUpdate& update, std::filesystem::path skinFolder,
                           std::filesystem::path languageFile, Hooks hooks)
    : ui::CBaseDialog(kTemplateId, parent, skinFolder / "UpdateDlg.ini", skinFolder), update_(update),
      languageFile_(std::move(languageFile)), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("UpdateDialog"));
    setStyleSheet(QString::fromLatin1(kStyle));
}

UpdateDialog::~UpdateDialog() = default;

int UpdateDialog::runModal() {
    return exec();
}

bool UpdateDialog::requestClose() {
    if (isVisible()) {
        reject();
    }
    return true;
}

bool UpdateDialog::isOpen() const {
    return isVisible();
}

void UpdateDialog::reject() {
    update_.cancel();
    showPath();
    ui::CBaseDialog::reject();
}

void UpdateDialog::onInitDialog() {
    ui::CBaseDialog::onInitDialog();
    if (!built_) {
        build();
        built_ = true;
    }
    if (!picturesLoaded_) {
        // Once per run; the buttons keep pointers to these.
        ui::loadRequiredPictures(pictureFolder(), kPictureFiles, pictures_, hooks_.missingPicture);
        pictures_.resize(kPictureFiles.size());
        picturesLoaded_ = true;
        const QPixmap* p = pictures_.data();
        buttonSet_ = {&p[0], &p[1], &p[1], &p[0], &p[1]};
    }
    readTexts();
    placeControls();
    showPath();
}

ui::CPngButton& UpdateDialog::imageButton(const char* key) {
    auto* b = new ui::CPngButton(this);
    b->setObjectName(QString::fromLatin1(key));
    b->setFocusPolicy(Qt::NoFocus);
    return *b;
}

void UpdateDialog::build() {
    path_ = new QLabel(this);
    path_->setObjectName(QStringLiteral("CONTROL_UPStatic"));
    QFont f(QStringLiteral("Verdana"));
    f.setPointSizeF(9.5);
    path_->setFont(f);
    path_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Kept for its place in the layout; it has no function.
    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("CONTROL_UPCombox"));
    combo_->hide();

    open_ = &imageButton("CONTROL_OPENButton");
    start_ = &imageButton("CONTROL_UPButton");
    cancel_ = &imageButton("CONTROL_CUPButton");
    backup_ = &imageButton("CONTROL_BACKUPButton");
    // The buttons' words are drawn by the window from the skin, so a reader gets them as names.
    const std::pair<ui::CPngButton*, const char*> names[] = {{open_, "UPDATE_CHOOSE_TIP"},
                                                             {start_, "UPDATE_START"},
                                                             {cancel_, "UPDATE_CANCEL"},
                                                             {backup_, "UPDATE_BACKUP"}};
    for (const auto& [b, key] : names) {
        ui::TextBinder::instance().bind(*b, key, ui::TextRole::Name);
    }
    connect(open_, &QAbstractButton::clicked, this, &UpdateDialog::onChoose);
    connect(start_, &QAbstractButton::clicked, this, &UpdateDialog::onUpdate);
    connect(cancel_, &QAbstractButton::clicked, this, &UpdateDialog::reject);
    connect(backup_, &QAbstractButton::clicked, this, &UpdateDialog::onBackup);
}

void UpdateDialog::placeControls() {
    const IniFile& l = layout();
    for (ui::CPngButton* b : {open_, start_, cancel_, backup_}) {
        ui::placeImageButton(*b, l, b->objectName().toStdU16String(), buttonSet_);
    }
    ui::placeControl(*path_, l, u"CONTROL_UPStatic");
    ui::placeControl(*combo_, l, u"CONTROL_UPCombox");
    combo_->hide();
}

void UpdateDialog::readTexts() {
    const std::vector<std::u16string> t =
        ui::uiTexts().readOnDemand(languageFile_, std::span<const std::string_view>(ui::kUpdateTextKeys));
    auto text = [&](std::string_view key) {
        for (size_t i = 0; i < std::size(ui::kUpdateTextKeys) && i < t.size(); ++i) {
            if (ui::kUpdateTextKeys[i] == key) {
                return qs(t[i]);
            }
        }
        return QString();
    };
    open_->setTipText(text("UPDATE_CHOOSE_TIP"));
    noFileText_ = text("UPDATE_NO_FILE");
}

void UpdateDialog::showPath() {
    if (path_ == nullptr) {
        return;
    }
    const std::filesystem::path& file = update_.updateFile();
    const bool empty = file.empty();
    const QString full = QString::fromStdString(file.string());
    path_->setProperty("empty", empty);
    // A long path keeps its beginning and its file name.
    path_->setText(empty ? noFileText_
                         : QFontMetrics(path_->font()).elidedText(full, Qt::ElideMiddle, path_->width() - 8));
    path_->setToolTip(empty ? QString() : full);
    path_->style()->unpolish(path_);
    path_->style()->polish(path_);
    QWidget::update();
}

void UpdateDialog::onChoose() {
    update_.chooseUpdateFile();
    showPath();
}

void UpdateDialog::onUpdate() {
    const FirmwareUpdate::UpdateResult r = update_.startUpdate();
    showPath();
    // A message box of the update may have let the dialog be closed meanwhile.
    if (r == FirmwareUpdate::UpdateResult::Started && isVisible()) {
        accept();
    }
}

void UpdateDialog::onBackup() {
    update_.backup();
}

void UpdateDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // Neither closes the dialog, as in every skinned window.
        event->accept();
        return;
    case Qt::Key_F1:
        if (hooks_.openHelp) {
            hooks_.openHelp();
        }
        event->accept();
        return;
    default:
        ui::CBaseDialog::keyPressEvent(event);
    }
}

} // namespace tarvik::update
