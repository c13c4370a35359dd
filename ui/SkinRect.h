// Rectangles of the skin layout files: "left,top,width,height" in pixels of the dialog's background
// picture, read from section "BUTTONINFO". No Qt here.
#pragma once

#include <string_view>

namespace tarvik {
class IniFile;
}

namespace tarvik::ui {

struct SkinRect {
    int x = 1;
    int y = 1;
    int w = 1;
    int h = 1;
    bool operator==(const SkinRect&) const = default;
};

// What a missing key reads as.
inline constexpr std::u16string_view kMissingRectValue = u"1,1,1,1,x";
inline constexpr std::u16string_view kButtonInfoSection = u"BUTTONINFO";

// Four decimal integers separated by commas; anything after the fourth number is ignored. A value that
// does not start with four such numbers reads like a missing key, (1, 1, 1, 1), rather than leaving
// the unread fields to chance.
SkinRect parseSkinRect(std::u16string_view value);
// The rectangle of a key of section "BUTTONINFO".
SkinRect readSkinRect(const IniFile& layout, std::u16string_view key);

// An image button placed at (1, 1) — the default of a missing key — is disabled.
inline bool disablesImageButton(const SkinRect& r) {
    return r.x == 1 && r.y == 1;
}

} // namespace tarvik::ui
