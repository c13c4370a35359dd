#include "tools/skingen/Look.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace tarvik::skingen {

QFont uiFont(double pixelSize, bool bold) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(static_cast<int>(std::lround(pixelSize)));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QColor mix(const QColor& a, const QColor& b, double t) {
    auto ch = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return QColor(ch(a.red(), b.red()), ch(a.green(), b.green()), ch(a.blue(), b.blue()));
}

static QColor alpha(QColor c, int a) {
    c.setAlpha(a);
    return c;
}

void drawWindowFrame(QPainter& p, const QRectF& r, double radius) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, colour::windowTop);
    g.setColorAt(1, colour::windowBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, radius, radius);
    // A faint light from the top edge gives the window some volume without any pattern.
    QRadialGradient glow(QPointF(r.center().x(), r.top()), r.width() * 0.6);
    glow.setColorAt(0, QColor(255, 255, 255, 10));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(glow);
    p.drawRoundedRect(r, radius, radius);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour::frame, 1));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

void drawPanel(QPainter& p, const QRectF& r, double radius) {
    p.setPen(QPen(colour::panelBorder, 1));
    p.setBrush(colour::panel);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

void drawWell(QPainter& p, const QRectF& r, double radius) {
    p.setPen(QPen(QColor(0x06, 0x07, 0x09), 1));
    p.setBrush(colour::well);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    // Lit lower edge: the field sits below the panel surface.
    p.setPen(QPen(QColor(255, 255, 255, 16), 1));
    p.drawLine(QPointF(r.left() + radius, r.bottom() - 0.5), QPointF(r.right() - radius, r.bottom() - 0.5));
}

void drawText(QPainter& p, const QRectF& r, const QString& text, const QColor& colour, double pixelSize,
              bool bold, int flags) {
    p.setFont(uiFont(pixelSize, bold));
    p.setPen(colour);
    p.drawText(r, flags == 0 ? Qt::AlignCenter : flags, text);
}

void drawWordMark(QPainter& p, const QRectF& r, double pixelSize, const QColor& colour) {
    QFont f = uiFont(pixelSize, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, pixelSize * 0.28);
    p.setFont(f);
    const QString word = QStringLiteral("TARVIK");
    const double bar = pixelSize * 0.32;
    QRectF textBox = r.adjusted(bar * 3, 0, 0, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(colour::accent);
    const double h = pixelSize * 1.05;
    p.drawRoundedRect(QRectF(r.left(), r.center().y() - h / 2, bar, h), bar / 2, bar / 2);
    p.setPen(colour);
    p.drawText(textBox, Qt::AlignVCenter | Qt::AlignLeft, word);
}

QColor contentColour(State state, ButtonKind kind) {
    switch (state) {
    case State::Disabled:
        return colour::textFaint;
    case State::Down:
    case State::Selected:
        return kind == ButtonKind::Primary ? QColor(255, 255, 255) : colour::accent;
    case State::Over:
        return QColor(255, 255, 255);
    default:
        return kind == ButtonKind::Flat ? colour::textDim : colour::text;
    }
}

void drawButton(QPainter& p, const QRectF& r, const Look& look, ButtonKind kind, const Glyph& glyph,
                const QString& label) {
    const State s =
        look.state == State::ColorOff || look.state == State::ColorOn ? State::Normal : look.state;
    const QRectF face = r.adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = kind == ButtonKind::Tab ? 7 : std::min(7.0, r.height() / 2);
    QColor fill = colour::button, border = colour::buttonBorder;
    switch (s) {
    case State::Over:
        fill = colour::buttonHover;
        border = mix(colour::buttonBorder, colour::accent, 0.55);
        break;
    case State::Down:
        fill = colour::buttonDown;
        border = colour::accent;
        break;
    case State::Disabled:
        fill = colour::disabledFill;
        border = colour::disabledBorder;
        break;
    case State::Selected:
        fill = mix(colour::button, colour::accent, 0.16);
        border = colour::accent;
        break;
    default:
        break;
    }
    if (kind == ButtonKind::Primary && s != State::Disabled) {
        fill = s == State::Over   ? mix(colour::accentDeep, colour::accent, 0.3)
               : s == State::Down ? colour::accentDeep.darker(125)
                                  : colour::accentDeep;
        border = s == State::Down ? colour::accentDeep : colour::accent;
    }
    if (kind == ButtonKind::Flat && s == State::Normal) {
        fill = QColor(0, 0, 0, 0);
        border = QColor(0, 0, 0, 0);
    }
    if (kind == ButtonKind::Tab) {
        if (s == State::Down || s == State::Selected) {
            fill = colour::panel;
            border = colour::panelBorder;
        } else if (s == State::Normal) {
            fill = QColor(0x14, 0x16, 0x1a);
            border = colour::panelBorder;
        }
    }
    p.setPen(border.alpha() ? QPen(border, 1) : Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(face, radius, radius);
    if (s == State::Normal || s == State::Over) {
        if (fill.alpha() && kind != ButtonKind::Tab) {
            // Top highlight: raised surface.
            p.setPen(QPen(QColor(255, 255, 255, s == State::Over ? 26 : 16), 1));
            p.drawLine(QPointF(face.left() + radius, face.top() + 1),
                       QPointF(face.right() - radius, face.top() + 1));
        }
    }
    if (kind == ButtonKind::Tab && (s == State::Down || s == State::Selected)) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour::accent);
        p.drawRoundedRect(QRectF(face.left() + 14, face.bottom() - 3, face.width() - 28, 3), 1.5, 1.5);
    }
    if (kind != ButtonKind::Tab && s == State::Selected) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour::accent);
        p.drawRoundedRect(QRectF(face.left() + 8, face.bottom() - 3, face.width() - 16, 2), 1, 1);
    }
    const QColor c = contentColour(s, kind);
    const QPointF push = s == State::Down ? QPointF(0, 1) : QPointF(0, 0);
    QRectF box = r.translated(push);
    if (glyph && !label.isEmpty()) {
        const double g = std::min(18.0, r.height() - 14);
        QFont f = uiFont(12.5);
        const double textW = QFontMetricsF(f).horizontalAdvance(label);
        const double total = g + 8 + textW;
        const double x0 = box.center().x() - total / 2;
        glyph(p, QRectF(x0, box.center().y() - g / 2, g, g), c);
        drawText(p, QRectF(x0 + g + 8, box.top(), textW + 2, box.height()), label, c, 12.5, false,
                 Qt::AlignVCenter | Qt::AlignLeft);
    } else if (glyph) {
        const double g = std::min({18.0, r.height() - 10, r.width() - 10});
        glyph(p, QRectF(box.center().x() - g / 2, box.center().y() - g / 2, g, g), c);
    } else if (!label.isEmpty()) {
        drawText(p, box, label, c, 12.5);
    }
}

void drawKeyCap(QPainter& p, const QRectF& r, const QString& legend, const QString& shifted, State state,
                bool macroKey) {
    const bool down = state == State::Down;
    const bool disabled = state == State::Disabled;
    const double radius = std::min(6.0, r.height() / 4);

    // Shadow on the deck.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, down ? 70 : 110));
    p.drawRoundedRect(r.adjusted(0, down ? 1 : 2, 0, down ? 1 : 2), radius, radius);

    // Skirt.
    QLinearGradient skirt(r.topLeft(), r.bottomLeft());
    QColor skirtTop(0x1d, 0x20, 0x25), skirtBottom(0x11, 0x12, 0x15);
    if (disabled) {
        skirtTop = QColor(0x19, 0x1b, 0x1f);
        skirtBottom = QColor(0x13, 0x14, 0x17);
    }
    skirt.setColorAt(0, skirtTop);
    skirt.setColorAt(1, skirtBottom);
    QColor rim(0x0a, 0x0b, 0x0d);
    if (state == State::Over || down) {
        rim = down ? colour::accent : mix(rim, colour::accent, 0.4);
    } else if (state == State::ColorOn) {
        rim = mix(rim, colour::accent, 0.85);
    }
    p.setPen(QPen(rim, state == State::Over || down || state == State::ColorOn ? 1.3 : 1));
    p.setBrush(skirt);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    if (state == State::ColorOn) {
        // The key's light shining out under the cap.
        QRadialGradient glow(r.center(), std::max(r.width(), r.height()) * 0.7);
        glow.setColorAt(0, alpha(colour::accent, 70));
        glow.setColorAt(1, alpha(colour::accent, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), radius, radius);
    }

    // Top face: set in from the skirt, lower edge thicker so the cap reads as sculpted.
    const double side = std::max(3.0, std::min(5.0, r.width() * 0.09));
    QRectF top = r.adjusted(side, 2.5, -side, -6.5);
    if (down) {
        top = r.adjusted(side, 4.5, -side, -4);
    }
    if (r.height() < 36) {
        top = down ? r.adjusted(side, 3.5, -side, -3) : r.adjusted(side, 2, -side, -5);
    }
    QColor faceTop(0x34, 0x38, 0x41), faceBottom(0x29, 0x2c, 0x33);
    switch (state) {
    case State::Over:
        faceTop = QColor(0x41, 0x46, 0x51);
        faceBottom = QColor(0x33, 0x37, 0x40);
        break;
    case State::Down:
        faceTop = QColor(0x24, 0x27, 0x2d);
        faceBottom = QColor(0x2b, 0x2f, 0x36);
        break;
    case State::Disabled:
        faceTop = faceBottom = QColor(0x21, 0x23, 0x28);
        break;
    case State::ColorOff:
        faceTop = QColor(0x22, 0x24, 0x29);
        faceBottom = QColor(0x1d, 0x1f, 0x23);
        break;
    case State::ColorOn:
        faceTop = QColor(0x36, 0x3b, 0x45);
        faceBottom = QColor(0x2c, 0x30, 0x38);
        break;
    default:
        break;
    }
    QLinearGradient face(top.topLeft(), top.bottomLeft());
    face.setColorAt(0, faceTop);
    face.setColorAt(1, faceBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    const double topRadius = std::max(2.0, radius - 1.5);
    p.drawRoundedRect(top, topRadius, topRadius);
    if (!disabled && !down && state != State::ColorOff) {
        p.setPen(QPen(QColor(255, 255, 255, state == State::Over ? 34 : 22), 1));
        p.drawLine(QPointF(top.left() + topRadius, top.top() + 0.5),
                   QPointF(top.right() - topRadius, top.top() + 0.5));
    }

    // Legend.
    QColor ink = macroKey ? mix(colour::text, colour::accent, 0.35) : colour::text;
    switch (state) {
    case State::Down:
    case State::Selected:
        ink = colour::accent;
        break;
    case State::Over:
        ink = QColor(255, 255, 255);
        break;
    case State::Disabled:
        ink = QColor(0x4b, 0x50, 0x58);
        break;
    case State::ColorOff:
        ink = QColor(0x5c, 0x61, 0x6a);
        break;
    case State::ColorOn:
        ink = QColor(0xf4, 0xfb, 0xff);
        break;
    default:
        break;
    }
    const QRectF inkBox = top.adjusted(2, 1, -2, -1);
    // Word legends shrink until their longest line fits the cap (but no smaller than 9 px).
    auto fitted = [&](const QString& text, double size, bool bold) {
        for (; size > 9; size -= 0.5) {
            const QFontMetricsF fm(uiFont(size, bold));
            double widest = 0;
            for (const QString& line : text.split('\n')) {
                widest = std::max(widest, fm.horizontalAdvance(line));
            }
            if (widest <= top.width() - 3) {
                break;
            }
        }
        return size;
    };
    if (!shifted.isEmpty()) {
        drawText(p, QRectF(inkBox.left(), inkBox.top(), inkBox.width(), inkBox.height() / 2 + 1), shifted,
                 mix(ink, faceBottom, 0.25), 11.5, false, Qt::AlignCenter);
        drawText(p, QRectF(inkBox.left(), inkBox.center().y() - 1, inkBox.width(), inkBox.height() / 2 + 1),
                 legend, ink, 13, false, Qt::AlignCenter);
    } else if (legend.contains('\n')) {
        drawText(p, inkBox, legend, ink, fitted(legend, 10.5, false), false, Qt::AlignCenter);
    } else if (legend.size() <= 2) {
        const bool bold = macroKey || legend.size() == 1;
        drawText(p, inkBox, legend, ink, legend.size() == 1 && legend[0].isLetter() ? 15 : 13.5, bold,
                 Qt::AlignCenter);
    } else {
        drawText(p, inkBox, legend, ink, fitted(legend, legend.size() > 6 ? 11 : 12, false), false,
                 Qt::AlignCenter);
    }

    // Marks of the assigned look and of the colour-keys states.
    const QRectF dot(top.right() - 8, top.top() + 4, 5, 5);
    if (state == State::Selected) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour::accent);
        p.drawEllipse(dot);
    } else if (state == State::ColorOn) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour::accent);
        p.drawEllipse(dot);
    } else if (state == State::ColorOff) {
        p.setPen(QPen(QColor(0x5c, 0x61, 0x6a), 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(dot.adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

// ---- Line icons: drawn in a unit box and scaled, so every size keeps the same stroke weight feel. ----

namespace {

struct Pen {
    QPainter& p;
    QRectF box;
    Pen(QPainter& painter, const QRectF& r, const QColor& c, double width = 1.7) : p(painter), box(r) {
        QPen pen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
    }
    QPointF at(double x, double y) const {
        return {box.left() + x * box.width(), box.top() + y * box.height()};
    }
    QRectF rect(double x, double y, double w, double h) const {
        return {at(x, y), QSizeF(w * box.width(), h * box.height())};
    }
    void line(double x1, double y1, double x2, double y2) { p.drawLine(at(x1, y1), at(x2, y2)); }
    void poly(std::initializer_list<QPointF> pts, bool closed = false) {
        QPainterPath path;
        bool first = true;
        for (const QPointF& q : pts) {
            if (first) {
                path.moveTo(at(q.x(), q.y()));
                first = false;
            } else {
                path.lineTo(at(q.x(), q.y()));
            }
        }
        if (closed) {
            path.closeSubpath();
        }
        p.drawPath(path);
    }
    void fill(std::initializer_list<QPointF> pts, const QColor& c) {
        QPainterPath path;
        bool first = true;
        for (const QPointF& q : pts) {
            if (first) {
                path.moveTo(at(q.x(), q.y()));
                first = false;
            } else {
                path.lineTo(at(q.x(), q.y()));
            }
        }
        path.closeSubpath();
        p.fillPath(path, c);
    }
};

} // namespace

namespace glyph {

Glyph close() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c);
        g.line(0.25, 0.25, 0.75, 0.75);
        g.line(0.75, 0.25, 0.25, 0.75);
    };
}
Glyph minimize() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c);
        g.line(0.25, 0.62, 0.75, 0.62);
    };
}
Glyph menu() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c);
        g.line(0.22, 0.3, 0.78, 0.3);
        g.line(0.22, 0.5, 0.78, 0.5);
        g.line(0.22, 0.7, 0.78, 0.7);
    };
}
Glyph help() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c);
        p.drawArc(g.rect(0.3, 0.14, 0.4, 0.38), 0 * 16, 180 * 16);
        QPainterPath s;
        s.moveTo(g.at(0.7, 0.33));
        s.quadTo(g.at(0.7, 0.48), g.at(0.5, 0.55));
        s.lineTo(g.at(0.5, 0.66));
        p.drawPath(s);
        p.setBrush(c);
        p.setPen(Qt::NoPen);
        p.drawEllipse(g.at(0.5, 0.82), r.width() * 0.06, r.width() * 0.06);
    };
}
Glyph globe() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.5);
        p.drawEllipse(g.rect(0.12, 0.12, 0.76, 0.76));
        p.drawEllipse(g.rect(0.33, 0.12, 0.34, 0.76));
        g.line(0.12, 0.5, 0.88, 0.5);
    };
}
Glyph community() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.5);
        p.drawRoundedRect(g.rect(0.12, 0.18, 0.76, 0.5), r.width() * 0.12, r.width() * 0.12);
        g.poly({{0.3, 0.68}, {0.26, 0.86}, {0.46, 0.68}});
        g.line(0.3, 0.38, 0.7, 0.38);
        g.line(0.3, 0.5, 0.58, 0.5);
    };
}
Glyph picture() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.5);
        p.drawRoundedRect(g.rect(0.12, 0.18, 0.76, 0.64), 2, 2);
        g.poly({{0.2, 0.72}, {0.42, 0.48}, {0.58, 0.62}, {0.68, 0.52}, {0.8, 0.72}});
        p.drawEllipse(g.rect(0.6, 0.28, 0.1, 0.1));
    };
}
Glyph arrowLeft() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 2);
        g.poly({{0.6, 0.22}, {0.32, 0.5}, {0.6, 0.78}});
    };
}
Glyph arrowRight() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 2);
        g.poly({{0.4, 0.22}, {0.68, 0.5}, {0.4, 0.78}});
    };
}
Glyph arrowUp() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 2);
        g.poly({{0.22, 0.6}, {0.5, 0.32}, {0.78, 0.6}});
    };
}
Glyph arrowDown() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 2);
        g.poly({{0.22, 0.4}, {0.5, 0.68}, {0.78, 0.4}});
    };
}
Glyph toTop() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 2);
        g.line(0.22, 0.2, 0.78, 0.2);
        g.poly({{0.22, 0.66}, {0.5, 0.38}, {0.78, 0.66}});
    };
}
Glyph toBottom() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 2);
        g.line(0.22, 0.8, 0.78, 0.8);
        g.poly({{0.22, 0.34}, {0.5, 0.62}, {0.78, 0.34}});
    };
}
Glyph plus() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 2);
        g.line(0.5, 0.22, 0.5, 0.78);
        g.line(0.22, 0.5, 0.78, 0.5);
    };
}
Glyph minus() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 2);
        g.line(0.22, 0.5, 0.78, 0.5);
    };
}
Glyph record() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        p.drawEllipse(g.rect(0.14, 0.14, 0.72, 0.72));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xe5, 0x48, 0x4d));
        p.drawEllipse(g.rect(0.32, 0.32, 0.36, 0.36));
    };
}
Glyph trash() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        g.line(0.2, 0.26, 0.8, 0.26);
        g.poly({{0.4, 0.26}, {0.42, 0.15}, {0.58, 0.15}, {0.6, 0.26}});
        g.poly({{0.27, 0.26}, {0.32, 0.85}, {0.68, 0.85}, {0.73, 0.26}});
        g.line(0.45, 0.4, 0.46, 0.72);
        g.line(0.55, 0.4, 0.54, 0.72);
    };
}
Glyph sweep() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        g.line(0.72, 0.14, 0.5, 0.5);
        g.poly({{0.3, 0.45}, {0.66, 0.62}, {0.58, 0.86}, {0.16, 0.7}}, true);
    };
}
Glyph restore() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.7);
        p.drawArc(g.rect(0.18, 0.18, 0.64, 0.64), 100 * 16, 290 * 16);
        g.poly({{0.22, 0.12}, {0.32, 0.3}, {0.12, 0.36}});
    };
}
Glyph keyboard() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.5);
        p.drawRoundedRect(g.rect(0.06, 0.24, 0.88, 0.52), 2, 2);
        for (int i = 0; i < 5; ++i) {
            g.line(0.18 + i * 0.16, 0.4, 0.2 + i * 0.16, 0.4);
        }
        g.line(0.3, 0.6, 0.7, 0.6);
    };
}
Glyph folder() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        g.poly({{0.1, 0.78}, {0.1, 0.22}, {0.38, 0.22}, {0.46, 0.32}, {0.9, 0.32}, {0.9, 0.78}}, true);
    };
}
Glyph download() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.8);
        g.line(0.5, 0.14, 0.5, 0.62);
        g.poly({{0.3, 0.44}, {0.5, 0.64}, {0.7, 0.44}});
        g.poly({{0.16, 0.66}, {0.16, 0.84}, {0.84, 0.84}, {0.84, 0.66}});
    };
}
Glyph shield() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        g.poly({{0.5, 0.1}, {0.82, 0.22}, {0.78, 0.58}, {0.5, 0.9}, {0.22, 0.58}, {0.18, 0.22}}, true);
        g.poly({{0.36, 0.5}, {0.47, 0.61}, {0.66, 0.4}});
    };
}
Glyph check() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 2.2);
        g.poly({{0.2, 0.52}, {0.42, 0.74}, {0.8, 0.3}});
    };
}
Glyph cross() {
    return close();
}
Glyph layers() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        g.poly({{0.5, 0.16}, {0.88, 0.36}, {0.5, 0.56}, {0.12, 0.36}}, true);
        g.poly({{0.12, 0.52}, {0.5, 0.72}, {0.88, 0.52}});
        g.poly({{0.12, 0.66}, {0.5, 0.86}, {0.88, 0.66}});
    };
}
Glyph macro() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        p.drawRoundedRect(g.rect(0.1, 0.1, 0.8, 0.8), 3, 3);
        g.poly({{0.3, 0.66}, {0.3, 0.34}, {0.5, 0.54}, {0.7, 0.34}, {0.7, 0.66}});
    };
}
Glyph media() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        g.fill({{0.16, 0.38}, {0.34, 0.38}, {0.56, 0.18}, {0.56, 0.82}, {0.34, 0.62}, {0.16, 0.62}}, c);
        p.drawArc(g.rect(0.5, 0.3, 0.3, 0.4), -60 * 16, 120 * 16);
        p.drawArc(g.rect(0.46, 0.16, 0.46, 0.68), -60 * 16, 120 * 16);
    };
}
Glyph function() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.7);
        QPainterPath f;
        f.moveTo(g.at(0.66, 0.16));
        f.quadTo(g.at(0.46, 0.12), g.at(0.44, 0.36));
        f.lineTo(g.at(0.38, 0.86));
        p.drawPath(f);
        g.line(0.3, 0.42, 0.62, 0.42);
    };
}
Glyph brush() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        g.line(0.82, 0.14, 0.46, 0.54);
        g.poly({{0.46, 0.54}, {0.3, 0.56}, {0.2, 0.7}, {0.16, 0.86}, {0.34, 0.8}, {0.46, 0.7}, {0.5, 0.58}},
               true);
    };
}
Glyph bucket() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        g.poly({{0.16, 0.44}, {0.46, 0.14}, {0.76, 0.44}, {0.46, 0.74}}, true);
        g.poly({{0.78, 0.56}, {0.86, 0.72}, {0.78, 0.8}, {0.7, 0.72}}, true);
    };
}
Glyph dice() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        p.drawRoundedRect(g.rect(0.14, 0.14, 0.72, 0.72), 3, 3);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        const double d = r.width() * 0.07;
        for (auto [x, y] : {std::pair{0.34, 0.34}, {0.66, 0.34}, {0.5, 0.5}, {0.34, 0.66}, {0.66, 0.66}}) {
            p.drawEllipse(g.at(x, y), d, d);
        }
    };
}
Glyph bulb() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        QPainterPath b;
        b.moveTo(g.at(0.38, 0.66));
        b.cubicTo(g.at(0.38, 0.54), g.at(0.22, 0.48), g.at(0.22, 0.34));
        b.cubicTo(g.at(0.22, 0.16), g.at(0.78, 0.16), g.at(0.78, 0.34));
        b.cubicTo(g.at(0.78, 0.48), g.at(0.62, 0.54), g.at(0.62, 0.66));
        b.closeSubpath();
        p.drawPath(b);
        g.line(0.4, 0.76, 0.6, 0.76);
        g.line(0.43, 0.86, 0.57, 0.86);
    };
}
Glyph sun() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        p.drawEllipse(g.rect(0.34, 0.34, 0.32, 0.32));
        for (int i = 0; i < 8; ++i) {
            const double a = i * 3.14159265 / 4;
            g.line(0.5 + 0.26 * std::cos(a), 0.5 + 0.26 * std::sin(a), 0.5 + 0.38 * std::cos(a),
                   0.5 + 0.38 * std::sin(a));
        }
    };
}
Glyph gauge() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        p.drawArc(g.rect(0.12, 0.2, 0.76, 0.76), 0, 180 * 16);
        g.line(0.5, 0.58, 0.68, 0.36);
        g.line(0.12, 0.58, 0.88, 0.58);
    };
}
Glyph compass() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        g.line(0.14, 0.5, 0.86, 0.5);
        g.poly({{0.3, 0.32}, {0.12, 0.5}, {0.3, 0.68}});
        g.poly({{0.7, 0.32}, {0.88, 0.5}, {0.7, 0.68}});
    };
}
Glyph palette() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        p.drawEllipse(g.rect(0.12, 0.14, 0.76, 0.72));
        p.setPen(Qt::NoPen);
        const QColor dots[] = {QColor(0xe5, 0x48, 0x4d), QColor(0xf2, 0xc0, 0x3a), QColor(0x3d, 0xc8, 0x6e),
                               colour::accent};
        const QPointF at[] = {{0.34, 0.36}, {0.54, 0.3}, {0.7, 0.46}, {0.36, 0.6}};
        for (int i = 0; i < 4; ++i) {
            p.setBrush(dots[i]);
            p.drawEllipse(g.at(at[i].x(), at[i].y()), r.width() * 0.07, r.width() * 0.07);
        }
    };
}
Glyph outward() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.6);
        p.drawEllipse(g.rect(0.42, 0.42, 0.16, 0.16));
        p.drawArc(g.rect(0.24, 0.24, 0.52, 0.52), 0, 360 * 16);
        p.drawArc(g.rect(0.06, 0.06, 0.88, 0.88), 30 * 16, 120 * 16);
        p.drawArc(g.rect(0.06, 0.06, 0.88, 0.88), 210 * 16, 120 * 16);
    };
}
Glyph inward() {
    return [](QPainter& p, const QRectF& r, const QColor& c) {
        Pen g(p, r, c, 1.8);
        g.poly({{0.08, 0.34}, {0.36, 0.5}, {0.08, 0.66}});
        g.poly({{0.92, 0.34}, {0.64, 0.5}, {0.92, 0.66}});
        p.drawEllipse(g.rect(0.42, 0.42, 0.16, 0.16));
    };
}

} // namespace glyph

} // namespace tarvik::skingen
