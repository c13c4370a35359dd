#include "macros/MacroReferences.h"

namespace tarvik::macros {

bool isMacroInUse(const MacroRecord& macro, std::span<const keyboard::KeyAssignment> records,
                  Prompter& prompter) {
    if (macro.isNew() == 1) {
        return true;
    }
    for (const auto& r : records) {
        if (r.type == keyboard::ASSIGN_MACRO && r.value == macro.id()) {
            return prompter.askYesNo("MACRO_DELETE_CONFIRM_OF_KEYS", false);
        }
    }
    return true;
}

ReconcileResult reconcileMacroReferences(std::span<MacroRecord> list,
                                         std::span<keyboard::KeyAssignment> records) {
    ReconcileResult result;
    for (size_t i = 0; i < records.size(); ++i) {
        keyboard::KeyAssignment& r = records[i];
        if (r.type != keyboard::ASSIGN_MACRO) {
            continue;
        }
        if (r.value == 0) {
            if (!list.empty()) {
                r.value = list.front().id();
                result.modified = true;
            }
            continue;
        }
        const MacroRecord* found = nullptr;
        for (const auto& m : list) {
            if (m.id() == r.value) {
                found = &m;
                break;
            }
        }
        if (found == nullptr || found->isNew() == 1) {
            r.type = keyboard::ASSIGN_DEFAULT;
            result.resetRecords.push_back(i);
            result.modified = true;
        }
    }
    for (auto& m : list) {
        m.setIsNew(0);
    }
    return result;
}

} // namespace tarvik::macros
