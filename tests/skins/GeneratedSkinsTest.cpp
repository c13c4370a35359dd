// Checks on the skins the build generated into the program folder: every layout key and picture the
// program asks for is there, and the key buttons sit on key caps inside the window without overlapping;
// every picture has a sharp 2x twin; the words of the skin are captions that fit in both languages
// instead of text baked into pictures; the icons read at tray sizes.
#include "platform/IniFile.h"
#include "platform/Utf.h"
#include "ui/PictureSize.h"
#include "ui/SkinRect.h"
#include "ui/TextKeys.h"

#include <QDirIterator>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarvik::ui {
namespace {

std::filesystem::path skinFolder() {
    const char* bin = std::getenv("TARVIK_BIN_DIR");
    return std::filesystem::path(bin != nullptr ? bin : "bin") / "Skins";
}

// The desktop icons are generated beside the program folder, not into it.
std::filesystem::path iconFolder() {
    return skinFolder().parent_path().parent_path() / "icons";
}

IniFile layoutFile(const char* name) {
    return IniFile::load(skinFolder() / name);
}

QImage picture(const std::string& name) {
    return QImage(QString::fromStdString((skinFolder() / name).string()));
}

// The size the window measures a picture by before it decodes it.
QSize headerSize(const std::string& name) {
    const std::optional<PixelSize> s = pictureFileSize(skinFolder() / name);
    return s ? QSize(s->width, s->height) : QSize();
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
                                                 "CONTROL_APPLY",
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
const std::vector<std::string> kAppRulesKeys = {"APPRULES_STATUS", "APPRULES_LIST", "APPRULES_FALLBACK",
                                                "FUNC_ADD",        "FUNC_DELETE",   "CONTROL_CANCEL"};
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
         {"key_normal.jpg", "key_over.jpg", "key_down.jpg", "key_disable.jpg", "macro_normal.jpg",
          "macro_over.jpg", "macro_down.jpg", "macro_disable.jpg", "macro2_normal.jpg", "macro2_over.jpg",
          "macro2_down.jpg", "macro2_disable.jpg", "media_normal.jpg", "media_over.jpg", "media_down.jpg",
          "function_normal.jpg", "function_over.jpg", "function_down.jpg"}},
        {"Profile.ini", kProfileKeys, {"Profile_normal.jpg", "Profile_over.jpg", "Profile_down.jpg"}},
        {"UpdateDlg.ini", kUpdateKeys, {"update_normal.jpg", "update_over.jpg"}},
        {"AppRules.ini", kAppRulesKeys, {"AppRules_normal.jpg", "AppRules_over.jpg", "AppRules_down.jpg"}},
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
        const std::string bgName = toUtf8(ini.get(u"SCREEN", u"Main"));
        const std::string maskName = toUtf8(ini.get(u"SCREEN", u"Mask"));
        const QImage bg = picture(bgName);
        const QImage mask = picture(maskName);
        ASSERT_FALSE(bg.isNull()) << d.file;
        ASSERT_FALSE(mask.isNull()) << d.file;
        EXPECT_EQ(mask.size(), bg.size()) << d.file;
        EXPECT_EQ(headerSize(bgName), bg.size()) << bgName;
        EXPECT_EQ(headerSize(maskName), mask.size()) << maskName;
        // Rounded corners are outside, the middle is inside.
        EXPECT_EQ(mask.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu) << d.file;
        EXPECT_NE(mask.pixel(bg.width() / 2, bg.height() / 2) & 0xFFFFFF, 0xFFFFFFu) << d.file;
        for (const std::string& name : d.statePictures) {
            const QImage state = picture(name);
            ASSERT_FALSE(state.isNull()) << name;
            EXPECT_EQ(state.size(), bg.size()) << name;
            EXPECT_EQ(headerSize(name), bg.size()) << name;
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
}

// The icon drawn over a panel of the given colour and shrunk to size pixels, as a tray host shows it.
QImage onPanel(const QImage& icon, QColor panel, int size) {
    QImage out(size, size, QImage::Format_RGB32);
    out.fill(panel);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(0, 0, size, size), icon);
    return out;
}

int distance(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

TEST(GeneratedSkins, TrayIconsStandOutOnLightAndDarkPanelsAndDifferAtSixteenPixels) {
    const char* names[] = {"tray_128.png", "tray_141.png", "tray_142.png"};
    for (const QColor panel : {QColor(0xf2, 0xf2, 0xf2), QColor(0x20, 0x21, 0x24)}) {
        std::vector<QImage> small;
        for (const char* name : names) {
            const QImage icon = picture(name);
            ASSERT_FALSE(icon.isNull()) << name;
            for (int size : {16, 24}) {
                const QImage shown = onPanel(icon, panel, size);
                int contrasting = 0;
                for (int y = 0; y < size; ++y) {
                    for (int x = 0; x < size; ++x) {
                        contrasting += distance(shown.pixel(x, y), panel.rgb()) > 150 ? 1 : 0;
                    }
                }
                // A quarter of the icon in strong contrast: a shape, not a smudge.
                EXPECT_GT(contrasting, size * size / 4)
                    << name << " at " << size << " px on " << panel.name().toStdString();
            }
            small.push_back(onPanel(icon, panel, 16));
        }
        for (size_t i = 0; i < small.size(); ++i) {
            for (size_t j = i + 1; j < small.size(); ++j) {
                long long sum = 0;
                for (int y = 0; y < 16; ++y) {
                    for (int x = 0; x < 16; ++x) {
                        sum += distance(small[i].pixel(x, y), small[j].pixel(x, y));
                    }
                }
                EXPECT_GT(sum / (16.0 * 16.0), 30.0)
                    << names[i] << " and " << names[j] << " look alike at 16 px on "
                    << panel.name().toStdString();
            }
        }
    }
}

TEST(GeneratedSkins, ThemeIconsInEverySizeAndAsScalableSvg) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const std::string dim = std::to_string(size) + "x" + std::to_string(size);
        const QImage icon(QString::fromStdString(
            (iconFolder() / "hicolor" / dim / "apps" / "io.github.tarvik.Tarvik.png").string()));
        ASSERT_FALSE(icon.isNull()) << dim;
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_TRUE(icon.hasAlphaChannel()) << dim;
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << dim << ": corners are transparent";
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << dim;
    }
    QFile svg(QString::fromStdString(
        (iconFolder() / "hicolor/scalable/apps/io.github.tarvik.Tarvik.svg").string()));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    int shapes = 0;
    bool root = false;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            root = root || (xml.name() == QLatin1String("svg") && xml.attributes().hasAttribute("viewBox"));
            shapes += xml.name() == QLatin1String("rect") ? 1 : 0;
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(root);
    EXPECT_GT(shapes, 10);
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

// Every picture of the skin folder that is not itself a twin.
std::vector<std::filesystem::path> skinPictures() {
    std::vector<std::filesystem::path> out;
    for (const auto& entry : std::filesystem::directory_iterator(skinFolder())) {
        const std::string name = entry.path().filename().string();
        const std::string ext = entry.path().extension().string();
        if ((ext == ".jpg" || ext == ".bmp" || ext == ".png") && name.find("@2x") == std::string::npos) {
            out.push_back(entry.path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(GeneratedSkins, EveryPictureHasASharpTwiceSizedTwinShowingTheSame) {
    const auto pictures = skinPictures();
    ASSERT_GT(pictures.size(), 90u);
    for (const auto& path : pictures) {
        const std::string twinName = path.stem().string() + "@2x" + path.extension().string();
        const QImage one(QString::fromStdString(path.string()));
        const QImage two(QString::fromStdString((path.parent_path() / twinName).string()));
        ASSERT_FALSE(one.isNull()) << path;
        ASSERT_FALSE(two.isNull()) << twinName;
        ASSERT_EQ(two.size(), one.size() * 2) << twinName;
        // Shrunk back, the twin shows what the picture shows, at the same place.
        const QImage back = two.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                .scaled(one.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage ref = one.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const double aligned = meanDifference(back, {0, 0}, ref, {0, 0}, one.size());
        // Icons are sharp shapes on transparency, where every edge pixel differs a little more.
        EXPECT_LT(aligned, one.hasAlphaChannel() ? 12.0 : 6.0) << twinName;
        if (one.width() >= 64 && one.height() >= 64) {
            // A twin drawn with the wrong offset would agree as well shifted by a pixel.
            const QSize inner = one.size() - QSize(2, 2);
            const double shifted = meanDifference(back, {1, 1}, ref, {0, 0}, inner);
            EXPECT_LT(aligned * 1.5, shifted) << twinName;
        }
        // Drawn at twice the resolution, not enlarged: lossless twins have edges inside pixel pairs.
        if (path.extension() != ".jpg" && path.stem().string().find("mask") == std::string::npos) {
            int split = 0;
            for (int y = 0; y + 1 < two.height(); y += 2) {
                for (int x = 0; x + 1 < two.width(); x += 2) {
                    const QRgb c = two.pixel(x, y);
                    split +=
                        (two.pixel(x + 1, y) != c || two.pixel(x, y + 1) != c || two.pixel(x + 1, y + 1) != c)
                            ? 1
                            : 0;
                }
            }
            EXPECT_GT(split, 0) << twinName << " is an enlarged copy";
        }
    }
}

// ---- Captions: the words of the skin, drawn by the windows ----

struct CaptionEntry {
    std::string key;
    QRect rect;
    int pixelSize = 0;
    std::string align;
    std::string style;
};

std::vector<CaptionEntry> captionsOf(const IniFile& ini) {
    std::vector<CaptionEntry> out;
    for (const std::u16string& key : ini.keys(u"CAPTIONS")) {
        const QStringList f = QString::fromStdU16String(ini.get(u"CAPTIONS", key)).split(QLatin1Char(','));
        CaptionEntry c;
        c.key = toUtf8(key);
        if (f.size() == 7) {
            c.rect = QRect(f[0].toInt(), f[1].toInt(), f[2].toInt(), f[3].toInt());
            c.pixelSize = f[4].toInt();
            c.align = f[5].toStdString();
            c.style = f[6].toStdString();
        }
        out.push_back(c);
    }
    return out;
}

QFont captionFont(const CaptionEntry& c) {
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei")});
    f.setPixelSize(c.pixelSize);
    f.setBold(c.style != "label");
    return f;
}

TEST(GeneratedSkins, CaptionsAreWellFormedInsideTheWindowAndNameTheirControls) {
    int total = 0;
    for (const char* file : {"Main.ini", "Composite.ini", "Profile.ini", "UpdateDlg.ini", "AppRules.ini"}) {
        const IniFile ini = layoutFile(file);
        const QImage bg = picture(toUtf8(ini.get(u"SCREEN", u"Main")));
        ASSERT_FALSE(bg.isNull()) << file;
        const auto captions = captionsOf(ini);
        total += static_cast<int>(captions.size());
        for (const CaptionEntry& c : captions) {
            SCOPED_TRACE(std::string(file) + ": " + c.key);
            EXPECT_TRUE(QRect(QPoint(0, 0), bg.size()).contains(c.rect));
            EXPECT_FALSE(c.rect.isEmpty());
            EXPECT_GE(c.pixelSize, 10);
            EXPECT_TRUE(c.align == "left" || c.align == "center" || c.align == "right");
            EXPECT_TRUE(c.style == "title" || c.style == "caption" || c.style == "label");
        }
        for (const std::u16string& key : ini.keys(u"CAPTION_OWNERS")) {
            EXPECT_TRUE(ini.contains(u"CAPTIONS", key)) << file << ": owner given for no caption";
            const std::u16string owner = ini.get(u"CAPTION_OWNERS", key);
            EXPECT_TRUE(ini.contains(u"BUTTONINFO", owner)) << file << ": " << toUtf8(owner);
        }
        // Captions that share a place must each belong to a control, so they are never shown together.
        for (size_t i = 0; i < captions.size(); ++i) {
            for (size_t j = i + 1; j < captions.size(); ++j) {
                if (captions[i].rect.intersects(captions[j].rect)) {
                    EXPECT_TRUE(ini.contains(u"CAPTION_OWNERS", u16(captions[i].key)) &&
                                ini.contains(u"CAPTION_OWNERS", u16(captions[j].key)))
                        << file << ": " << captions[i].key << " overlaps " << captions[j].key;
                }
            }
        }
    }
    EXPECT_GE(total, 20);
}

TEST(GeneratedSkins, EveryCaptionHasItsTextInBothLanguagesAndFits) {
    const IniFile language = IniFile::load(skinFolder() / "language.ini");
    auto isAscii = [](const std::u16string& s) {
        return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; });
    };
    auto listed = [](std::string_view key) {
        for (std::span<const std::string_view> list :
             {std::span<const std::string_view>(kSkinCaptionTextKeys),
              std::span<const std::string_view>(kMainWindowTextKeys),
              std::span<const std::string_view>(kAppProfileTextKeys)}) {
            if (std::find(list.begin(), list.end(), key) != list.end()) {
                return true;
            }
        }
        return false;
    };
    for (const char* file : {"Main.ini", "Composite.ini", "Profile.ini", "UpdateDlg.ini", "AppRules.ini"}) {
        for (const CaptionEntry& c : captionsOf(layoutFile(file))) {
            EXPECT_TRUE(listed(c.key)) << c.key << " is missing from the program's lists of texts";
            for (const char16_t* section : {u"ENGINSH", u"CHINESE"}) {
                SCOPED_TRACE(std::string(file) + ": " + c.key + " in " + toUtf8(section));
                const std::u16string text = language.get(section, u16(c.key));
                ASSERT_FALSE(text.empty());
                EXPECT_EQ(isAscii(text), std::u16string_view(section) == u"ENGINSH");
                const QFontMetricsF fm(captionFont(c));
                const QString shown = QString::fromStdU16String(text);
                // Captions may be drawn in capitals; measure the wider form.
                const double width =
                    std::max(fm.horizontalAdvance(shown), fm.horizontalAdvance(shown.toUpper()));
                EXPECT_LE(width, c.rect.width());
                EXPECT_LE(fm.height(), c.rect.height() + 2);
            }
        }
    }
}

// Pixels in the area whose colour is far from the area's mean: a word leaves many.
int inkPixels(const QImage& image, QRect area) {
    long long r = 0, g = 0, b = 0;
    const int n = area.width() * area.height();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            r += qRed(c);
            g += qGreen(c);
            b += qBlue(c);
        }
    }
    const QRgb mean = qRgb(int(r / n), int(g / n), int(b / n));
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            ink += distance(image.pixel(x, y), mean) > 60 ? 1 : 0;
        }
    }
    return ink;
}

TEST(GeneratedSkins, NoWordIsBakedUnderACaption) {
    // Under each caption the pictures show only the surface the word is drawn on.
    for (const char* file : {"Main.ini", "Composite.ini", "Profile.ini", "UpdateDlg.ini", "AppRules.ini"}) {
        const IniFile ini = layoutFile(file);
        const QImage bg = picture(toUtf8(ini.get(u"SCREEN", u"Main")));
        ASSERT_FALSE(bg.isNull());
        for (const CaptionEntry& c : captionsOf(ini)) {
            // Inside the button frames and highlights.
            const QRect inner = c.rect.adjusted(0, 5, 0, -5);
            EXPECT_LT(inkPixels(bg, inner), inner.width() * inner.height() / 100) << file << ": " << c.key;
        }
    }
    // The caption pictures of the lighting panel: only their icon, at the left.
    const IniFile main = layoutFile("Main.ini");
    const std::pair<const char*, const char*> pictures[] = {
        {"led.bmp", "CONTROL_DengStatic"},          {"brightness.bmp", "CONTROL_LightStatic"},
        {"speed.bmp", "CONTROL_SpeedStatic"},       {"direction.bmp", "CONTROL_BLFXStatic"},
        {"colorful.bmp", "CONTROL_COLORFULStatic"}, {"color.bmp", "CONTROL_HXysStatic"},
    };
    for (const auto& [name, control] : pictures) {
        const QImage img = picture(name);
        ASSERT_FALSE(img.isNull()) << name;
        const SkinRect r = readSkinRect(main, u16(control));
        const QRect textPart(26, 0, img.width() - 26, img.height());
        EXPECT_EQ(inkPixels(img, textPart), 0) << name;
        EXPECT_GT(inkPixels(img, QRect(0, 0, 24, img.height())), 10) << name << ": its icon";
        // The caption of that control starts right of the icon, inside the control.
        bool found = false;
        for (const CaptionEntry& c : captionsOf(main)) {
            if (main.get(u"CAPTION_OWNERS", u16(c.key)) == u16(control)) {
                found = true;
                EXPECT_TRUE(QRect(r.x + 24, r.y, r.w - 24, r.h).contains(c.rect)) << c.key;
            }
        }
        EXPECT_TRUE(found) << control << " has no caption";
    }
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
    // "ETool" is read from the Chinese section in both languages: it must say it in both.
    const std::u16string etool = ini.get(u"Control_Name", u"ETool");
    EXPECT_TRUE(
        std::any_of(etool.begin(), etool.end(), [](char16_t c) { return c >= 0x4E00 && c <= 0x9FFF; }));
    EXPECT_TRUE(std::any_of(etool.begin(), etool.end(), [](char16_t c) { return c >= u'A' && c <= u'z'; }));
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
