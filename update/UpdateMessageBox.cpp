#include "update/UpdateMessageBox.h"

#include "ui/MessageBox.h"
#include "ui/TextTable.h"
#include "ui/VisibleOwner.h"

#include <memory>

namespace tarvik::update {

namespace {

QString caption() {
    return QString::fromStdU16String(ui::uiText("MAIN_CAPTION")).trimmed();
}

} // namespace

UpdateMessageBox::UpdateMessageBox(QWidget* parent, std::filesystem::path languageFile)
    : parent_(parent), languageFile_(std::move(languageFile)) {}

QString UpdateMessageBox::text(std::string_view languageKey, const std::filesystem::path& file) const {
    const std::u16string format = ui::uiTexts().readOnDemand(languageFile_, languageKey);
    return QString::fromStdU16String(fillPath(format, file)).trimmed();
}

QWidget* UpdateMessageBox::owner() const {
    return ui::visibleOwner(parent_);
}

void UpdateMessageBox::show(std::string_view languageKey, const std::filesystem::path& file) {
    std::unique_ptr<QMessageBox> box(
        ui::makeMessageBox(owner(), ui::BoxKind::Information, caption(), text(languageKey, file)));
    box->exec();
}

bool UpdateMessageBox::askYesNo(std::string_view languageKey, const std::filesystem::path& file,
                                bool defaultYes) {
    std::unique_ptr<QMessageBox> box(
        ui::makeMessageBox(owner(), ui::BoxKind::Question, caption(), text(languageKey, file)));
    box->setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box->exec() == QMessageBox::Yes;
}

} // namespace tarvik::update
