// The composite key dialog, the profile manager, the firmware update dialog and the automatic-profiles
// rules window.
#include "tools/skingen/Look.h"
#include "tools/skingen/Skins.h"

#include <QPainter>

namespace tarvik::skingen {

namespace {

DrawFn button(ButtonKind kind, Glyph g = {}, QString label = {}) {
    return [kind, g = std::move(g), label = std::move(label)](
               QPainter& p, const QRectF& r, const Look& look) { drawButton(p, r, look, kind, g, label); };
}

// A dialog title's accent icon; the title's word is a caption right of it (titleTextRect).
DrawFn title(Glyph g) {
    return [g = std::move(g)](QPainter& p, const QRectF& r, const Look&) {
        g(p, QRectF(r.left(), r.center().y() - 10, 20, 20), colour::accent);
    };
}

QRect titleTextRect(const QRect& r) {
    return r.adjusted(30, 0, 0, 0);
}

// A button with an icon at its left and room for its label right of it: the label is a caption of
// the layout file, so its length is not known here and the icon cannot be centred with it.
constexpr int kIconInset = 14;
constexpr int kIconSize = 18;

DrawFn iconButton(ButtonKind kind, Glyph g) {
    return [kind, g = std::move(g)](QPainter& p, const QRectF& r, const Look& look) {
        drawButton(p, r, look, kind);
        const QPointF push = look.state == State::Down ? QPointF(0, 1) : QPointF(0, 0);
        g(p,
          QRectF(r.left() + kIconInset, r.center().y() - kIconSize / 2.0, kIconSize, kIconSize)
              .translated(push),
          contentColour(look.state, kind));
    };
}

QRect iconButtonLabelRect(const QRect& r) {
    return r.adjusted(kIconInset + kIconSize + 8, 0, -8, 0);
}

// Adds an image button whose label is a caption.
void labelledButton(Scene& s, const char* key, QRect rect, ButtonKind kind, const char* textKey,
                    Glyph g = {}) {
    const QString k = QString::fromLatin1(key);
    if (g) {
        s.add(k, rect, iconButton(kind, std::move(g)), true);
        s.caption(QString::fromLatin1(textKey), iconButtonLabelRect(rect), CaptionStyle::Label, Align::Left,
                  k);
    } else {
        s.add(k, rect, button(kind), true);
        s.caption(QString::fromLatin1(textKey), rect.adjusted(6, 0, -6, 0), CaptionStyle::Label,
                  Align::Center, k);
    }
}

void drawDialogBase(QPainter& p, const QRectF& r) {
    drawWindowFrame(p, r, 12);
    p.setPen(QPen(QColor(255, 255, 255, 12), 1));
    p.drawLine(QPointF(16, 44.5), QPointF(r.width() - 16, 44.5));
}

void writeDialog(Output& out, const Scene& s, const QString& stem, const QString& iniName) {
    out.picture(stem + QStringLiteral("_bg.jpg"), [&s](int scale) { return s.background(0, scale); });
    out.picture(stem + QStringLiteral("_mask.bmp"), [&s](int scale) { return s.mask(scale); });
    IniText ini;
    ini.section(QStringLiteral("SCREEN"));
    ini.set(QStringLiteral("Main"), stem + QStringLiteral("_bg.jpg"));
    ini.set(QStringLiteral("Mask"), stem + QStringLiteral("_mask.bmp"));
    writeButtonInfo(s, ini);
    writeCaptions(s, ini);
    out.ini(iniName, ini);
}

void statePicture(Output& out, const Scene& s, const QString& name, State state, int panel = 0) {
    out.picture(name, [&s, state, panel](int scale) { return s.statePicture(Look{state, panel}, scale); });
}

// ---- Composite key dialog ----

enum Panel { KeyPanel, MacroPanel, Macro2Panel, MediaPanel, FunctionPanel };

bool macroShown(const Look& look) {
    return look.panel == MacroPanel || look.panel == Macro2Panel;
}

// The panel picture: the same in every state of its set (the program shows it as a disabled button).
DrawFn panelPicture() {
    return [](QPainter& p, const QRectF& r, const Look& look) {
        drawPanel(p, r, 10);
        // Wells behind the fields the program places on this panel.
        auto well = [&](double x, double y, double w, double h) { drawWell(p, QRectF(x, y, w, h)); };
        const QColor faint = mix(colour::panel, colour::textDim, 0.16);
        auto emblem = [&](const Glyph& g) {
            g(p, QRectF(r.center().x() - 36, r.bottom() - 100, 72, 72), faint);
        };
        switch (look.panel) {
        case MacroPanel:
        case Macro2Panel:
            well(40, 162, 300, 30);
            well(420, 162, 80, 30);
            well(40, 202, 360, 182);
            break;
        case MediaPanel:
            well(110, 196, 400, 34);
            emblem(glyph::media());
            break;
        case FunctionPanel:
            well(110, 196, 400, 34);
            emblem(glyph::function());
            break;
        default:
            well(110, 196, 400, 56);
            emblem(glyph::keyboard());
            break;
        }
    };
}

DrawFn compositeTitle() {
    return [](QPainter& p, const QRectF& r, const Look& look) {
        title(look.panel == Macro2Panel ? glyph::macro() : glyph::keyboard())(p, r, look);
    };
}

// The four panel tabs; the program writes their texts and keeps the tab of the shown panel pressed.
DrawFn tab() {
    return [](QPainter& p, const QRectF& r, const Look& look) { drawButton(p, r, look, ButtonKind::Tab); };
}

// Buttons of the macro panel: drawn only in the macro sets.
DrawFn macroButton(ButtonKind kind, Glyph g = {}, bool recordMark = false) {
    return [kind, g = std::move(g), recordMark](QPainter& p, const QRectF& r, const Look& look) {
        if (!macroShown(look)) {
            return;
        }
        drawButton(p, r, look, kind, g);
        if (recordMark) {
            p.setPen(Qt::NoPen);
            p.setBrush(look.state == State::Disabled ? colour::textFaint : QColor(0xe5, 0x48, 0x4d));
            p.drawEllipse(QPointF(r.left() + 16, r.center().y() + (look.state == State::Down ? 1 : 0)), 4.5,
                          4.5);
        }
    };
}

Scene compositeScene() {
    Scene s(QSize(620, 462), 12);
    s.setBase([](QPainter& p, const QRectF& r, const Look&) { drawDialogBase(p, r); });
    s.add("CONTROL_MASK", QRect(20, 96, 580, 300), panelPicture(), true);
    s.add("CONTROL_TITLE", QRect(20, 8, 300, 30), compositeTitle(), true);
    s.caption(QStringLiteral("COMPOSITE_TITLE"), titleTextRect(QRect(20, 8, 300, 30)), CaptionStyle::Title);
    s.add("CONTROL_OSK", QRect(70, 410, 44, 36), button(ButtonKind::Plain, glyph::keyboard()), true);
    s.add("CONTROL_CLEAR", QRect(20, 410, 44, 36), button(ButtonKind::Plain, glyph::restore()), true);
    s.add("CONTROL_MEDIA", QRect(312, 56, 142, 40), tab(), true);
    s.add("CONTROL_MACRO", QRect(166, 56, 142, 40), tab(), true);
    s.add("CONTROL_KEY", QRect(20, 56, 142, 40), tab(), true);
    s.add("CONTROL_FUNCTION", QRect(458, 56, 142, 40), tab(), true);
    s.add("CONTROL_OK", QRect(252, 410, 112, 36), button(ButtonKind::Primary), true);
    s.add("CONTROL_CANCEL", QRect(370, 410, 112, 36), button(ButtonKind::Plain), true);
    // Writes without closing; disabled until an edit (its own picture set: key_disable.jpg).
    s.add("CONTROL_APPLY", QRect(488, 410, 112, 36), button(ButtonKind::Plain), true);
    s.add("FUNC_MACRO_DELETE", QRect(380, 162, 30, 30), macroButton(ButtonKind::Plain, glyph::minus()));
    s.add("FUNC_MACRO_ADD", QRect(346, 162, 30, 30), macroButton(ButtonKind::Plain, glyph::plus()));
    s.add("FUNC_MACRO_UP_TOP", QRect(416, 242, 80, 28), macroButton(ButtonKind::Plain));
    s.add("FUNC_MACRO_UP", QRect(500, 242, 80, 28), macroButton(ButtonKind::Plain));
    s.add("FUNC_MACRO_DOWN", QRect(416, 274, 80, 28), macroButton(ButtonKind::Plain));
    s.add("FUNC_MACRO_DOWN_BOTTOM", QRect(500, 274, 80, 28), macroButton(ButtonKind::Plain));
    s.add("FUNC_MACRO_DELETE2", QRect(416, 306, 80, 28), macroButton(ButtonKind::Plain));
    s.add("FUNC_MACRO_CLEAR", QRect(500, 306, 80, 28), macroButton(ButtonKind::Plain));
    s.add("FUNC_MACRO_RECORD", QRect(416, 202, 164, 32), macroButton(ButtonKind::Plain, {}, true));
    s.control("FUNC_MACRO_RECORD_DELAY", QRect(416, 348, 20, 20));
    s.control("FUNC_MACRO_LIST2", QRect(40, 202, 360, 182));
    s.control("FUNC_MACRO_CYCLES", QRect(420, 162, 80, 30));
    s.control("FUNC_MACRO_CYCLES_PROMPT", QRect(420, 138, 160, 22));
    s.control("TISHI_SINGLE_STATIC", QRect(40, 138, 540, 22));
    s.control("MARCO_NAME_SETTING", QRect(40, 138, 300, 22));
    s.control("KEY_SETTING", QRect(40, 106, 540, 26));
    s.control("MEDIA_SETTING_TISHI", QRect(40, 138, 540, 22));
    s.control("FUNCTION_KEY_SETTING_TISHI", QRect(40, 138, 540, 22));
    s.control("FUNC_MACRO_RECORD_DELAY2", QRect(442, 348, 138, 20));
    s.control("FUNC_KEY_INPUT", QRect(110, 196, 400, 56));
    s.control("FUNC_MEDIA_SELECT", QRect(110, 196, 400, 34));
    s.control("FUNC_MACRO_LIST", QRect(40, 162, 300, 30));
    s.control("FUNC_FUNCTION_SELECT", QRect(110, 196, 400, 34));
    return s;
}

} // namespace

void writeCompositeSkin(Output& out) {
    const Scene s = compositeScene();
    writeDialog(out, s, QStringLiteral("composite"), QStringLiteral("Composite.ini"));
    struct Set {
        const char* stem;
        Panel panel;
        bool hasDisabled;
    };
    // The key set's disabled picture serves only Apply: the tabs and Clear keep their normal picture.
    const Set sets[] = {{"key", KeyPanel, true},
                        {"macro", MacroPanel, true},
                        {"macro2", Macro2Panel, true},
                        {"media", MediaPanel, false},
                        {"function", FunctionPanel, false}};
    for (const Set& set : sets) {
        const QString stem = QString::fromLatin1(set.stem);
        statePicture(out, s, stem + "_normal.jpg", State::Normal, set.panel);
        statePicture(out, s, stem + "_over.jpg", State::Over, set.panel);
        statePicture(out, s, stem + "_down.jpg", State::Down, set.panel);
        if (set.hasDisabled) {
            statePicture(out, s, stem + "_disable.jpg", State::Disabled, set.panel);
        }
    }
}

void writeProfileSkin(Output& out) {
    Scene s(QSize(480, 380), 12);
    s.setBase([](QPainter& p, const QRectF& r, const Look&) {
        drawDialogBase(p, r);
        drawWell(p, QRectF(20, 52, 440, 224));
        p.setPen(QPen(QColor(255, 255, 255, 12), 1));
        p.drawLine(QPointF(16, 330.5), QPointF(r.width() - 16, 330.5));
    });
    s.decorate(QRect(20, 8, 300, 30), title(glyph::layers()));
    s.caption(QStringLiteral("PROFILE_TITLE"), titleTextRect(QRect(20, 8, 300, 30)), CaptionStyle::Title);
    labelledButton(s, "CONTROL_OK", QRect(252, 338, 100, 32), ButtonKind::Primary, "PROFILE_OK");
    labelledButton(s, "CONTROL_CANCEL", QRect(360, 338, 100, 32), ButtonKind::Plain, "PROFILE_CANCLE");
    labelledButton(s, "FUNC_ADD", QRect(20, 286, 108, 34), ButtonKind::Plain, "PROFILE_ADD", glyph::plus());
    labelledButton(s, "FUNC_LOAD", QRect(136, 286, 108, 34), ButtonKind::Plain, "PROFILE_LOAD",
                   glyph::folder());
    labelledButton(s, "FUNC_DELETE", QRect(252, 286, 108, 34), ButtonKind::Plain, "PROFILE_DELETE",
                   glyph::trash());
    labelledButton(s, "CONTROL2_APPLY", QRect(144, 338, 100, 32), ButtonKind::Plain, "PROFILE_APPLY");
    s.control("PROGRAM_LIST", QRect(22, 54, 436, 220));
    writeDialog(out, s, QStringLiteral("profile"), QStringLiteral("Profile.ini"));
    statePicture(out, s, "Profile_normal.jpg", State::Normal);
    statePicture(out, s, "Profile_over.jpg", State::Over);
    statePicture(out, s, "Profile_down.jpg", State::Down);
}

void writeUpdateSkin(Output& out) {
    Scene s(QSize(480, 178), 12);
    s.setBase([](QPainter& p, const QRectF& r, const Look&) {
        drawDialogBase(p, r);
        drawWell(p, QRectF(20, 62, 360, 32));
        p.setPen(QPen(QColor(255, 255, 255, 12), 1));
        p.drawLine(QPointF(16, 110.5), QPointF(r.width() - 16, 110.5));
    });
    s.decorate(QRect(20, 8, 300, 30), title(glyph::download()));
    s.caption(QStringLiteral("UPDATE_TITLE"), titleTextRect(QRect(20, 8, 300, 30)), CaptionStyle::Title);
    s.control("CONTROL_UPStatic", QRect(30, 66, 344, 24));
    // The combo box is never shown; it keeps the place of the path.
    s.control("CONTROL_UPCombox", QRect(20, 62, 360, 32));
    labelledButton(s, "CONTROL_CUPButton", QRect(348, 124, 112, 36), ButtonKind::Plain, "UPDATE_CANCEL",
                   glyph::cross());
    labelledButton(s, "CONTROL_UPButton", QRect(228, 124, 112, 36), ButtonKind::Primary, "UPDATE_START",
                   glyph::download());
    s.add("CONTROL_OPENButton", QRect(388, 62, 72, 32), button(ButtonKind::Plain, glyph::folder()), true);
    labelledButton(s, "CONTROL_BACKUPButton", QRect(20, 124, 128, 36), ButtonKind::Plain, "UPDATE_BACKUP",
                   glyph::shield());
    writeDialog(out, s, QStringLiteral("update"), QStringLiteral("UpdateDlg.ini"));
    statePicture(out, s, "update_normal.jpg", State::Normal);
    statePicture(out, s, "update_over.jpg", State::Over);
}

void writeAppRulesSkin(Output& out) {
    Scene s(QSize(520, 418), 12);
    s.setBase([](QPainter& p, const QRectF& r, const Look&) {
        drawDialogBase(p, r);
        drawWell(p, QRectF(20, 54, 480, 54));   // the watcher's status, up to three lines
        drawWell(p, QRectF(20, 116, 480, 194)); // the rules
        p.setPen(QPen(QColor(255, 255, 255, 12), 1));
        p.drawLine(QPointF(16, 362.5), QPointF(r.width() - 16, 362.5));
    });
    s.decorate(QRect(20, 8, 300, 30), title(glyph::compass()));
    s.caption(QStringLiteral("APPPROFILES_TITLE"), titleTextRect(QRect(20, 8, 300, 30)), CaptionStyle::Title);
    s.control("APPRULES_STATUS", QRect(28, 56, 464, 50));
    s.control("APPRULES_LIST", QRect(22, 118, 476, 190));
    s.caption(QStringLiteral("APPPROFILES_FALLBACK"), QRect(20, 320, 170, 30), CaptionStyle::Label);
    s.control("APPRULES_FALLBACK", QRect(196, 320, 304, 30));
    labelledButton(s, "FUNC_ADD", QRect(20, 372, 108, 34), ButtonKind::Plain, "APPPROFILES_ADD",
                   glyph::plus());
    labelledButton(s, "FUNC_DELETE", QRect(136, 372, 120, 34), ButtonKind::Plain, "APPPROFILES_REMOVE",
                   glyph::trash());
    // Escape presses the button under this key in every skinned window.
    labelledButton(s, "CONTROL_CANCEL", QRect(388, 372, 112, 34), ButtonKind::Plain, "APPPROFILES_CLOSE",
                   glyph::cross());
    writeDialog(out, s, QStringLiteral("apprules"), QStringLiteral("AppRules.ini"));
    statePicture(out, s, "AppRules_normal.jpg", State::Normal);
    statePicture(out, s, "AppRules_over.jpg", State::Over);
    statePicture(out, s, "AppRules_down.jpg", State::Down);
}

} // namespace tarvik::skingen
