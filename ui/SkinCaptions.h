// The words a skin picture no longer carries: section "CAPTIONS" of a layout file names, for every text
// drawn on a dialog's background, the language key of the text and where and how it is drawn:
// key = x,y,w,h,pixelSize,align,style with the rectangle in layout coordinates, align one of left,
// center, right and style one of title, caption, label. Section "CAPTION_OWNERS" gives a caption the
// "BUTTONINFO" key of the control it belongs to: such a caption shows only while that control shows, keeps
// its place relative to the control when the control moves, and looks disabled while the control is.
// No Qt here.
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
inline constexpr std::u16string_view kCaptionOwnersSection = u"CAPTION_OWNERS";

struct SkinCaption {
    enum class Align { Left, Center, Right };
    enum class Style { Title, Caption, Label };

    std::string key; // the language key of the text
    SkinRect rect;
    int pixelSize = 0;
    Align align = Align::Left;
    Style style = Style::Label;
    // The "BUTTONINFO" key of the owning control (empty: the caption always shows) and that control's
    // rectangle in the layout, which the caption's own rectangle is relative to.
    std::string owner = {};
    SkinRect ownerRect = {};

    bool operator==(const SkinCaption&) const = default;
};

// One entry; nothing when the key is not a language key (ASCII letters, digits, '_') or the value is not
// seven fields with a rectangle of positive size, a pixel size of 1 to 200 and known words (compared
// without regard to case). A skin file is data anyone may edit: a bad entry is left out, never guessed.
std::optional<SkinCaption> parseSkinCaption(std::u16string_view key, std::u16string_view value);

// Every valid entry of section "CAPTIONS" in file order, each with its owner from "CAPTION_OWNERS". An
// owner that is not a key name (ASCII letters, digits, '_') leaves the caption out: it would otherwise
// show although the skin meant it to come and go with a control.
std::vector<SkinCaption> readSkinCaptions(const IniFile& layout);

// Where an owned caption is drawn, in window pixels, when the window is drawn at scale and its owner's
// top-left corner is at (ownerX, ownerY) of the window: the caption keeps its offset from the owner.
// At the owner's own layout place this is the caption's layout rectangle at that scale.
SkinRect ownedCaptionRect(const SkinCaption& caption, double scale, int ownerX, int ownerY);

} // namespace tarvik::ui
