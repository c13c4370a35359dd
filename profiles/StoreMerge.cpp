#include "profiles/StoreMerge.h"

#include "device/Commands.h"
#include "keyboard/Layout.h"
#include "profiles/ProfileFile.h"

#include <string>
#include <string_view>

namespace tarvik::profiles {

namespace {

using keyboard::KeyAssignment;
using macros::MacroRecord;
using macros::MacroSet;

// The keyboard numbers its macros by position and may have dropped their names: two macros are the same
// when they play the same.
bool sameMacro(const MacroRecord& a, const MacroRecord& b) {
    return a.cycles() == b.cycles() && a.actions() == b.actions();
}

bool sameMacrosInOrder(const MacroSet& a, const MacroSet& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (!sameMacro(a[i], b[i])) {
            return false;
        }
    }
    return true;
}

const MacroRecord* macroWithId(const MacroSet& set, uint32_t id) {
    for (const MacroRecord& m : set) {
        if (m.id() == id) {
            return &m;
        }
    }
    return nullptr;
}

// A record as one side holds it: with its text and the macro set its macro id counts in.
struct Side {
    const KeyAssignment& record;
    std::u16string_view text;
    const MacroSet& macros;
};

bool sameFunction(const Side& a, const Side& b) {
    const KeyAssignment& x = a.record;
    const KeyAssignment& y = b.record;
    if (x.type != y.type || x.aux != y.aux || x.flag != y.flag || x.reserved != y.reserved) {
        return false;
    }
    if (carriesText(x.type)) {
        return a.text == b.text; // the value is only the text's place in a pool
    }
    if (x.type == keyboard::ASSIGN_MACRO) {
        const MacroRecord* mx = macroWithId(a.macros, x.value);
        const MacroRecord* my = macroWithId(b.macros, y.value);
        if (mx == nullptr || my == nullptr) {
            return mx == my && x.value == y.value;
        }
        return sameMacro(*mx, *my);
    }
    return x.value == y.value;
}

bool isGSlot(size_t slot) {
    return slot >= keyboard::kFirstGSlotLayer0 && slot < keyboard::kFirstGSlotLayer1 + keyboard::kGKeyCount;
}

// The id macro m has in set, appending a copy when the set lacks it; 0 when the set is full.
uint16_t idInSet(MacroSet& set, const MacroRecord& m, size_t& added) {
    const MacroRecord* alike = nullptr;
    for (const MacroRecord& r : set) {
        if (sameMacro(r, m)) {
            if (r.name() == m.name()) {
                return r.id();
            }
            alike = alike != nullptr ? alike : &r;
        }
    }
    if (alike != nullptr) {
        return alike->id();
    }
    const uint16_t id = macros::lowestFreeId(set);
    if (id == 0 || set.size() >= macros::kMaxMacros) {
        return 0;
    }
    MacroRecord copy = m;
    copy.setId(id);
    set.push_back(copy);
    ++added;
    return id;
}

} // namespace

MergeOutcome mergeKeyboardChanges(WorkingCopy& working, const AppliedCopy& base,
                                  const WorkingCopy& keyboard) {
    MergeOutcome out;
    const MacroSet userSet = working.macros();
    const bool keyboardChangedMacros = !sameMacrosInOrder(keyboard.macros(), base.macros);
    out.macrosTaken = userSet == base.macros && keyboardChangedMacros;
    out.macrosKept =
        !out.macrosTaken && keyboardChangedMacros && !sameMacrosInOrder(keyboard.macros(), userSet);
    MacroSet merged = out.macrosTaken ? keyboard.macros() : userSet;

    std::u16string baseText;
    for (size_t i = 0; i < kRecordCount; ++i) {
        const size_t profile = i / keyboard::kSlotsPerProfile;
        bool fromKeyboard = false;
        if (profile < device::kProfileCount && !isGSlot(i % keyboard::kSlotsPerProfile)) {
            const KeyAssignment& b = base.block->records[i];
            baseText.clear();
            ProfileProblem problem{};
            if (carriesText(b.type) && !textAt(base.pool, b.value, baseText, problem)) {
                baseText.clear();
            }
            const Side was{b, baseText, base.macros};
            const Side user{working.records()[i], working.text(i).text, userSet};
            const Side now{keyboard.records()[i], keyboard.text(i).text, keyboard.macros()};
            if (!sameFunction(now, was)) {
                if (sameFunction(user, was)) {
                    working.setRecord(i, now.record);
                    if (keyboard.text(i).size > 0) {
                        working.attachText(i, now.text);
                    } else {
                        working.releaseText(i);
                    }
                    fromKeyboard = true;
                    ++out.keysTaken;
                } else if (!sameFunction(user, now)) {
                    ++out.keysKept;
                }
            }
        }
        // A macro record names its macro in the set it came from; make it name it in the merged set.
        const KeyAssignment r = working.records()[i];
        if (r.type != keyboard::ASSIGN_MACRO || fromKeyboard == out.macrosTaken) {
            continue;
        }
        const MacroRecord* m = macroWithId(fromKeyboard ? keyboard.macros() : userSet, r.value);
        if (m == nullptr) {
            continue;
        }
        KeyAssignment named = r;
        if (const uint16_t id = idInSet(merged, *m, out.macrosAdded); id != 0) {
            named.value = id;
        } else {
            named = KeyAssignment{}; // no room for its macro: better no function than another macro
        }
        working.setRecord(i, named);
    }
    working.macros() = std::move(merged);
    return out;
}

} // namespace tarvik::profiles
