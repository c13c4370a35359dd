#include "macros/MacroMemoryBar.h"

#include <QPainter>
#include <QTextLayout>

namespace tarvik::macros {

namespace {
constexpr int kBarHeight = 5;
constexpr int kGap = 4;
const QColor kTrack(0x25, 0x29, 0x30);
const QColor kText(0x9a, 0xa0, 0xa9);
} // namespace

MacroMemoryBar::MacroMemoryBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    QFont f = font();
    f.setPointSizeF(7.5);
    setFont(f);
}

QColor MacroMemoryBar::stateColour(MacroMemoryState state) {
    switch (state) {
    case MacroMemoryState::Fits:
        return QColor(0x38, 0xb6, 0xf0);
    case MacroMemoryState::NamesDropped:
        return QColor(0xe8, 0xa8, 0x3c);
    case MacroMemoryState::TooLong:
        return QColor(0xf0, 0x55, 0x5a);
    case MacroMemoryState::CapacityUnknown:
        break;
    }
    return QColor(0x6b, 0x71, 0x7b);
}

void MacroMemoryBar::setMeter(const MacroMemoryMeter& meter, const QString& text) {
    meter_ = meter;
    text_ = text;
    setToolTip(text);
    update();
}

void MacroMemoryBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track(0.5, 0.5, width() - 1.0, kBarHeight);
    p.setPen(Qt::NoPen);
    p.setBrush(kTrack);
    p.drawRoundedRect(track, kBarHeight / 2.0, kBarHeight / 2.0);
    const QColor colour = stateColour(meter_.state);
    const double fill = meter_.state == MacroMemoryState::TooLong ? 1.0 : meter_.fraction();
    if (fill > 0) {
        p.setBrush(colour);
        p.drawRoundedRect(QRectF(track.left(), track.top(),
                                 std::max(track.width() * fill, double(kBarHeight)), track.height()),
                          kBarHeight / 2.0, kBarHeight / 2.0);
    }
    const bool warn =
        meter_.state == MacroMemoryState::TooLong || meter_.state == MacroMemoryState::NamesDropped;
    p.setPen(warn ? colour : kText);
    p.setFont(font());
    const QFontMetricsF fm(font());
    const QStringList lines =
        wrappedLines(text_, font(), width(), int((height() - kBarHeight - kGap) / fm.lineSpacing()));
    double y = kBarHeight + kGap + fm.ascent();
    for (const QString& line : lines) {
        p.drawText(QPointF(0, y), line);
        y += fm.lineSpacing();
    }
}

QStringList MacroMemoryBar::wrappedLines(const QString& text, const QFont& font, double width, int maxLines) {
    // Each paragraph broken at word boundaries; what does not fit into maxLines ends the last line
    // elided (the tooltip has the whole text).
    QStringList lines;
    const QStringList paragraphs = text.split(QLatin1Char('\n'));
    for (int i = 0; i < paragraphs.size(); ++i) {
        QTextLayout layout(paragraphs[i], font);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << paragraphs[i].mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    if (maxLines < 1) {
        return {};
    }
    if (lines.size() > maxLines) {
        QString rest = lines.mid(maxLines - 1).join(QLatin1Char(' '));
        lines = lines.mid(0, maxLines - 1);
        lines << QFontMetricsF(font).elidedText(rest, Qt::ElideRight, width);
    }
    return lines;
}

} // namespace tarvik::macros
