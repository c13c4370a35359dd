#include "ui/SkinPrompter.h"

#include "ui/DarkStyle.h"
#include "ui/Language.h"

#include <QMessageBox>

namespace tarvik::ui {

namespace {

// Leading and trailing blanks of the language texts are kept in the table but mean nothing on screen.
QString shown(QString text) {
    return text.trimmed();
}

QMessageBox* makeBox(QWidget* parent, const QString& caption, const QString& text) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->setWindowTitle(caption);
    box->setText(text);
    box->setStyleSheet(darkStyleSheet());
    box->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    return box;
}

} // namespace

QString SkinPrompter::captionOf(std::string_view key) const {
    auto it = captions_.find(key);
    return it != captions_.end() ? it->second : QString();
}

void SkinPrompter::show(std::string_view languageKey) {
    showText(shown(text(languageKey)), captionOf(languageKey));
}

void SkinPrompter::showText(const QString& text, const QString& caption) {
    queue_.emplace_back(text, caption);
    if (shown_.isNull()) {
        showNext();
    }
}

void SkinPrompter::showNext() {
    if (queue_.empty()) {
        return;
    }
    auto [text, caption] = std::move(queue_.front());
    queue_.pop_front();
    // A hidden parent (the resident main window) would hide the box with it.
    QWidget* owner = parent_ != nullptr && parent_->isVisible() ? parent_.data() : nullptr;
    QMessageBox* box = makeBox(owner, caption, text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Information);
    box->setStandardButtons(QMessageBox::Ok);
    QObject::connect(box, &QDialog::finished, &alive_, [this] {
        shown_ = nullptr;
        showNext();
    });
    shown_ = box;
    box->open();
}

bool SkinPrompter::askYesNo(std::string_view languageKey, bool defaultYes) {
    QWidget* owner = parent_ != nullptr && parent_->isVisible() ? parent_.data() : nullptr;
    std::unique_ptr<QMessageBox> box(makeBox(owner, captionOf(languageKey), shown(text(languageKey))));
    box->setIcon(QMessageBox::Question);
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box->exec() == QMessageBox::Yes;
}

} // namespace tarvik::ui
