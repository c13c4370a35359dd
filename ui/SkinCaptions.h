// The words a skin picture no longer carries: section "CAPTIONS" of a layout file names, for every text
// drawn on a dialog's background, the language key of the text and where and how it is drawn:
// key = x,y,w,h,pixelSize,align,style with the rectangle in layout coordinates, align one of left,
// center, right and style one of title, caption, label. No Qt here.
#pragma once

#include "ui/SkinRect.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik {
class IniFile;
}

namespace tarvik::ui {

inline constexpr std::u16string_view kCaptionsSection = u"CAPTIONS";

struct SkinCaption {
    enum class Align { Left, Center, Right };
    enum class Style { Title, Caption, Label };

    std::string key; // the language key of the text
    SkinRect rect;
    int pixelSize = 0;
    Align align = Align::Left;
    Style style = Style::Label;

    bool operator==(const SkinCaption&) const = default;
};

// One entry; nothing when the key is not a language key (ASCII letters, digits, '_') or the value is not
// seven fields with a rectangle of positive size, a pixel size of 1 to 200 and known words (compared
// without regard to case). A skin file is data anyone may edit: a bad entry is left out, never guessed.
std::optional<SkinCaption> parseSkinCaption(std::u16string_view key, std::u16string_view value);

// Every valid entry of section "CAPTIONS" in file order.
std::vector<SkinCaption> readSkinCaptions(const IniFile& layout);

} // namespace tarvik::ui
