#include "tools/gallery/Gallery.h"

#include "platform/IniFile.h"
#include "platform/Utf.h"
#include "ui/CBaseDialog.h"
#include "ui/CBitmapSlider.h"
#include "ui/CPngButton.h"
#include "ui/CSkinColorBtn.h"
#include "ui/SkinLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTreeWidget>

#include <cmath>
#include <map>
#include <vector>

namespace tarvik::gallery {

using ui::CPngButton;
using ui::StatePictures;

namespace {

// Standard widgets in the skin's colours, so the screenshots show them as the program would.
const char* const kStyle = R"(
QLabel { color: #c9cdd4; background: transparent; }
QComboBox, QLineEdit { background: #101215; color: #e4e6ea; border: 1px solid #2c3038; border-radius: 5px;
                       padding: 2px 8px; selection-background-color: #1b6f9e; }
QTreeWidget { background: #101215; color: #e4e6ea; border: 1px solid #2c3038; border-radius: 5px;
              alternate-background-color: #14171b; }
QHeaderView::section { background: #1c1f24; color: #8f959e; border: none; border-right: 1px solid #2c3038;
                       padding: 4px 6px; }
QCheckBox::indicator { width: 16px; height: 16px; border: 1px solid #373c46; border-radius: 3px; background: #101215; }
QCheckBox::indicator:checked { background: #38b6f0; border-color: #38b6f0; }
)";

QString path(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}
std::u16string u16(const QString& s) {
    return s.toStdU16String();
}

// A skinned dialog whose controls are built once, at its first initialisation.
class SkinDialog : public ui::CBaseDialog {
public:
    SkinDialog(int templateId, const std::filesystem::path& skins, const char* layout, QStringList& problems)
        : CBaseDialog(templateId, nullptr, skins / layout, skins), problems_(problems) {
        setStyleSheet(QString::fromLatin1(kStyle));
    }

    CPngButton& button(const char* key) { return *buttons_.at(key); }
    template <typename W> W& widget(const char* key) { return *static_cast<W*>(widgets_.at(key)); }

protected:
    virtual void build() = 0;

    void onInitDialog() override {
        CBaseDialog::onInitDialog();
        if (backgroundPicture().isNull()) {
            problems_ << QStringLiteral("%1: no background or mask").arg(path(layoutFile()));
        }
        if (!built_) {
            built_ = true;
            build();
        }
    }

    std::vector<QPixmap> pictures(const std::vector<std::string>& names) {
        std::vector<QPixmap> out;
        ui::loadRequiredPictures(pictureFolder(), names, out, [this](const std::filesystem::path& missing) {
            problems_ << QStringLiteral("missing picture %1").arg(path(missing));
        });
        return out;
    }

    CPngButton& imageButton(const char* key, const StatePictures& set) {
        if (!layout().contains(ui::kButtonInfoSection, u16(QString::fromLatin1(key)))) {
            problems_ << QStringLiteral("%1: no key %2").arg(path(layoutFile()), QString::fromLatin1(key));
        }
        auto* b = new CPngButton(this);
        b->setObjectName(QString::fromLatin1(key));
        ui::placeImageButton(*b, layout(), u16(QString::fromLatin1(key)), set);
        buttons_[key] = b;
        return *b;
    }

    template <typename W> W& control(const char* key, W* w) {
        if (!layout().contains(ui::kButtonInfoSection, u16(QString::fromLatin1(key)))) {
            problems_ << QStringLiteral("%1: no key %2").arg(path(layoutFile()), QString::fromLatin1(key));
        }
        ui::placeControl(*w, layout(), u16(QString::fromLatin1(key)));
        widgets_[key] = w;
        return *w;
    }

    QLabel& pictureControl(const char* key, const char* file) {
        auto* l = new QLabel(this);
        setPicture(*l, file);
        return control(key, l);
    }

    void setPicture(QLabel& l, const char* file) {
        const QPixmap p(path(pictureFolder() / file));
        if (p.isNull()) {
            problems_ << QStringLiteral("missing picture %1").arg(QString::fromLatin1(file));
        }
        l.setPixmap(p);
    }

    QLabel& textControl(const char* key, const QString& text, double points = 9) {
        auto* l = new QLabel(text, this);
        QFont f(QStringLiteral("Tahoma"));
        f.setPointSizeF(points);
        l->setFont(f);
        return control(key, l);
    }

    static void caption(CPngButton& b, const QString& text, double points = 9, const QString& face = "Tahoma",
                        QColor colour = QColor(255, 255, 255)) {
        b.setText(text);
        b.setCaptionStyle(true, points, face, colour);
    }

    QStringList& problems_;
    std::map<std::string, CPngButton*> buttons_;
    std::map<std::string, QWidget*> widgets_;

private:
    bool built_ = false;
};

// ---- Main window ----

const char* const kKeyNames[] = {
    "KEY_01E", "KEY_030", "KEY_02E", "KEY_020", "KEY_012", "KEY_021", "KEY_022", "KEY_023", "KEY_017",
    "KEY_024", "KEY_025", "KEY_026", "KEY_032", "KEY_031", "KEY_018", "KEY_019", "KEY_010", "KEY_013",
    "KEY_01F", "KEY_014", "KEY_016", "KEY_02F", "KEY_011", "KEY_02D", "KEY_015", "KEY_02C", "KEY_002",
    "KEY_003", "KEY_004", "KEY_005", "KEY_006", "KEY_007", "KEY_008", "KEY_009", "KEY_00A", "KEY_00B",
    "KEY_01C", "KEY_001", "KEY_00E", "KEY_00F", "KEY_039", "KEY_00C", "KEY_00D", "KEY_01A", "KEY_01B",
    "KEY_02B", "KEY_027", "KEY_028", "KEY_029", "KEY_033", "KEY_034", "KEY_035", "KEY_03B", "KEY_03C",
    "KEY_03D", "KEY_03E", "KEY_03F", "KEY_040", "KEY_041", "KEY_042", "KEY_043", "KEY_044", "KEY_057",
    "KEY_058", "KEY_0B7", "KEY_045", "KEY_0D2", "KEY_0D3", "KEY_0C7", "KEY_0CF", "KEY_0C9", "KEY_0D1",
    "KEY_0C8", "KEY_0D0", "KEY_0CB", "KEY_0CD", "KEY_046", "KEY_03A", "KEY_0DD", "KEY_01D", "KEY_09D",
    "KEY_02A", "KEY_036", "KEY_038", "KEY_0B8", "KEY_0DB", "KEY_0DC", "KEY_04F", "KEY_050", "KEY_051",
    "KEY_04B", "KEY_04C", "KEY_04D", "KEY_047", "KEY_048", "KEY_049", "KEY_052", "KEY_0C5", "KEY_09C",
    "KEY_053", "KEY_0B5", "KEY_037", "KEY_04A", "KEY_04E", "KEY_FN"};
const char* const kGNames[] = {"FUNC_G1", "FUNC_G2", "FUNC_G3", "FUNC_G4", "FUNC_G5",
                               "FUNC_G6", "FUNC_G7", "FUNC_G8", "FUNC_G9"};

class MainWindow : public SkinDialog {
public:
    MainWindow(const std::filesystem::path& skins, QStringList& problems)
        : SkinDialog(102, skins, "Main.ini", problems) {}

    std::vector<CPngButton*> keys;

    // Shows the lighting controls of one mode, or none when the panel is off.
    void showLighting(int mode) {
        const bool on = mode != 0;
        setPicture(widget<QLabel>("CONTROL_DengStaPic"), on ? "LED_enabled_on.bmp" : "LED_enabled_off.bmp");
        setPicture(widget<QLabel>("CONTROL_DengDisable"),
                   on ? "LED_disabled_off.bmp" : "LED_disabled_on.bmp");
        for (auto& [key, w] : widgets_) {
            if (key != "CONTROL_DengStatic" && key != "CONTROL_DengStaPic" && key != "CONTROL_DengDisable" &&
                key != "CONTROL_UsbStatic" && key != "CONTROL_JDTStatic") {
                w->hide();
            }
        }
        if (!on) {
            return;
        }
        auto show = [&](std::initializer_list<const char*> list) {
            for (const char* k : list) {
                widgets_.at(k)->show();
            }
        };
        auto& combo = widget<QComboBox>("CONTROL_XGcombox");
        combo.setCurrentIndex(combo.findData(mode));
        show({"CONTROL_XGcombox", "CONTROL_LightStatic", "CONTROL_LightSlider"});
        const bool speed = mode != 6 && mode != 16 && mode != 17 && mode != 18 && mode != 20;
        if (speed) {
            show({"CONTROL_SpeedStatic", "CONTROL_SpeedSlider"});
        }
        const char* set = mode <= 3 ? "2" : mode == 12 ? "3" : mode == 18 ? "" : nullptr;
        if (set != nullptr) {
            for (const char* base : {"CONTROL_BLFXStatic", "CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic"}) {
                ui::moveControl(*widgets_.at(base), layout(), u16(QString::fromLatin1(base) + set));
                widgets_.at(base)->show();
            }
            const bool upDown = mode == 12, rings = mode == 18;
            setPicture(widget<QLabel>("CONTROL_BLFXLStaPic"), upDown  ? "updown.bmp"
                                                              : rings ? "kuosandown.bmp"
                                                                      : "leftdown.bmp");
            setPicture(widget<QLabel>("CONTROL_BLFXRStaPic"), upDown  ? "downup.bmp"
                                                              : rings ? "julong.bmp"
                                                                      : "rightup.bmp");
        }
        if (mode == 17) {
            show({"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC", "CONTROL_LANPIC"});
        } else if (mode == 20) {
            show({"CONTROL_USERysStatic", "CONTROL_USERysButton", "CONTROL_USERjsStatic",
                  "CONTROL_USERjsButton", "CONTROL_USERgjStatic", "CONTROL_USERgjtStatic",
                  "CONTROL_USERgjStaPic1", "CONTROL_USERgjStaPic2", "CONTROL_umCombo"});
        } else if (mode == 6 || mode == 16) {
            show({"CONTROL_COLORFULStatic", "CONTROL_FYYSStatic", "CONTROL_FYYSButton",
                  "CONTROL_HXsjsStaPic"});
        } else if (mode != 4) {
            show({"CONTROL_COLORFULStatic", "CONTROL_HXysStatic", "CONTROL_HXysButton",
                  "CONTROL_HXsjsStaPic"});
        }
    }

protected:
    void build() override {
        pics_ = pictures({"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg",
                          "Arrow.jpg", "main_color0.jpg", "main_color1.jpg"});
        const StatePictures set{&pics_[0], &pics_[1], &pics_[2], &pics_[3], &pics_[4]};
        const StatePictures still{&pics_[0], &pics_[0], &pics_[0], &pics_[0], &pics_[0]};

        imageButton("TEMBRA_LINK", set).setTipText(QStringLiteral("https://example.org/tarvik/"));
        for (const char* k : {"KEY_PCGAME", "KEY_FACEBOOK", "KEY_INSTARGRAM"}) {
            imageButton(k, set);
        }
        for (const char* k : {"CONTROL_HELP", "CONTROL_CLOSE", "CONTROL_MINIMIZE", "CONTROL_MENU"}) {
            imageButton(k, set);
        }
        imageButton("CONTROL_OK", set);
        imageButton("CONTROL_CANCEL", set);
        caption(imageButton("FUNC_PROFILE1", set), QStringLiteral("Profile 1"));
        caption(imageButton("FUNC_PROFILE2", set), QStringLiteral("Profile 2"));
        caption(imageButton("FUNC_PROFILE3", set), QStringLiteral("Profile 3"));
        caption(imageButton("FUNC_DEFAULT", set), QStringLiteral("Default"));
        caption(imageButton("FUNC_PROFILES", set), QStringLiteral("$Profile0"), 10, QStringLiteral("Arial"),
                QColor(0xE4, 0xE4, 0xE4));
        caption(imageButton("FUNC_MACRO", set), QStringLiteral("Macros"));
        caption(imageButton("CONTROL2_APPLY", set), QStringLiteral("Apply"));
        for (const char* k : {"FUNC_REPORT1", "FUNC_REPORT2", "FUNC_REPORT3", "FUNC_REPORT4"}) {
            imageButton(k, set);
        }
        button("FUNC_PROFILE1").setSelected(true);
        button("FUNC_REPORT1").setSelected(true);
        imageButton("FUNC_SWITCH", set).hide();
        for (const char* k : {"LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL"}) {
            imageButton(k, still);
        }
        imageButton("LOCK_AB", StatePictures{&pics_[0], &pics_[0], &pics_[0], &pics_[0], &pics_[4]});
        imageButton("FLIP_0", still);
        imageButton("FLIP_1", set);
        imageButton("FLIP_2", set);
        CPngButton& version = imageButton("TEMBRA_VER", set);
        caption(version, QStringLiteral("Version 0.1.0"), 8, QStringLiteral("Verdana"),
                QColor(0xE4, 0xE4, 0xE4));
        version.setCaptionStyle(true, 8, QStringLiteral("Verdana"), QColor(0xE4, 0xE4, 0xE4),
                                CPngButton::kDtVCenter | CPngButton::kDtSingleLine);
        version.setEnabled(false);
        for (const char* k : kGNames) {
            CPngButton& b = imageButton(k, set);
            b.setTwoStatePictures(&pics_[5], &pics_[6]);
            keys.push_back(&b);
        }
        for (const char* k : kKeyNames) {
            CPngButton& b = imageButton(k, set);
            b.setTwoStatePictures(&pics_[5], &pics_[6]);
            keys.push_back(&b);
        }

        textControl("CONTROL_UsbStatic", QString::fromStdU16String(layout().get(u"Control_Name1", u"Usb")));
        pictureControl("CONTROL_DengStatic", "led.bmp");
        pictureControl("CONTROL_DengStaPic", "LED_enabled_on.bmp");
        pictureControl("CONTROL_DengDisable", "LED_disabled_off.bmp");
        auto* combo = new QComboBox(this);
        for (int code : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20}) {
            combo->addItem(
                QString::fromStdU16String(layout().get(u"Mode1", u16(QString::number(code)), u"1")), code);
        }
        control("CONTROL_XGcombox", combo);
        pictureControl("CONTROL_LightStatic", "brightness.bmp");
        auto* light = new ui::CBitmapSlider(1178, this);
        light->setRange(0, 5);
        light->setPosition(4);
        light->setPicture(QPixmap(path(pictureFolder() / "4.bmp")));
        control("CONTROL_LightSlider", light);
        pictureControl("CONTROL_SpeedStatic", "speed.bmp");
        auto* speed = new ui::CBitmapSlider(1179, this);
        speed->setRange(0, 5);
        speed->setPosition(2);
        speed->setPicture(QPixmap(path(pictureFolder() / "8.bmp")));
        control("CONTROL_SpeedSlider", speed);
        pictureControl("CONTROL_BLFXStatic", "direction.bmp");
        pictureControl("CONTROL_BLFXLStaPic", "leftdown.bmp");
        pictureControl("CONTROL_BLFXRStaPic", "rightup.bmp");
        pictureControl("CONTROL_COLORFULStatic", "colorful.bmp");
        pictureControl("CONTROL_HXysStatic", "color.bmp");
        auto* colour = new ui::CSkinColorBtn(this);
        colour->setColor(ui::toColorRef(QColor(0x38, 0xb6, 0xf0)));
        control("CONTROL_HXysButton", colour);
        pictureControl("CONTROL_HXsjsStaPic", "sjsup.bmp");
        pictureControl("CONTROL_FYYSStatic", "color.bmp");
        control("CONTROL_FYYSButton", new ui::CSkinColorBtn(this));
        pictureControl("CONTROL_HONGPIC", "hongok.bmp");
        pictureControl("CONTROL_HUANGPIC", "huang.bmp");
        pictureControl("CONTROL_LVPIC", "lv.bmp");
        pictureControl("CONTROL_LANPIC", "lan.bmp");
        textControl("CONTROL_USERysStatic",
                    QString::fromStdU16String(layout().get(u"Control_Name1", u"Color")));
        auto* paint = new ui::CSkinColorBtn(this);
        paint->setColor(ui::toColorRef(QColor(255, 64, 0)));
        control("CONTROL_USERysButton", paint);
        textControl("CONTROL_USERjsStatic",
                    QString::fromStdU16String(layout().get(u"Control_Name1", u"JColor")));
        auto* base = new ui::CSkinColorBtn(this);
        base->setColor(ui::toColorRef(QColor(255, 255, 255)));
        control("CONTROL_USERjsButton", base);
        textControl("CONTROL_USERgjStatic",
                    QString::fromStdU16String(layout().get(u"Control_Name1", u"Tool")));
        textControl("CONTROL_USERgjtStatic",
                    QString::fromStdU16String(layout().get(u"Control_Name1", u"ETool")));
        pictureControl("CONTROL_USERgjStaPic1", "user1down.bmp");
        pictureControl("CONTROL_USERgjStaPic2", "user2up.bmp");
        auto* userSlots = new QComboBox(this);
        userSlots->setEditable(true);
        userSlots->addItems({QStringLiteral("Game"), QStringLiteral("Office"), QStringLiteral("2")});
        control("CONTROL_umCombo", userSlots);
        pictureControl("CONTROL_JDTStatic", "jdt4.bmp");
    }

private:
    std::vector<QPixmap> pics_;
};

// ---- Composite key dialog ----

class CompositeDialog : public SkinDialog {
public:
    enum Panel { Key, Macro, Media, Function };

    CompositeDialog(const std::filesystem::path& skins, QStringList& problems)
        : SkinDialog(134, skins, "Composite.ini", problems) {}

    void showPanel(Panel panel, bool macroOnly) {
        const StatePictures& set = panel == Macro      ? macro_
                                   : panel == Media    ? media_
                                   : panel == Function ? function_
                                                       : key_;
        ui::placeImageButton(button("CONTROL_MASK"), layout(), u"CONTROL_MASK", set);
        button("CONTROL_MASK").setEnabled(false);
        const std::pair<const char*, Panel> tabs[] = {{"CONTROL_KEY", Key},
                                                      {"CONTROL_MACRO", Macro},
                                                      {"CONTROL_MEDIA", Media},
                                                      {"CONTROL_FUNCTION", Function}};
        for (const auto& [key, p] : tabs) {
            button(key).setSelected(p == panel);
        }
        const std::pair<Panel, std::vector<const char*>> shown[] = {
            {Key, {"TISHI_SINGLE_STATIC", "FUNC_KEY_INPUT"}},
            {Macro,
             {"MARCO_NAME_SETTING", "FUNC_MACRO_LIST", "FUNC_MACRO_LIST2", "FUNC_MACRO_CYCLES",
              "FUNC_MACRO_CYCLES_PROMPT", "FUNC_MACRO_RECORD_DELAY", "FUNC_MACRO_RECORD_DELAY2"}},
            {Media, {"MEDIA_SETTING_TISHI", "FUNC_MEDIA_SELECT"}},
            {Function, {"FUNCTION_KEY_SETTING_TISHI", "FUNC_FUNCTION_SELECT"}},
        };
        for (const auto& [p, list] : shown) {
            for (const char* k : list) {
                widgets_.at(k)->setVisible(p == panel);
            }
        }
        for (const char* k :
             {"FUNC_MACRO_DELETE", "FUNC_MACRO_ADD", "FUNC_MACRO_UP_TOP", "FUNC_MACRO_UP", "FUNC_MACRO_DOWN",
              "FUNC_MACRO_DOWN_BOTTOM", "FUNC_MACRO_DELETE2", "FUNC_MACRO_CLEAR", "FUNC_MACRO_RECORD"}) {
            button(k).setVisible(panel == Macro);
        }
        if (macroOnly) {
            widget<QLabel>("KEY_SETTING").setText(QStringLiteral("Macro editing"));
            for (const char* k :
                 {"CONTROL_KEY", "CONTROL_MEDIA", "CONTROL_FUNCTION", "CONTROL_CLEAR", "CONTROL_TITLE"}) {
                ui::placeImageButton(button(k), layout(), u16(QString::fromLatin1(k)), macro2_);
                button(k).setEnabled(false);
                if (std::string(k) != "CONTROL_TITLE" && std::string(k) != "CONTROL_CLEAR") {
                    button(k).setText(QString());
                }
            }
        }
    }

protected:
    void build() override {
        pics_ =
            pictures({"key_normal.jpg", "key_over.jpg", "key_down.jpg", "macro_normal.jpg", "macro_over.jpg",
                      "macro_down.jpg", "macro_disable.jpg", "macro2_normal.jpg", "macro2_over.jpg",
                      "macro2_down.jpg", "macro2_disable.jpg", "media_normal.jpg", "media_over.jpg",
                      "media_down.jpg", "function_normal.jpg", "function_over.jpg", "function_down.jpg"});
        // The tab of the shown panel is drawn pressed: selected uses the pressed picture.
        key_ = {&pics_[0], &pics_[1], &pics_[2], &pics_[0], &pics_[2]};
        macro_ = {&pics_[3], &pics_[4], &pics_[5], &pics_[6], &pics_[5]};
        macro2_ = {&pics_[7], &pics_[8], &pics_[9], &pics_[10], &pics_[9]};
        media_ = {&pics_[11], &pics_[12], &pics_[13], &pics_[11], &pics_[13]};
        function_ = {&pics_[14], &pics_[15], &pics_[16], &pics_[14], &pics_[16]};

        imageButton("CONTROL_MASK", key_).setEnabled(false);
        imageButton("CONTROL_TITLE", key_).setEnabled(false);
        const std::pair<const char*, const char*> tabs[] = {{"CONTROL_KEY", "Single Key"},
                                                            {"CONTROL_MACRO", "Macro"},
                                                            {"CONTROL_MEDIA", "Multimedia"},
                                                            {"CONTROL_FUNCTION", "Function"}};
        for (const auto& [key, text] : tabs) {
            caption(imageButton(key, key_), QString::fromLatin1(text));
        }
        imageButton("CONTROL_CLEAR", key_);
        imageButton("CONTROL_OSK", key_);
        caption(imageButton("CONTROL_OK", key_), QStringLiteral("OK"));
        caption(imageButton("CONTROL_CANCEL", key_), QStringLiteral("Cancel"));
        imageButton("FUNC_MACRO_ADD", macro_);
        imageButton("FUNC_MACRO_DELETE", macro_);
        const std::pair<const char*, const char*> actions[] = {
            {"FUNC_MACRO_UP_TOP", "Top"},     {"FUNC_MACRO_UP", "Up"},
            {"FUNC_MACRO_DOWN", "Down"},      {"FUNC_MACRO_DOWN_BOTTOM", "Bottom"},
            {"FUNC_MACRO_DELETE2", "Delete"}, {"FUNC_MACRO_CLEAR", "Clear"}};
        for (const auto& [key, text] : actions) {
            caption(imageButton(key, macro_), QString::fromLatin1(text));
        }
        caption(imageButton("FUNC_MACRO_RECORD", macro_), QStringLiteral("Record"), 8);

        textControl("KEY_SETTING", QStringLiteral("Key settings"), 10.8);
        textControl("TISHI_SINGLE_STATIC", QStringLiteral("Press the key that this button should send"),
                    10.8);
        textControl("MARCO_NAME_SETTING", QStringLiteral("Macro"), 10.8);
        textControl("MEDIA_SETTING_TISHI", QStringLiteral("Choose a media function"), 10.8);
        textControl("FUNCTION_KEY_SETTING_TISHI", QStringLiteral("Choose a function"), 10.8);
        auto* input = new QLineEdit(QStringLiteral("Caps Lock"), this);
        input->setReadOnly(true);
        input->setAlignment(Qt::AlignCenter);
        input->setFont(QFont(QStringLiteral("Verdana"), 18));
        control("FUNC_KEY_INPUT", input);
        auto combo = [&](const char* key, QStringList items) {
            auto* c = new QComboBox(this);
            c->addItems(items);
            c->setFont(QFont(QStringLiteral("Verdana"), 12));
            control(key, c);
        };
        combo("FUNC_MEDIA_SELECT", {QStringLiteral("Play/Pause"), QStringLiteral("Next Track")});
        combo("FUNC_FUNCTION_SELECT", {QStringLiteral("Copy"), QStringLiteral("Paste")});
        combo("FUNC_MACRO_LIST", {QStringLiteral("Macro 1"), QStringLiteral("Build order")});
        auto* list = new QTreeWidget(this);
        list->setColumnCount(3);
        list->setHeaderLabels(
            {QStringLiteral("Keys"), QStringLiteral("Action"), QStringLiteral("Delay (ms)")});
        list->setRootIsDecorated(false);
        list->setAlternatingRowColors(true);
        for (const auto& [k, a, d] : {std::tuple{"Ctrl", "Press", "0"},
                                      {"C", "Press", "35"},
                                      {"C", "Release", "62"},
                                      {"Ctrl", "Release", "18"}}) {
            list->addTopLevelItem(new QTreeWidgetItem(
                {QString::fromLatin1(k), QString::fromLatin1(a), QString::fromLatin1(d)}));
        }
        list->header()->resizeSection(0, 110);
        list->header()->resizeSection(1, 120);
        control("FUNC_MACRO_LIST2", list);
        auto* cycles = new QLineEdit(QStringLiteral("1"), this);
        control("FUNC_MACRO_CYCLES", cycles);
        textControl("FUNC_MACRO_CYCLES_PROMPT", QStringLiteral("Cycles"));
        auto* delay = new QCheckBox(this);
        delay->setChecked(true);
        control("FUNC_MACRO_RECORD_DELAY", delay);
        textControl("FUNC_MACRO_RECORD_DELAY2", QStringLiteral("Record Delay"));
    }

private:
    std::vector<QPixmap> pics_;
    StatePictures key_, macro_, macro2_, media_, function_;
};

// ---- Profile manager and update dialog ----

class ProfileDialog : public SkinDialog {
public:
    ProfileDialog(const std::filesystem::path& skins, QStringList& problems)
        : SkinDialog(131, skins, "Profile.ini", problems) {}

protected:
    void build() override {
        pics_ = pictures({"Profile_normal.jpg", "Profile_over.jpg", "Profile_down.jpg"});
        const StatePictures set{&pics_[0], &pics_[1], &pics_[2], &pics_[2], &pics_[2]};
        for (const char* k :
             {"CONTROL_OK", "CONTROL_CANCEL", "FUNC_ADD", "FUNC_LOAD", "FUNC_DELETE", "CONTROL2_APPLY"}) {
            imageButton(k, set);
        }
        button("CONTROL2_APPLY").setEnabled(false);
        auto* list = new QTreeWidget(this);
        list->setColumnCount(3);
        list->setHeaderLabels(
            {QString::fromUtf8("激活"), QString::fromUtf8("名称"), QString::fromUtf8("路径")});
        list->setRootIsDecorated(false);
        for (int p = 0; p < 3; ++p) {
            auto* row = new QTreeWidgetItem(
                {QString(), QStringLiteral("$Profile0"), QStringLiteral("/home/user/Documents/Velmora")});
            row->setCheckState(0, p == 1 ? Qt::Checked : Qt::Unchecked);
            list->addTopLevelItem(row);
        }
        list->header()->resizeSection(0, 60);
        list->header()->resizeSection(1, 120);
        control("PROGRAM_LIST", list);
    }

private:
    std::vector<QPixmap> pics_;
};

class UpdateDialog : public SkinDialog {
public:
    UpdateDialog(const std::filesystem::path& skins, QStringList& problems)
        : SkinDialog(149, skins, "UpdateDlg.ini", problems) {}

protected:
    void build() override {
        pics_ = pictures({"update_normal.jpg", "update_over.jpg"});
        const StatePictures set{&pics_[0], &pics_[1], &pics_[1], &pics_[0], &pics_[1]};
        for (const char* k :
             {"CONTROL_CUPButton", "CONTROL_UPButton", "CONTROL_OPENButton", "CONTROL_BACKUPButton"}) {
            imageButton(k, set);
        }
        textControl("CONTROL_UPStatic", QStringLiteral("/opt/tarvik/Package/firmware-update"));
        control("CONTROL_UPCombox", new QComboBox(this)).hide();
    }

private:
    std::vector<QPixmap> pics_;
};

// A colour around the hue circle, for the tinted screenshot.
QColor wheel(double t) {
    t = t - std::floor(t);
    return QColor::fromHsvF(t, 1.0, 1.0);
}

} // namespace

Gallery::Gallery(std::filesystem::path skins, QDir out) : skins_(std::move(skins)), out_(std::move(out)) {}

QStringList Gallery::run() {
    mainWindow();
    compositeDialog();
    profileDialog();
    updateDialog();
    return problems_;
}

void Gallery::shoot(QWidget& w, const QString& name, double scale) {
    QImage image(w.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.scale(scale, scale);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        w.render(&p, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    if (!w.mask().isEmpty()) {
        QImage clip(image.size(), QImage::Format_ARGB32_Premultiplied);
        clip.fill(Qt::transparent);
        QPainter p(&clip);
        p.scale(scale, scale);
        p.setClipRegion(w.mask());
        p.resetTransform();
        p.drawImage(0, 0, image);
        p.end();
        image = clip;
    }
    const QString file = out_.filePath(name + QStringLiteral(".png"));
    if (!image.save(file)) {
        problems_ << QStringLiteral("cannot write %1").arg(file);
    }
}

void Gallery::mainWindow() {
    MainWindow w(skins_, problems_);
    w.show();
    if (w.keys.empty()) {
        return;
    }
    auto each = [&](auto fn) {
        for (CPngButton* b : w.keys) {
            fn(*b);
        }
    };
    auto reset = [&] {
        each([](CPngButton& b) {
            b.setEnabled(true);
            b.setHover(false);
            b.setDown(false);
            b.setSelected(false);
            b.setTwoStateMode(false);
            b.clearTint();
        });
    };

    w.showLighting(0);
    shoot(w, QStringLiteral("main_normal"));
    shoot(w, QStringLiteral("main_normal_200"), 2.0);
    each([](CPngButton& b) { b.setHover(true); });
    shoot(w, QStringLiteral("main_hover"));
    reset();
    each([](CPngButton& b) { b.setDown(true); });
    shoot(w, QStringLiteral("main_pressed"));
    reset();
    each([](CPngButton& b) { b.setEnabled(false); });
    for (const char* k : {"CONTROL2_APPLY", "FUNC_PROFILE2", "FUNC_DEFAULT"}) {
        w.button(k).setEnabled(false);
    }
    shoot(w, QStringLiteral("main_disabled"));
    reset();
    for (const char* k : {"CONTROL2_APPLY", "FUNC_PROFILE2", "FUNC_DEFAULT"}) {
        w.button(k).setEnabled(true);
    }

    // Colour-keys mode: the gaming cluster lit, the rest off.
    const QStringList lit = {"KEY_011", "KEY_01E", "KEY_01F", "KEY_020", "KEY_0C8", "KEY_0CB",
                             "KEY_0D0", "KEY_0CD", "KEY_039", "KEY_02A", "KEY_01D", "KEY_001"};
    each([&](CPngButton& b) {
        b.setTwoStateMode(true);
        b.setTwoStateValue(lit.contains(b.objectName()));
    });
    shoot(w, QStringLiteral("main_colour_keys"));
    reset();

    // Lighting preview: a wave across the columns, the panel on in mode 1.
    w.showLighting(1);
    each([&](CPngButton& b) { b.setTint(wheel(b.x() / 900.0), 50); });
    shoot(w, QStringLiteral("main_tinted"));
    reset();

    // A working session: a few assigned keys, one hovered, one pressed, the G layer B, user lighting.
    for (const char* k : {"FUNC_G1", "FUNC_G2", "FUNC_G5", "KEY_03B", "KEY_0DB"}) {
        w.button(k).setSelected(true);
    }
    w.button("KEY_022").setHover(true);
    w.button("KEY_010").setDown(true);
    w.button("LOCK_AB").setSelected(true);
    w.button("FUNC_REPORT1").setSelected(false);
    w.button("FUNC_REPORT3").setSelected(true);
    w.showLighting(20);
    shoot(w, QStringLiteral("main_session"));
    for (int mode : {12, 17, 18}) {
        w.showLighting(mode);
        shoot(w, QStringLiteral("main_lighting_mode%1").arg(mode));
    }
}

void Gallery::compositeDialog() {
    CompositeDialog d(skins_, problems_);
    d.show();
    d.showPanel(CompositeDialog::Key, false);
    shoot(d, QStringLiteral("composite_key"));
    d.button("CONTROL_OK").setHover(true);
    d.button("CONTROL_CLEAR").setDown(true);
    shoot(d, QStringLiteral("composite_key_hover_pressed"));
    d.button("CONTROL_OK").setHover(false);
    d.button("CONTROL_CLEAR").setDown(false);
    d.showPanel(CompositeDialog::Macro, false);
    d.button("FUNC_MACRO_RECORD").setHover(true);
    shoot(d, QStringLiteral("composite_macro"));
    d.button("FUNC_MACRO_RECORD").setHover(false);
    d.showPanel(CompositeDialog::Media, false);
    shoot(d, QStringLiteral("composite_media"));
    d.showPanel(CompositeDialog::Function, false);
    shoot(d, QStringLiteral("composite_function"));
    d.showPanel(CompositeDialog::Macro, true);
    shoot(d, QStringLiteral("composite_macro_only"));
}

void Gallery::profileDialog() {
    ProfileDialog d(skins_, problems_);
    d.show();
    shoot(d, QStringLiteral("profile"));
    d.button("FUNC_ADD").setHover(true);
    d.button("CONTROL_OK").setDown(true);
    shoot(d, QStringLiteral("profile_hover_pressed"));
}

void Gallery::updateDialog() {
    UpdateDialog d(skins_, problems_);
    d.show();
    shoot(d, QStringLiteral("update"));
    d.button("CONTROL_UPButton").setHover(true);
    shoot(d, QStringLiteral("update_hover"));
}

} // namespace tarvik::gallery
