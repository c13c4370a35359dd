#include "profiles/StoreMacros.h"

namespace tarvik::profiles {

size_t macroPosition(AssignmentStore& store, uint32_t id) {
    auto lock = store.lockKeyData();
    return macros::macroPosition(store.working().macros(), id);
}

bool isMacroInUse(AssignmentStore& store, const macros::MacroRecord& macro, Prompter& prompter) {
    auto lock = store.lockKeyData();
    return macros::isMacroInUse(macro, store.working().records(), prompter);
}

macros::ReconcileResult reconcileMacroReferences(AssignmentStore& store, macros::MacroSet list) {
    auto lock = store.lockKeyData();
    macros::ReconcileResult result = macros::reconcileMacroReferences(list, store.working().records());
    store.working().macros() = std::move(list);
    return result;
}

} // namespace tarvik::profiles
