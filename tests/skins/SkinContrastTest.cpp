// The words on the generated skins stay readable: every caption drawn on an image button against the
// face its picture gives it, at least 4.5:1 (3:1 for a disabled caption), and the focus ring against the
// face it is drawn on, at least 3:1 (for one of its two colours: the accent, or the line inside it).
#include "lighting/LegendContrast.h"
#include "platform/IniFile.h"
#include "platform/Utf.h"
#include "ui/CPngButton.h"
#include "ui/DarkStyle.h"
#include "ui/SkinRect.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

namespace tarvik::ui {
namespace {

std::filesystem::path skinFolder() {
    const char* bin = std::getenv("TARVIK_BIN_DIR");
    return std::filesystem::path(bin != nullptr ? bin : "bin") / "Skins";
}

lighting::Rgb rgb(const QColor& c) {
    return {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}

// The colour most of the control's face shows (its border of 3 pixels left out): what its words lie on.
std::optional<QColor> faceColour(const char* layoutFile, const char* key, const char* picture) {
    const std::optional<IniFile> ini = IniFile::tryLoad(skinFolder() / layoutFile);
    const QImage image(QString::fromStdString((skinFolder() / picture).string()));
    if (!ini || image.isNull()) {
        return std::nullopt;
    }
    const SkinRect r = readSkinRect(*ini, toUtf16(key));
    std::map<QRgb, int> counts;
    // Layout coordinates count from 1.
    for (int y = r.y + 2; y < r.y - 1 + r.h - 3; ++y) {
        for (int x = r.x + 2; x < r.x - 1 + r.w - 3; ++x) {
            if (image.rect().contains(x, y)) {
                ++counts[image.pixel(x, y) & 0xFFFFFF];
            }
        }
    }
    if (counts.empty()) {
        return std::nullopt;
    }
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return QColor::fromRgb(most->first);
}

// A colour laid over another at an opacity.
QColor over(const QColor& top, double alpha, const QColor& under) {
    auto mix = [&](int t, int u) { return static_cast<int>(std::lround(t * alpha + u * (1 - alpha))); };
    return QColor(mix(top.red(), under.red()), mix(top.green(), under.green()),
                  mix(top.blue(), under.blue()));
}

TEST(SkinContrast, CaptionsAndTheFocusRingStandOutFromTheFacesTheyAreDrawnOn) {
    const QColor white(255, 255, 255);
    const QColor profileName(0xE4, 0xE4, 0xE4);
    struct Row {
        const char* layout;
        const char* key;
        const char* picture;
        QColor ink;
        bool disabled;
    };
    const Row captions[] = {
        {"Main.ini", "FUNC_PROFILE1", "main_normal.jpg", white, false},
        {"Main.ini", "FUNC_PROFILE2", "main_over.jpg", white, false},
        {"Main.ini", "FUNC_PROFILE3", "Arrow.jpg", white, false}, // the profile in use
        {"Main.ini", "FUNC_DEFAULT", "main_down.jpg", white, false},
        {"Main.ini", "FUNC_MACRO", "main_normal.jpg", white, false},
        {"Main.ini", "FUNC_SWITCH", "main_normal.jpg", white, false},
        {"Main.ini", "FUNC_PROFILES", "main_normal.jpg", profileName, false},
        {"Main.ini", "CONTROL2_APPLY", "main_normal.jpg", white, false},
        {"Main.ini", "CONTROL2_APPLY", "main_disable.jpg", white, true},
        {"Composite.ini", "CONTROL_OK", "key_normal.jpg", white, false},
        {"Composite.ini", "CONTROL_CANCEL", "key_over.jpg", white, false},
        {"Composite.ini", "CONTROL_APPLY", "key_disable.jpg", white, true},
        {"Composite.ini", "CONTROL_KEY", "key_down.jpg", white, false},
    };
    for (const Row& row : captions) {
        const std::optional<QColor> face = faceColour(row.layout, row.key, row.picture);
        ASSERT_TRUE(face) << row.layout << " " << row.key << " " << row.picture;
        const QColor ink = row.disabled ? over(row.ink, CPngButton::kDisabledCaptionAlpha, *face) : row.ink;
        EXPECT_GE(lighting::contrastRatio(rgb(ink), rgb(*face)), row.disabled ? 3.0 : 4.5)
            << row.key << " on " << row.picture << ": " << ink.name().toStdString() << " on "
            << face->name().toStdString();
    }

    const Row ringFaces[] = {
        {"Main.ini", "KEY_01E", "main_normal.jpg", colour::kAccent, false},
        {"Main.ini", "KEY_01E", "main_color0.jpg", colour::kAccent, false},
        {"Main.ini", "FUNC_PROFILE2", "main_normal.jpg", colour::kAccent, false},
        {"Main.ini", "CONTROL_MENU", "main_normal.jpg", colour::kAccent, false},
        {"Composite.ini", "CONTROL_OK", "key_normal.jpg", colour::kAccent, false},
    };
    for (const Row& row : ringFaces) {
        const std::optional<QColor> face = faceColour(row.layout, row.key, row.picture);
        ASSERT_TRUE(face) << row.key;
        const double ring = std::max(lighting::contrastRatio(rgb(colour::kAccent), rgb(*face)),
                                     lighting::contrastRatio(rgb(colour::kRingInner), rgb(*face)));
        EXPECT_GE(ring, 3.0) << "the focus ring on " << row.key << " in " << row.picture << " ("
                             << face->name().toStdString() << ")";
    }
}

} // namespace
} // namespace tarvik::ui
