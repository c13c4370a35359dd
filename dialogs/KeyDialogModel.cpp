#include "dialogs/KeyDialogModel.h"

#include "keyboard/KeyAssignment.h"

#include <algorithm>
#include <limits>

namespace tarvik::dialogs {

namespace {

constexpr keyboard::KeyCode kPrintScreen = 0x137;
constexpr uint32_t kMessageHistoryBits = (1u << 30) | (1u << 31); // previous state, transition

// A decimal number as the repeat-count field is read: leading blanks, an optional sign, digits; 0 when
// there are none. Saturates instead of wrapping.
long long readDecimal(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long v = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        v = std::min<long long>(v * 10 + (text[i] - u'0'), std::numeric_limits<int>::max());
    }
    return negative ? -v : v;
}

} // namespace

KeyDialogModel::KeyDialogModel(KeyDialogStore& store, Prompter& prompter, profiles::SettingsStore& settings)
    : store_(store), settings_(settings),
      panel_(prompter, [&store](const macros::MacroRecord& m) { return store.macroPlayedByKeys(m); }) {
    panel_.setModifiedCallback([this] { markModified(); });
}

Panel KeyDialogModel::shownPanel() const {
    switch (panelType_) {
    case kPanelMacro:
        return Panel::Macro;
    case kPanelMedia:
        return Panel::Media;
    case kPanelFunction:
        return Panel::Function;
    default:
        return Panel::SingleKey;
    }
}

bool KeyDialogModel::tabEnabled(Panel tab) const {
    return !request_.macroOnly || tab == Panel::Macro;
}

std::string_view KeyDialogModel::headingKey() const {
    return request_.macroOnly ? "MACRO_EDIT_TISHI" : "KEY_SETTING_TISHI";
}

void KeyDialogModel::open(const OpenRequest& request, const KeyDialogTexts& texts) {
    ++openCount_;
    request_ = request;
    texts_ = texts;
    mediaIndex_ = 0;
    functionIndex_ = 0;
    panel_.setCyclesText(u"1");
    panel_.setRecordDelays(settings_.writeRecordDelay(settings_.readRecordDelay(texts_.recordDelayName),
                                                      texts_.recordDelayName));

    loadFromStore();
}

void KeyDialogModel::loadFromStore() {
    panel_.stopRecording();
    panel_.loadMacroList(store_.macros());
    macroListLoaded_ = true;

    const keyboard::KeyAssignment record = store_.record(request_.slot);
    panelType_ = record.type;
    recordType_ = record.type;
    recordValue_ = record.value;
    if (request_.macroOnly) {
        panelType_ = kPanelMacro;
    }

    capturedKey_ = 0;
    keyField_.clear();
    showPanel(true);
    setApplyEnabled(false);
}

void KeyDialogModel::close() {
    keyHooks_ = false;
    panel_.clearPanel();
    setApplyEnabled(false);
    if (openCount_ > 0) {
        --openCount_;
    }
}

void KeyDialogModel::showPanel(bool loadFromRecord) {
    // What the loaded record's value means depends on its type: it is only a macro id in a play-macro
    // record and only a key in a single-key record.
    const uint32_t macroId = recordType_ == kPanelMacro ? recordValue_ : 0;
    switch (shownPanel()) {
    case Panel::Macro:
        keyHooks_ = false;
        if (loadFromRecord) {
            int index = 0;
            for (size_t i = 0; i < panel_.macroCount(); ++i) {
                if (macroId != 0 && panel_.macro(i).id() == macroId) {
                    index = static_cast<int>(i);
                    break;
                }
            }
            if (panel_.macroCount() > 0) {
                panel_.selectMacro(index);
            }
        } else if (macroListLoaded_) {
            macroListLoaded_ = false;
            // With nothing selected, Apply would have no macro to name.
            if ((macroId == 0 || panel_.selected() < 0) && panel_.macroCount() > 0) {
                panel_.selectMacro(0);
            }
        }
        break;
    case Panel::Media:
        keyHooks_ = false;
        panel_.stopRecording();
        if (loadFromRecord) {
            // A value from a file may lie outside the list; the combo then keeps its first item.
            mediaIndex_ = recordValue_ < keyboard::kMediaKeyCount ? static_cast<int>(recordValue_) : 0;
        }
        break;
    case Panel::Function:
        keyHooks_ = false;
        panel_.stopRecording();
        if (loadFromRecord) {
            functionIndex_ = recordValue_ < keyboard::kFunctionKeyCount ? static_cast<int>(recordValue_) : 0;
        }
        break;
    case Panel::SingleKey:
        panel_.stopRecording();
        keyHooks_ = true;
        if (loadFromRecord) {
            capturedKey_ = recordType_ == kPanelSingleKey ? static_cast<keyboard::KeyCode>(recordValue_) : 0;
            if (panelType_ == kPanelSingleKey && capturedKey_ != 0) {
                keyField_ = keyboard::KeyName(capturedKey_);
            }
        }
        break;
    }
}

void KeyDialogModel::selectTab(Panel tab) {
    if (!isOpen() || !tabEnabled(tab)) {
        return;
    }
    uint16_t type = panelType_;
    switch (tab) {
    case Panel::SingleKey:
        // A default record is edited on the single-key panel with no key.
        if (panelType_ == kPanelSingleKey || panelType_ == kPanelDefault) {
            return;
        }
        type = kPanelSingleKey;
        break;
    case Panel::Macro:
        type = kPanelMacro;
        break;
    case Panel::Media:
        type = kPanelMedia;
        break;
    case Panel::Function:
        type = kPanelFunction;
        break;
    }
    if (type == panelType_) {
        return;
    }
    panelType_ = type;
    showPanel(false);
    setApplyEnabled(true);
}

void KeyDialogModel::clear() {
    if (!isOpen() || !clearEnabled()) {
        return;
    }
    selectTab(Panel::SingleKey);
    if (panelType_ == kPanelSingleKey) {
        keyField_.clear();
        panelType_ = kPanelDefault;
    }
}

void KeyDialogModel::selectMedia(int index) {
    if (index >= 0 && static_cast<size_t>(index) < keyboard::kMediaKeyCount && index != mediaIndex_) {
        mediaIndex_ = index;
        setApplyEnabled(true);
    }
}

void KeyDialogModel::selectFunction(int index) {
    if (index >= 0 && static_cast<size_t>(index) < keyboard::kFunctionKeyCount && index != functionIndex_) {
        functionIndex_ = index;
        setApplyEnabled(true);
    }
}

std::u16string KeyDialogModel::repeatCountChanged(std::u16string_view text) {
    const long long v = readDecimal(text);
    std::u16string shown(text);
    if (v <= 0) {
        shown = u"1";
    } else if (v >= 256) {
        shown = u"255";
    }
    panel_.setCyclesText(shown);
    setApplyEnabled(true);
    return shown;
}

void KeyDialogModel::setApplyEnabled(bool enabled) {
    if (enabled == applyEnabled_) {
        return;
    }
    applyEnabled_ = enabled;
    if (applyListener_) {
        applyListener_(enabled);
    }
}

void KeyDialogModel::setCaptureArmed(bool armed) {
    if (isOpen() && shownPanel() == Panel::SingleKey) {
        keyHooks_ = armed;
    }
}

void KeyDialogModel::capture(keyboard::KeyCode key) {
    capturedKey_ = key;
    keyField_ = keyboard::KeyName(key);
    panelType_ = kPanelSingleKey;
    setApplyEnabled(true);
}

macros::HookResult KeyDialogModel::captureKeyMessage(uint32_t vk, uint32_t lParam) {
    if (!keyHooks_) {
        return macros::HookResult::PassOn;
    }
    const keyboard::KeyCode key = keyboard::KeyCodeFromKeyMessage(vk, lParam);
    if (key == 0 || keyboard::IsMediaKeyCode(key)) {
        return macros::HookResult::PassOn;
    }
    // Print Screen announces only its release on some systems.
    if (key == kPrintScreen || (lParam & kMessageHistoryBits) == 0) {
        capture(key);
    }
    return macros::HookResult::Swallow;
}

macros::HookResult KeyDialogModel::captureLowLevelKey(uint32_t vk, bool) {
    if (!keyHooks_) {
        return macros::HookResult::PassOn;
    }
    const keyboard::KeyCode key = keyboard::WindowsKeyFromVirtualKey(vk, true);
    if (key == 0) {
        return macros::HookResult::PassOn;
    }
    capture(key);
    return macros::HookResult::Swallow;
}

void KeyDialogModel::toggleRecordDelays() {
    panel_.setRecordDelays(
        settings_.writeRecordDelay(panel_.recordDelays() == 1 ? 0 : 1, texts_.recordDelayName));
}

macros::MacroMemoryMeter KeyDialogModel::memoryMeter(size_t capacity) const {
    return macros::measureMacroMemory(panel_.imageSizes(), capacity);
}

std::optional<keyboard::KeyAssignment> KeyDialogModel::buildRecord() const {
    keyboard::KeyAssignment r;
    r.type = panelType_;
    r.aux = keyboard::GKeyTagOfSlot(request_.slot);
    switch (panelType_) {
    case kPanelDefault:
        break;
    case kPanelSingleKey:
        r.value = capturedKey_;
        // A key given itself is the key's own function.
        if (capturedKey_ == 0 || keyboard::KeyIndexFromCode(capturedKey_) == request_.slot) {
            r.type = kPanelDefault;
        }
        break;
    case kPanelMacro: {
        const int selected = panel_.selected();
        if (panel_.macroCount() == 0 || selected < 0) {
            r.type = kPanelDefault;
            break;
        }
        r.value = panel_.macro(static_cast<size_t>(selected)).id();
        r.aux = static_cast<uint16_t>(std::clamp<long long>(readDecimal(panel_.cyclesText()), 0, 0xFFFF));
        break;
    }
    case kPanelMedia:
        r.value = static_cast<uint32_t>(mediaIndex_);
        break;
    case kPanelFunction:
        r.value = static_cast<uint32_t>(functionIndex_);
        break;
    default:
        return std::nullopt;
    }
    return r;
}

AssignOutcome KeyDialogModel::apply() {
    if (!isOpen()) {
        return {};
    }
    // Stored first: the record names the macro by its id in the list handed back.
    macros::MacroSet list = panel_.macrosForCommit();
    const std::optional<keyboard::KeyAssignment> record = buildRecord();
    AssignOutcome out = store_.assign(std::move(list), request_.slot, record);
    panel_.committed();
    setApplyEnabled(false);
    return out;
}

} // namespace tarvik::dialogs
