// Checks on the skins the build generated into the program folder: every layout key and picture the
// program asks for is there, and the key buttons sit on key caps inside the window without overlapping.
#include "platform/IniFile.h"
#include "platform/Utf.h"
#include "ui/SkinRect.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarvik::ui {
namespace {

std::filesystem::path skinFolder() {
    const char* bin = std::getenv("TARVIK_BIN_DIR");
    return std::filesystem::path(bin != nullptr ? bin : "bin") / "Skins";
}

IniFile layoutFile(const char* name) {
    return IniFile::load(skinFolder() / name);
}

QImage picture(const std::string& name) {
    return QImage(QString::fromStdString((skinFolder() / name).string()));
}

std::u16string u16(const std::string& s) {
    return toUtf16(s);
}

std::vector<std::string> keyButtonNames() {
    return {
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
        "KEY_053", "KEY_0B5", "KEY_037", "KEY_04A", "KEY_04E",
    };
}

std::vector<std::string> gButtonNames() {
    std::vector<std::string> names;
    for (int n = 1; n <= 9; ++n) {
        names.push_back("FUNC_G" + std::to_string(n));
    }
    return names;
}

// The image buttons and controls of the main window other than the key and G buttons.
const std::vector<std::string> kMainImageButtons = {
    "TEMBRA_LINK",   "FUNC_PROFILES",    "FUNC_MACRO",    "CONTROL_OK",     "CONTROL_CANCEL", "CONTROL_HELP",
    "CONTROL_CLOSE", "CONTROL_MINIMIZE", "CONTROL_MENU",  "CONTROL2_APPLY", "LOCK_CAPS",      "LOCK_NUM",
    "LOCK_SCROLL",   "LOCK_AB",          "FLIP_0",        "FLIP_1",         "FLIP_2",         "TEMBRA_VER",
    "FUNC_PROFILE1", "FUNC_PROFILE2",    "FUNC_PROFILE3", "FUNC_DEFAULT",   "FUNC_SWITCH",    "FUNC_REPORT1",
    "FUNC_REPORT2",  "FUNC_REPORT3",     "FUNC_REPORT4",  "KEY_FN",         "KEY_PCGAME",     "KEY_FACEBOOK",
    "KEY_INSTARGRAM"};
const std::vector<std::string> kMainControls = {
    "CONTROL_UsbStatic",     "CONTROL_DengStatic",    "CONTROL_DengStaPic",     "CONTROL_DengDisable",
    "CONTROL_XGcombox",      "CONTROL_JDTStatic",     "CONTROL_LightStatic",    "CONTROL_LightSlider",
    "CONTROL_SpeedStatic",   "CONTROL_SpeedSlider",   "CONTROL_COLORFULStatic", "CONTROL_BLFXStatic",
    "CONTROL_BLFXLStaPic",   "CONTROL_BLFXRStaPic",   "CONTROL_BLFXStatic2",    "CONTROL_BLFXLStaPic2",
    "CONTROL_BLFXRStaPic2",  "CONTROL_BLFXStatic3",   "CONTROL_BLFXLStaPic3",   "CONTROL_BLFXRStaPic3",
    "CONTROL_FYYSStatic",    "CONTROL_FYYSButton",    "CONTROL_FYSJSStaPic",    "CONTROL_FYCFStatic",
    "CONTROL_FYdjcfStatic",  "CONTROL_FYggcfStatc",   "CONTROL_FYdjcfStaPic",   "CONTROL_FYggcfStaPic",
    "CONTROL_HONGPIC",       "CONTROL_HUANGPIC",      "CONTROL_LVPIC",          "CONTROL_LANPIC",
    "CONTROL_HXysStatic",    "CONTROL_HXysButton",    "CONTROL_HXsjsStatic",    "CONTROL_HXsjsStaPic",
    "CONTROL_JTysStatic",    "CONTROL_JTysButton",    "CONTROL_USERysStatic",   "CONTROL_USERysButton",
    "CONTROL_USERjsStatic",  "CONTROL_USERjsButton",  "CONTROL_USERgjStatic",   "CONTROL_USERgjtStatic",
    "CONTROL_USERgjStaPic1", "CONTROL_USERgjStaPic2", "CONTROL_TSysStatic",     "CONTROL_TSysButton",
    "CONTROL_TSsjsStatic",   "CONTROL_TSsjsStaPic",   "CONTROL_CDysStatic",     "CONTROL_CDysButton",
    "CONTROL_CDsjsStatic",   "CONTROL_CDsjsStaPic",   "CONTROL_umCombo"};
const std::vector<std::string> kCompositeKeys = {"CONTROL_MASK",
                                                 "CONTROL_TITLE",
                                                 "CONTROL_OSK",
                                                 "CONTROL_CLEAR",
                                                 "CONTROL_MEDIA",
                                                 "CONTROL_MACRO",
                                                 "CONTROL_KEY",
                                                 "CONTROL_FUNCTION",
                                                 "CONTROL_OK",
                                                 "CONTROL_CANCEL",
                                                 "FUNC_MACRO_DELETE",
                                                 "FUNC_MACRO_ADD",
                                                 "FUNC_MACRO_UP_TOP",
                                                 "FUNC_MACRO_UP",
                                                 "FUNC_MACRO_DOWN",
                                                 "FUNC_MACRO_DOWN_BOTTOM",
                                                 "FUNC_MACRO_DELETE2",
                                                 "FUNC_MACRO_CLEAR",
                                                 "FUNC_MACRO_RECORD",
                                                 "FUNC_MACRO_RECORD_DELAY",
                                                 "FUNC_MACRO_LIST2",
                                                 "FUNC_MACRO_CYCLES",
                                                 "FUNC_MACRO_CYCLES_PROMPT",
                                                 "TISHI_SINGLE_STATIC",
                                                 "MARCO_NAME_SETTING",
                                                 "KEY_SETTING",
                                                 "MEDIA_SETTING_TISHI",
                                                 "FUNCTION_KEY_SETTING_TISHI",
                                                 "FUNC_MACRO_RECORD_DELAY2",
                                                 "FUNC_KEY_INPUT",
                                                 "FUNC_MEDIA_SELECT",
                                                 "FUNC_MACRO_LIST",
                                                 "FUNC_FUNCTION_SELECT"};
const std::vector<std::string> kProfileKeys = {"CONTROL_OK",  "CONTROL_CANCEL", "FUNC_ADD",    "FUNC_LOAD",
                                               "FUNC_DELETE", "CONTROL2_APPLY", "PROGRAM_LIST"};
const std::vector<std::string> kUpdateKeys = {"CONTROL_UPStatic",   "CONTROL_UPCombox",
                                              "CONTROL_CUPButton",  "CONTROL_UPButton",
                                              "CONTROL_OPENButton", "CONTROL_BACKUPButton"};

// Each layout file with its "BUTTONINFO" keys and the whole-window state pictures sized like its
// background.
struct Dialog {
    const char* file;
    std::vector<std::string> keys;
    std::vector<std::string> statePictures;
};

std::vector<Dialog> dialogs() {
    std::vector<std::string> mainKeys = kMainImageButtons;
    mainKeys.insert(mainKeys.end(), kMainControls.begin(), kMainControls.end());
    for (const auto& n : gButtonNames()) {
        mainKeys.push_back(n);
    }
    for (const auto& n : keyButtonNames()) {
        mainKeys.push_back(n);
    }
    return {
        {"Main.ini",
         mainKeys,
         {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg", "Arrow.jpg",
          "main_color0.jpg", "main_color1.jpg"}},
        {"Composite.ini",
         kCompositeKeys,
         {"key_normal.jpg", "key_over.jpg", "key_down.jpg", "macro_normal.jpg", "macro_over.jpg",
          "macro_down.jpg", "macro_disable.jpg", "macro2_normal.jpg", "macro2_over.jpg", "macro2_down.jpg",
          "macro2_disable.jpg", "media_normal.jpg", "media_over.jpg", "media_down.jpg", "function_normal.jpg",
          "function_over.jpg", "function_down.jpg"}},
        {"Profile.ini", kProfileKeys, {"Profile_normal.jpg", "Profile_over.jpg", "Profile_down.jpg"}},
        {"UpdateDlg.ini", kUpdateKeys, {"update_normal.jpg", "update_over.jpg"}},
    };
}

TEST(GeneratedSkins, EveryLayoutKeyIsPresent) {
    EXPECT_EQ(keyButtonNames().size(), 104u);
    for (const Dialog& d : dialogs()) {
        const IniFile ini = layoutFile(d.file);
        for (const std::string& key : d.keys) {
            EXPECT_TRUE(ini.contains(u"BUTTONINFO", u16(key))) << d.file << ": " << key;
            // A value the layout functions would read as the missing-key default is not a placement.
            const SkinRect r = readSkinRect(ini, u16(key));
            EXPECT_GT(r.w, 0) << d.file << ": " << key;
            EXPECT_GT(r.h, 0) << d.file << ": " << key;
        }
    }
}

TEST(GeneratedSkins, BackgroundMaskAndStatePicturesLoadAndMatchInSize) {
    for (const Dialog& d : dialogs()) {
        const IniFile ini = layoutFile(d.file);
        const QImage bg = picture(toUtf8(ini.get(u"SCREEN", u"Main")));
        const QImage mask = picture(toUtf8(ini.get(u"SCREEN", u"Mask")));
        ASSERT_FALSE(bg.isNull()) << d.file;
        ASSERT_FALSE(mask.isNull()) << d.file;
        EXPECT_EQ(mask.size(), bg.size()) << d.file;
        // Rounded corners are outside, the middle is inside.
        EXPECT_EQ(mask.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu) << d.file;
        EXPECT_NE(mask.pixel(bg.width() / 2, bg.height() / 2) & 0xFFFFFF, 0xFFFFFFu) << d.file;
        for (const std::string& name : d.statePictures) {
            const QImage state = picture(name);
            ASSERT_FALSE(state.isNull()) << name;
            EXPECT_EQ(state.size(), bg.size()) << name;
        }
        if (std::string(d.file) == "Main.ini") {
            EXPECT_LE(bg.width(), 1366);
            EXPECT_LE(bg.height(), 768 - 40) << "room for a panel on a 1366 x 768 screen";
        }
    }
}

TEST(GeneratedSkins, LightingPicturesExistAtTheSizeOfTheirControls) {
    std::map<std::string, std::vector<std::string>> byControl = {
        {"CONTROL_DengStatic", {"led.bmp"}},
        {"CONTROL_DengStaPic", {"LED_enabled_on.bmp", "LED_enabled_off.bmp"}},
        {"CONTROL_DengDisable", {"LED_disabled_on.bmp", "LED_disabled_off.bmp"}},
        {"CONTROL_LightStatic", {"brightness.bmp"}},
        {"CONTROL_SpeedStatic", {"speed.bmp"}},
        {"CONTROL_BLFXStatic", {"direction.bmp"}},
        {"CONTROL_COLORFULStatic", {"colorful.bmp"}},
        {"CONTROL_HXysStatic", {"color.bmp"}},
        {"CONTROL_FYYSStatic", {"color.bmp"}},
        {"CONTROL_BLFXLStaPic",
         {"leftdown.bmp", "leftup.bmp", "updown.bmp", "upup.bmp", "kuosandown.bmp", "kuosan.bmp"}},
        {"CONTROL_BLFXRStaPic",
         {"rightdown.bmp", "rightup.bmp", "downdown.bmp", "downup.bmp", "julongdown.bmp", "julong.bmp"}},
        {"CONTROL_HXsjsStaPic", {"sjsup.bmp", "sjsdown.bmp"}},
        {"CONTROL_HONGPIC", {"hong.bmp", "hongok.bmp"}},
        {"CONTROL_HUANGPIC", {"huang.bmp", "huangok.bmp"}},
        {"CONTROL_LVPIC", {"lv.bmp", "lvok.bmp"}},
        {"CONTROL_LANPIC", {"lan.bmp", "lanok.bmp"}},
        {"CONTROL_USERgjStaPic1", {"user1down.bmp", "user1up.bmp"}},
        {"CONTROL_USERgjStaPic2", {"user2down.bmp", "user2up.bmp"}},
    };
    for (int i = 0; i <= 5; ++i) {
        byControl["CONTROL_LightSlider"].push_back(std::to_string(i) + ".bmp");
        byControl["CONTROL_SpeedSlider"].push_back(std::to_string(6 + i) + ".bmp");
    }
    for (int i = 1; i <= 10; ++i) {
        byControl["CONTROL_JDTStatic"].push_back("jdt" + std::to_string(i) + ".bmp");
    }
    const IniFile ini = layoutFile("Main.ini");
    for (const auto& [control, names] : byControl) {
        const SkinRect r = readSkinRect(ini, u16(control));
        for (const std::string& name : names) {
            const QImage img = picture(name);
            ASSERT_FALSE(img.isNull()) << name;
            EXPECT_EQ(img.size(), QSize(r.w, r.h)) << name << " on " << control;
        }
    }
    // The direction pairs share places: every set of the three must have the same sizes.
    for (const char* suffix : {"2", "3"}) {
        for (const char* base : {"CONTROL_BLFXStatic", "CONTROL_BLFXLStaPic", "CONTROL_BLFXRStaPic"}) {
            const SkinRect plain = readSkinRect(ini, u16(base));
            const SkinRect moved = readSkinRect(ini, u16(std::string(base) + suffix));
            EXPECT_EQ(QSize(plain.w, plain.h), QSize(moved.w, moved.h)) << base << suffix;
        }
    }
}

TEST(GeneratedSkins, IconsExist) {
    for (const char* name : {"program_icon.png", "tray_128.png", "tray_141.png", "tray_142.png"}) {
        const QImage icon = picture(name);
        ASSERT_FALSE(icon.isNull()) << name;
        EXPECT_EQ(icon.width(), icon.height()) << name;
        EXPECT_TRUE(icon.hasAlphaChannel()) << name;
    }
    EXPECT_NE(picture("tray_128.png"), picture("tray_141.png"));
    EXPECT_NE(picture("tray_141.png"), picture("tray_142.png"));
}

TEST(GeneratedSkins, MainWindowTextsLinksAndModeNames) {
    const IniFile ini = layoutFile("Main.ini");
    for (const char16_t* link : {u"Link", u"Link1", u"Link2"}) {
        EXPECT_EQ(ini.get(u"SCREEN", link).rfind(u"https://example.org/", 0), 0u);
    }
    for (int code = 1; code <= 20; ++code) {
        const std::u16string key = u16(std::to_string(code));
        for (const char16_t* section : {u"Mode", u"Mode1"}) {
            if (code == 19) {
                EXPECT_FALSE(ini.contains(section, key));
                continue;
            }
            const std::u16string name = ini.get(section, key);
            EXPECT_FALSE(name.empty()) << code;
            EXPECT_NE(name, u"1") << code;
        }
        if (code != 19) {
            EXPECT_NE(ini.get(u"Mode", key), ini.get(u"Mode1", key))
                << "English and Chinese names of " << code;
        }
    }
    // Language 0 is Chinese and reads the plain sections; language 1 is English and reads the "1" ones.
    auto isAscii = [](const std::u16string& s) {
        return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; });
    };
    for (const char16_t* key : {u"1", u"6", u"20"}) {
        EXPECT_TRUE(isAscii(ini.get(u"Mode1", key))) << "Mode1 holds the English names";
        EXPECT_FALSE(isAscii(ini.get(u"Mode", key))) << "Mode holds the Chinese names";
    }
    EXPECT_TRUE(isAscii(ini.get(u"Control_Name1", u"Usb")));
    EXPECT_FALSE(isAscii(ini.get(u"Control_Name", u"Usb")));
    for (const char16_t* key : {u"Usb", u"Color", u"JColor", u"Tool", u"ETool"}) {
        EXPECT_FALSE(ini.get(u"Control_Name", key).empty());
    }
    for (const char16_t* key : {u"Usb", u"Color", u"JColor", u"Tool"}) {
        EXPECT_FALSE(ini.get(u"Control_Name1", key).empty());
    }
}

QRect rectOf(const IniFile& ini, const std::string& key) {
    const SkinRect r = readSkinRect(ini, u16(key));
    return QRect(r.x, r.y, r.w, r.h);
}

TEST(GeneratedSkins, KeyButtonsLieInsideTheWindowWithoutOverlapping) {
    const IniFile ini = layoutFile("Main.ini");
    const QImage bg = picture(toUtf8(ini.get(u"SCREEN", u"Main")));
    ASSERT_FALSE(bg.isNull());
    std::vector<std::string> buttons = keyButtonNames();
    for (const auto& g : gButtonNames()) {
        buttons.push_back(g);
    }
    // The other always-visible image buttons must not cover a key either (OK and Cancel are not shown).
    for (const auto& b : kMainImageButtons) {
        if (b != "CONTROL_OK" && b != "CONTROL_CANCEL") {
            buttons.push_back(b);
        }
    }
    std::vector<QRect> rects;
    for (const std::string& b : buttons) {
        const QRect r = rectOf(ini, b);
        EXPECT_TRUE(QRect(QPoint(0, 0), bg.size()).contains(r)) << b;
        EXPECT_FALSE(disablesImageButton(readSkinRect(ini, u16(b)))) << b;
        rects.push_back(r);
    }
    for (size_t i = 0; i < rects.size(); ++i) {
        for (size_t j = i + 1; j < rects.size(); ++j) {
            EXPECT_FALSE(rects[i].intersects(rects[j])) << buttons[i] << " overlaps " << buttons[j];
        }
    }
}

int distance(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

TEST(GeneratedSkins, EveryKeyButtonCentreShowsAKeyCap) {
    const IniFile ini = layoutFile("Main.ini");
    const QImage normal = picture("main_normal.jpg");
    ASSERT_FALSE(normal.isNull());
    // A button at (x, y) shows the picture from (x - 1, y - 1).
    auto at = [&](int x, int y) { return normal.pixel(x - 1, y - 1); };
    // The empty space between Esc and F1 is the board itself on every full-size layout.
    const QRect esc = rectOf(ini, "KEY_001"), f1 = rectOf(ini, "KEY_03B");
    ASSERT_GT(f1.left() - esc.right(), 20);
    const QRgb board = at((esc.right() + f1.left()) / 2, esc.center().y());
    EXPECT_LT(qGray(board), 60);
    std::vector<std::string> buttons = keyButtonNames();
    for (const auto& g : gButtonNames()) {
        buttons.push_back(g);
    }
    buttons.push_back("KEY_FN");
    for (const std::string& b : buttons) {
        const QRect r = rectOf(ini, b);
        EXPECT_GT(distance(at(r.center().x(), r.center().y()), board), 40) << b << " centre shows the board";
    }
}

// Mean difference per channel between the w x h areas of two pictures.
double meanDifference(const QImage& a, QPoint at, const QImage& b, QPoint bt, QSize size) {
    long long sum = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            sum += distance(a.pixel(at.x() + x, at.y() + y), b.pixel(bt.x() + x, bt.y() + y));
        }
    }
    return static_cast<double>(sum) / (3.0 * size.width() * size.height());
}

TEST(GeneratedSkins, ButtonsShowWhatTheBackgroundShowsUnderThem) {
    // A button at (x, y) shows its normal picture from (x - 1, y - 1) over the background painted at
    // (0, 0): in the normal state the two must agree, or every button would show a seam.
    const IniFile ini = layoutFile("Main.ini");
    const QImage bg = picture(toUtf8(ini.get(u"SCREEN", u"Main")));
    const QImage normal = picture("main_normal.jpg");
    ASSERT_FALSE(bg.isNull());
    ASSERT_FALSE(normal.isNull());
    std::vector<std::string> buttons = keyButtonNames();
    for (const auto& b :
         {"FUNC_G1", "FUNC_G9", "KEY_FN", "CONTROL2_APPLY", "FUNC_PROFILE1", "CONTROL_CLOSE"}) {
        buttons.push_back(b);
    }
    for (const std::string& b : buttons) {
        const QRect r = rectOf(ini, b);
        const double aligned = meanDifference(normal, r.topLeft() - QPoint(1, 1), bg, r.topLeft(), r.size());
        const double shifted = meanDifference(normal, r.topLeft(), bg, r.topLeft(), r.size());
        EXPECT_LT(aligned, 3.0) << b;
        EXPECT_LT(aligned * 2, shifted) << b;
    }
}

TEST(GeneratedSkins, CompositePanelButtonsLieOnThePanelPicture) {
    const IniFile ini = layoutFile("Composite.ini");
    const QRect panel = rectOf(ini, "CONTROL_MASK");
    for (const char* key : {"FUNC_MACRO_DELETE", "FUNC_MACRO_ADD", "FUNC_MACRO_UP_TOP", "FUNC_MACRO_UP",
                            "FUNC_MACRO_DOWN", "FUNC_MACRO_DOWN_BOTTOM", "FUNC_MACRO_DELETE2",
                            "FUNC_MACRO_CLEAR", "FUNC_MACRO_RECORD", "FUNC_MACRO_LIST2", "FUNC_MACRO_LIST",
                            "FUNC_KEY_INPUT", "FUNC_MEDIA_SELECT", "FUNC_FUNCTION_SELECT", "KEY_SETTING"}) {
        EXPECT_TRUE(panel.contains(rectOf(ini, key))) << key;
    }
    const std::vector<std::string> tabs = {"CONTROL_KEY", "CONTROL_MACRO", "CONTROL_MEDIA",
                                           "CONTROL_FUNCTION"};
    for (size_t i = 0; i < tabs.size(); ++i) {
        EXPECT_FALSE(rectOf(ini, tabs[i]).intersects(panel)) << tabs[i];
        for (size_t j = i + 1; j < tabs.size(); ++j) {
            EXPECT_FALSE(rectOf(ini, tabs[i]).intersects(rectOf(ini, tabs[j])));
        }
    }
}

} // namespace
} // namespace tarvik::ui
