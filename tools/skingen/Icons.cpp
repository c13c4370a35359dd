// The program icon and the three notification-area icons: no keyboard, keyboard present, keyboard
// activity. They share one key-cap emblem so the tray reads as the program's.
#include "tools/skingen/Look.h"
#include "tools/skingen/Skins.h"

#include <QPainter>
#include <QPainterPath>

namespace tarvik::skingen {

namespace {

enum class Badge { None, Absent, Present, Activity };

QImage emblem(int size, Badge badge) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const bool absent = badge == Badge::Absent;
    // Key cap seen from the front: skirt, top face and an accent bar.
    const QRectF cap(s * 0.08, s * 0.12, s * 0.84, s * 0.78);
    QLinearGradient skirt(cap.topLeft(), cap.bottomLeft());
    skirt.setColorAt(0, QColor(0x2a, 0x2e, 0x35));
    skirt.setColorAt(1, QColor(0x14, 0x16, 0x19));
    p.setPen(QPen(QColor(0x06, 0x07, 0x08), s / 48));
    p.setBrush(skirt);
    p.drawRoundedRect(cap, s * 0.16, s * 0.16);
    const QRectF top = cap.adjusted(s * 0.09, s * 0.05, -s * 0.09, -s * 0.17);
    QLinearGradient face(top.topLeft(), top.bottomLeft());
    face.setColorAt(0, absent ? QColor(0x3a, 0x3d, 0x43) : QColor(0x40, 0x45, 0x4f));
    face.setColorAt(1, absent ? QColor(0x2c, 0x2e, 0x33) : QColor(0x30, 0x34, 0x3c));
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawRoundedRect(top, s * 0.1, s * 0.1);
    const QColor light = absent ? QColor(0x70, 0x75, 0x7e) : colour::accent;
    // The letter-free mark: three rising bars, the lighting of a key row.
    const double barW = top.width() * 0.16;
    for (int i = 0; i < 3; ++i) {
        const double h = top.height() * (0.28 + 0.18 * i);
        const QRectF bar(top.left() + top.width() * 0.2 + i * barW * 1.45,
                         top.bottom() - top.height() * 0.18 - h, barW, h);
        p.setBrush(light);
        p.drawRoundedRect(bar, barW * 0.35, barW * 0.35);
    }
    p.setBrush(light);
    p.drawRoundedRect(
        QRectF(cap.left() + s * 0.2, cap.bottom() - s * 0.085, cap.width() - s * 0.4, s * 0.035), s * 0.02,
        s * 0.02);

    if (badge == Badge::Absent || badge == Badge::Activity) {
        const QPointF c(s * 0.78, s * 0.24);
        const double r = s * 0.18;
        p.setPen(QPen(QColor(0x0e, 0x0f, 0x12), s / 24));
        p.setBrush(badge == Badge::Absent ? QColor(0x8a, 0x8f, 0x98) : QColor(0x3d, 0xd6, 0x8c));
        p.drawEllipse(c, r, r);
        if (badge == Badge::Absent) {
            QPen pen(QColor(0x16, 0x18, 0x1c), s / 16, Qt::SolidLine, Qt::RoundCap);
            p.setPen(pen);
            p.drawLine(QPointF(c.x() - r * 0.45, c.y() - r * 0.45),
                       QPointF(c.x() + r * 0.45, c.y() + r * 0.45));
            p.drawLine(QPointF(c.x() + r * 0.45, c.y() - r * 0.45),
                       QPointF(c.x() - r * 0.45, c.y() + r * 0.45));
        }
    }
    return image;
}

} // namespace

void writeIcons(Output& out) {
    out.picture("program_icon.png", emblem(256, Badge::None));
    // The tray icons by the numbers the program knows them by.
    out.picture("tray_128.png", emblem(64, Badge::Absent));
    out.picture("tray_141.png", emblem(64, Badge::Present));
    out.picture("tray_142.png", emblem(64, Badge::Activity));
}

} // namespace tarvik::skingen
