// The macro panel of the key assignment dialog, without widgets: private copies of every macro while the
// dialog is open (the items of the macro combo), the action rows of the macro shown, the repeat-count
// field, the recorder and the editing commands. Nothing here reaches the assignment store: the copies
// come in through loadMacroList and go back through macrosForCommit, and whether keys play a macro is
// asked through a function the caller gives, which takes and releases the key-data lock itself. Questions
// go through the Prompter only when no lock is held.
#pragma once

#include "keyboard/KeyTable.h"
#include "macros/MacroImage.h"
#include "macros/MacroRecord.h"
#include "macros/Recorder.h"
#include "platform/Prompter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::macros {

// The longest name a macro keeps: 249 units, one less when the 249th would be the first half of a
// surrogate pair. The text ends at an embedded 0 unit.
std::u16string cutMacroName(std::u16string_view text);

struct AddMacroOutcome {
    bool added = false;
    bool full = false; // 100 macros already: MACRO_ERR_MAX, formatted with 100, is to be shown
    // Default names passed over because an item's text begins with them (the window may pause after
    // each, as the original did).
    int namesSkipped = 0;
};

struct DelayEditOutcome {
    bool changed = false; // the action took a new delay
    bool overMax = false; // above 40000: MACRO_ACTION_ERR_DELAY_MAX, formatted with 40000, is to be shown
    uint32_t value = 0;   // what the field shows afterwards
};

enum class RowMove { Top, Up, Down, Bottom };

class MacroPanelModel {
public:
    // True when some play-macro record of the working copy names the macro.
    using PlayedByKeys = std::function<bool(const MacroRecord&)>;

    MacroPanelModel(Prompter& prompter, PlayedByKeys playedByKeys);

    // Called after every command that changes a macro (it enables the dialog's Apply).
    void setModifiedCallback(std::function<void()> callback) { modified_ = std::move(callback); }

    // ---- The macro combo.
    // Private copies of the store's list, isNew cleared; nothing selected, no rows.
    void loadMacroList(std::span<const MacroRecord> list);
    // Empties the combo and the rows and stops recording (the dialog closes).
    void clearPanel();
    size_t macroCount() const { return items_.size(); }
    // Item i as last stored: the rows of the macro shown reach it with storeMacro.
    const MacroRecord& macro(size_t i) const { return items_[i]; }
    int selected() const { return selected_; }
    bool rebuilding() const { return rebuilding_; }
    int addCounter() const { return addCounter_; }

    // The combo's selection changed: the macro shown is stored, the new one shown.
    void selectMacro(int index);
    // Rows and repeat count from the selected macro's copy; no row selected.
    void showMacro();
    // The rows and the repeat count into the selected macro's copy.
    void storeMacro();
    AddMacroOutcome addMacro(std::u16string_view prefix);
    // Deletes the selected macro; a macro that keys play only after the user agrees. True when deleted.
    bool deleteMacro();
    // The text of the combo's edit field changed: renames the selected macro, or creates the first one
    // when the combo is empty. Returns the name as stored.
    std::u16string nameTyped(std::u16string_view text);
    // The copies in combo order with the shown macro stored, for handing back to the store.
    MacroSet macrosForCommit();
    // The store took the list: the copies are no longer new.
    void committed();

    // ---- The repeat-count field (the macro's cycles while the macro panel shows).
    const std::u16string& cyclesText() const { return cyclesText_; }
    void setCyclesText(std::u16string text) { cyclesText_ = std::move(text); }

    // ---- Action rows of the macro shown.
    std::span<const MacroAction> rows() const { return rows_; }
    int selectedRow() const { return selectedRow_; }
    void selectRow(int row);
    // The recorder's rule: after the selected row (else at the end), the earlier row takes the new
    // pause and the new action the earlier row's old one. False when nothing was added (no macro
    // shown, or 2000 rows already).
    bool addAction(keyboard::KeyCode key, uint16_t direction, uint32_t delayMs);
    void deleteAction();
    // Asks MACRO_ACTION_CLEAR_CONFIRM (No preselected) when there are rows.
    void clearActions();
    void moveRow(RowMove move);
    // In-place edits; false when the choice changes nothing or is not valid.
    bool setActionKey(size_t row, uint16_t listCode);
    bool setActionDirection(size_t row, uint16_t direction);
    DelayEditOutcome editDelay(size_t row, std::u16string_view text);
    // A delay edit is starting: recording stops. True when it was running.
    bool beginDelayEdit();

    // ---- Recording.
    bool recording() const { return recorder_.recording(); }
    // Starts when a macro is shown; false otherwise.
    bool startRecording(uint32_t nowMs);
    void stopRecording() { recorder_.stop(); }
    HookResult recordKeyMessage(uint32_t vk, uint32_t lParam, uint32_t nowMs);
    HookResult recordLowLevelKey(uint32_t vk, bool keyDown, uint32_t nowMs);

    // The record-delays setting, 0 or 1.
    int recordDelays() const { return recordDelays_; }
    void setRecordDelays(int value);

    // ---- What the window shows.
    // Record, delete action, clear, top, up, down, bottom.
    bool actionButtonsEnabled() const { return selected_ >= 0; }
    // Add, Delete and the combo; not while recording.
    bool macroListEnabled() const { return !recording(); }
    // The image sizes of the macros with the edits not stored yet.
    MacroImageSizes imageSizes() const;

private:
    bool validSelection() const { return selected_ >= 0 && static_cast<size_t>(selected_) < items_.size(); }
    bool nameTaken(std::u16string_view name) const;
    void addRecorded(const std::vector<RecordedAction>& actions);
    void markModified();

    Prompter& prompter_;
    PlayedByKeys playedByKeys_;
    std::function<void()> modified_;

    MacroSet items_;
    int selected_ = -1;
    bool rebuilding_ = false;
    int addCounter_ = 0;
    std::u16string cyclesText_ = u"1";
    std::vector<MacroAction> rows_;
    int selectedRow_ = -1;
    Recorder recorder_;
    int recordDelays_ = 0;
};

} // namespace tarvik::macros
