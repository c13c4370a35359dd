#include "macros/MacroPanelModel.h"

#include <algorithm>
#include <limits>

namespace tarvik::macros {

namespace {

// Case folding for the combo's prefix search, as the list controls of the original compare: Latin,
// Greek and Cyrillic letters; other scripts have no case.
char16_t foldCase(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) ||
        (c >= 0x0391 && c <= 0x03AB) || (c >= 0x0410 && c <= 0x042F)) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x0400 && c <= 0x040F) {
        return static_cast<char16_t>(c + 0x50);
    }
    return c;
}

bool startsWithFolded(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (foldCase(text[i]) != foldCase(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

// A decimal number from the start of a text, as the repeat-count field is read: 0 when it holds none,
// saturated instead of wrapping.
uint32_t leadingNumber(std::u16string_view text) {
    uint64_t v = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') {
            break;
        }
        v = std::min<uint64_t>(v * 10 + (c - u'0'), std::numeric_limits<uint32_t>::max());
    }
    return static_cast<uint32_t>(v);
}

std::u16string decimal(unsigned v) {
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

// At most limit units, never half a surrogate pair, and nothing from an embedded 0 on.
std::u16string cutUnits(std::u16string_view text, size_t limit) {
    text = text.substr(0, std::min(text.find(u'\0'), text.size()));
    if (text.size() > limit) {
        size_t n = limit;
        if (n > 0 && isHighSurrogate(text[n - 1])) {
            --n; // its second half would not fit
        }
        text = text.substr(0, n);
    }
    return std::u16string(text);
}

} // namespace

std::u16string cutMacroName(std::u16string_view text) {
    return cutUnits(text, kMaxNameUnits);
}

MacroPanelModel::MacroPanelModel(Prompter& prompter, PlayedByKeys playedByKeys)
    : prompter_(prompter), playedByKeys_(std::move(playedByKeys)) {}

void MacroPanelModel::markModified() {
    if (modified_) {
        modified_();
    }
}

void MacroPanelModel::loadMacroList(std::span<const MacroRecord> list) {
    items_.assign(list.begin(), list.end());
    for (auto& m : items_) {
        m.setIsNew(0);
    }
    selected_ = -1;
    rows_.clear();
    selectedRow_ = -1;
}

void MacroPanelModel::clearPanel() {
    recorder_.stop();
    items_.clear();
    selected_ = -1;
    rows_.clear();
    selectedRow_ = -1;
}

void MacroPanelModel::selectMacro(int index) {
    if (index < -1 || index >= static_cast<int>(items_.size())) {
        return;
    }
    storeMacro();
    selected_ = index;
    if (!rebuilding_) {
        showMacro();
    }
}

void MacroPanelModel::showMacro() {
    rows_.clear();
    selectedRow_ = -1;
    if (!validSelection()) {
        return;
    }
    const MacroRecord& m = items_[static_cast<size_t>(selected_)];
    cyclesText_ = decimal(m.cycles());
    rows_ = m.actions();
}

void MacroPanelModel::storeMacro() {
    if (!validSelection()) {
        return;
    }
    MacroRecord& m = items_[static_cast<size_t>(selected_)];
    m.setCycles(static_cast<uint8_t>(std::min<uint32_t>(leadingNumber(cyclesText_), 255)));
    m.setActions(rows_);
}

bool MacroPanelModel::nameTaken(std::u16string_view name) const {
    return std::any_of(items_.begin(), items_.end(),
                       [&](const MacroRecord& m) { return startsWithFolded(m.name(), name); });
}

AddMacroOutcome MacroPanelModel::addMacro(std::u16string_view prefix) {
    AddMacroOutcome outcome;
    std::u16string name;
    for (;;) {
        if (items_.size() >= kMaxMacros) {
            outcome.full = true;
            return outcome;
        }
        if (items_.empty()) {
            addCounter_ = 0;
        }
        ++addCounter_;
        const std::u16string number = decimal(static_cast<unsigned>(addCounter_));
        // The number must survive the name's length limit, or a long prefix would give one name forever.
        name = cutUnits(prefix, kMaxNameUnits - number.size()) + number;
        if (!nameTaken(name)) {
            break;
        }
        ++outcome.namesSkipped;
    }
    MacroRecord record = createMacroRecord(items_, name);
    storeMacro();
    items_.push_back(record);
    selected_ = static_cast<int>(items_.size()) - 1;
    showMacro();
    markModified();
    outcome.added = true;
    return outcome;
}

bool MacroPanelModel::deleteMacro() {
    if (!validSelection()) {
        return false;
    }
    const MacroRecord& doomed = items_[static_cast<size_t>(selected_)];
    // The check returns with the lock released, so the question can be asked.
    if (doomed.isNew() != 1 && playedByKeys_ && playedByKeys_(doomed) &&
        !prompter_.askYesNo("MACRO_DELETE_CONFIRM_OF_KEYS", false)) {
        return false;
    }
    rebuilding_ = true;
    items_.erase(items_.begin() + selected_);
    selected_ = items_.empty() ? -1 : std::max(0, selected_ - 1);
    rebuilding_ = false;
    showMacro();
    markModified();
    return true;
}

std::u16string MacroPanelModel::nameTyped(std::u16string_view text) {
    std::u16string name = cutMacroName(text);
    if (!items_.empty()) {
        if (!validSelection()) {
            return name;
        }
        items_[static_cast<size_t>(selected_)].setName(name);
        markModified();
        return name;
    }
    if (name.empty()) {
        return name;
    }
    MacroRecord record;
    record.setName(name);
    record.setCycles(1);
    record.setIsNew(1);
    record.setId(kFirstMacroId);
    rebuilding_ = true;
    items_.insert(items_.begin(), record);
    selected_ = 0;
    rebuilding_ = false;
    showMacro();
    markModified();
    return name;
}

MacroSet MacroPanelModel::macrosForCommit() {
    storeMacro();
    return items_;
}

void MacroPanelModel::committed() {
    for (auto& m : items_) {
        m.setIsNew(0);
    }
}

void MacroPanelModel::selectRow(int row) {
    selectedRow_ = (row >= 0 && static_cast<size_t>(row) < rows_.size()) ? row : -1;
}

bool MacroPanelModel::addAction(keyboard::KeyCode key, uint16_t direction, uint32_t delayMs) {
    if (!validSelection() || rows_.size() >= kMaxActions) {
        return false;
    }
    if (direction > kRelease) {
        direction = kPress;
    }
    const size_t pos = selectedRow_ >= 0 ? static_cast<size_t>(selectedRow_) + 1 : rows_.size();
    MacroAction action{0, key, direction};
    if (pos > 0) {
        // The pause measured now followed the earlier row; the pause that used to follow it now
        // follows the new one.
        action.delayMs = rows_[pos - 1].delayMs;
        rows_[pos - 1].delayMs = delayMs;
    }
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(pos), action);
    selectedRow_ = static_cast<int>(pos);
    markModified();
    return true;
}

void MacroPanelModel::deleteAction() {
    if (selectedRow_ < 0 || static_cast<size_t>(selectedRow_) >= rows_.size()) {
        return;
    }
    rows_.erase(rows_.begin() + selectedRow_);
    selectedRow_ = -1;
    markModified();
}

void MacroPanelModel::clearActions() {
    if (rows_.empty() || !prompter_.askYesNo("MACRO_ACTION_CLEAR_CONFIRM", false)) {
        return;
    }
    rows_.clear();
    selectedRow_ = -1;
    markModified();
}

void MacroPanelModel::moveRow(RowMove move) {
    if (selectedRow_ < 0 || static_cast<size_t>(selectedRow_) >= rows_.size()) {
        return;
    }
    const auto from = static_cast<size_t>(selectedRow_);
    size_t to = from;
    switch (move) {
    case RowMove::Top:
        to = 0;
        break;
    case RowMove::Up:
        to = from > 0 ? from - 1 : 0;
        break;
    case RowMove::Down:
        to = std::min(from + 1, rows_.size() - 1);
        break;
    case RowMove::Bottom:
        to = rows_.size() - 1;
        break;
    }
    const MacroAction row = rows_[from];
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(from));
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(to), row);
    selectedRow_ = static_cast<int>(to);
    markModified();
}

bool MacroPanelModel::setActionKey(size_t row, uint16_t listCode) {
    if (row >= rows_.size()) {
        return false;
    }
    const keyboard::KeyCode key = keyboard::KeyCodeFromListCode(listCode);
    if (key == 0 || key == rows_[row].key) {
        return false;
    }
    rows_[row].key = key;
    markModified();
    return true;
}

bool MacroPanelModel::setActionDirection(size_t row, uint16_t direction) {
    if (row >= rows_.size() || direction > kRelease || direction == rows_[row].direction) {
        return false;
    }
    rows_[row].direction = direction;
    markModified();
    return true;
}

DelayEditOutcome MacroPanelModel::editDelay(size_t row, std::u16string_view text) {
    DelayEditOutcome outcome;
    if (row >= rows_.size()) {
        return outcome;
    }
    outcome.value = rows_[row].delayMs;
    if (text.empty() ||
        std::any_of(text.begin(), text.end(), [](char16_t c) { return c < u'0' || c > u'9'; })) {
        return outcome;
    }
    uint32_t value = leadingNumber(text);
    if (value > kMaxDelayMs) {
        outcome.overMax = true;
        value = kMaxDelayMs;
    }
    // The keyboard keeps whole 10 ms.
    value = value / 10 * 10;
    outcome.value = value;
    if (value != rows_[row].delayMs) {
        rows_[row].delayMs = value;
        outcome.changed = true;
        markModified();
    }
    return outcome;
}

bool MacroPanelModel::beginDelayEdit() {
    if (!recording()) {
        return false;
    }
    recorder_.stop();
    return true;
}

bool MacroPanelModel::startRecording(uint32_t nowMs) {
    if (!validSelection()) {
        return false;
    }
    recorder_.start(nowMs);
    return true;
}

void MacroPanelModel::addRecorded(const std::vector<RecordedAction>& actions) {
    for (const RecordedAction& a : actions) {
        addAction(a.key, a.direction, a.delayMs);
    }
}

HookResult MacroPanelModel::recordKeyMessage(uint32_t vk, uint32_t lParam, uint32_t nowMs) {
    std::vector<RecordedAction> actions;
    const HookResult result = recorder_.onKeyMessage(vk, lParam, nowMs, actions);
    addRecorded(actions);
    return result;
}

HookResult MacroPanelModel::recordLowLevelKey(uint32_t vk, bool keyDown, uint32_t nowMs) {
    std::vector<RecordedAction> actions;
    const HookResult result = recorder_.onLowLevelKey(vk, keyDown, nowMs, actions);
    addRecorded(actions);
    return result;
}

void MacroPanelModel::setRecordDelays(int value) {
    recordDelays_ = value == 1 ? 1 : 0;
    recorder_.setRecordDelays(recordDelays_ == 1);
}

MacroImageSizes MacroPanelModel::imageSizes() const {
    MacroImageSizes sizes = macroImageSizes(items_);
    if (validSelection()) {
        // The rows of the macro shown have not been stored into its copy yet.
        const size_t stored = kEncodedActionSize * items_[static_cast<size_t>(selected_)].actionCount();
        const size_t shown = kEncodedActionSize * rows_.size();
        sizes.withNames = sizes.withNames - stored + shown;
        sizes.withoutNames = sizes.withoutNames - stored + shown;
    }
    return sizes;
}

} // namespace tarvik::macros
