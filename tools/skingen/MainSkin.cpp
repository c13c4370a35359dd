// The main window: title bar, profile and report-rate bar, the keyboard deck with every key button, the
// lighting panel and the status line.
#include "tools/skingen/KeyboardGeometry.h"
#include "tools/skingen/Look.h"
#include "tools/skingen/Skins.h"

#include <QPainter>

#include <cmath>

namespace tarvik::skingen {

namespace {

constexpr int kWidth = 1300;
constexpr int kHeight = 716;
constexpr int kUnit = 48;
constexpr int kGap = 4;
const QRect kDeck(44, 108, 1212, 379);
constexpr int kKeysX = 152; // left edge of the main key block
constexpr int kKeysY = 151; // top edge of the function row
const QRect kLightingPanel(24, 499, 1252, 184);

DrawFn keyCap(const KeyGeometry& key, bool macroKey = false) {
    const QString legend = QString::fromUtf8(key.legend);
    const QString shifted = key.shifted ? QString::fromUtf8(key.shifted) : QString();
    return [legend, shifted, macroKey](QPainter& p, const QRectF& r, const Look& look) {
        drawKeyCap(p, r, legend, shifted, look.state, macroKey);
    };
}

DrawFn button(ButtonKind kind, Glyph g = {}, QString label = {}) {
    return [kind, g = std::move(g), label = std::move(label)](
               QPainter& p, const QRectF& r, const Look& look) { drawButton(p, r, look, kind, g, label); };
}

enum class LockKind { Num, Caps, Scroll };

// A lock indicator: unlit lamp above the symbol keyboards print beside it (a padlock holding "1", "A"
// or a down arrow), so it needs no word in any language. Shown in the normal picture only.
DrawFn lockLamp(LockKind kind) {
    return [kind](QPainter& p, const QRectF& r, const Look&) {
        const QPointF lamp(r.center().x(), r.top() + 11);
        p.setPen(QPen(QColor(0x0a, 0x0b, 0x0d), 1));
        p.setBrush(QColor(0x2a, 0x2e, 0x35));
        p.drawEllipse(lamp, 4, 4);
        p.setPen(QPen(QColor(255, 255, 255, 30), 1));
        p.drawArc(QRectF(lamp.x() - 3, lamp.y() - 3, 6, 6), 45 * 16, 90 * 16);

        const QColor ink = colour::textDim;
        const QRectF body(r.center().x() - 7, r.top() + 26, 14, 11);
        QPen pen(ink, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        // Shackle, then the body with its symbol cut out in the panel colour.
        p.drawArc(QRectF(body.left() + 3, body.top() - 6, 8, 10), 0, 180 * 16);
        p.drawLine(QPointF(body.left() + 3, body.top() - 1), QPointF(body.left() + 3, body.top()));
        p.drawLine(QPointF(body.right() - 3, body.top() - 1), QPointF(body.right() - 3, body.top()));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRoundedRect(body, 2, 2);
        QPen cut(QColor(0x1b, 0x1e, 0x23), 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(cut);
        const double cx = body.center().x(), top = body.top() + 2.5, bottom = body.bottom() - 2.5;
        switch (kind) {
        case LockKind::Num:
            p.drawLine(QPointF(cx + 0.5, top), QPointF(cx + 0.5, bottom));
            p.drawLine(QPointF(cx + 0.5, top), QPointF(cx - 1.8, top + 2));
            break;
        case LockKind::Caps:
            p.drawLine(QPointF(cx - 3, bottom), QPointF(cx, top));
            p.drawLine(QPointF(cx, top), QPointF(cx + 3, bottom));
            p.drawLine(QPointF(cx - 1.6, bottom - 2.2), QPointF(cx + 1.6, bottom - 2.2));
            break;
        case LockKind::Scroll:
            p.drawLine(QPointF(cx, top), QPointF(cx, bottom));
            p.drawLine(QPointF(cx - 2.6, bottom - 2.6), QPointF(cx, bottom));
            p.drawLine(QPointF(cx + 2.6, bottom - 2.6), QPointF(cx, bottom));
            break;
        }
    };
}

// The G-key layer indicator: layer A lit in the normal picture, layer B lit in the highlighted ones.
DrawFn layerIndicator() {
    return [](QPainter& p, const QRectF& r, const Look& look) {
        const bool b =
            look.state == State::Over || look.state == State::Down || look.state == State::Selected;
        drawWell(p, r, r.height() / 2);
        const QRectF left(r.left(), r.top(), r.width() / 2, r.height());
        const QRectF right(r.center().x(), r.top(), r.width() / 2, r.height());
        p.setPen(Qt::NoPen);
        p.setBrush(mix(colour::well, colour::accent, 0.22));
        p.drawRoundedRect((b ? right : left).adjusted(2, 2, -2, -2), r.height() / 2 - 2, r.height() / 2 - 2);
        drawText(p, left, QStringLiteral("A"), b ? colour::textFaint : colour::accent, 12, true);
        drawText(p, right, QStringLiteral("B"), b ? colour::accent : colour::textFaint, 12, true);
    };
}

// The key-picture page: two dots, the current one lit.
DrawFn pageDots() {
    return [](QPainter& p, const QRectF& r, const Look& look) {
        drawWell(p, r, r.height() / 2);
        const bool second = look.state == State::Selected || look.state == State::Down;
        for (int i = 0; i < 2; ++i) {
            const bool lit = (i == 1) == second;
            p.setPen(Qt::NoPen);
            p.setBrush(lit ? colour::accent : colour::textFaint);
            p.drawEllipse(QPointF(r.center().x() + (i == 0 ? -9 : 9), r.center().y()), lit ? 4 : 3,
                          lit ? 4 : 3);
        }
    };
}

// The maker's link: the word mark, brighter on hover.
DrawFn wordMarkButton() {
    return [](QPainter& p, const QRectF& r, const Look& look) {
        const QColor c = look.state == State::Over   ? QColor(255, 255, 255)
                         : look.state == State::Down ? colour::accent
                                                     : colour::text;
        drawWordMark(p, r.adjusted(2, 0, 0, 0), 19, c);
    };
}

// A label-like button that the program writes its text on (the version line).
DrawFn plainLabel() {
    return [](QPainter&, const QRectF&, const Look&) {};
}

void drawDeck(QPainter& p) {
    const QRectF deck(kDeck);
    // Drop shadow of the board.
    for (int i = 6; i >= 1; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 18));
        p.drawRoundedRect(deck.adjusted(-i, -i + 4, i, i + 4), 16 + i, 16 + i);
    }
    QLinearGradient body(deck.topLeft(), deck.bottomLeft());
    body.setColorAt(0, QColor(0x20, 0x23, 0x29));
    body.setColorAt(1, QColor(0x15, 0x17, 0x1b));
    p.setPen(QPen(QColor(0x30, 0x34, 0x3c), 1));
    p.setBrush(body);
    p.drawRoundedRect(deck.adjusted(0.5, 0.5, -0.5, -0.5), 16, 16);
    // The plate the keys sit in, a little darker than the frame.
    const QRectF plate(kKeysX - 92, kKeysY - 8, kMainBlockWidth * kUnit + 100, kMainBlockHeight * kUnit + 16);
    p.setPen(QPen(QColor(0x0b, 0x0c, 0x0e), 1));
    p.setBrush(QColor(0x12, 0x14, 0x17));
    p.drawRoundedRect(plate, 10, 10);
    // Accent light strip along the top edge of the board.
    QLinearGradient strip(deck.topLeft(), deck.topRight());
    strip.setColorAt(0, QColor(0, 0, 0, 0));
    strip.setColorAt(0.5, mix(colour::accent, colour::panel, 0.3));
    strip.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(QPen(QBrush(strip), 1.5));
    p.drawLine(QPointF(deck.left() + 40, deck.top() + 1.5), QPointF(deck.right() - 40, deck.top() + 1.5));
}

void drawBase(QPainter& p, const QRectF& r) {
    drawWindowFrame(p, r, 14);
    p.setPen(QPen(QColor(255, 255, 255, 12), 1));
    p.drawLine(QPointF(20, 54.5), QPointF(kWidth - 20, 54.5));
    drawDeck(p);
    drawPanel(p, QRectF(kLightingPanel), 12);
    // Column dividers of the lighting panel.
    p.setPen(QPen(colour::panelBorder, 1));
    for (int x : {308, 612, 892}) {
        p.drawLine(QPointF(x + 0.5, kLightingPanel.top() + 16),
                   QPointF(x + 0.5, kLightingPanel.bottom() - 16));
    }
    // Separator before the window buttons.
    p.drawLine(QPointF(1128.5, 16), QPointF(1128.5, 36));
}

} // namespace

Scene mainScene() {
    Scene s(QSize(kWidth, kHeight), 14);
    s.setBase([](QPainter& p, const QRectF& r, const Look&) { drawBase(p, r); });

    // Title bar.
    s.add("TEMBRA_LINK", QRect(24, 12, 150, 32), wordMarkButton(), true);
    s.add("KEY_PCGAME", QRect(1022, 12, 30, 28), button(ButtonKind::Flat, glyph::globe()), true);
    s.add("KEY_FACEBOOK", QRect(1056, 12, 30, 28), button(ButtonKind::Flat, glyph::community()), true);
    s.add("KEY_INSTARGRAM", QRect(1090, 12, 30, 28), button(ButtonKind::Flat, glyph::picture()), true);
    s.add("CONTROL_MENU", QRect(1138, 12, 34, 28), button(ButtonKind::Flat, glyph::menu()), true);
    s.add("CONTROL_HELP", QRect(1176, 12, 34, 28), button(ButtonKind::Flat, glyph::help()), true);
    s.add("CONTROL_MINIMIZE", QRect(1214, 12, 34, 28), button(ButtonKind::Flat, glyph::minimize()), true);
    s.add("CONTROL_CLOSE", QRect(1252, 12, 34, 28), button(ButtonKind::Flat, glyph::close()), true);
    // The main window has no OK or Cancel on screen: Enter and Escape never close it.
    s.control("CONTROL_OK", QRect(1, 1, 1, 1));
    s.control("CONTROL_CANCEL", QRect(1, 1, 1, 1));

    // Profile and report-rate bar; the program writes the texts of the profile buttons.
    s.add("FUNC_PROFILE1", QRect(24, 62, 96, 36), button(ButtonKind::Plain), true);
    s.add("FUNC_PROFILE2", QRect(124, 62, 96, 36), button(ButtonKind::Plain), true);
    s.add("FUNC_PROFILE3", QRect(224, 62, 96, 36), button(ButtonKind::Plain), true);
    s.add("FUNC_DEFAULT", QRect(336, 62, 120, 36), button(ButtonKind::Plain), true);
    s.add("FUNC_PROFILES", QRect(472, 62, 150, 36), button(ButtonKind::Plain), true);
    s.add("FUNC_MACRO", QRect(630, 62, 110, 36), button(ButtonKind::Plain), true);
    s.control("CONTROL_UsbStatic", QRect(752, 62, 84, 36));
    const char* rates[] = {"1000 Hz", "500 Hz", "250 Hz", "125 Hz"};
    for (int i = 0; i < 4; ++i) {
        s.add(QStringLiteral("FUNC_REPORT%1").arg(i + 1), QRect(840 + 76 * i, 62, 72, 36),
              button(ButtonKind::Plain, {}, QString::fromLatin1(rates[i])), true);
    }
    s.add("CONTROL2_APPLY", QRect(1156, 62, 120, 36), button(ButtonKind::Primary), true);

    // Deck: layer indicator, key-picture page, lock lamps, G column, keys.
    s.add("LOCK_AB", QRect(70, 118, 52, 24), layerIndicator(), true);
    s.add("FLIP_1", QRect(560, 117, 28, 26), button(ButtonKind::Flat, glyph::arrowLeft()), true);
    s.add("FLIP_0", QRect(592, 118, 56, 24), pageDots(), true);
    s.add("FLIP_2", QRect(652, 117, 28, 26), button(ButtonKind::Flat, glyph::arrowRight()), true);
    s.add("LOCK_NUM", QRect(1042, 153, 60, 40), lockLamp(LockKind::Num), true);
    s.add("LOCK_CAPS", QRect(1106, 153, 60, 40), lockLamp(LockKind::Caps), true);
    s.add("LOCK_SCROLL", QRect(1170, 153, 60, 40), lockLamp(LockKind::Scroll), true);

    auto place = [&](const KeyGeometry& key, bool macro) {
        const PixelRect r = toPixels(key, kKeysX, kKeysY, kUnit, kGap);
        s.add(QString::fromLatin1(key.skinName), QRect(r.x, r.y, r.w, r.h), keyCap(key, macro), true);
    };
    for (const KeyGeometry& g : gButtons()) {
        place(g, true);
    }
    for (const KeyGeometry& k : keyButtons()) {
        place(k, false);
    }
    place(fnButton(), false);

    // Lighting panel: picture controls get their own pictures (the lighting pictures); here they only
    // get their rectangles.
    // Caption pictures hold only their icon; the word beside it is a caption drawn by the program in the
    // active language, so the controls leave room for the longer of the two languages.
    s.control("CONTROL_DengStatic", QRect(44, 513, 244, 24));
    s.control("CONTROL_DengStaPic", QRect(44, 547, 80, 30));
    s.control("CONTROL_DengDisable", QRect(128, 547, 80, 30));
    s.control("CONTROL_XGcombox", QRect(44, 595, 244, 32));
    // The colour-keys switch under the mode list: it decides what a click on a key does besides lighting.
    s.add("FUNC_SWITCH", QRect(44, 639, 244, 30), button(ButtonKind::Plain), true);
    s.control("CONTROL_LightStatic", QRect(328, 513, 200, 24));
    s.control("CONTROL_LightSlider", QRect(328, 541, 264, 30));
    s.control("CONTROL_SpeedStatic", QRect(328, 587, 200, 24));
    s.control("CONTROL_SpeedSlider", QRect(328, 615, 264, 30));
    // Direction: mode 18 has no speed and takes the speed row; modes 1-3 (left/right) and 12 (up/down,
    // one above the other) use the third column.
    s.control("CONTROL_BLFXStatic", QRect(328, 587, 200, 24));
    s.control("CONTROL_BLFXLStaPic", QRect(328, 615, 60, 32));
    s.control("CONTROL_BLFXRStaPic", QRect(394, 615, 60, 32));
    s.control("CONTROL_BLFXStatic2", QRect(628, 513, 200, 24));
    s.control("CONTROL_BLFXLStaPic2", QRect(628, 541, 60, 32));
    s.control("CONTROL_BLFXRStaPic2", QRect(694, 541, 60, 32));
    s.control("CONTROL_BLFXStatic3", QRect(628, 513, 200, 24));
    s.control("CONTROL_BLFXLStaPic3", QRect(628, 541, 60, 32));
    s.control("CONTROL_BLFXRStaPic3", QRect(628, 579, 60, 32));
    // Colours.
    s.control("CONTROL_COLORFULStatic", QRect(912, 513, 240, 24));
    s.control("CONTROL_HXysStatic", QRect(912, 550, 100, 24));
    s.control("CONTROL_HXysButton", QRect(1016, 547, 76, 30));
    s.control("CONTROL_HXsjsStaPic", QRect(1104, 547, 120, 30));
    s.control("CONTROL_HXsjsStatic", QRect(1094, 583, 140, 20));
    s.control("CONTROL_FYYSStatic", QRect(912, 550, 100, 24));
    s.control("CONTROL_FYYSButton", QRect(1016, 547, 76, 30));
    s.control("CONTROL_FYSJSStaPic", QRect(1104, 547, 120, 30));
    s.control("CONTROL_HONGPIC", QRect(912, 545, 36, 36));
    s.control("CONTROL_HUANGPIC", QRect(956, 545, 36, 36));
    s.control("CONTROL_LVPIC", QRect(1000, 545, 36, 36));
    s.control("CONTROL_LANPIC", QRect(1044, 545, 36, 36));
    // Never shown by the program; placed in the colour column all the same.
    s.control("CONTROL_FYCFStatic", QRect(912, 595, 150, 24));
    s.control("CONTROL_FYdjcfStatic", QRect(912, 627, 80, 24));
    s.control("CONTROL_FYdjcfStaPic", QRect(996, 624, 76, 30));
    s.control("CONTROL_FYggcfStatc", QRect(1084, 627, 80, 24));
    s.control("CONTROL_FYggcfStaPic", QRect(1168, 624, 76, 30));
    s.control("CONTROL_JTysStatic", QRect(912, 595, 80, 24));
    s.control("CONTROL_JTysButton", QRect(996, 592, 76, 30));
    s.control("CONTROL_TSysStatic", QRect(912, 595, 80, 24));
    s.control("CONTROL_TSysButton", QRect(996, 592, 76, 30));
    s.control("CONTROL_TSsjsStatic", QRect(1084, 630, 120, 20));
    s.control("CONTROL_TSsjsStaPic", QRect(1084, 592, 120, 30));
    s.control("CONTROL_CDysStatic", QRect(912, 632, 80, 24));
    s.control("CONTROL_CDysButton", QRect(996, 629, 76, 30));
    s.control("CONTROL_CDsjsStatic", QRect(1084, 660, 120, 20));
    s.control("CONTROL_CDsjsStaPic", QRect(1084, 629, 120, 30));
    // User lighting mode.
    s.control("CONTROL_USERysStatic", QRect(628, 513, 110, 24));
    s.control("CONTROL_USERysButton", QRect(628, 541, 76, 30));
    s.control("CONTROL_USERjsStatic", QRect(752, 513, 120, 24));
    s.control("CONTROL_USERjsButton", QRect(752, 541, 76, 30));
    s.control("CONTROL_USERgjStatic", QRect(628, 587, 110, 24));
    s.control("CONTROL_USERgjStaPic1", QRect(628, 615, 52, 32));
    s.control("CONTROL_USERgjStaPic2", QRect(686, 615, 52, 32));
    // Its text is read from the Chinese section in either language, so it carries both (see ETool).
    s.control("CONTROL_USERgjtStatic", QRect(746, 619, 142, 24));
    s.control("CONTROL_umCombo", QRect(912, 547, 220, 30));

    // The words of the caption pictures, each following its picture control.
    const std::pair<const char*, const char*> captions[] = {
        {"LIGHT_CAPTION", "CONTROL_DengStatic"},      {"LIGHT_BRIGHTNESS", "CONTROL_LightStatic"},
        {"LIGHT_SPEED", "CONTROL_SpeedStatic"},       {"LIGHT_DIRECTION", "CONTROL_BLFXStatic"},
        {"LIGHT_COLORS", "CONTROL_COLORFULStatic"},   {"LIGHT_COLOR", "CONTROL_HXysStatic"},
        {"LIGHT_STATIC_COLOR", "CONTROL_FYYSStatic"},
    };
    for (const auto& [text, control] : captions) {
        const QString owner = QString::fromLatin1(control);
        s.caption(QString::fromLatin1(text), captionTextRect(s.find(owner)->rect), CaptionStyle::Caption,
                  Align::Left, owner);
    }
    // The random-colour switch has no word of its own; its name sits under it.
    s.caption(QStringLiteral("LIGHT_RANDOM"), s.find(QStringLiteral("CONTROL_HXsjsStatic"))->rect,
              CaptionStyle::Caption, Align::Center, QStringLiteral("CONTROL_HXsjsStaPic"));

    // Status line.
    s.add("TEMBRA_VER", QRect(24, 690, 260, 20), plainLabel(), true);
    s.control("CONTROL_JDTStatic", QRect(1116, 696, 160, 10));
    return s;
}

void writeButtonInfo(const Scene& scene, IniText& ini) {
    ini.section(QStringLiteral("BUTTONINFO"));
    for (const Element& e : scene.elements()) {
        if (e.written) {
            ini.set(e.key, rectValue(e.rect));
        }
    }
}

void writeCaptions(const Scene& scene, IniText& ini) {
    if (scene.captions().empty()) {
        return;
    }
    ini.section(QStringLiteral("CAPTIONS"));
    for (const Caption& c : scene.captions()) {
        ini.set(c.textKey, QStringLiteral("%1,%2,%3,%4")
                               .arg(rectValue(c.rect))
                               .arg(c.pixelSize)
                               .arg(alignName(c.align), styleName(c.style)));
    }
    bool owned = false;
    for (const Caption& c : scene.captions()) {
        if (c.owner.isEmpty()) {
            continue;
        }
        if (!owned) {
            ini.section(QStringLiteral("CAPTION_OWNERS"));
            owned = true;
        }
        ini.set(c.textKey, c.owner);
    }
}

QRect captionTextRect(const QRect& controlRect) {
    const QRectF icon = captionIconBox(QRectF(controlRect));
    const int left = static_cast<int>(std::ceil(icon.right())) + 9;
    return QRect(left, controlRect.top(), controlRect.right() + 1 - left, controlRect.height());
}

void writeMainSkin(Output& out) {
    const Scene s = mainScene();
    out.picture(QStringLiteral("main_bg.jpg"), [&](int scale) { return s.background(0, scale); });
    out.picture(QStringLiteral("main_mask.bmp"), [&](int scale) { return s.mask(scale); });
    const std::pair<const char*, State> pictures[] = {
        {"main_normal.jpg", State::Normal},  {"main_over.jpg", State::Over},
        {"main_down.jpg", State::Down},      {"main_disable.jpg", State::Disabled},
        {"Arrow.jpg", State::Selected},      {"main_color0.jpg", State::ColorOff},
        {"main_color1.jpg", State::ColorOn},
    };
    for (const auto& picture : pictures) {
        const State state = picture.second;
        out.picture(QString::fromLatin1(picture.first), [&s, state](int scale) {
            return s.statePicture(Look{state, 0}, scale);
        });
    }
    writeLightingPictures(out, s);

    IniText ini;
    ini.section(QStringLiteral("SCREEN"));
    ini.set(QStringLiteral("Main"), QStringLiteral("main_bg.jpg"));
    ini.set(QStringLiteral("Mask"), QStringLiteral("main_mask.bmp"));
    ini.set(QStringLiteral("Link"), QStringLiteral("https://example.org/tarvik/"));
    ini.set(QStringLiteral("Link1"), QStringLiteral("https://example.org/tarvik/community"));
    ini.set(QStringLiteral("Link2"), QStringLiteral("https://example.org/tarvik/gallery"));
    writeButtonInfo(s, ini);
    writeCaptions(s, ini);

    struct ModeName {
        int code;
        const char* english;
        const char* chinese;
    };
    static const ModeName modes[] = {
        {1, "Wave", "波浪"},
        {2, "Fine Wave", "细波浪"},
        {3, "Sweep", "扫描"},
        {4, "Spectrum Cycle", "光谱循环"},
        {5, "Breathing", "呼吸"},
        {6, "Static", "常亮"},
        {7, "Reactive", "触发"},
        {8, "Ripple", "涟漪"},
        {9, "Reactive Trail", "拖尾"},
        {10, "Starlight", "星光"},
        {11, "Rainbow Keys", "彩虹按键"},
        {12, "Vertical Wave", "垂直波浪"},
        {13, "Fade In", "渐亮"},
        {14, "Keystroke Fade", "按键渐隐"},
        {15, "Flow", "流动"},
        {16, "Color Fade", "颜色渐变"},
        {17, "Preset Colors", "预设颜色"},
        {18, "Rings", "光环"},
        {20, "User", "自定义"},
    };
    // Language 0 (Chinese) reads the plain sections, language 1 (English) the sections ending in 1.
    ini.section(QStringLiteral("Mode"));
    for (const ModeName& m : modes) {
        ini.set(QString::number(m.code), QString::fromUtf8(m.chinese));
    }
    ini.section(QStringLiteral("Mode1"));
    for (const ModeName& m : modes) {
        ini.set(QString::number(m.code), QString::fromUtf8(m.english));
    }
    ini.section(QStringLiteral("Control_Name"));
    ini.set(QStringLiteral("Usb"), QString::fromUtf8("回报率"));
    ini.set(QStringLiteral("Color"), QString::fromUtf8("颜色"));
    ini.set(QStringLiteral("JColor"), QString::fromUtf8("底色"));
    ini.set(QStringLiteral("Tool"), QString::fromUtf8("画笔"));
    // The program reads "ETool" from this section whatever the language, so it says it in both.
    ini.set(QStringLiteral("ETool"), QString::fromUtf8("画笔/底色 Paint/Base"));
    ini.section(QStringLiteral("Control_Name1"));
    ini.set(QStringLiteral("Usb"), QStringLiteral("Report rate"));
    ini.set(QStringLiteral("Color"), QStringLiteral("Color"));
    ini.set(QStringLiteral("JColor"), QStringLiteral("Base color"));
    ini.set(QStringLiteral("Tool"), QStringLiteral("Brush"));
    ini.set(QStringLiteral("ETool"), QString::fromUtf8("画笔/底色 Paint/Base"));
    out.ini(QStringLiteral("Main.ini"), ini);
}

} // namespace tarvik::skingen
