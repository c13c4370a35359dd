#include "ui/SkinLayout.h"

#include "ui/CPngButton.h"

#include <QWidget>

#include <cstdlib>

namespace tarvik::ui {

SkinRect placeImageButton(CPngButton& button, const IniFile& layout, std::u16string_view key,
                          const StatePictures& pictures) {
    const SkinRect r = readSkinRect(layout, key);
    button.setGeometry(r.x, r.y, r.w, r.h);
    button.setPictures(r.x, r.y, pictures.normal, pictures.hover, pictures.pressed, pictures.disabled,
                       pictures.selected);
    if (disablesImageButton(r)) {
        button.setEnabled(false);
    }
    return r;
}

SkinRect placeControl(QWidget& control, const IniFile& layout, std::u16string_view key) {
    const SkinRect r = readSkinRect(layout, key);
    control.setGeometry(r.x, r.y, r.w, r.h);
    return r;
}

SkinRect placeControlWithPicture(CPngButton& button, const IniFile& layout, std::u16string_view key,
                                 std::u16string_view pictureKey) {
    const SkinRect r = readSkinRect(layout, key);
    const SkinRect picture = readSkinRect(layout, pictureKey);
    button.setGeometry(r.x, r.y, r.w, r.h);
    button.setPictureOffset(picture.x, picture.y);
    return r;
}

SkinRect moveControl(QWidget& control, const IniFile& layout, std::u16string_view key) {
    const SkinRect r = readSkinRect(layout, key);
    control.move(r.x, r.y);
    control.update();
    return r;
}

void exitQuietly(const std::filesystem::path&) {
    // Nothing of the program may be left on screen half built; the process ends as if it had never
    // started a window.
    std::exit(0);
}

std::vector<QPixmap> loadPictures(const std::filesystem::path& folder, const std::vector<std::string>& names,
                                  std::vector<std::filesystem::path>* missing) {
    std::vector<QPixmap> pictures;
    pictures.reserve(names.size());
    for (const std::string& name : names) {
        const std::filesystem::path path = folder / name;
        QPixmap p(QString::fromStdString(path.string()));
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

} // namespace tarvik::ui
