// The key assignment dialog without widgets: which panel shows, the key captured, the media and function
// choices, the repeat count, the macro panel, and the record that Apply writes for the slot of the
// clicked button. The window turns its events into calls here and draws what it reads back.
#pragma once

#include "dialogs/KeyDialogStore.h"
#include "dialogs/Placement.h"
#include "keyboard/KeyTable.h"
#include "keyboard/Layout.h"
#include "macros/MacroMemoryMeter.h"
#include "macros/MacroPanelModel.h"
#include "platform/Prompter.h"
#include "profiles/Settings.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik::dialogs {

// The panel type: the type of the record being edited.
inline constexpr uint16_t kPanelDefault = 0; // shown as the single-key panel, without a key
inline constexpr uint16_t kPanelSingleKey = 2;
inline constexpr uint16_t kPanelMacro = 4;
inline constexpr uint16_t kPanelMedia = 7;
inline constexpr uint16_t kPanelFunction = 8;

enum class Panel { SingleKey, Macro, Media, Function };

struct OpenRequest {
    keyboard::KeySlot slot = 0;
    int controlId = 0;      // the button clicked
    bool macroOnly = false; // G9 or the main window's macro button: locked to the macro panel
};

// Texts of the UI text table that decide something: read by the window at each opening.
struct KeyDialogTexts {
    // The name of the record-delays setting: the text of MACRO_ACTION_RECORD_DELAY.
    std::u16string recordDelayName = std::u16string(profiles::kRecordDelayDefaultName);
};

class KeyDialogModel {
public:
    KeyDialogModel(KeyDialogStore& store, Prompter& prompter, profiles::SettingsStore& settings);

    // The opening: combos at item 0, repeat count 1, the macro list copied, the slot's record read, the
    // record-delays setting read and written back normalised, the panel of the record shown and loaded.
    void open(const OpenRequest& request, const KeyDialogTexts& texts = {});
    // OK, Cancel and a close request end here: recording stops, the copies are dropped.
    void close();
    // The open dialog shows the store again, as at opening (after an undo or redo changed it); what the
    // dialog held unapplied is dropped.
    void loadFromStore();
    bool isOpen() const { return openCount_ > 0; }
    int openCount() const { return openCount_; }
    const OpenRequest& request() const { return request_; }

    // ---- State the window draws.
    uint16_t panelType() const { return panelType_; }
    Panel shownPanel() const;
    bool macroOnly() const { return request_.macroOnly; }
    // The tab can be clicked (macro-only mode disables all but the macro tab, and Clear).
    bool tabEnabled(Panel tab) const;
    bool clearEnabled() const { return !request_.macroOnly; }
    // The language key of the panel heading.
    std::string_view headingKey() const;
    // The key capture runs while the single-key panel shows.
    bool keyHooksInstalled() const { return keyHooks_; }
    // The keyboard way through the single-key panel: capture stops after one key, so that the keys that
    // follow move on to OK, and starts again when the field is reached again. No effect elsewhere.
    void setCaptureArmed(bool armed);
    keyboard::KeyCode capturedKey() const { return capturedKey_; }
    const std::u16string& keyField() const { return keyField_; }
    int mediaIndex() const { return mediaIndex_; }
    int functionIndex() const { return functionIndex_; }
    bool applyEnabled() const { return applyEnabled_; }
    // Told each time Apply turns on or off (the window's Apply button follows it).
    void setApplyListener(std::function<void(bool)> listener) { applyListener_ = std::move(listener); }
    // Edits that neither Apply nor OK has written yet: closing would drop them.
    bool hasUnsavedEdits() const { return isOpen() && applyEnabled_; }
    macros::MacroPanelModel& panel() { return panel_; }
    const macros::MacroPanelModel& panel() const { return panel_; }
    // How much of the keyboard's macro memory the macros will take, edits included.
    macros::MacroMemoryMeter memoryMeter(size_t capacity) const;

    // ---- Commands.
    void selectTab(Panel tab);
    // Back to the key's own function.
    void clear();
    void selectMedia(int index);
    void selectFunction(int index);
    // The repeat-count field's text changed: the text it must show (0 or less becomes 1, 256 or more 255).
    std::u16string repeatCountChanged(std::u16string_view text);
    // A key message while the single-key panel shows: the key it gives becomes the captured key
    // (first press only, Print Screen on any message). Keys without a code and media keys pass on.
    macros::HookResult captureKeyMessage(uint32_t vk, uint32_t lParam);
    // The low-level path: Win, Right Win and App are captured from their virtual key.
    macros::HookResult captureLowLevelKey(uint32_t vk, bool keyDown);
    void toggleRecordDelays();
    // The macro panel changed a macro.
    void markModified() { setApplyEnabled(true); }

    // The record Apply writes, from the state now. None while the panel type is still a type this dialog
    // does not make (a blocked key, a program to launch, stop-macro, a text block, loaded from a file or
    // the keyboard and left alone): that record, and any text attached to it, stays as it is.
    std::optional<keyboard::KeyAssignment> buildRecord() const;
    // Hands the macro list back to the store and writes the record of the slot; Apply and the first
    // step of OK.
    AssignOutcome apply();

private:
    void showPanel(bool loadFromRecord);
    void capture(keyboard::KeyCode key);
    void setApplyEnabled(bool enabled);

    KeyDialogStore& store_;
    profiles::SettingsStore& settings_;
    macros::MacroPanelModel panel_;
    KeyDialogTexts texts_;

    OpenRequest request_;
    int openCount_ = 0;
    uint16_t panelType_ = kPanelDefault;
    uint16_t recordType_ = 0;
    uint32_t recordValue_ = 0;
    keyboard::KeyCode capturedKey_ = 0;
    std::u16string keyField_;
    int mediaIndex_ = 0;
    int functionIndex_ = 0;
    bool macroListLoaded_ = false;
    bool keyHooks_ = false;
    bool applyEnabled_ = false;
    std::function<void(bool)> applyListener_;
};

} // namespace tarvik::dialogs
