#include "app/AboutBox.h"

#include "ui/DarkStyle.h"
#include "ui/Language.h"
#include "ui/MessageBox.h"
#include "ui/TextBinder.h"
#include "ui/TextKeys.h"

#include <QDialogButtonBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvik::app {

AboutBox::AboutBox(QString link, std::function<void()> openHelp, QWidget* parent)
    : QDialog(parent, Qt::Dialog), link_(std::move(link)), openHelp_(std::move(openHelp)) {
    setObjectName(QStringLiteral("TarvikPlainDialog"));
    setModal(false);
    setStyleSheet(ui::darkStyleSheet());
    setMinimumWidth(420);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(10);
    title_ = new QLabel(this);
    title_->setFont(ui::skinFont(20, true));
    title_->setStyleSheet(QStringLiteral("color: #e4e6ea;"));
    intro_ = new QLabel(this);
    intro_->setObjectName(QStringLiteral("GUANYU_JIESHAO"));
    intro_->setWordWrap(true);
    copyright_ = new QLabel(this);
    copyright_->setObjectName(QStringLiteral("GUANYU_BANQUAN"));
    copyright_->setWordWrap(true);
    linkLabel_ = new QLabel(this);
    linkLabel_->setObjectName(QStringLiteral("ABOUT_LINK"));
    linkLabel_->setOpenExternalLinks(true);
    linkLabel_->setTextFormat(Qt::RichText);
    linkLabel_->setText(
        QStringLiteral("<a style=\"color:#38b6f0\" href=\"%1\">%1</a>").arg(link_.toHtmlEscaped()));
    // Read as what it leads to, with the address as its description.
    ui::TextBinder::instance().bind(*linkLabel_, "ACC_LINK_HOME", ui::TextRole::Name);
    linkLabel_->setAccessibleDescription(link_);
    for (QLabel* l : {intro_, copyright_, linkLabel_}) {
        l->setFont(ui::skinFont(13));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setIcon(QIcon()); // the style's icon does not fit the dark look
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::hide);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    layout->addWidget(title_);
    layout->addWidget(intro_);
    layout->addWidget(copyright_);
    layout->addWidget(linkLabel_);
    layout->addWidget(buttons);
    connect(&ui::Language::instance(), &ui::Language::changed, this, [this] {
        if (isVisible()) {
            retext();
        }
    });
}

void AboutBox::retext() {
    title_->setText(QStringLiteral("Tarvik %1").arg(QStringLiteral(TARVIK_VERSION)));
    setWindowTitle(ui::text("MENU_3").trimmed());
    intro_->setText(ui::text(ui::kAboutTextKeys[0]).trimmed());
    copyright_->setText(ui::text(ui::kAboutTextKeys[1]).trimmed());
    ok_->setText(ui::okText());
}

void AboutBox::open() {
    retext();
    show();
    raise();
    activateWindow();
}

bool AboutBox::requestClose() {
    hide();
    return true;
}

QString AboutBox::okText() const {
    return ok_->text();
}

QString AboutBox::introText() const {
    return intro_->text();
}

QString AboutBox::copyrightText() const {
    return copyright_->text();
}

void AboutBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        if (openHelp_) {
            openHelp_();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tarvik::app
