// Fuzzes what a skin layout file gives the windows: the [CAPTIONS] entries, every BUTTONINFO rectangle at
// a scale, and a file-dialog filter read from the same bytes. Besides not crashing: a caption that is read
// has a rectangle of positive size and a sane pixel size, scaled rectangles never vanish, and a translated
// filter always offers every file. The same bytes are read as a picture header, whose size is always
// above zero.
#include "platform/IniFile.h"
#include "ui/FileFilter.h"
#include "ui/PictureSize.h"
#include "ui/SkinCaptions.h"
#include "ui/SkinRect.h"
#include "ui/SkinScale.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const tarvik::IniFile ini = tarvik::IniFile::parse(bytes);
    for (const tarvik::ui::SkinCaption& c : tarvik::ui::readSkinCaptions(ini)) {
        check(c.rect.w > 0 && c.rect.h > 0 && c.pixelSize > 0 && c.pixelSize <= 200 && !c.key.empty());
        // Placed after its owner wherever the owner is, at any scale the window may take.
        for (const double scale : {1.0, 0.6}) {
            const tarvik::ui::SkinRect at = tarvik::ui::ownedCaptionRect(c, scale, c.rect.x, c.ownerRect.y);
            check(at.w >= 1 && at.h >= 1);
        }
    }
    for (const std::u16string& key : ini.keys(tarvik::ui::kButtonInfoSection)) {
        const tarvik::ui::SkinRect r = tarvik::ui::readSkinRect(ini, key);
        if (r.w > 0 && r.h > 0 && r.w < 100000 && r.h < 100000 && r.x > -100000 && r.x < 100000 &&
            r.y > -100000 && r.y < 100000) {
            const tarvik::ui::SkinRect s = tarvik::ui::scaleRect(r, 0.75);
            check(s.w >= 1 && s.h >= 1);
        }
    }
    const auto filters = tarvik::ui::parseWindowsFilter(bytes);
    check(std::any_of(filters.begin(), filters.end(), [](const tarvik::ui::FileFilter& f) {
        return std::find(f.patterns.begin(), f.patterns.end(), "*") != f.patterns.end();
    }));
    (void)tarvik::ui::qtFilterString(filters);
    (void)tarvik::ui::defaultSuffix(filters);
    if (const auto picture = tarvik::ui::pictureSize({data, size})) {
        check(picture->width > 0 && picture->height > 0);
    }
    return 0;
}
