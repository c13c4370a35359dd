// The pictures of the lighting panel: captions, slider positions, direction pairs, presets, brushes,
// the panel switch, the random-colour toggle and the busy indicator. Each is drawn at the size of the
// control that shows it, on the flat panel colour, so it sits seamlessly on the main window.
#include "tools/skingen/Look.h"
#include "tools/skingen/Skins.h"

#include <QPainter>

#include <cmath>

namespace tarvik::skingen {

namespace {

QImage canvas(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour::panel);
    return image;
}

template <typename Fn> QImage paint(QSize size, Fn fn) {
    QImage image = canvas(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    fn(p, QRectF(0, 0, size.width(), size.height()));
    return image;
}

// A caption: accent icon and a quiet upper-case word.
QImage caption(QSize size, const Glyph& g, const QString& text, bool strong = false) {
    return paint(size, [&](QPainter& p, const QRectF& r) {
        const double gs = std::min(18.0, r.height() - 4);
        g(p, QRectF(1, (r.height() - gs) / 2, gs, gs), colour::accent);
        QFont f = uiFont(strong ? 13 : 12, true);
        f.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
        p.setFont(f);
        p.setPen(strong ? colour::text : colour::textDim);
        p.drawText(r.adjusted(gs + 9, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text.toUpper());
    });
}

// A slider picture with the thumb at position pos of 0..5.
QImage slider(QSize size, int pos) {
    return paint(size, [&](QPainter& p, const QRectF& r) {
        const double left = 10, right = r.width() - 10, y = r.height() / 2;
        const double x = left + (right - left) * pos / 5.0;
        p.setPen(Qt::NoPen);
        p.setBrush(colour::well);
        p.drawRoundedRect(QRectF(left - 2, y - 3, right - left + 4, 6), 3, 3);
        p.setBrush(colour::accent);
        p.drawRoundedRect(QRectF(left - 2, y - 3, x - left + 4, 6), 3, 3);
        for (int i = 0; i <= 5; ++i) {
            const double tx = left + (right - left) * i / 5.0;
            p.setBrush(i <= pos ? mix(colour::accent, QColor(255, 255, 255), 0.5) : colour::textFaint);
            p.drawEllipse(QPointF(tx, y), 1.6, 1.6);
        }
        // Thumb with a soft shadow.
        p.setBrush(QColor(0, 0, 0, 90));
        p.drawEllipse(QPointF(x, y + 1.5), 9, 9);
        p.setPen(QPen(colour::accent, 2));
        p.setBrush(QColor(0xf2, 0xf4, 0xf7));
        p.drawEllipse(QPointF(x, y), 8, 8);
        p.setPen(Qt::NoPen);
        p.setBrush(colour::accent);
        p.drawEllipse(QPointF(x, y), 3, 3);
    });
}

// A two-state picture button: selected (lit) or not.
QImage toggle(QSize size, bool selected, const Glyph& g, const QString& label = {}) {
    return paint(size, [&](QPainter& p, const QRectF& r) {
        drawButton(p, r, Look{selected ? State::Selected : State::Normal, 0}, ButtonKind::Plain, g, label);
    });
}

QImage swatch(QSize size, const QColor& c, bool selected) {
    return paint(size, [&](QPainter& p, const QRectF& r) {
        const QPointF centre = r.center();
        const double radius = r.width() / 2 - 5;
        if (selected) {
            p.setPen(QPen(colour::accent, 2));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(centre, radius + 3.5, radius + 3.5);
        }
        p.setPen(QPen(c.darker(160), 1));
        p.setBrush(c);
        p.drawEllipse(centre, radius, radius);
        if (selected) {
            glyph::check()(p, QRectF(centre.x() - 8, centre.y() - 8, 16, 16), QColor(255, 255, 255));
        }
    });
}

// Busy indicator frame k of 10: a lit segment running along a track.
QImage busy(QSize size, int k) {
    return paint(size, [&](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour::well);
        p.drawRoundedRect(r.adjusted(0, 2, 0, -2), 3, 3);
        const double seg = r.width() * 0.3;
        const double x = -seg + (r.width() + seg) * k / 9.0;
        QLinearGradient g(QPointF(x, 0), QPointF(x + seg, 0));
        g.setColorAt(0, QColor(0, 0, 0, 0));
        g.setColorAt(0.7, colour::accent);
        g.setColorAt(1, mix(colour::accent, QColor(255, 255, 255), 0.4));
        p.setBrush(g);
        p.setClipRect(r.adjusted(0, 2, 0, -2));
        p.drawRoundedRect(QRectF(x, 2, seg, r.height() - 4), 3, 3);
    });
}

} // namespace

void writeLightingPictures(Output& out, const Scene& main) {
    auto sizeOf = [&](const char* key) {
        const Element* e = main.find(QString::fromLatin1(key));
        return e ? e->rect.size() : QSize(1, 1);
    };
    out.picture("led.bmp", caption(sizeOf("CONTROL_DengStatic"), glyph::bulb(), "Lighting", true));
    out.picture("brightness.bmp", caption(sizeOf("CONTROL_LightStatic"), glyph::sun(), "Brightness"));
    out.picture("speed.bmp", caption(sizeOf("CONTROL_SpeedStatic"), glyph::gauge(), "Speed"));
    out.picture("direction.bmp", caption(sizeOf("CONTROL_BLFXStatic"), glyph::compass(), "Direction"));
    out.picture("colorful.bmp", caption(sizeOf("CONTROL_COLORFULStatic"), glyph::palette(), "Colors"));
    out.picture("color.bmp", caption(sizeOf("CONTROL_HXysStatic"), glyph::palette(), "Color"));

    for (int pos = 0; pos <= 5; ++pos) {
        out.picture(QStringLiteral("%1.bmp").arg(pos), slider(sizeOf("CONTROL_LightSlider"), pos));
        out.picture(QStringLiteral("%1.bmp").arg(6 + pos), slider(sizeOf("CONTROL_SpeedSlider"), pos));
    }

    const QSize dir = sizeOf("CONTROL_BLFXLStaPic");
    out.picture("leftdown.bmp", toggle(dir, true, glyph::arrowLeft()));
    out.picture("leftup.bmp", toggle(dir, false, glyph::arrowLeft()));
    out.picture("rightdown.bmp", toggle(dir, true, glyph::arrowRight()));
    out.picture("rightup.bmp", toggle(dir, false, glyph::arrowRight()));
    out.picture("updown.bmp", toggle(dir, true, glyph::arrowUp()));
    out.picture("upup.bmp", toggle(dir, false, glyph::arrowUp()));
    out.picture("downdown.bmp", toggle(dir, true, glyph::arrowDown()));
    out.picture("downup.bmp", toggle(dir, false, glyph::arrowDown()));
    out.picture("kuosandown.bmp", toggle(dir, true, glyph::outward()));
    out.picture("kuosan.bmp", toggle(dir, false, glyph::outward()));
    out.picture("julongdown.bmp", toggle(dir, true, glyph::inward()));
    out.picture("julong.bmp", toggle(dir, false, glyph::inward()));

    const QSize presetSize = sizeOf("CONTROL_HONGPIC");
    const std::pair<const char*, QColor> presets[] = {{"hong", QColor(0xe5, 0x3e, 0x3e)},
                                                      {"huang", QColor(0xf2, 0xc1, 0x2e)},
                                                      {"lv", QColor(0x35, 0xc7, 0x5a)},
                                                      {"lan", QColor(0x2f, 0x6f, 0xeb)}};
    for (const auto& [name, c] : presets) {
        out.picture(QStringLiteral("%1.bmp").arg(QLatin1String(name)), swatch(presetSize, c, false));
        out.picture(QStringLiteral("%1ok.bmp").arg(QLatin1String(name)), swatch(presetSize, c, true));
    }

    const QSize random = sizeOf("CONTROL_HXsjsStaPic");
    out.picture("sjsup.bmp", toggle(random, false, glyph::dice(), "Random"));
    out.picture("sjsdown.bmp", toggle(random, true, glyph::dice(), "Random"));

    const QSize brush = sizeOf("CONTROL_USERgjStaPic1");
    out.picture("user1down.bmp", toggle(brush, true, glyph::brush()));
    out.picture("user1up.bmp", toggle(brush, false, glyph::brush()));
    out.picture("user2down.bmp", toggle(brush, true, glyph::bucket()));
    out.picture("user2up.bmp", toggle(brush, false, glyph::bucket()));

    const QSize on = sizeOf("CONTROL_DengStaPic");
    out.picture("LED_enabled_on.bmp", toggle(on, true, {}, "ON"));
    out.picture("LED_enabled_off.bmp", toggle(on, false, {}, "ON"));
    const QSize off = sizeOf("CONTROL_DengDisable");
    out.picture("LED_disabled_on.bmp", toggle(off, true, {}, "OFF"));
    out.picture("LED_disabled_off.bmp", toggle(off, false, {}, "OFF"));

    for (int k = 0; k < 10; ++k) {
        out.picture(QStringLiteral("jdt%1.bmp").arg(k + 1), busy(sizeOf("CONTROL_JDTStatic"), k));
    }
}

} // namespace tarvik::skingen
