#include "macros/MacroMemoryMeter.h"

#include <algorithm>

namespace tarvik::macros {

double MacroMemoryMeter::fraction() const {
    if (capacity == 0) {
        return 0.0;
    }
    return std::min(1.0, static_cast<double>(used) / static_cast<double>(capacity));
}

MacroMemoryMeter measureMacroMemory(const MacroImageSizes& sizes, size_t capacity) {
    MacroMemoryMeter m;
    m.capacity = capacity;
    if (capacity == 0) {
        m.used = sizes.withNames;
        m.state = MacroMemoryState::CapacityUnknown;
    } else if (sizes.withNames <= capacity) {
        m.used = sizes.withNames;
        m.state = MacroMemoryState::Fits;
    } else if (sizes.withoutNames <= capacity) {
        m.used = sizes.withoutNames;
        m.state = MacroMemoryState::NamesDropped;
    } else {
        m.used = sizes.withoutNames;
        m.state = MacroMemoryState::TooLong;
    }
    return m;
}

std::u16string fillNumbers(std::u16string_view format, std::initializer_list<size_t> values) {
    std::u16string out;
    const size_t* next = values.begin();
    size_t i = 0;
    while (i < format.size()) {
        const char16_t c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out += c;
            ++i;
            continue;
        }
        const char16_t conv = format[i + 1];
        if (conv == u'%') {
            out += u'%';
            i += 2;
        } else if ((conv == u'd' || conv == u'i' || conv == u'u') && next != values.end()) {
            const std::string digits = std::to_string(*next++);
            out.append(digits.begin(), digits.end());
            i += 2;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

} // namespace tarvik::macros
