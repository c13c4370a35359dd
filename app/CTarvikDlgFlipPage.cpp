#include "app/CTarvikDlgFlipPage.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>

#include <algorithm>

namespace tarvik::app {

namespace {

// The cap's top face within its button, as the skin draws it: set in at the sides, a thicker lower edge.
QRectF capFace(const QRectF& r) {
    const double side = std::max(3.0, std::min(5.0, r.width() * 0.09));
    return r.height() < 36 ? r.adjusted(side, 2, -side, -5) : r.adjusted(side, 2.5, -side, -6.5);
}

// The largest font (pixels) at which the text fits the box on at most two lines; the smallest otherwise.
QFont fittedFont(const QString& text, const QRectF& box) {
    QFont f;
    f.setBold(true);
    for (int px = 12; px >= 7; --px) {
        f.setPixelSize(px);
        const QRectF need = QFontMetricsF(f).boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap, text);
        if (need.width() <= box.width() && need.height() <= box.height()) {
            break;
        }
    }
    return f;
}

} // namespace

CTarvikDlgFlipPage::CTarvikDlgFlipPage(QWidget& parent) : QWidget(&parent) {
    setObjectName(QStringLiteral("FlipPage"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void CTarvikDlgFlipPage::setLegend(int controlId, const QRect& rect, const QString& legend) {
    auto it = plates_.find(controlId);
    if (legend.isEmpty()) {
        if (it == plates_.end()) {
            return;
        }
        plates_.erase(it);
    } else if (it != plates_.end() && it->second.rect == rect && it->second.legend == legend) {
        return;
    } else {
        plates_[controlId] = Plate{rect, legend};
    }
    relayout();
}

QString CTarvikDlgFlipPage::legend(int controlId) const {
    const auto it = plates_.find(controlId);
    return it != plates_.end() ? it->second.legend : QString();
}

void CTarvikDlgFlipPage::relayout() {
    if (plates_.empty()) {
        hide();
        return;
    }
    // Only over the plates: the rest of the window (and the lighting preview's frames) is never
    // composed with this layer.
    QRect bounds;
    QRegion area;
    for (const auto& [id, plate] : plates_) {
        bounds |= plate.rect;
        area += plate.rect;
    }
    setGeometry(bounds);
    setMask(area.translated(-bounds.topLeft()));
    show();
    update();
}

void CTarvikDlgFlipPage::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPoint origin = geometry().topLeft();
    for (const auto& [id, plate] : plates_) {
        const QRect r = plate.rect.translated(-origin);
        if (!event->rect().intersects(r)) {
            continue;
        }
        const QRectF face = capFace(QRectF(r));
        const double radius = std::max(2.0, std::min(6.0, r.height() / 4.0) - 1.5);
        QLinearGradient fill(face.topLeft(), face.bottomLeft());
        fill.setColorAt(0, QColor(0x34, 0x38, 0x41));
        fill.setColorAt(1, QColor(0x29, 0x2c, 0x33));
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(face, radius, radius);
        // In the accent colour: a given function, not the printed legend.
        const QRectF box = face.adjusted(2, 1, -2, -1);
        p.setFont(fittedFont(plate.legend, box));
        p.setPen(QColor(0x38, 0xb6, 0xf0));
        const QString shown =
            p.fontMetrics().elidedText(plate.legend, Qt::ElideRight, static_cast<int>(box.width()) * 2);
        p.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, shown);
    }
}

} // namespace tarvik::app
