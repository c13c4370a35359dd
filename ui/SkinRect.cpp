#include "ui/SkinRect.h"

#include "platform/IniFile.h"

#include <array>
#include <limits>

namespace tarvik::ui {

namespace {

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

// One integer the way "%d" reads it: leading blanks, an optional sign, at least one digit.
bool readInt(std::u16string_view s, size_t& i, int& out) {
    while (i < s.size() && isSpace(s[i])) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }
    const size_t first = i;
    long long v = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        v = v * 10 + (s[i] - u'0');
        if (v > static_cast<long long>(std::numeric_limits<int>::max()) + 1) {
            return false;
        }
        ++i;
    }
    if (i == first) {
        return false;
    }
    v = negative ? -v : v;
    if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min()) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

} // namespace

SkinRect parseSkinRect(std::u16string_view value) {
    std::array<int, 4> v{};
    size_t i = 0;
    for (size_t k = 0; k < v.size(); ++k) {
        if (k > 0) {
            if (i >= value.size() || value[i] != u',') {
                return SkinRect{};
            }
            ++i;
        }
        if (!readInt(value, i, v[k])) {
            return SkinRect{};
        }
    }
    return SkinRect{v[0], v[1], v[2], v[3]};
}

SkinRect readSkinRect(const IniFile& layout, std::u16string_view key) {
    return parseSkinRect(layout.get(kButtonInfoSection, key, kMissingRectValue));
}

} // namespace tarvik::ui
