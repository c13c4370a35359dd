#include "ui/SkinPrompter.h"

#include "ui/Language.h"
#include "ui/MessageBox.h"
#include "ui/VisibleOwner.h"

#include <QIcon>
#include <QPushButton>

#include <memory>

namespace tarvik::ui {

namespace {

// Leading and trailing blanks of the language texts are kept in the table but mean nothing on screen.
QString shown(QString text) {
    return text.trimmed();
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
    QWidget* owner = visibleOwner(parent_);
    QMessageBox* box = makeMessageBox(owner, BoxKind::Information, caption, text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QDialog::finished, &alive_, [this] {
        shown_ = nullptr;
        showNext();
    });
    shown_ = box;
    box->open();
}

bool SkinPrompter::askYesNo(std::string_view languageKey, bool defaultYes) {
    QWidget* owner = visibleOwner(parent_);
    std::unique_ptr<QMessageBox> box(
        makeMessageBox(owner, BoxKind::Question, captionOf(languageKey), shown(text(languageKey))));
    box->setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box->exec() == QMessageBox::Yes;
}

Prompter::Answer SkinPrompter::askYesNoCancel(std::string_view languageKey) {
    QWidget* owner = visibleOwner(parent_);
    std::unique_ptr<QMessageBox> box(
        makeMessageBox(owner, BoxKind::Question, captionOf(languageKey), shown(text(languageKey))));
    QPushButton* cancel = box->addButton(QMessageBox::Cancel);
    cancel->setText(cancelText());
    cancel->setIcon(QIcon()); // like Yes and No: words only
    box->setDefaultButton(QMessageBox::Yes);
    box->setEscapeButton(QMessageBox::Cancel);
    const int answer = box->exec();
    return answer == QMessageBox::Yes ? Answer::Yes : answer == QMessageBox::No ? Answer::No : Answer::Cancel;
}

} // namespace tarvik::ui
