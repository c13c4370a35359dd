// The one-line summary (tooltip) of an assigned key and whether its button shows the assigned look.
#include "keyboard/KeyAssignment.h"
#include "keyboard/UiTexts.h"

namespace tarvik::keyboard {

AssignmentSummaryText AssignmentSummary(int controlId, KeySlot slot, const KeyAssignment& record,
                                        const MacroLookup& macros) {
    AssignmentSummaryText summary;
    if (int n = GButtonNumber(controlId); n > 0) {
        summary.text = u"G" + std::u16string(1, static_cast<char16_t>(u'0' + n));
    } else if (int p = KeyButtonPosition(controlId); p >= 0) {
        summary.text = KeyName(KeyButtons()[p].key);
    } else {
        // Not a button: name the slot's key, as the dialogs do for keys without a button.
        summary.text = slot < 256 ? KeyName(KeyCodeFromIndex(static_cast<KeyIndex>(slot))) : std::u16string();
    }
    if (record.type == ASSIGN_DEFAULT) {
        return summary;
    }
    summary.assigned = true;
    summary.text += detail::uiText("KEY_PROMPT_SET");
    switch (record.type) {
    case ASSIGN_SINGLE_KEY:
        summary.text += detail::uiText("KEY_PROMPT_SINGLE");
        if (record.value <= 0xFFFF) {
            summary.text += KeyName(static_cast<KeyCode>(record.value));
        }
        summary.text += u")";
        break;
    case ASSIGN_MACRO:
        summary.text += detail::uiText("KEY_PROMPT_MACRO") + macros.macroName(record.value) + u")";
        break;
    case ASSIGN_MEDIA:
        summary.text += detail::uiText("KEY_PROMPT_MEDIA");
        if (record.value < kMediaKeyCount) {
            summary.text += KeyName(MediaKeyList()[record.value].key);
        }
        summary.text += u")";
        break;
    case ASSIGN_FUNCTION_KEY:
        summary.text += detail::uiText("KEY_PROMPT_FUNCTION");
        if (record.value < kFunctionKeyCount) {
            summary.text += detail::uiText(FunctionKeyList()[record.value].textKey);
        }
        summary.text += u")";
        break;
    default:
        break;
    }
    return summary;
}

} // namespace tarvik::keyboard
