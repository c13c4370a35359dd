#include "ui/MessageBox.h"

#include "ui/DarkStyle.h"
#include "ui/Language.h"
#include "ui/TextKeys.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace tarvik::ui {

namespace {

QString textOr(std::string_view key, const char* english) {
    const QString t = text(key).trimmed();
    return t.isEmpty() ? QString::fromLatin1(english) : t;
}

// The message boxes are at least this wide: a short message in a narrow box looks lost.
constexpr int kMinimumTextWidth = 280;
constexpr int kSignSide = 40;

} // namespace

QString okText() {
    return textOr(kMessageBoxTextKeys[0], "OK");
}

QString yesText() {
    return textOr(kMessageBoxTextKeys[1], "Yes");
}

QString noText() {
    return textOr(kMessageBoxTextKeys[2], "No");
}

QString cancelText() {
    return textOr(kMessageBoxTextKeys[3], "Cancel");
}

QPixmap messageSign(BoxKind kind, int side, qreal devicePixelRatio) {
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap pixmap(qRound(side * ratio), qRound(side * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fill = kind == BoxKind::Warning ? QColor(0xf0, 0xa8, 0x30) : colour::kAccent;
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(QRectF(1, 1, side - 2, side - 2));
    const char* mark = kind == BoxKind::Question ? "?" : kind == BoxKind::Warning ? "!" : "i";
    p.setPen(QColor(0x10, 0x12, 0x15));
    p.setFont(skinFont(side * 0.62, true));
    p.drawText(QRectF(0, 0, side, side), Qt::AlignCenter, QString::fromLatin1(mark));
    return pixmap;
}

QMessageBox* makeMessageBox(QWidget* parent, BoxKind kind, const QString& caption, const QString& text) {
    auto* box = new QMessageBox(parent);
    box->setWindowTitle(caption);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setStyleSheet(darkStyleSheet());
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    box->setIconPixmap(messageSign(kind, kSignSide, screen != nullptr ? screen->devicePixelRatio() : 1.0));
    if (kind == BoxKind::Question) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->button(QMessageBox::Yes)->setText(yesText());
        box->button(QMessageBox::No)->setText(noText());
        // The texts come without mnemonics (the Chinese words have no Y or N): Y and N answer all the
        // same, alone or with Alt, as in every other question box of the desktop.
        box->button(QMessageBox::Yes)->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Y));
        box->button(QMessageBox::No)->setShortcut(QKeySequence(Qt::ALT | Qt::Key_N));
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
        box->button(QMessageBox::Ok)->setText(okText());
    }
    // The sign is a picture: a reader hears what kind of message it marks.
    if (auto* sign = box->findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label"))) {
        sign->setAccessibleName(ui::text(kind == BoxKind::Question  ? "ACC_SIGN_QUESTION"
                                         : kind == BoxKind::Warning ? "ACC_SIGN_WARNING"
                                                                    : "ACC_SIGN_INFORMATION"));
    }
    // Not the style's icons on the buttons either: they do not fit the dark look.
    for (QAbstractButton* b : box->buttons()) {
        b->setIcon(QIcon());
    }
    // Last, as the box lays itself out anew when its sign is set. A floor for the box's width that still lets
    // a long text widen it (a minimum width on the label itself would hold the label at that width and cut
    // the text off).
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(kMinimumTextWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    return box;
}

} // namespace tarvik::ui
