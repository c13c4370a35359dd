// A key assignment dialog's store for tests: one profile's records and a macro list, and what the dialog
// handed back.
#pragma once

#include "dialogs/KeyDialogStore.h"

#include <array>
#include <optional>
#include <set>

namespace tarvik::dialogs::test {

class FakeKeyDialogStore final : public KeyDialogStore {
public:
    keyboard::KeyAssignment record(keyboard::KeySlot slot) override { return records.at(slot); }
    macros::MacroSet macros() override { return list; }
    bool macroPlayedByKeys(const macros::MacroRecord& macro) override {
        return played.count(macro.id()) != 0;
    }
    AssignOutcome assign(macros::MacroSet handedBack, keyboard::KeySlot slot,
                         const std::optional<keyboard::KeyAssignment>& r) override {
        ++assignCount;
        list = std::move(handedBack);
        AssignOutcome out;
        out.recordIndex = slot;
        if (r) {
            records.at(slot) = *r;
            out.written = true;
        }
        out.record = records.at(slot);
        return out;
    }

    std::array<keyboard::KeyAssignment, keyboard::kSlotsPerProfile> records{};
    macros::MacroSet list;
    std::set<uint16_t> played;
    int assignCount = 0;
};

inline macros::MacroRecord macroWithId(uint16_t id, std::u16string_view name = u"M", uint8_t cycles = 1,
                                       std::vector<macros::MacroAction> actions = {}) {
    macros::MacroRecord m;
    m.setId(id);
    m.setName(name);
    m.setCycles(cycles);
    m.setActions(actions);
    return m;
}

inline keyboard::KeyAssignment recordOf(uint16_t type, uint32_t value, uint16_t aux = 0) {
    keyboard::KeyAssignment r;
    r.type = type;
    r.aux = aux;
    r.value = value;
    return r;
}

} // namespace tarvik::dialogs::test
