#include "profiles/StoreMacros.h"

namespace tarvik::profiles {

namespace {

// Notes that the rule wanted to ask, and answers No so that nothing is decided here.
class NotedQuestion final : public Prompter {
public:
    void show(std::string_view) override {}
    bool askYesNo(std::string_view, bool) override {
        asked = true;
        return false;
    }
    bool asked = false;
};

} // namespace

size_t macroPosition(AssignmentStore& store, uint32_t id) {
    auto lock = store.lockKeyData();
    return macros::macroPosition(store.working().macros(), id);
}

MacroDeleteCheck isMacroInUse(AssignmentStore& store, const macros::MacroRecord& macro) {
    auto lock = store.lockKeyData();
    NotedQuestion question;
    macros::isMacroInUse(macro, store.working().records(), question);
    return question.asked ? MacroDeleteCheck::AskFirst : MacroDeleteCheck::MayDelete;
}

bool confirmMacroDelete(MacroDeleteCheck check, Prompter& prompter) {
    return check == MacroDeleteCheck::MayDelete || prompter.askYesNo("MACRO_DELETE_CONFIRM_OF_KEYS", false);
}

macros::ReconcileResult reconcileMacroReferences(AssignmentStore& store, macros::MacroSet list) {
    auto lock = store.lockKeyData();
    macros::ReconcileResult result = macros::reconcileMacroReferences(list, store.working().records());
    store.working().macros() = std::move(list);
    return result;
}

} // namespace tarvik::profiles
