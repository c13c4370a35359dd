#include "keyboard/UiTexts.h"

#include "ui/TextTable.h"

#include <algorithm>

namespace tarvik::keyboard::detail {

std::u16string uiText(std::string_view key) {
    return tarvik::ui::uiText(key);
}

namespace {

void appendNumber(std::u16string& out, unsigned value, unsigned base, bool upper, bool leftAlign,
                  bool zeroPad, size_t width) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string number;
    do {
        number.insert(number.begin(), static_cast<char16_t>(digits[value % base]));
        value /= base;
    } while (value != 0);
    std::u16string pad(number.size() < width ? width - number.size() : 0,
                       zeroPad && !leftAlign ? u'0' : u' ');
    out += leftAlign ? number + pad : pad + number;
}

} // namespace

std::u16string formatNumber(std::u16string_view format, unsigned value) {
    std::u16string out;
    bool used = false;
    size_t i = 0;
    while (i < format.size()) {
        const char16_t c = format[i];
        if (c != u'%') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == u'%') {
            out += u'%';
            i += 2;
            continue;
        }
        // Parse %[-0]*[width]conversion.
        size_t j = i + 1;
        bool leftAlign = false;
        bool zeroPad = false;
        while (j < format.size() && (format[j] == u'-' || format[j] == u'0')) {
            (format[j] == u'-' ? leftAlign : zeroPad) = true;
            ++j;
        }
        size_t width = 0;
        while (j < format.size() && format[j] >= u'0' && format[j] <= u'9') {
            width = std::min<size_t>(width * 10 + (format[j] - u'0'), 64);
            ++j;
        }
        const char16_t conv = j < format.size() ? format[j] : u'\0';
        unsigned base = 0;
        switch (conv) {
        case u'd':
        case u'i':
        case u'u':
            base = 10;
            break;
        case u'x':
        case u'X':
            base = 16;
            break;
        case u'o':
            base = 8;
            break;
        default:
            break;
        }
        if (base == 0 || used) {
            out += c; // not a conversion we fill: keep the text as it stands
            ++i;
            continue;
        }
        appendNumber(out, value, base, conv == u'X', leftAlign, zeroPad, width);
        used = true;
        i = j + 1;
    }
    return out;
}

} // namespace tarvik::keyboard::detail
