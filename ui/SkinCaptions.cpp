#include "ui/SkinCaptions.h"

#include "platform/IniFile.h"
#include "ui/SkinScale.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace tarvik::ui {

namespace {

std::u16string_view trim(std::u16string_view s) {
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<std::string> ascii(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char16_t c : s) {
        if (c == 0 || c > 0x7F) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(c));
    }
    return out;
}

std::optional<int> number(std::u16string_view field) {
    const auto text = ascii(trim(field));
    if (!text || text->empty()) {
        return std::nullopt;
    }
    int v = 0;
    const char* end = text->data() + text->size();
    auto [ptr, ec] = std::from_chars(text->data(), end, v);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return v;
}

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

bool isLanguageKey(std::string_view key) {
    if (key.empty()) {
        return false;
    }
    for (char c : key) {
        const bool ok =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<SkinCaption> parseSkinCaption(std::u16string_view key, std::u16string_view value) {
    const auto name = ascii(trim(key));
    if (!name || !isLanguageKey(*name)) {
        return std::nullopt;
    }
    std::array<std::u16string_view, 7> fields;
    size_t count = 0;
    for (;;) {
        const size_t comma = value.find(u',');
        if (count == fields.size()) {
            return std::nullopt; // more than seven fields
        }
        fields[count++] = value.substr(0, comma);
        if (comma == std::u16string_view::npos) {
            break;
        }
        value.remove_prefix(comma + 1);
    }
    if (count != fields.size()) {
        return std::nullopt;
    }
    std::array<int, 5> n{};
    for (size_t i = 0; i < n.size(); ++i) {
        const auto v = number(fields[i]);
        if (!v) {
            return std::nullopt;
        }
        n[i] = *v;
    }
    if (n[2] <= 0 || n[3] <= 0 || n[4] <= 0 || n[4] > 200) {
        return std::nullopt;
    }
    // Right and bottom edges must be numbers too: the window scales edges, not sizes.
    if (n[0] > std::numeric_limits<int>::max() - n[2] || n[1] > std::numeric_limits<int>::max() - n[3]) {
        return std::nullopt;
    }
    const auto align = ascii(trim(fields[5]));
    const auto style = ascii(trim(fields[6]));
    if (!align || !style) {
        return std::nullopt;
    }
    SkinCaption c;
    c.key = *name;
    c.rect = SkinRect{n[0], n[1], n[2], n[3]};
    c.pixelSize = n[4];
    const std::string a = lower(*align);
    if (a == "left") {
        c.align = SkinCaption::Align::Left;
    } else if (a == "center") {
        c.align = SkinCaption::Align::Center;
    } else if (a == "right") {
        c.align = SkinCaption::Align::Right;
    } else {
        return std::nullopt;
    }
    const std::string s = lower(*style);
    if (s == "title") {
        c.style = SkinCaption::Style::Title;
    } else if (s == "caption") {
        c.style = SkinCaption::Style::Caption;
    } else if (s == "label") {
        c.style = SkinCaption::Style::Label;
    } else {
        return std::nullopt;
    }
    return c;
}

std::vector<SkinCaption> readSkinCaptions(const IniFile& layout) {
    std::vector<SkinCaption> out;
    for (const std::u16string& key : layout.keys(kCaptionsSection)) {
        auto c = parseSkinCaption(key, layout.get(kCaptionsSection, key));
        if (!c) {
            continue;
        }
        if (layout.contains(kCaptionOwnersSection, key)) {
            const std::u16string value = layout.get(kCaptionOwnersSection, key);
            const auto owner = ascii(trim(value));
            if (!owner || !isLanguageKey(*owner)) {
                continue;
            }
            c->owner = *owner;
            c->ownerRect = readSkinRect(layout, trim(value));
        }
        out.push_back(std::move(*c));
    }
    return out;
}

SkinRect ownedCaptionRect(const SkinCaption& caption, double scale, int ownerX, int ownerY) {
    const SkinRect own = scaleRect(caption.rect, scale);
    // Only the owner's corner counts (its size may be anything a file says); a shift beyond the
    // coordinate range stops at its end.
    auto shifted = [scale](int from, int ownerAt, int ownerLayout) {
        const long long to = static_cast<long long>(from) + ownerAt - std::llround(ownerLayout * scale);
        return static_cast<int>(
            std::clamp<long long>(to, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    return SkinRect{shifted(own.x, ownerX, caption.ownerRect.x), shifted(own.y, ownerY, caption.ownerRect.y),
                    own.w, own.h};
}

} // namespace tarvik::ui
