// The macro panel's controls inside the key assignment dialog: the macro combo (typing a name renames or
// creates), Add and Delete, the action list with in-place editing, the repeat-count field, Record, the
// six row buttons, the record-delays check box and the macro memory meter. Each control is named by its
// skin key. Every command goes to the MacroPanelModel; the controls are then redrawn from it.
#pragma once

#include "macros/MacroPanelModel.h"
#include "platform/IniFile.h"
#include "ui/SkinLayout.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string_view>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QWidget;

namespace tarvik::ui {
class CPngButton;
}

namespace tarvik::macros {

class MacroActionTable;
class MacroMemoryBar;
class TickCheckBox;

class MacroPanel final : public QObject {
    Q_OBJECT

public:
    // The text of a language key as the dialog has it for this opening.
    using TextLookup = std::function<QString(std::string_view key)>;

    struct Hooks {
        // The repeat-count rule of the dialog: the text the field must show for a typed text.
        std::function<std::u16string(std::u16string_view)> correctCycles;
        // A message the Prompter cannot show: a text with a number filled in.
        std::function<void(std::string_view key, unsigned number)> notice;
        // The keyboard's macro capacity in bytes, 0 while unknown.
        std::function<size_t()> capacity;
        // Milliseconds of a monotonic clock, for the pauses between recorded keys.
        std::function<uint32_t()> clock;
        // The record-delays box was clicked: the setting is toggled and written.
        std::function<void()> toggleRecordDelays;
    };

    // The controls are children of dialog.
    MacroPanel(QWidget& dialog, MacroPanelModel& model, Hooks hooks);
    ~MacroPanel() override;

    // Places every control from the layout and gives the buttons the macro picture set. The meter goes
    // to FUNC_MACRO_MEMORY, or, in a layout without it, takes the bottom of the action list's place.
    void place(const IniFile& layout, const ui::StatePictures& macroSet);
    void setTexts(const TextLookup& text);
    void setShown(bool shown);
    // Redraws every control from the model.
    void refresh();

    // Key messages while recording, from the dialog's key filter.
    HookResult keyMessage(uint32_t vk, uint32_t lParam);
    HookResult lowLevelKey(uint32_t vk, bool keyDown);
    bool recording() const { return model_.recording(); }
    void stopRecording();

signals:
    void recordingChanged(bool recording);

private:
    ui::CPngButton& button(const char* key);
    void connectControls();
    void afterEdit();
    void refreshCombo();
    void refreshRows();
    void refreshButtons();
    void refreshMeter();
    void toggleRecord();
    void nameEdited(const QString& text);

    QWidget& dialog_;
    MacroPanelModel& model_;
    Hooks hooks_;
    TextLookup text_;
    bool syncing_ = false;

    QComboBox* combo_ = nullptr;
    QTableView* list_ = nullptr;
    MacroActionTable* table_ = nullptr;
    QLineEdit* cycles_ = nullptr;
    QLabel* cyclesPrompt_ = nullptr;
    QLabel* namePrompt_ = nullptr;
    TickCheckBox* recordDelay_ = nullptr;
    QLabel* recordDelayLabel_ = nullptr;
    MacroMemoryBar* meter_ = nullptr;
    ui::CPngButton* add_ = nullptr;
    ui::CPngButton* delete_ = nullptr;
    ui::CPngButton* record_ = nullptr;
    std::vector<ui::CPngButton*> rowButtons_; // delete, clear, top, up, down, bottom
    std::vector<QWidget*> controls_;          // everything shown with the panel
};

} // namespace tarvik::macros
