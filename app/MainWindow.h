// The main window: the keyboard with a button per key, the profile, report-rate and window buttons, the
// lighting panel and the status line, laid out from Skins/Main.ini. Its decisions are MainHub's; this
// class turns widget events into MainHub calls and draws what MainHub tells it (MainView). It owns its
// sub-windows (SubWindows: key dialog, profile manager, update dialog, lighting panel). The device link
// reaches it from any thread through port() (a WindowPortBridge).
//
// Every control's object name is its skin key (KEY_01E, FUNC_G3, CONTROL2_APPLY, ...) and it sits at the
// skin's rectangle, so tests and scripts find and click it by name.
#pragma once

#include "app/MainHub.h"
#include "app/MainView.h"
#include "app/ProgramAssembly.h"
#include "app/WindowPortBridge.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"
#include "ui/CBaseDialog.h"
#include "ui/SkinLayout.h"
#include "update/FirmwareUpdate.h"
#include "update/ProgramStarter.h"

#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QRect>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class QLabel;

class QTimer;
class QUrl;

namespace tarvik::lighting {
class LightingState;
}
namespace tarvik::ui {
class ClickablePicture;
class CPngButton;
class SkinPrompter;
class QtFileChooser;
} // namespace tarvik::ui

namespace tarvik::app {

class AboutBox;
class MainWindowFlipPage;
class TrayIcon;
class SubWindows;

// What the main window's controls open. The initialisation fills each hook left empty with the window's
// own sub-window (SubWindows); tests may put their own in before or after it.
struct MainWindowHooks {
    // The key dialog for a key's slot, placed beside the clicked button.
    std::function<void(const KeyDialogRequest& request, QRect buttonGlobalRect)> keyDialog;
    std::function<void()> profileManager;
    std::function<void()> updateDialog;
    // A profile button (0..2) or a profile menu entry (-1: <Default Profile>).
    std::function<void(int profile, profiles::SwitchSource source)> switchProfile;
};

struct MainWindowSetup {
    device::AppLinkState& state;
    profiles::AssignmentStore& store;
    profiles::SettingsStore& settings;
    std::filesystem::path programFolder; // holds Skins/ and Help/
    std::filesystem::path dataFolder;
    // The program's parts that are not windows, made when the window starts: binds the service library
    // and starts the request channel (the presence worker starts with it), then makes the hub and the
    // lighting state on the keyboard's commands (assembleProgram). The program ends inside it when the
    // library is missing.
    std::function<ProgramParts(MainWindow&)> assemble = {};
    Poster toWorker = {}; // the device worker for every multi-report write
    // Steps of the start and the exit that belong to the process.
    std::function<void()> onTagged = {}; // the window is ready for other instances
    std::function<void()> createNamedEvents = {};
    std::function<void()> closeInstance = {};
    std::function<void()> closeNamedEvents = {};
    // Message boxes and file dialogs; null: the program's own (skinned boxes, QFileDialog).
    Prompter* prompter = nullptr;
    FileChooser* files = nullptr;
    // A message box with a text already made; empty: the skinned box.
    std::function<void(const QString&)> showText = {};
    // Opens a web address or a file with the desktop's handler; empty: QDesktopServices.
    std::function<void(const QUrl&)> desktopOpen = {};
    // A required picture that is missing: the program ends quietly; tests record it.
    ui::MissingPictureHandler onMissingPicture = ui::exitQuietly;
    // The firmware update's trigger report through the device link; empty: no keyboard takes it.
    update::FirmwareUpdate::RawSender sendRaw = {};
    // The update's messages that name a file and how it starts the update program; null: message boxes
    // and a detached process.
    update::UpdatePrompter* updatePrompter = nullptr;
    update::ProgramStarter* programStarter = nullptr;
    // The key dialog's on-screen keyboard button; empty: onboard or florence from the search path.
    std::function<void()> startOnScreenKeyboard = {};
    // The window's controls (the key and window buttons, the lighting panel) are made when it first shows
    // and go again this long after it was hidden: a resident program keeps none of them while nobody looks.
    // Empty: made at the start and kept.
    std::optional<std::chrono::milliseconds> controlsOnDemand = {};
};

class MainWindow : public ui::CBaseDialog, public MainView, private WindowPortBridge::Target {
    Q_OBJECT

public:
    explicit MainWindow(MainWindowSetup setup, QWidget* parent = nullptr);
    ~MainWindow() override;

    // What the device link is given as its main window.
    WindowPortBridge& port() { return *bridge_; }
    const MainWindowSetup& setup() const { return setup_; }
    // The message boxes and file dialogs of the setup, or the window's own.
    Prompter& prompter();
    FileChooser& files();
    // Valid after initialise().
    MainHub& hub() { return *hub_; }
    MainWindowHooks& hooks() { return hooks_; }
    // An editor the exit sequence and a lost keyboard ask to close, in the order added (after About).
    void addEditor(ui::Editor* editor);
    // Made on first use: a resident program that is never asked about itself keeps none of it.
    AboutBox& aboutBox();
    TrayIcon& trayIcon() { return *tray_; }
    lighting::LightingState* lightingState() { return lighting_.get(); }
    // The key dialog, the profile manager, the update dialog, the lighting panel (while the controls
    // are made); null until the initialisation.
    SubWindows* subWindows() { return windows_.get(); }

    ui::CPngButton* button(const std::string& skinKey) const;
    ui::CPngButton* buttonById(int controlId) const;
    // The tag other instances recognise the main window by; 0 until the initialisation set it.
    uint32_t windowTag() const { return tag_; }
    ui::ClickablePicture* busyPicture() const { return busyPicture_; }
    MainWindowFlipPage* flipPage() const { return flipPage_; }
    QLabel* reportRateCaption() const { return reportCaption_; }
    QMenu* lastMenu() const { return lastMenu_; }
    // A timer of the main window by its number (1050, 1051, 1052), if running.
    bool timerActive(int timerId) const;

    // MainView
    void showWindow() override;
    void hideWindow() override;
    void minimizeWindow() override;
    void quit() override;
    void setApplyEnabled(bool enabled) override;
    void refreshKeyButtons() override;
    void refreshButton(int controlId) override;
    void setLayerIndicator(int layer) override;
    void setProfileButtons(int selected) override;
    void setReportRateButtons(int selected) override;
    void setFlip(int flip) override;
    void setSwitchText(const std::u16string& text) override;
    void setBusy(bool busy) override;
    void showBusyFrame(int frame) override;
    void showMenu(const std::vector<MenuItem>& items) override;
    void killTimer(int timerId) override;
    void createTray(int iconId, const std::u16string& tip) override;
    void removeTray() override;
    void setTrayIcon(int iconId) override;
    void setTrayTip(const std::u16string& tip) override;
    void openAbout() override;
    void openKeyDialog(const KeyDialogRequest& request) override;
    void openProfileManager() override;
    void openUpdateDialog() override;
    void switchProfile(int profile, profiles::SwitchSource source) override;
    void openUrl(const std::string& url) override;
    void openFile(const std::filesystem::path& file) override;
    void showText(const std::u16string& text) override;
    void retext() override;
    void announce(std::string_view languageKey) override;

protected:
    void onInitDialog() override;
    void onShowDialog() override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // WindowPortBridge::Target
    intptr_t onMessage(uint32_t message, uint32_t wParam, bool posted) override;
    void onHide() override;
    void onSetIcon(int iconId) override;
    void onStartTimer(int timerId, int periodMs) override;
    void onShowMessage(const std::string& languageKey) override;
    bool ready() const override;

    // The controls, made (with what the hub drew meanwhile) and let go.
    void buildControls();
    void releaseControls();
    // A while after a hide: the controls go unless something of theirs is still under way.
    void releaseControlsWhenIdle();
    bool dialogShown() const;
    void placeControls();
    ui::CPngButton& addButton(const std::string& key, int controlId, const ui::StatePictures& pictures);
    void bindTexts();
    // Tab order in reading order (top bar, buttons row, key grid, lighting panel) with the key grid as
    // one stop: its keys are reached from there with the arrow keys.
    void orderKeyboardPaths();
    bool moveKeyFocus(QWidget* from, int key);
    void makeEntryKey(ui::CPngButton* key);
    // The sub-windows and the lighting panel; the hooks left empty open them.
    void createSubWindows(device::Commands& commands, const std::filesystem::path& languageFile);
    void startTimerById(int timerId, int periodMs);
    // Each button keeps only its own part of the state pictures (whole, without the colour-keys pair): the
    // buttons cover half the window, and the whole pictures, five of the window's size, were most of what
    // a shown window held. They go when this returns.
    void cutStatePictures(const std::vector<QPixmap>& whole);
    void loadBusyFrames();
    // While hidden the window keeps no pictures (they are most of a resident program's memory); it loads
    // them again when it is shown.
    void releaseStatePictures();
    // The colour-keys pair, decoded when a key first shows that mode (most windows never do).
    void loadColourPictures();
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool takesInput(QObject* watched, QEvent* event) const;

    MainWindowSetup setup_;
    MainWindowHooks hooks_;
    std::unique_ptr<WindowPortBridge> bridge_;
    std::unique_ptr<ui::SkinPrompter> ownPrompter_;
    std::unique_ptr<ui::QtFileChooser> ownFiles_;
    // Made by the program (setup_.assemble), kept here so they go in the order the window's parts need.
    std::unique_ptr<MainHub> hub_;
    std::unique_ptr<lighting::LightingState> lighting_;
    // After the lighting state: it goes first.
    std::unique_ptr<SubWindows> windows_;
    std::unique_ptr<AboutBox> about_;
    std::unique_ptr<TrayIcon> tray_;
    std::vector<ui::Editor*> pendingEditors_;

    // Where each button's pictures come from: its place in the whole pictures (layout pixels, counted
    // from 1) and the part it was given, when it was given a part.
    struct PicturePlace {
        QPoint at;
        std::optional<QRect> part;
    };
    std::map<ui::CPngButton*, PicturePlace> picturePlace_;
    bool picturesShown_ = false; // the buttons have their pictures
    bool colourPicturesLoaded_ = false;
    std::vector<QPixmap> busyFrames_; // jdt1.bmp ... jdt10.bmp
    std::map<std::string, ui::CPngButton*> buttons_;
    std::map<int, ui::CPngButton*> byId_;
    enum class PictureKind { Button, Lamp, Indicator, Key };
    std::map<ui::CPngButton*, PictureKind> pictureKind_;
    std::vector<ui::CPngButton*> keyButtons_; // G, key and Fn buttons
    ui::CPngButton* entryKey_ = nullptr;      // the key button Tab reaches
    ui::ClickablePicture* busyPicture_ = nullptr;
    MainWindowFlipPage* flipPage_ = nullptr; // a child over the key buttons
    QLabel* reportCaption_ = nullptr;
    QPointer<QMenu> lastMenu_;
    std::map<int, QTimer*> timers_;
    std::array<std::string, 3> links_;
    uint32_t tag_ = 0;
    bool busy_ = false;
    bool picturesComplete_ = false;
    bool controlsBuilt_ = false;
    QTimer* releaseTimer_ = nullptr; // with controls on demand
    // What the hub last drew, kept for controls made later.
    int shownProfile_ = -1;
    bool applyEnabled_ = false;
    int layer_ = 0;
    int reportRate_ = 0;
    int flip_ = 0;
    std::u16string switchText_;
};

} // namespace tarvik::app
