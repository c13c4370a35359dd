#include "ui/SkinCaptionView.h"

#include "ui/DarkStyle.h"

#include <QFontMetrics>
#include <QPainter>

namespace tarvik::ui {

SkinCaptionView::SkinCaptionView(SkinCaption caption, QWidget& window)
    : QWidget(&window), caption_(std::move(caption)) {
    setObjectName(QString::fromStdString(caption_.key));
    // Clicks, hovers and tooltips belong to the controls under the words.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void SkinCaptionView::setText(const QString& words) {
    if (words != words_) {
        words_ = words;
        update();
    }
}

void SkinCaptionView::setScale(double scale) {
    if (scale > 0 && scale != scale_) {
        scale_ = scale;
        update();
    }
}

void SkinCaptionView::setDimmed(bool dimmed) {
    if (dimmed != dimmed_) {
        dimmed_ = dimmed;
        update();
    }
}

void SkinCaptionView::paintEvent(QPaintEvent*) {
    if (words_.trimmed().isEmpty()) {
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    const SkinCaption& c = caption_;
    const QRect box = rect();
    QFont font = skinFont(c.pixelSize * scale_, c.style != SkinCaption::Style::Label);
    if (c.style == SkinCaption::Style::Caption) {
        font.setLetterSpacing(QFont::PercentageSpacing, 108);
    }
    // Longer translations shrink a little before they are cut.
    const double minimum = font.pixelSize() * 0.75;
    while (QFontMetrics(font).horizontalAdvance(words_) > box.width() && font.pixelSize() > minimum) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    p.setFont(font);
    QColor colour = c.style == SkinCaption::Style::Title     ? colour::kText
                    : c.style == SkinCaption::Style::Caption ? colour::kCaption
                                                             : colour::kLabel;
    if (dimmed_) {
        // As a disabled button's words: faded with the control they name.
        colour.setAlphaF(colour.alphaF() * 0.38);
    }
    p.setPen(colour);
    const Qt::Alignment align = c.align == SkinCaption::Align::Center  ? Qt::AlignHCenter
                                : c.align == SkinCaption::Align::Right ? Qt::AlignRight
                                                                       : Qt::AlignLeft;
    const QString shown = QFontMetrics(font).elidedText(words_, Qt::ElideRight, box.width());
    p.drawText(box, static_cast<int>(align | Qt::AlignVCenter) | Qt::TextSingleLine, shown);
}

} // namespace tarvik::ui
