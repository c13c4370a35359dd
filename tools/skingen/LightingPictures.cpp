// The pictures of the lighting panel: caption icons, slider positions, direction pairs, presets, brushes,
// the panel switch, the random-colour toggle and the busy indicator. Each is drawn at the size of the
// control that shows it, on the flat panel colour, so it sits seamlessly on the main window. None carries
// a word: the words of the captions are the main window's "CAPTIONS" (MainSkin.cpp).
#include "tools/skingen/Look.h"
#include "tools/skingen/Skins.h"

#include <QPainter>

#include <cmath>

namespace tarvik::skingen {

namespace {

using PaintFn = std::function<void(QPainter&, const QRectF&)>;

// A picture of the given size in layout pixels on the panel colour; fn draws in layout pixels.
Render paint(QSize size, PaintFn fn) {
    return [size, fn = std::move(fn)](int scale) {
        QImage image(size * scale, QImage::Format_RGB32);
        image.fill(colour::panel);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.scale(scale, scale);
        fn(p, QRectF(0, 0, size.width(), size.height()));
        return image;
    };
}

} // namespace

QRectF captionIconBox(const QRectF& r) {
    const double gs = std::min(18.0, r.height() - 4);
    return QRectF(r.left() + 1, r.top() + (r.height() - gs) / 2, gs, gs);
}

namespace {

// A caption picture: its accent icon; the word beside it is a caption of the layout file.
Render caption(QSize size, Glyph g) {
    return paint(
        size, [g = std::move(g)](QPainter& p, const QRectF& r) { g(p, captionIconBox(r), colour::accent); });
}

// A slider picture with the thumb at position pos of 0..5.
Render slider(QSize size, int pos) {
    return paint(size, [pos](QPainter& p, const QRectF& r) {
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
Render toggle(QSize size, bool selected, Glyph g) {
    return paint(size, [selected, g = std::move(g)](QPainter& p, const QRectF& r) {
        drawButton(p, r, Look{selected ? State::Selected : State::Normal, 0}, ButtonKind::Plain, g);
    });
}

// The random-colour toggle: a die and a switch whose knob and track show the state without a word.
Render randomSwitch(QSize size, bool on) {
    return paint(size, [on](QPainter& p, const QRectF& r) {
        drawButton(p, r, Look{on ? State::Selected : State::Normal, 0}, ButtonKind::Plain);
        const QColor ink = on ? colour::accent : colour::textDim;
        glyph::dice()(p, QRectF(r.left() + 12, r.center().y() - 9, 18, 18), ink);
        const QRectF track(r.right() - 12 - 36, r.center().y() - 8, 36, 16);
        p.setPen(Qt::NoPen);
        p.setBrush(on ? colour::accentDeep : colour::well);
        p.drawRoundedRect(track, 8, 8);
        p.setBrush(on ? QColor(0xf2, 0xf4, 0xf7) : colour::textDim);
        p.drawEllipse(QPointF(on ? track.right() - 8 : track.left() + 8, track.center().y()), 6, 6);
    });
}

// The panel's on and off buttons: a lit lamp and a lamp struck through.
Render lampButton(QSize size, bool selected, bool lit) {
    return paint(size, [selected, lit](QPainter& p, const QRectF& r) {
        drawButton(p, r, Look{selected ? State::Selected : State::Normal, 0}, ButtonKind::Plain);
        const QColor ink = selected ? colour::accent : colour::textDim;
        const QRectF box(r.center().x() - 10, r.center().y() - 10, 20, 20);
        glyph::bulb()(p, box, ink);
        if (lit) {
            // Rays around the globe of the bulb.
            p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap));
            const QPointF globe(box.center().x(), box.top() + box.height() * 0.36);
            for (const auto& [dx, dy] : {std::pair{-1.0, 0.0}, {1.0, 0.0}, {-0.7, -0.7}, {0.7, -0.7}}) {
                p.drawLine(globe + QPointF(dx * 9.5, dy * 9.5), globe + QPointF(dx * 12.5, dy * 12.5));
            }
        } else {
            QPen slash(ink, 1.8, Qt::SolidLine, Qt::RoundCap);
            p.setPen(slash);
            p.drawLine(box.topLeft() + QPointF(2, 2), box.bottomRight() - QPointF(2, 2));
        }
    });
}

Render swatch(QSize size, QColor c, bool selected) {
    return paint(size, [c, selected](QPainter& p, const QRectF& r) {
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
Render busy(QSize size, int k) {
    return paint(size, [k](QPainter& p, const QRectF& r) {
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
        p.drawRoundedRect(QRectF(x, r.top() + 2, seg, r.height() - 4), 3, 3);
    });
}

} // namespace

void writeLightingPictures(Output& out, const Scene& main) {
    auto sizeOf = [&](const char* key) {
        const Element* e = main.find(QString::fromLatin1(key));
        return e ? e->rect.size() : QSize(1, 1);
    };
    out.picture("led.bmp", caption(sizeOf("CONTROL_DengStatic"), glyph::bulb()));
    out.picture("brightness.bmp", caption(sizeOf("CONTROL_LightStatic"), glyph::sun()));
    out.picture("speed.bmp", caption(sizeOf("CONTROL_SpeedStatic"), glyph::gauge()));
    out.picture("direction.bmp", caption(sizeOf("CONTROL_BLFXStatic"), glyph::compass()));
    out.picture("colorful.bmp", caption(sizeOf("CONTROL_COLORFULStatic"), glyph::palette()));
    out.picture("color.bmp", caption(sizeOf("CONTROL_HXysStatic"), glyph::palette()));

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
    out.picture("sjsup.bmp", randomSwitch(random, false));
    out.picture("sjsdown.bmp", randomSwitch(random, true));

    const QSize brush = sizeOf("CONTROL_USERgjStaPic1");
    out.picture("user1down.bmp", toggle(brush, true, glyph::brush()));
    out.picture("user1up.bmp", toggle(brush, false, glyph::brush()));
    out.picture("user2down.bmp", toggle(brush, true, glyph::bucket()));
    out.picture("user2up.bmp", toggle(brush, false, glyph::bucket()));

    const QSize on = sizeOf("CONTROL_DengStaPic");
    out.picture("LED_enabled_on.bmp", lampButton(on, true, true));
    out.picture("LED_enabled_off.bmp", lampButton(on, false, true));
    const QSize off = sizeOf("CONTROL_DengDisable");
    out.picture("LED_disabled_on.bmp", lampButton(off, true, false));
    out.picture("LED_disabled_off.bmp", lampButton(off, false, false));

    for (int k = 0; k < 10; ++k) {
        out.picture(QStringLiteral("jdt%1.bmp").arg(k + 1), busy(sizeOf("CONTROL_JDTStatic"), k));
    }
}

} // namespace tarvik::skingen
