#include "device/UpdateMessageBox.h"

#include "ui/TextTable.h"

#include <QMessageBox>

namespace tarvik::device {

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

void UpdateMessageBox::show(std::string_view languageKey, const std::filesystem::path& file) {
    QMessageBox::information(parent_.data(), caption(), text(languageKey, file));
}

bool UpdateMessageBox::askYesNo(std::string_view languageKey, const std::filesystem::path& file,
                                bool defaultYes) {
    const QMessageBox::StandardButton answer = QMessageBox::question(
        parent_.data(), caption(), text(languageKey, file), QMessageBox::Yes | QMessageBox::No,
        defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return answer == QMessageBox::Yes;
}

} // namespace tarvik::device
