#include "tools/gallery/LightingStandIn.h"

#include "ui/CBitmapSlider.h"
#include "ui/CSkinColorBtn.h"
#include "ui/ClickablePicture.h"
#include "ui/DarkStyle.h"
#include "ui/SkinLayout.h"
#include "ui/SkinPicture.h"

#include <QComboBox>
#include <QLabel>

namespace tarvik::gallery {

namespace {

std::u16string u16(const QString& s) {
    return s.toStdU16String();
}

} // namespace

LightingStandIn::LightingStandIn(const app::LightingPanelHost& host) : host_(host) {
    const IniFile& layout = *host_.layout;
    picture("CONTROL_DengStatic", "led.bmp");
    picture("CONTROL_DengStaPic", "LED_enabled_on.bmp");
    picture("CONTROL_DengDisable", "LED_disabled_off.bmp");
    auto* combo = new QComboBox(host_.parent);
    for (int code : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20}) {
        combo->addItem(QString::fromStdU16String(layout.get(u"Mode1", u16(QString::number(code)), u"1")),
                       code);
    }
    combo->setObjectName(QStringLiteral("CONTROL_XGcombox"));
    place("CONTROL_XGcombox", combo);
    ui::setSkinFont(*combo, ui::skinFont(14));
    picture("CONTROL_LightStatic", "brightness.bmp");
    auto* light = new ui::CBitmapSlider(1178, host_.parent);
    light->setRange(0, 5);
    light->setPosition(4);
    light->setPicture(ui::loadSkinPixmap(host_.pictureFolder / "4.bmp"));
    place("CONTROL_LightSlider", light);
    picture("CONTROL_SpeedStatic", "speed.bmp");
    auto* speed = new ui::CBitmapSlider(1179, host_.parent);
    speed->setRange(0, 5);
    speed->setPosition(2);
    speed->setPicture(ui::loadSkinPixmap(host_.pictureFolder / "8.bmp"));
    place("CONTROL_SpeedSlider", speed);
    picture("CONTROL_BLFXStatic", "direction.bmp");
    picture("CONTROL_BLFXLStaPic", "leftdown.bmp");
    picture("CONTROL_BLFXRStaPic", "rightup.bmp");
    picture("CONTROL_COLORFULStatic", "colorful.bmp");
    picture("CONTROL_HXysStatic", "color.bmp");
    auto* colour = new ui::CSkinColorBtn(host_.parent);
    colour->setColor(ui::toColorRef(QColor(0x38, 0xb6, 0xf0)));
    place("CONTROL_HXysButton", colour);
    picture("CONTROL_HXsjsStaPic", "sjsup.bmp");
    picture("CONTROL_FYYSStatic", "color.bmp");
    place("CONTROL_FYYSButton", new ui::CSkinColorBtn(host_.parent));
    picture("CONTROL_HONGPIC", "hongok.bmp");
    picture("CONTROL_HUANGPIC", "huang.bmp");
    picture("CONTROL_LVPIC", "lv.bmp");
    picture("CONTROL_LANPIC", "lan.bmp");
    text("CONTROL_USERysStatic", QString::fromStdU16String(layout.get(u"Control_Name1", u"Color")));
    auto* paint = new ui::CSkinColorBtn(host_.parent);
    paint->setColor(ui::toColorRef(QColor(255, 64, 0)));
    place("CONTROL_USERysButton", paint);
    text("CONTROL_USERjsStatic", QString::fromStdU16String(layout.get(u"Control_Name1", u"JColor")));
    auto* base = new ui::CSkinColorBtn(host_.parent);
    base->setColor(ui::toColorRef(QColor(255, 255, 255)));
    place("CONTROL_USERjsButton", base);
    text("CONTROL_USERgjStatic", QString::fromStdU16String(layout.get(u"Control_Name1", u"Tool")));
    text("CONTROL_USERgjtStatic", QString::fromStdU16String(layout.get(u"Control_Name1", u"ETool")));
    picture("CONTROL_USERgjStaPic1", "user1down.bmp");
    picture("CONTROL_USERgjStaPic2", "user2up.bmp");
    auto* userSlots = new QComboBox(host_.parent);
    userSlots->setEditable(true);
    userSlots->addItems({QStringLiteral("Game"), QStringLiteral("Office"), QStringLiteral("2")});
    place("CONTROL_umCombo", userSlots);
    ui::setSkinFont(*userSlots, ui::skinFont(14));
}

template <typename W> W& LightingStandIn::place(const char* key, W* w) {
    w->setObjectName(QString::fromLatin1(key));
    ui::placeControl(*w, *host_.layout, u16(QString::fromLatin1(key)));
    widgets_[key] = w;
    return *w;
}

QWidget& LightingStandIn::picture(const char* key, const char* file) {
    auto* p = new ui::ClickablePicture(host_.parent);
    p->setPicture(ui::loadSkinPixmap(host_.pictureFolder / file));
    return place(key, p);
}

QWidget& LightingStandIn::text(const char* key, const QString& words) {
    auto* l = new QLabel(words, host_.parent);
    place(key, l);
    ui::setSkinFont(*l, ui::skinFont(13));
    return *l;
}

void LightingStandIn::setPicture(const char* key, const char* file) {
    static_cast<ui::ClickablePicture*>(widgets_.at(key))
        ->setPicture(ui::loadSkinPixmap(host_.pictureFolder / file));
}

void LightingStandIn::show(int mode) {
    const bool on = mode != 0;
    setPicture("CONTROL_DengStaPic", on ? "LED_enabled_on.bmp" : "LED_enabled_off.bmp");
    setPicture("CONTROL_DengDisable", on ? "LED_disabled_off.bmp" : "LED_disabled_on.bmp");
    for (auto& [key, w] : widgets_) {
        if (key != "CONTROL_DengStatic" && key != "CONTROL_DengStaPic" && key != "CONTROL_DengDisable") {
            w->hide();
        }
    }
    if (!on) {
        return;
    }
    auto showAll = [&](std::initializer_list<const char*> list) {
        for (const char* k : list) {
            widgets_.at(k)->show();
        }
    };
    auto* combo = static_cast<QComboBox*>(widgets_.at("CONTROL_XGcombox"));
    combo->setCurrentIndex(combo->findData(mode));
    showAll({"CONTROL_XGcombox", "CONTROL_LightStatic", "CONTROL_LightSlider"});
    const bool speed = mode != 6 && mode != 16 && mode != 17 && mode != 18 && mode != 20;
    if (speed) {
        showAll({"CONTROL_SpeedStatic", "CONTROL_SpeedSlider"});
    }
    const char* set = mode <= 3 ? "2" : mode == 12 ? "3" : mode == 18 ? "" : nullptr;
    if (set != nullptr) {
        for (const char* base : {"CONTROL_BLFXStatic", "CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic"}) {
            ui::moveControl(*widgets_.at(base), *host_.layout, u16(QString::fromLatin1(base) + set));
            widgets_.at(base)->show();
        }
        const bool upDown = mode == 12, rings = mode == 18;
        setPicture("CONTROL_BLFXLStaPic", upDown ? "updown.bmp" : rings ? "kuosandown.bmp" : "leftdown.bmp");
        setPicture("CONTROL_BLFXRStaPic", upDown ? "downup.bmp" : rings ? "julong.bmp" : "rightup.bmp");
    }
    if (mode == 17) {
        showAll({"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC", "CONTROL_LANPIC"});
    } else if (mode == 20) {
        showAll({"CONTROL_USERysStatic", "CONTROL_USERysButton", "CONTROL_USERjsStatic",
                 "CONTROL_USERjsButton", "CONTROL_USERgjStatic", "CONTROL_USERgjtStatic",
                 "CONTROL_USERgjStaPic1", "CONTROL_USERgjStaPic2", "CONTROL_umCombo"});
    } else if (mode == 6 || mode == 16) {
        showAll(
            {"CONTROL_COLORFULStatic", "CONTROL_FYYSStatic", "CONTROL_FYYSButton", "CONTROL_HXsjsStaPic"});
    } else if (mode != 4) {
        showAll(
            {"CONTROL_COLORFULStatic", "CONTROL_HXysStatic", "CONTROL_HXysButton", "CONTROL_HXsjsStaPic"});
    }
}

} // namespace tarvik::gallery
