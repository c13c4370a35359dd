#include "macros/MacroRecord.h"

#include "platform/Bytes.h"

#include <algorithm>
#include <bitset>

namespace tarvik::macros {

MacroAction MacroAction::read(std::span<const uint8_t, kMacroActionSize> b) {
    return MacroAction{readLe32(&b[0]), readLe16(&b[4]), readLe16(&b[6])};
}

void MacroAction::write(std::span<uint8_t, kMacroActionSize> b) const {
    writeLe32(&b[0], delayMs);
    writeLe16(&b[4], key);
    writeLe16(&b[6], direction);
}

MacroRecord::MacroRecord(std::span<const uint8_t, kMacroRecordSize> bytes) {
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

size_t MacroRecord::nameLength() const {
    size_t n = 0;
    while (n < kMaxNameUnits && readLe16(&bytes_[kOffName + 2 * n]) != 0) {
        ++n;
    }
    return n;
}

std::u16string MacroRecord::name() const {
    size_t n = nameLength();
    std::u16string s(n, u'\0');
    for (size_t i = 0; i < n; ++i) {
        s[i] = static_cast<char16_t>(readLe16(&bytes_[kOffName + 2 * i]));
    }
    return s;
}

void MacroRecord::setName(std::u16string_view name) {
    std::fill_n(bytes_.begin() + kOffName, kOffCycles - kOffName, uint8_t{0});
    size_t n = std::min(name.size(), kMaxNameUnits);
    for (size_t i = 0; i < n && name[i] != 0; ++i) {
        writeLe16(&bytes_[kOffName + 2 * i], static_cast<uint16_t>(name[i]));
    }
}

uint16_t MacroRecord::isNew() const {
    return readLe16(&bytes_[kOffIsNew]);
}
void MacroRecord::setIsNew(uint16_t v) {
    writeLe16(&bytes_[kOffIsNew], v);
}
uint16_t MacroRecord::reserved504() const {
    return readLe16(&bytes_[kOffReserved504]);
}
void MacroRecord::setReserved504(uint16_t v) {
    writeLe16(&bytes_[kOffReserved504], v);
}
uint16_t MacroRecord::id() const {
    return readLe16(&bytes_[kOffId]);
}
void MacroRecord::setId(uint16_t id) {
    writeLe16(&bytes_[kOffId], id);
}
uint16_t MacroRecord::storedActionCount() const {
    return readLe16(&bytes_[kOffActionCount]);
}
size_t MacroRecord::actionCount() const {
    return std::min<size_t>(storedActionCount(), kMaxActions);
}

MacroAction MacroRecord::action(size_t i) const {
    return MacroAction::read(std::span<const uint8_t, kMacroActionSize>(
        &bytes_[kOffActions + i * kMacroActionSize], kMacroActionSize));
}

std::vector<MacroAction> MacroRecord::actions() const {
    std::vector<MacroAction> out(actionCount());
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = action(i);
    }
    return out;
}

void MacroRecord::setActions(std::span<const MacroAction> actions) {
    size_t n = std::min(actions.size(), kMaxActions);
    std::fill(bytes_.begin() + kOffActions, bytes_.end(), uint8_t{0});
    for (size_t i = 0; i < n; ++i) {
        actions[i].write(std::span<uint8_t, kMacroActionSize>(&bytes_[kOffActions + i * kMacroActionSize],
                                                              kMacroActionSize));
    }
    writeLe16(&bytes_[kOffActionCount], static_cast<uint16_t>(n));
}

uint16_t lowestFreeId(std::span<const MacroRecord> list) {
    std::bitset<kLastMacroId + 1> used;
    for (const auto& m : list) {
        if (m.id() >= kFirstMacroId && m.id() <= kLastMacroId) {
            used.set(m.id());
        }
    }
    for (uint16_t id = kFirstMacroId; id <= kLastMacroId; ++id) {
        if (!used.test(id)) {
            return id;
        }
    }
    return 0;
}

MacroRecord createMacroRecord(std::span<const MacroRecord> list, std::u16string_view name) {
    MacroRecord r;
    r.setName(name);
    r.setCycles(1);
    r.setIsNew(1);
    r.setId(lowestFreeId(list));
    return r;
}

size_t macroPosition(std::span<const MacroRecord> list, uint32_t id) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].id() == id) {
            return i;
        }
    }
    return 0;
}

} // namespace tarvik::macros
