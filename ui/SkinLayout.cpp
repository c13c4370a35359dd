#include "ui/SkinLayout.h"

#include "platform/ThisProcess.h"
#include "ui/CBaseDialog.h"
#include "ui/CPngButton.h"
#include "ui/SkinPicture.h"
#include "ui/SkinScale.h"

#include <QFont>
#include <QRect>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace tarvik::ui {

namespace {

constexpr const char* kSkinFontProperty = "tarvikSkinFont";

void applySkinFont(QWidget& control, double scale) {
    const QVariant v = control.property(kSkinFontProperty);
    if (!v.isValid()) {
        return;
    }
    QFont f = v.value<QFont>();
    f.setPixelSize(std::max(1, static_cast<int>(f.pixelSize() * scale + 0.5)));
    control.setFont(f);
}

} // namespace

void setSkinFont(QWidget& control, const QFont& font) {
    control.setProperty(kSkinFontProperty, font);
    applySkinFont(control, CBaseDialog::skinScaleOf(control));
}

void placeAt(QWidget& control, const SkinRect& r) {
    control.setProperty(kSkinRectProperty, QRect(r.x, r.y, r.w, r.h));
    const double scale = CBaseDialog::skinScaleOf(control);
    const SkinRect s = scaleRect(r, scale);
    control.setGeometry(s.x, s.y, s.w, s.h);
    if (auto* button = qobject_cast<CPngButton*>(&control)) {
        button->setSkinScale(scale);
    }
    applySkinFont(control, scale);
}

double placedScale(const QWidget& control) {
    SkinRect placed;
    if (!placedRect(control, placed) || placed.w <= 0 || control.width() == placed.w) {
        return 1.0;
    }
    return static_cast<double>(control.width()) / placed.w;
}

bool placedRect(const QWidget& control, SkinRect& out) {
    const QVariant v = control.property(kSkinRectProperty);
    if (!v.isValid()) {
        return false;
    }
    const QRect r = v.toRect();
    out = SkinRect{r.x(), r.y(), r.width(), r.height()};
    return true;
}

SkinRect placeImageButton(CPngButton& button, const IniFile& layout, std::u16string_view key,
                          const StatePictures& pictures) {
    const SkinRect r = readSkinRect(layout, key);
    placeAt(button, r);
    button.setPictures(r.x, r.y, pictures.normal, pictures.hover, pictures.pressed, pictures.disabled,
                       pictures.selected);
    if (disablesImageButton(r)) {
        button.setEnabled(false);
    }
    return r;
}

SkinRect placeControl(QWidget& control, const IniFile& layout, std::u16string_view key) {
    const SkinRect r = readSkinRect(layout, key);
    placeAt(control, r);
    return r;
}

SkinRect placeControlWithPicture(CPngButton& button, const IniFile& layout, std::u16string_view key,
                                 std::u16string_view pictureKey) {
    const SkinRect r = readSkinRect(layout, key);
    const SkinRect picture = readSkinRect(layout, pictureKey);
    placeAt(button, r);
    button.setPictureOffset(picture.x, picture.y);
    return r;
}

SkinRect moveControl(QWidget& control, const IniFile& layout, std::u16string_view key) {
    const SkinRect r = readSkinRect(layout, key);
    SkinRect placed;
    if (!placedRect(control, placed)) {
        const double s = CBaseDialog::skinScaleOf(control);
        placed = SkinRect{r.x, r.y, static_cast<int>(control.width() / s + 0.5),
                          static_cast<int>(control.height() / s + 0.5)};
    }
    placeAt(control, SkinRect{r.x, r.y, placed.w, placed.h});
    control.update();
    return r;
}

void exitQuietly(const std::filesystem::path&) {
    exitAtOnce(0);
}

std::vector<QPixmap> loadPictures(const std::filesystem::path& folder, const std::vector<std::string>& names,
                                  std::vector<std::filesystem::path>* missing) {
    std::vector<QPixmap> pictures;
    pictures.reserve(names.size());
    for (const std::string& name : names) {
        const std::filesystem::path path = folder / name;
        QPixmap p = loadSkinPixmap(path);
        if (p.isNull() && missing != nullptr) {
            missing->push_back(path);
        }
        pictures.push_back(std::move(p));
    }
    return pictures;
}

bool loadRequiredPictures(const std::filesystem::path& folder, const std::vector<std::string>& names,
                          std::vector<QPixmap>& out, const MissingPictureHandler& onMissing) {
    std::vector<std::filesystem::path> missing;
    out = loadPictures(folder, names, &missing);
    if (missing.empty()) {
        return true;
    }
    if (onMissing) {
        onMissing(missing.front());
    }
    return false;
}

bool requirePictures(const std::filesystem::path& folder, const std::vector<std::string>& names,
                     const MissingPictureHandler& onMissing) {
    for (const std::string& name : names) {
        if (!skinPictureSize(folder / name)) {
            if (onMissing) {
                onMissing(folder / name);
            }
            return false;
        }
    }
    return true;
}

} // namespace tarvik::ui
