// The key assignment dialog: a skinned window with four panels (single key, macro, media key, function
// key) that edits the assignment of one key or G key in the profile being edited. The main window owns
// one and opens it for each click; it writes nothing until Apply or OK.
#pragma once

#include "dialogs/KeyDialogModel.h"
#include "dialogs/KeyHookFilter.h"
#include "platform/KeyboardHold.h"
#include "platform/WindowKeyboardGrabber.h"
#include "ui/CBaseDialog.h"
#include "ui/Editor.h"
#include "ui/SkinLayout.h"

#include <QElapsedTimer>
#include <QRect>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;

namespace tarvik::ui {
class CPngButton;
}
namespace tarvik::macros {
class MacroPanel;
}

namespace tarvik::dialogs {

class KeyDialog final : public ui::CBaseDialog, public ui::Editor {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 134;

    // What the dialog asks of the main window; every member may be left empty.
    struct Hooks {
        // The keyboard's macro capacity in bytes, 0 while no keyboard has told it.
        std::function<size_t()> macroCapacity;
        // F1: the program's help page.
        std::function<void()> openHelp;
        // After each Apply (OK included): the main window gives the clicked button its look and summary,
        // redraws the buttons whose macro records were reset, and marks its configuration changed.
        std::function<void(const AssignOutcome&)> assigned;
        // After the Apply button (not OK): the main window writes its changed configuration to the
        // keyboard while the dialog stays open.
        std::function<void()> applyToKeyboard;
        // Ctrl+Z (false) and Ctrl+Shift+Z or Ctrl+Y (true): the main window's undo or redo; the dialog
        // then shows the store again.
        std::function<void(bool forward)> undoRedo;
        // The dialog closed; controlId is the button it was opened for (drawn pressed meanwhile).
        std::function<void(int controlId)> closed;
        // A message whose text needs a number filled in, which the Prompter cannot do. Default: a
        // message box.
        std::function<void(const QString& text)> notice;
        // The on-screen keyboard button. Default: onboard or florence from the search path, started
        // detached; nothing when neither is installed.
        std::function<void()> startOnScreenKeyboard;
        // A picture of the five sets missing at the first opening. Default: the program ends quietly.
        ui::MissingPictureHandler missingPicture = ui::exitQuietly;
    };

    // skinFolder holds Composite.ini and the pictures; languageFile the texts read at each opening.
    KeyDialog(QWidget* parent, KeyDialogStore& store, Prompter& prompter, profiles::SettingsStore& settings,
              Hooks hooks, std::filesystem::path skinFolder, std::filesystem::path languageFile);
    ~KeyDialog() override;

    // The main window's entry: edits the record of slot for the button controlId whose screen
    // rectangle is buttonGlobalRect, beside it, and returns when the dialog closes (Accepted after OK).
    int editSlot(int slot, int controlId, bool macroOnly, const QRect& buttonGlobalRect);
    // The same without waiting: the dialog opens window-modal and the call returns.
    void openForSlot(int slot, int controlId, bool macroOnly, const QRect& buttonGlobalRect);

    // ui::Editor: closing drops the edits, as Cancel does; edits not yet written are asked about first,
    // and kept as OK keeps them.
    bool requestClose() override;
    bool isOpen() const override;
    std::string_view unsavedEditsQuestion() const override;
    void saveEdits() override;

    KeyDialogModel& model() { return model_; }
    // As a click on the panel's tab (the skin gallery shows each panel so).
    void selectTab(Panel tab);
    // Whether the application-wide key filter runs (single-key panel shown, or recording).
    bool keyFilterInstalled() const { return filter_.installed(); }
    // Whether the desktop holds the keyboard for the capture (an X11 grab, a Wayland inhibitor).
    bool keyboardHeld() const { return hold_.held(); }

public slots:
    // Apply: hands the macros back, writes the record, and has the main window write it to the keyboard;
    // the dialog stays open.
    void apply();
    // OK: Apply, then close.
    void accept() override;
    void done(int result) override;

protected:
    void onInitDialog() override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Pending {
        int slot = 0;
        int controlId = 0;
        bool macroOnly = false;
        QRect button;
    };

    void prepare(int slot, int controlId, bool macroOnly, const QRect& buttonGlobalRect);
    // What Apply and OK share: the macros handed back and the record written.
    void assign();
    void build();
    void openPending();
    void placeControls();
    void readTexts();
    QString text(std::string_view key) const;
    void applyTexts();
    void fillCombos();
    void placeBesideButton();
    void sync();
    void updateKeyFilter();
    void updateKeyboardHold();
    // Whether the hold may be in force: the active window, or just shown where the desktop scopes it.
    void updateWindowReady();
    // Keys typed now belong to a menu or a question over the dialog.
    bool keysGoElsewhere() const;
    // After a key captured the keyboard's way: the capture rests and the focus moves on to OK.
    void capturedByKeyboard();
    void showNotice(std::string_view key, unsigned number);
    ui::CPngButton& imageButton(const char* key);
    QLabel& label(const char* key, double points);

    KeyDialogModel model_;
    Hooks hooks_;
    std::filesystem::path languageFile_;
    Pending pending_;
    KeyHookFilter filter_;
    // While the filter captures, the desktop's shortcuts are held off; released before the window goes.
    WindowKeyboardGrabber grabber_{*this};
    KeyboardHold hold_{grabber_};
    QElapsedTimer clock_;
    std::map<std::string, QString, std::less<>> texts_;

    bool built_ = false;
    bool picturesLoaded_ = false;
    std::vector<QPixmap> pictures_;
    ui::StatePictures keySet_, applySet_, macroSet_, macro2Set_, mediaSet_, functionSet_;

    ui::CPngButton* mask_ = nullptr;
    ui::CPngButton* title_ = nullptr;
    ui::CPngButton* tabKey_ = nullptr;
    ui::CPngButton* tabMacro_ = nullptr;
    ui::CPngButton* tabMedia_ = nullptr;
    ui::CPngButton* tabFunction_ = nullptr;
    ui::CPngButton* clear_ = nullptr;
    ui::CPngButton* osk_ = nullptr;
    ui::CPngButton* ok_ = nullptr;
    ui::CPngButton* cancel_ = nullptr;
    ui::CPngButton* apply_ = nullptr;
    QLabel* heading_ = nullptr;
    QLabel* singlePrompt_ = nullptr;
    QLabel* mediaPrompt_ = nullptr;
    QLabel* functionPrompt_ = nullptr;
    QLineEdit* keyField_ = nullptr;
    // Opened from a control reached by keyboard: one key per arming of the capture field.
    bool keyboardWay_ = false;
    // A recording started by keyboard ends after this long without a key.
    static constexpr int kKeyboardRecordPauseMs = 5000;
    bool keyboardRecording_ = false;
    QTimer recordPause_;
    QLabel* keysKeptHint_ = nullptr; // under the key field when the desktop gave no hold
    QComboBox* media_ = nullptr;
    QComboBox* function_ = nullptr;
    macros::MacroPanel* macroPanel_ = nullptr; // a child of the dialog
};

} // namespace tarvik::dialogs
