#include "macros/MacroSetLookup.h"

namespace tarvik::macros {

int MacroSetLookup::macroPosition(uint32_t id) const {
    for (size_t i = 0; i < list_.size(); ++i) {
        if (list_[i].id() == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::u16string MacroSetLookup::macroName(uint32_t id) const {
    for (const auto& m : list_) {
        if (m.id() == id) {
            return m.name();
        }
    }
    return {};
}

} // namespace tarvik::macros
