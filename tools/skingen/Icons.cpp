// The program icon and the three notification-area icons (no keyboard, keyboard present, keyboard
// activity), plus the program icon in the desktop icon theme's sizes. All are one keyboard drawn from a
// short list of shapes whose sizes are rounded to whole pixels for the size at hand, so a 16-pixel tray
// icon stays crisp; the same list is written as SVG for the scalable icon.
#include "tools/skingen/Look.h"
#include "tools/skingen/Skins.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarvik::skingen {

namespace {

enum class IconKind { Program, Absent, Present, Activity };

struct Shape {
    enum Kind { Box, Line } kind;
    QRectF rect;       // Box
    double radius = 0; // Box
    QColor fill;       // Box; transparent for none
    QColor fillBottom; // Box; valid for a top-to-bottom gradient
    QColor stroke;     // transparent for none
    double strokeWidth = 0;
    QPointF a, b; // Line
};

Shape box(QRectF r, double radius, QColor fill, QColor fillBottom = {}, QColor stroke = Qt::transparent,
          double strokeWidth = 0) {
    Shape s{Shape::Box, r, radius, fill, fillBottom, stroke, strokeWidth, {}, {}};
    return s;
}

Shape line(QPointF a, QPointF b, QColor colour, double width) {
    Shape s{Shape::Line, {}, 0, Qt::transparent, {}, colour, width, a, b};
    return s;
}

// The keyboard at size pixels. Small sizes get fewer, whole-pixel keys so they do not blur into a grey
// bar; the outline is light and the body dark, so the icon reads on light and on dark panels.
// Tray icons are drawn bold: the panel shrinks them to 16-24 pixels from whatever size it is given.
std::vector<Shape> keyboardShapes(double size, IconKind kind) {
    const bool tray = kind != IconKind::Program;
    const bool tiny = size < 48 || tray;
    const double unit = size / 16.0;
    auto px = [&](double v) { return size >= 64 ? v * unit : std::round(v * unit); };

    const double outline =
        size >= 64 ? size / (tray ? 14.0 : 20.0) : std::max(1.0, std::round(size / (tray ? 14.0 : 20.0)));
    const double bodyH = px(10);
    const QRectF body(outline / 2, std::round((size - bodyH) / 2) + outline / 2, size - outline,
                      bodyH - outline);
    const double radius = std::max(1.5, size * 0.12);

    QColor top(0x34, 0x3a, 0x44), bottom(0x1b, 0x1e, 0x23), rim(0xd8, 0xde, 0xe6);
    if (kind == IconKind::Absent) {
        top = QColor(0x4a, 0x4f, 0x57);
        bottom = QColor(0x36, 0x3a, 0x40);
        rim = QColor(0x9a, 0xa0, 0xa8);
    } else if (kind == IconKind::Activity) {
        rim = colour::accent.lighter(125);
    }
    std::vector<Shape> shapes;
    shapes.push_back(box(body, radius, top, bottom, rim, outline));

    // Keys: two rows of letter keys and a row with the space bar between two keys.
    const int perRow = tray ? 5 : tiny ? 4 : 6;
    const double gap = std::max(1.0, px(0.75));
    const double insetX = std::max(outline + 1, px(2.25));
    const double insetY = std::max(outline + 1, px(1.75));
    const double keyH = std::max(1.0, std::floor((body.height() - 2 * insetY + outline - 2 * gap) / 3));
    const double innerW = body.width() + outline - 2 * insetX;
    const double keyW = (innerW - (perRow - 1) * gap) / perRow;
    const double left = body.left() - outline / 2 + insetX;
    const double rowTop = body.top() - outline / 2 + insetY;
    const double keyRadius = std::min(keyH, keyW) * (tiny ? 0.2 : 0.28);

    auto keyColour = [&](int column, int columns) {
        switch (kind) {
        case IconKind::Program: {
            // Per-key lighting: a sweep of hues across the board.
            const double t = columns > 1 ? double(column) / (columns - 1) : 0.0;
            return QColor::fromHsvF(std::fmod(0.53 + 0.4 * t, 1.0), 0.72, 0.98);
        }
        case IconKind::Absent:
            return QColor(0x80, 0x86, 0x8f);
        case IconKind::Present:
            return QColor(0xe8, 0xec, 0xf2);
        case IconKind::Activity:
            return colour::accent.lighter(110);
        }
        return QColor();
    };
    auto snap = [&](double v) { return size >= 64 ? v : std::round(v); };
    for (int row = 0; row < 3; ++row) {
        const double y = rowTop + row * (keyH + gap);
        if (row < 2) {
            for (int i = 0; i < perRow; ++i) {
                const double x0 = snap(left + i * (keyW + gap));
                const double x1 = snap(left + i * (keyW + gap) + keyW);
                shapes.push_back(box(QRectF(x0, y, x1 - x0, keyH), keyRadius, keyColour(i, perRow)));
            }
        } else {
            const double x0 = snap(left), x1 = snap(left + keyW);
            const double x4 = snap(left + (perRow - 1) * (keyW + gap)), x5 = snap(left + innerW);
            const double s0 = snap(left + keyW + gap), s1 = snap(left + (perRow - 1) * (keyW + gap) - gap);
            shapes.push_back(box(QRectF(x0, y, x1 - x0, keyH), keyRadius, keyColour(0, perRow)));
            shapes.push_back(box(QRectF(s0, y, s1 - s0, keyH), keyRadius, keyColour(perRow / 2, perRow)));
            shapes.push_back(box(QRectF(x4, y, x5 - x4, keyH), keyRadius, keyColour(perRow - 1, perRow)));
        }
    }

    if (kind == IconKind::Absent) {
        // Struck through: a red bar with a dark edge on either side, visible on any panel.
        const double w = std::max(2.0, size / 9.0);
        const QPointF a(size * 0.14, size * 0.86), b(size * 0.86, size * 0.14);
        shapes.push_back(line(a, b, QColor(0x10, 0x11, 0x14), w + 2 * std::max(1.0, size / 32.0)));
        shapes.push_back(line(a, b, QColor(0xf0, 0x4a, 0x4f), w));
    } else if (kind == IconKind::Activity) {
        // A bright dot at the top right: the keyboard is talking.
        const double d = std::max(5.0, std::round(size * 0.38));
        shapes.push_back(box(QRectF(size - d, 0, d, d), d / 2, QColor(0x3d, 0xd6, 0x8c), {},
                             QColor(0x10, 0x11, 0x14), std::max(1.0, size / 24.0)));
    }
    return shapes;
}

QImage renderShapes(const std::vector<Shape>& shapes, int pixels) {
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (const Shape& s : shapes) {
        if (s.kind == Shape::Line) {
            p.setPen(QPen(s.stroke, s.strokeWidth, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(s.a, s.b);
            continue;
        }
        if (s.fillBottom.isValid()) {
            QLinearGradient g(s.rect.topLeft(), s.rect.bottomLeft());
            g.setColorAt(0, s.fill);
            g.setColorAt(1, s.fillBottom);
            p.setBrush(g);
        } else {
            p.setBrush(s.fill.alpha() ? QBrush(s.fill) : QBrush(Qt::NoBrush));
        }
        p.setPen(s.stroke.alpha() ? QPen(s.stroke, s.strokeWidth) : QPen(Qt::NoPen));
        p.drawRoundedRect(s.rect, s.radius, s.radius);
    }
    return image;
}

QString svgColour(const QColor& c) {
    return c.name(QColor::HexRgb);
}

QString num(double v) {
    return QString::number(v, 'g', 6);
}

QByteArray svgOf(const std::vector<Shape>& shapes, double size) {
    QString defs, body;
    int gradients = 0;
    for (const Shape& s : shapes) {
        if (s.kind == Shape::Line) {
            body += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\" stroke=\"%5\" "
                                   "stroke-width=\"%6\" stroke-linecap=\"round\"/>\n")
                        .arg(num(s.a.x()), num(s.a.y()), num(s.b.x()), num(s.b.y()), svgColour(s.stroke),
                             num(s.strokeWidth));
            continue;
        }
        QString fill = QStringLiteral("none");
        if (s.fillBottom.isValid()) {
            const QString id = QStringLiteral("g%1").arg(gradients++);
            defs +=
                QStringLiteral("<linearGradient id=\"%1\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
                               "<stop offset=\"0\" stop-color=\"%2\"/><stop offset=\"1\" stop-color=\"%3\"/>"
                               "</linearGradient>\n")
                    .arg(id, svgColour(s.fill), svgColour(s.fillBottom));
            fill = QStringLiteral("url(#%1)").arg(id);
        } else if (s.fill.alpha()) {
            fill = svgColour(s.fill);
        }
        QString stroke;
        if (s.stroke.alpha()) {
            stroke = QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"")
                         .arg(svgColour(s.stroke), num(s.strokeWidth));
        }
        body +=
            QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\"%7/>\n")
                .arg(num(s.rect.x()), num(s.rect.y()), num(s.rect.width()), num(s.rect.height()),
                     num(s.radius), fill, stroke);
    }
    const QString svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                       "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                                       "viewBox=\"0 0 %1 %1\">\n<defs>\n%2</defs>\n%3</svg>\n")
                            .arg(num(size), defs, body);
    return svg.toUtf8();
}

Render icon(int size, IconKind kind) {
    return [size, kind](int scale) { return renderShapes(keyboardShapes(size * scale, kind), size * scale); };
}

} // namespace

void writeIcons(Output& out) {
    out.picture("program_icon.png", icon(256, IconKind::Program));
    // The tray icons by the numbers the program knows them by.
    out.picture("tray_128.png", icon(64, IconKind::Absent));
    out.picture("tray_141.png", icon(64, IconKind::Present));
    out.picture("tray_142.png", icon(64, IconKind::Activity));
}

void writeThemeIcons(Output& out) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        out.image(QStringLiteral("hicolor/%1x%1/apps/io.github.tarvik.Tarvik.png").arg(size),
                  renderShapes(keyboardShapes(size, IconKind::Program), size));
    }
    out.file(QStringLiteral("hicolor/scalable/apps/io.github.tarvik.Tarvik.svg"),
             svgOf(keyboardShapes(128, IconKind::Program), 128));
}

} // namespace tarvik::skingen
