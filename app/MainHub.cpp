#include "app/MainHub.h"

#include "app/Autostart.h"
#include "device/MainWindowPort.h"
#include "device/OnBoardProfile.h"
#include "keyboard/KeyAssignment.h"
#include "keyboard/KeyButtonClick.h"
#include "keyboard/Layout.h"
#include "keyboard/UiTexts.h"
#include "lighting/KeyButtons.h"
#include "macros/MacroSetLookup.h"
#include "platform/HelpPage.h"
#include "platform/Utf.h"
#include "profiles/KeyboardTransfer.h"
#include "profiles/ProfileFiles.h"
#include "ui/TextKeys.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace tarvik::app {

namespace {

// The tray menu's entries of automatic profiles: the check item, the rules window.
constexpr std::string_view kAutoProfileMenuKeys[] = {"APPPROFILES_AUTOMATIC", "APPPROFILES_MENU"};

using device::kCodeInit;
using device::kCodeKill;
using device::kCodeLed;
using device::kCodeOpen;
using device::kCodeProf;

// The messages a worker's operation wants shown, kept until it is back on the user-interface thread.
class CollectingPrompter final : public Prompter {
public:
    void show(std::string_view key) override { keys.emplace_back(key); }
    bool askYesNo(std::string_view, bool defaultYes) override { return defaultYes; }
    std::vector<std::string> keys;
};

// The first "%s" of a language text replaced by the argument; the text comes from an editable file, so
// it is never handed to printf.
std::u16string withArgument(std::u16string text, const std::u16string& argument) {
    const size_t at = text.find(u"%s");
    if (at != std::u16string::npos) {
        text.replace(at, 2, argument);
    }
    return text;
}

bool isKeyControl(int id) {
    return keyboard::KeyButtonPosition(id) >= 0 || keyboard::GButtonNumber(id) > 0 || id == control::kFn ||
           id == control::kMacro;
}

// A changed key's legend on the key picture's second page: short enough for a cap. Types this program
// does not make keep the printed legend.
std::u16string assignedLegend(const keyboard::KeyAssignment& record, const keyboard::MacroLookup& macros) {
    switch (record.type) {
    case keyboard::ASSIGN_SINGLE_KEY:
        return record.value <= 0xFFFF ? keyboard::KeyName(static_cast<keyboard::KeyCode>(record.value))
                                      : std::u16string();
    case keyboard::ASSIGN_MACRO:
        return macros.macroName(record.value);
    case keyboard::ASSIGN_MEDIA:
        return record.value < keyboard::kMediaKeyCount
                   ? keyboard::KeyName(keyboard::MediaKeyList()[record.value].key)
                   : std::u16string();
    case keyboard::ASSIGN_FUNCTION_KEY:
        return record.value < keyboard::kFunctionKeyCount
                   ? keyboard::detail::uiText(keyboard::FunctionKeyList()[record.value].textKey)
                   : std::u16string();
    default:
        return {};
    }
}

int reportRateOfControl(int id) {
    for (int r = 0; r < 4; ++r) {
        if (kReportButtons[r] == id) {
            return r;
        }
    }
    return -1;
}

} // namespace

const MainHub::Route MainHub::kRoutes[] = {
    {device::MSG_OPEN, false, kCodeOpen, false, &MainHub::onOpen},
    {device::MSG_KILL, false, kCodeKill, false, &MainHub::onKill},
    {device::MSG_INIT, false, kCodeInit, false, &MainHub::onInit},
    {device::MSG_PROFILE_SYNC, false, kCodeProf, false, &MainHub::onProfileSync},
    {device::MSG_KEYMODE_CHANGED, false, kCodeLed, false, &MainHub::onKeyModeChanged},
    {device::MSG_DEVICE_LOST, true, 0, false, &MainHub::onDeviceLost},
    {MSG_APPLY, true, 0, true, &MainHub::apply},
};

MainHub::MainHub(MainHubParts parts) : p_(std::move(parts)) {}

MainHub::~MainHub() {
    *alive_ = false;
}

void MainHub::setExitSteps(std::function<void()> closeInstance, std::function<void()> closeNamedEvents) {
    closeInstance_ = std::move(closeInstance);
    closeNamedEvents_ = std::move(closeNamedEvents);
}

void MainHub::initialise() {
    ready_.store(false, std::memory_order_release);
    p_.state.currentProfile.store(-1);
    setModified(false);
    flip_ = p_.settings.readFlip();
    p_.view.setFlip(flip_);
    p_.view.setProfileButtons(-1);
    p_.view.setReportRateButtons(reportRate_);
    p_.view.setLayerIndicator(gKeyLayer());
    p_.view.setSwitchText(switchText());
    p_.view.refreshKeyButtons();
}

int MainHub::gKeyLayer() const {
    return p_.state.linkStatusMode.load() & 1;
}

// ---------------------------------------------------------------------------------------------------
// Messages

intptr_t MainHub::handleMessage(uint32_t message, uint32_t wParam, bool posted) {
    for (const Route& r : kRoutes) {
        if (r.message != message) {
            continue;
        }
        if ((r.anyCode || r.code == wParam) && (posted || !r.postedOnly)) {
            (this->*r.handler)();
        }
        break;
    }
    return 0;
}

void MainHub::onOpen() {
    showMainWindow();
}

void MainHub::onKill() {
    // Another process waits for the answer: nothing here may wait for a user.
    endSession();
}

void MainHub::onInit() {
    trayIcon_ = device::kIconNoKeyboard;
    p_.view.createTray(trayIcon_, p_.texts.text("KEYBOARD_TRAY_DESC"));
    p_.view.setProfileButtons(p_.state.currentProfile.load());
    ready_.store(true, std::memory_order_release);
    p_.view.hideWindow();
}

void MainHub::onProfileSync() {
    // The keyboard arrived: the store becomes what it holds (or the defaults when it cannot be read).
    profiles::reloadFromKeyboard(p_.store, p_.commands, p_.state, p_.firstRun,
                                 p_.texts.text("MACRO_NEW_PREFIX"));
    edits_.clear();
    setModified(false);
    const int current = p_.state.currentProfile.load();
    editingProfile_ = current >= 0 ? current : 0;
    p_.view.setProfileButtons(current);
    p_.view.setLayerIndicator(gKeyLayer());
    p_.view.refreshKeyButtons();
    if (lighting_ != nullptr) {
        lighting_->reload(editingProfile_);
    }
    p_.view.announce("ACC_KEYBOARD_ARRIVED");
    if (restoreOffer_) {
        // The presence worker waits for this message to be handled; the question comes afterwards.
        std::weak_ptr<bool> alive = alive_;
        p_.toUi([this, alive] {
            if (auto a = alive.lock(); a && *a) {
                offerRestore();
            }
        });
    }
}

void MainHub::offerRestore() {
    // Busy or closing: the offer stays pending (it is only forgotten once asked) for the next arrival.
    if (busy_ || exiting_ || !restoreOffer_) {
        return;
    }
    if (const std::optional<std::filesystem::path> backup = restoreOffer_()) {
        importFile(*backup);
    }
}

void MainHub::onKeyModeChanged() {
    // The keyboard switched its layer itself; the bit is read, never toggled here.
    const int layer = gKeyLayer();
    for (const keyboard::GButton& g : keyboard::GButtons()) {
        p_.view.refreshButton(g.controlId);
    }
    p_.view.setLayerIndicator(layer);
}

void MainHub::onDeviceLost() {
    p_.view.announce("ACC_KEYBOARD_LOST");
    closeEditorsWithoutAsking();
}

void MainHub::closeEditorsWithoutAsking() {
    // A refusal does not matter here: the keyboard is gone, or the program ends without asking.
    if (about_ != nullptr && about_->isOpen()) {
        about_->requestClose();
    }
    for (ui::Editor* e : editors_) {
        if (e != nullptr && e->isOpen()) {
            e->requestClose();
        }
    }
}

void MainHub::onTimer(int timerId) {
    if (timerId == kTimerBusy) {
        busyFrame_ = (busyFrame_ + 1) % kBusyFrames;
        p_.view.showBusyFrame(busyFrame_);
    } else if (timerId == device::kTimerLightingReload) {
        // One shot: the keyboard's own lighting change is read once.
        p_.view.killTimer(device::kTimerLightingReload);
        if (lighting_ != nullptr) {
            lighting_->scheduleReload();
        }
    }
}

void MainHub::setTrayIcon(int iconId) {
    if (iconId == trayIcon_ || trayIcon_ == 0) {
        return;
    }
    trayIcon_ = iconId;
    p_.view.setTrayIcon(iconId);
}

// ---------------------------------------------------------------------------------------------------
// Controls and commands

void MainHub::onControl(int controlId) {
    if (busy_ || exiting_) {
        return;
    }
    if (isKeyControl(controlId)) {
        onKeyClick(controlId);
        return;
    }
    if (const int rate = reportRateOfControl(controlId); rate >= 0) {
        setReportRate(rate);
        return;
    }
    if (controlId >= control::kProfile1 && controlId < control::kProfile1 + 3) {
        p_.view.switchProfile(controlId - control::kProfile1, profiles::SwitchSource::ProfileButton);
        return;
    }
    if (controlId >= control::kLink0 && controlId < control::kLink0 + 3) {
        p_.view.openUrl(links_[static_cast<size_t>(controlId - control::kLink0)]);
        return;
    }
    switch (controlId) {
    case control::kApply:
        apply();
        break;
    case control::kProfileManager:
        p_.view.openProfileManager();
        break;
    case control::kLink:
        p_.view.openUrl(links_[0]);
        break;
    case control::kHelp:
        openHelp();
        break;
    case control::kMinimize:
        p_.view.minimizeWindow();
        break;
    case control::kClose:
        exitSequence();
        break;
    case control::kMenu:
        p_.view.showMenu(mainMenu());
        break;
    case control::kDefaults:
        restoreDefaults();
        break;
    case control::kFlip1:
    case control::kFlip2:
        toggleFlip();
        break;
    case control::kSwitch:
        toggleKeyEditMode();
        break;
    case control::kTrayMenu:
        p_.view.showMenu(profileMenu());
        break;
    default:
        break; // display-only controls
    }
}

void MainHub::onCommand(int commandId) {
    if (exiting_) {
        return;
    }
    if (commandId >= command::kProfileMenuFirst && commandId <= command::kProfileMenuLast) {
        if (!busy_) {
            p_.view.switchProfile(commandId - command::kProfileMenuFirst - 1, profiles::SwitchSource::Menu);
        }
        return;
    }
    switch (commandId) {
    case command::kOpen:
        showMainWindow();
        break;
    case command::kAbout:
    case command::kSysAbout:
        openAbout();
        break;
    case command::kExit:
    case command::kMenuExit:
        exitSequence();
        break;
    case command::kImport:
        importProfile();
        break;
    case command::kExport:
        exportProfile();
        break;
    case command::kUpdate:
        if (!busy_) {
            p_.view.openUpdateDialog();
        }
        break;
    case command::kChinese:
        switchLanguage(ui::TextTable::kChinese);
        break;
    case command::kEnglish:
        switchLanguage(ui::TextTable::kEnglish);
        break;
    case command::kUndo:
        undo();
        break;
    case command::kRedo:
        redo();
        break;
    case command::kAutostart:
        toggleAutostart();
        break;
    case command::kAutoProfiles:
        if (autoProfiles_.setPaused && autoProfiles_.paused) {
            autoProfiles_.setPaused(!autoProfiles_.paused());
        }
        break;
    case command::kAppRules:
        if (autoProfiles_.openRules) {
            autoProfiles_.openRules();
        }
        break;
    default:
        break;
    }
}

void MainHub::onKeyClick(int controlId) {
    // The one key dialog edits one key at a time.
    if (keyDialog_ != nullptr && keyDialog_->isOpen()) {
        return;
    }
    keyboard::ClickState s;
    // Keys paint only while the panel is on in the user mode; with the panel off they edit, whatever
    // mode the list still shows.
    s.userLightingMode = lighting_ != nullptr && lighting_->keyClicksPaint();
    s.colourKeysMode = p_.state.keyEditMode.load() == 1;
    s.gKeyLayer = gKeyLayer();
    const keyboard::ClickAction action = keyboard::OnKeyButtonClicked(controlId, s);
    switch (action.kind) {
    case keyboard::ClickActionKind::PaintKey:
        lighting_->paintKey(lighting::buttonOfControl(action.controlId));
        break;
    case keyboard::ClickActionKind::ToggleColourFlag: {
        edits_.edit([&](profiles::WorkingCopy& working) {
            auto records = working.block().profile(static_cast<unsigned>(editingProfile_));
            keyboard::KeyAssignment& r = records[static_cast<size_t>(action.flagRecord)];
            r.flag = keyboard::ToggledColourFlag(r.flag);
        });
        refreshModified();
        p_.view.refreshButton(action.controlId);
        break;
    }
    case keyboard::ClickActionKind::OpenDialog:
        pressedButton_ = action.controlId;
        p_.view.refreshButton(action.controlId);
        p_.view.openKeyDialog(
            {.slot = action.slot, .controlId = action.controlId, .macroOnly = action.macroOnly});
        break;
    case keyboard::ClickActionKind::Nothing:
        break;
    }
}

void MainHub::assignmentsChanged() {
    refreshModified();
    p_.view.refreshKeyButtons();
}

void MainHub::undo() {
    undoOrRedo(false);
}

void MainHub::redo() {
    undoOrRedo(true);
}

void MainHub::undoOrRedo(bool forward) {
    if (busy_ || exiting_) {
        return;
    }
    if (!(forward ? edits_.redo() : edits_.undo())) {
        return;
    }
    refreshModified();
    p_.view.refreshKeyButtons();
}

void MainHub::lightingStep(std::function<void(bool forward)> restore) {
    if (!exiting_) {
        edits_.push(profiles::Edit::outside(std::move(restore)));
    }
}

void MainHub::refreshModified() {
    setModified(edits_.differsFromApplied());
}

void MainHub::keyDialogClosed() {
    const int button = std::exchange(pressedButton_, 0);
    if (button != 0) {
        p_.view.refreshButton(button);
    }
}

void MainHub::setModified(bool modified) {
    if (modified) {
        ++editCount_;
    }
    modified_ = modified;
    p_.view.setApplyEnabled(modified);
    autoStateChanged();
}

void MainHub::autoStateChanged() {
    if (!autoProfiles_.stateChanged) {
        return;
    }
    std::weak_ptr<bool> alive = alive_;
    p_.toUi([this, alive] {
        if (auto a = alive.lock(); a && *a && !exiting_) {
            autoProfiles_.stateChanged();
        }
    });
}

AutoSwitchState MainHub::autoSwitchState() const {
    const profiles::SwitchContext c = switchContext();
    AutoSwitchState s;
    s.keyboard = isReady() && p_.state.devicePresence.load() > 0;
    s.keyboardProfile = c.keyboardProfile;
    s.editsPending = c.mainModified || c.managerModified || c.compositeOpen || busy_ || exiting_;
    return s;
}

bool MainHub::switchAutomatically(int profile) {
    // The same checks as autoSwitchState: a switch with pending edits would ask whether to save them.
    const AutoSwitchState s = autoSwitchState();
    if (s.editsPending || !s.keyboard || profile < 0 || profile > 2) {
        return false;
    }
    p_.view.switchProfile(profile, profiles::SwitchSource::ProfileButton);
    return true;
}

std::u16string MainHub::trayTip() const {
    std::u16string tip = p_.texts.text("KEYBOARD_TRAY_DESC");
    if (switchWaiting_) {
        tip += u"\n" + p_.texts.readOnDemand(p_.languageFile, "APPPROFILES_WAITING");
    }
    return tip;
}

void MainHub::setSwitchWaiting(bool waiting) {
    switchWaiting_ = waiting;
    if (trayIcon_ != 0) {
        p_.view.setTrayTip(trayTip());
    }
}

ButtonLook MainHub::buttonLook(int controlId) const {
    ButtonLook look;
    look.pressed = controlId == pressedButton_ && pressedButton_ != 0;
    const int layer = gKeyLayer();
    auto lock = p_.store.lockKeyData();
    const auto records =
        std::as_const(p_.store.working()).block().profile(static_cast<unsigned>(editingProfile_));
    const int slot = keyboard::SlotOfButton(controlId, layer);
    if (slot >= 0) {
        const macros::MacroSetLookup macros(p_.store.working().macros());
        const auto summary = keyboard::AssignmentSummary(controlId, static_cast<keyboard::KeySlot>(slot),
                                                         records[static_cast<size_t>(slot)], macros);
        look.tip = summary.text;
        look.assigned = summary.assigned;
        if (flip_ == 1 && summary.assigned && p_.state.keyEditMode.load() != 1) {
            look.legend = assignedLegend(records[static_cast<size_t>(slot)], macros);
        }
    }
    if (p_.state.keyEditMode.load() == 1) {
        look.colourMode = true;
        const int flagRecord = keyboard::ColourKeyFlagRecord(controlId, layer);
        look.colourFlag = flagRecord >= 0 && records[static_cast<size_t>(flagRecord)].flag != 0;
    }
    return look;
}

std::u16string MainHub::switchText() const {
    return p_.texts.text(p_.state.keyEditMode.load() == 1 ? "MAIN_SWITCH_COLOR_TEXT"
                                                          : "MAIN_SWITCH_FUNCTION_TEXT");
}

std::u16string MainHub::profileEntryName(int profile) const {
    if (profile < 0 || profile > 2) {
        return p_.texts.text("DEFAULT_PROFILE_NAME");
    }
    return onDemand(ui::kOnBoardProfileKeys[profile]);
}

std::u16string MainHub::onDemand(std::string_view key) const {
    if (p_.texts.has(key)) {
        return p_.texts.text(key);
    }
    return p_.texts.readOnDemand(p_.languageFile, key);
}

void MainHub::setKeyEditMode(int mode) {
    p_.state.keyEditMode.store(mode);
    p_.view.setSwitchText(switchText());
    p_.view.refreshKeyButtons();
}

void MainHub::toggleKeyEditMode() {
    setKeyEditMode(p_.state.keyEditMode.load() == 1 ? 0 : 1);
}

void MainHub::lightingPanelTurnedOff() {
    if (p_.state.keyEditMode.load() != 0) {
        setKeyEditMode(0);
    } else {
        p_.view.refreshKeyButtons();
    }
}

void MainHub::lightingRead(int reportRate) {
    if (exiting_ || reportRate < 0 || reportRate > 3) {
        return;
    }
    reportRate_ = reportRate;
    p_.view.setReportRateButtons(reportRate);
}

void MainHub::toggleFlip() {
    flip_ = p_.settings.writeFlip(flip_ == 1 ? 0 : 1);
    p_.view.setFlip(flip_);
    p_.view.refreshKeyButtons();
}

std::vector<MenuItem> MainHub::mainMenu() const {
    const std::vector<std::u16string> t = p_.texts.readOnDemand(p_.languageFile, ui::kMainMenuTextKeys);
    const std::vector<std::u16string> extra = p_.texts.readOnDemand(p_.languageFile, ui::kMainMenuExtraKeys);
    MenuItem language;
    language.text = extra[0];
    MenuItem chinese = MenuItem::item(command::kChinese, extra[1]);
    chinese.checked = p_.texts.language() != ui::TextTable::kEnglish;
    MenuItem english = MenuItem::item(command::kEnglish, extra[2]);
    english.checked = p_.texts.language() == ui::TextTable::kEnglish;
    language.submenu = {chinese, english};
    MenuItem autostart = MenuItem::item(command::kAutostart, extra[4]);
    autostart.checkable = true;
    autostart.checked = autostartEnabled();
    MenuItem profiles;
    profiles.text = p_.texts.readOnDemand(p_.languageFile, ui::kProfileSubmenuKey);
    profiles.submenu = profileMenu();
    const std::vector<std::u16string> steps = p_.texts.readOnDemand(p_.languageFile, ui::kUndoMenuKeys);
    MenuItem undoItem = MenuItem::item(command::kUndo, steps[0]);
    undoItem.disabled = !edits_.canUndo();
    MenuItem redoItem = MenuItem::item(command::kRedo, steps[1]);
    redoItem.disabled = !edits_.canRedo();
    return {
        MenuItem::item(command::kImport, t[0]),
        MenuItem::item(command::kExport, t[1]),
        MenuItem::item(command::kAbout, t[2]),
        MenuItem::line(),
        language,
        MenuItem::item(command::kUpdate, extra[3]),
        autostart,
        MenuItem::line(),
        MenuItem::item(command::kMenuExit, t[3]),
        // After the others, whose places users (and the arrow-key counts of scripts) know.
        MenuItem::line(),
        profiles,
        MenuItem::line(),
        undoItem,
        redoItem,
    };
}

std::vector<MenuItem> MainHub::profileMenu() const {
    const profiles::ProfileMenu built = profiles::buildProfileMenu(
        p_.state.currentProfile.load(), p_.texts.text("DEFAULT_PROFILE_NAME"), u"");
    std::vector<MenuItem> items;
    for (const profiles::ProfileMenuItem& entry : built.items) {
        if (entry.id == profiles::kMenuSeparator) {
            items.push_back(MenuItem::line());
            continue;
        }
        // The on-board profiles by their numbers: their one cache file would name all three alike.
        const int profile = entry.id - profiles::kMenuFirstProfile;
        MenuItem item = MenuItem::item(entry.id, profile >= 0 ? profileEntryName(profile) : entry.text);
        item.checkable = true;
        item.checked = entry.checked;
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<MenuItem> MainHub::trayMenu() const {
    const std::vector<std::u16string> t = p_.texts.readOnDemand(p_.languageFile, ui::kTrayMenuTextKeys);
    std::vector<MenuItem> items = {MenuItem::item(command::kOpen, t[0]),
                                   MenuItem::item(command::kAbout, t[1]),
                                   MenuItem::item(command::kExit, t[2])};
    items[0].isDefault = true;
    if (autoProfiles_.paused) {
        const std::vector<std::u16string> a = p_.texts.readOnDemand(p_.languageFile, kAutoProfileMenuKeys);
        MenuItem automatic = MenuItem::item(command::kAutoProfiles, a[0]);
        automatic.checkable = true;
        automatic.checked = !autoProfiles_.paused();
        // After Exit, whose place users (and the arrow-key counts of scripts) know.
        items.insert(items.end(), {MenuItem::line(), automatic, MenuItem::item(command::kAppRules, a[1])});
    }
    return items;
}

// ---------------------------------------------------------------------------------------------------
// Flows

void MainHub::showMainWindow() {
    if (exiting_) {
        return;
    }
    if (p_.state.devicePresence.load() == 0) {
        p_.prompter.show("MAIN_NO_DEVICE_PROMPT");
        return;
    }
    p_.view.showWindow();
}

bool MainHub::exitSequence() {
    return runExit(true);
}

void MainHub::endSession() {
    runExit(false);
}

MainHub::EditorsClosed MainHub::closeEditors() {
    if (about_ != nullptr && about_->isOpen() && !about_->requestClose()) {
        return EditorsClosed::Refused;
    }
    bool saved = false;
    for (ui::Editor* e : editors_) {
        if (e == nullptr || !e->isOpen()) {
            continue;
        }
        if (const std::string_view question = e->unsavedEditsQuestion(); !question.empty()) {
            const Prompter::Answer answer = p_.prompter.askYesNoCancel(question);
            // The question's own event loop may have let another exit through meanwhile.
            if (exiting_ || answer == Prompter::Answer::Cancel) {
                return EditorsClosed::Refused;
            }
            if (answer == Prompter::Answer::Yes) {
                e->saveEdits();
                saved = true;
            }
        }
        if (!e->requestClose()) {
            return EditorsClosed::Refused;
        }
    }
    return saved ? EditorsClosed::AfterSaving : EditorsClosed::Closed;
}

bool MainHub::runExit(bool askEditors) {
    if (exiting_) {
        return true;
    }
    if (askEditors && askingEditors_) {
        return false; // one question at a time: the exit that asks it goes on when it is answered
    }
    p_.view.hideWindow();
    // Any editor may refuse; the program then stays resident, icon and all.
    askingEditors_ = askEditors;
    EditorsClosed closed = EditorsClosed::Closed;
    if (askEditors) {
        closed = closeEditors();
    } else {
        // /Kill or a logout: the editors close without a word and their edits are dropped.
        closeEditorsWithoutAsking();
    }
    askingEditors_ = false;
    if (exiting_) {
        return true; // ended while a question was open
    }
    if (closed == EditorsClosed::Refused) {
        return false;
    }
    exiting_ = true;
    ready_.store(false, std::memory_order_release);
    if (closeInstance_) {
        closeInstance_();
    }
    if (closeNamedEvents_) {
        closeNamedEvents_();
    }
    if (trayIcon_ != 0) {
        p_.view.removeTray();
        trayIcon_ = 0;
    }
    if (closed == EditorsClosed::AfterSaving) {
        // Kept edits reach the keyboard before the program ends: behind whatever the worker still has
        // (an editor's own Apply, one of the window's), the working copy is written as Apply writes it.
        const bool write = modified_;
        std::weak_ptr<bool> alive = alive_;
        p_.toWorker([this, write, alive] {
            if (write) {
                (void)profiles::applyChanges(p_.store, p_.commands, p_.state);
            }
            p_.toUi([this, alive] {
                if (auto a = alive.lock(); a && *a) {
                    finishExit();
                }
            });
        });
        return true;
    }
    finishExit();
    return true;
}

void MainHub::finishExit() {
    setModified(false);
    // Waits for a download still running on the device worker: its locks are the store's.
    p_.store.releaseAll();
    p_.view.quit();
}

void MainHub::apply() {
    if (exiting_) {
        return;
    }
    if (busy_) {
        // An editor's Apply while the keyboard is being written: its edit goes in the next download.
        applyPending_ = applyPending_ || modified_;
        return;
    }
    busy_ = true;
    busyFrame_ = 0;
    p_.view.setBusy(true);
    const bool send = modified_;
    const unsigned edits = editCount_;
    std::weak_ptr<bool> alive = alive_;
    p_.toWorker([this, send, edits, alive] {
        profiles::ApplyOutcome outcome;
        if (send) {
            outcome = profiles::applyChanges(p_.store, p_.commands, p_.state);
        }
        p_.toUi([this, send, edits, outcome, alive] {
            if (auto a = alive.lock(); a && *a) {
                finishApply(send && edits == editCount_, outcome);
            }
        });
    });
}

void MainHub::finishApply(bool sent, const profiles::ApplyOutcome& outcome) {
    busy_ = false;
    p_.view.setBusy(false);
    if (exiting_) {
        return;
    }
    // An edit made while this one ran may have missed it: the window stays modified.
    if (sent && outcome.succeeded()) {
        setModified(false);
    }
    if (sent) {
        p_.view.announce(outcome.succeeded() ? "ACC_APPLIED" : "ACC_APPLY_FAILED");
    }
    keyboardChangedElsewhere(outcome.download);
    showDownloadMessages(outcome.download);
    if (applyPending_) {
        applyPending_ = false;
        apply();
    }
}

void MainHub::showDownloadMessages(const profiles::DownloadOutcome& outcome) {
    if (outcome.tooLong) {
        p_.prompter.show("EXTRA_MACRO_TOO_LONG");
    }
    if (outcome.namesDropped) {
        p_.prompter.show("EXTRA_PROFILE_SPACE_TIGHT");
    }
    if (outcome.verifyFailed()) {
        p_.prompter.show("EXTRA_VERIFY_FAILED");
    }
    if (outcome.keyboardChanged()) {
        p_.prompter.show("MAIN_KEYBOARD_CHANGED");
    }
}

void MainHub::keyboardChangedElsewhere(const profiles::DownloadOutcome& outcome) {
    // Another program's changes are in the working copy now: the buttons show them.
    if (outcome.merged) {
        p_.view.refreshKeyButtons();
    }
    if (outcome.settingsChanged && lighting_ != nullptr) {
        lighting_->reload(editingProfile_);
    }
}

void MainHub::openHelp() {
    const std::filesystem::path page =
        helpPageFor(p_.programFolder, p_.texts.language() == ui::TextTable::kChinese);
    if (!page.empty()) {
        p_.view.openFile(page);
    }
}

void MainHub::toggleAutostart() {
    if (!setAutostart(!autostartEnabled(), p_.programFolder / "tarvik", p_.searchPath)) {
        p_.prompter.show("AUTOSTART_FAILED");
    }
}

profiles::SwitchContext MainHub::switchContext() const {
    profiles::SwitchContext c;
    c.keyboardProfile = p_.state.currentProfile.load();
    c.compositeOpen = keyDialog_ != nullptr && keyDialog_->isOpen();
    c.mainModified = modified_;
    c.managerOpen = manager_ != nullptr && manager_->isOpen();
    c.managerModified = c.managerOpen && managerModified_ && managerModified_();
    c.undoHistory = !edits_.empty();
    return c;
}

void MainHub::setSwitchBusy(bool busy) {
    busy_ = busy;
    busyFrame_ = 0;
    p_.view.setBusy(busy);
    autoStateChanged();
}

void MainHub::profileSwitched(const profiles::SwitchFinish& finish) {
    if (exiting_) {
        return;
    }
    // Steps of another profile's keys, or of edits the switch dropped, make no sense to undo here.
    edits_.clear();
    if (finish.disableMainApply) {
        setModified(false);
    }
    if (finish.profile >= 0 && finish.profile <= 2) {
        editingProfile_ = finish.profile;
        p_.view.setProfileButtons(finish.profile);
        if (lighting_ != nullptr) {
            lighting_->switchProfile(finish.profile);
        }
    } else {
        // <Default Profile> selects nothing: the display is brought up to date.
        p_.view.setProfileButtons(p_.state.currentProfile.load());
    }
    p_.view.refreshKeyButtons();
}

void MainHub::profilesReloaded() {
    if (exiting_) {
        return;
    }
    edits_.clear();
    setModified(false);
    const int current = p_.state.currentProfile.load();
    if (current >= 0 && current <= 2) {
        editingProfile_ = current;
    }
    p_.view.setProfileButtons(current);
    p_.view.refreshKeyButtons();
    if (lighting_ != nullptr) {
        lighting_->reload(editingProfile_);
    }
}

void MainHub::keyboardWrittenByClient() {
    if (exiting_) {
        return;
    }
    std::weak_ptr<bool> alive = alive_;
    const std::u16string prefix = p_.texts.text("MACRO_NEW_PREFIX");
    // Whether a whole read may replace the working copy is decided here, on the window's thread that owns
    // the modified flag; the reading itself belongs to the device worker.
    const bool mayReload = !modified_ && !busy_;
    p_.toWorker([this, alive, prefix, mayReload] {
        const profiles::KeyboardCheck check =
            profiles::takeKeyboardChanges(p_.store, p_.commands, p_.state, prefix);
        const bool reload = check.ok() && !check.areas && mayReload;
        if (reload) {
            // Nothing was known of the keyboard to merge against: it is read whole, as on arrival.
            profiles::reloadFromKeyboard(p_.store, p_.commands, p_.state, p_.firstRun, prefix);
        }
        p_.toUi([this, alive, reload] {
            auto a = alive.lock();
            if (!a || !*a || exiting_) {
                return;
            }
            if (reload) {
                edits_.clear();
            }
            p_.view.refreshKeyButtons();
            if (lighting_ != nullptr) {
                lighting_->reload(editingProfile_);
            }
        });
    });
}

void MainHub::restoreDefaults() {
    // With edits to undo, the question says they will be gone (the key is listed with the language file's).
    const std::string_view question = edits_.empty() ? "MAIN_PROMPT_DEFAULT" : ui::kUndoQuestionKeys[0];
    if (busy_ || exiting_ || !p_.prompter.askYesNo(question, false)) {
        return;
    }
    edits_.edit([&](profiles::WorkingCopy& working) {
        keyboard::ResetCurrentKeyboardKeys(working.block().profile(static_cast<unsigned>(editingProfile_)),
                                           gKeyLayer());
    });
    // Starting afresh: nothing before the defaults is to come back.
    edits_.clear();
    // The keys changed; Apply below only sends a modified store.
    setModified(true);
    p_.view.refreshKeyButtons();
    // Handed to the device worker before Apply, so the keyboard gets the lighting first.
    if (lighting_ != nullptr && lighting_->panelOn()) {
        lighting_->restoreDefaults();
    }
    apply();
}

void MainHub::setReportRate(int rate) {
    if (rate < 0 || rate > 3) {
        return;
    }
    p_.view.setReportRateButtons(rate);
    reportRate_ = rate;
    // Without a keyboard every write would return at once; the selection alone changes.
    if (p_.state.devicePresence.load() == 0) {
        return;
    }
    const int profile = editingProfile_;
    p_.toWorker([this, profile, rate] { (void)device::writeReportRate(p_.commands, profile, rate); });
}

void MainHub::importProfile() {
    if (busy_ || exiting_) {
        return;
    }
    const auto path =
        p_.files.choose(FileChooser::Mode::Open, std::string(kProfileFileFilter), p_.dataFolder, "*.tvk");
    if (path) {
        importFile(*path);
    }
}

void MainHub::importFile(const std::filesystem::path& file) {
    busy_ = true;
    busyFrame_ = 0;
    p_.view.setBusy(true);
    std::weak_ptr<bool> alive = alive_;
    p_.toWorker([this, file, alive] {
        profiles::WorkingSnapshot before;
        {
            auto lock = p_.store.lockKeyData();
            before = profiles::WorkingSnapshot::of(p_.store.working());
        }
        auto outcome = std::make_shared<profiles::ImportOutcome>(
            profiles::importProfileFile(p_.store, file, p_.commands, p_.state));
        // The import is a step of its own: undo brings back what the window held before it.
        auto step = std::make_shared<profiles::Edit>(profiles::EditHistory::stepSince(p_.store, before));
        p_.toUi([this, file, outcome, step, alive] {
            auto a = alive.lock();
            if (!a || !*a) {
                return;
            }
            busy_ = false;
            p_.view.setBusy(false);
            // The messages in the order the user has always seen them; the format error names the file.
            CollectingPrompter messages;
            profiles::showImportMessages(*outcome, messages);
            for (const std::string& key : messages.keys) {
                if (key == "PROFILE_FORMAT_ERROR") {
                    p_.view.showText(withArgument(p_.texts.text(key), toUtf16(file.string())));
                } else {
                    p_.prompter.show(key);
                }
            }
            // A refused file or a download the keyboard did not take leaves the working copy as it was;
            // only a taken import replaces it, and then the keyboard holds what the window shows.
            if (outcome->succeeded()) {
                edits_.push(std::move(*step));
                setModified(false);
                p_.view.refreshKeyButtons();
            }
            p_.view.announce(outcome->succeeded() ? "ACC_IMPORTED" : "ACC_IMPORT_FAILED");
            keyboardChangedElsewhere(outcome->download);
        });
    });
}

void MainHub::exportProfile() {
    if (busy_ || exiting_) {
        return;
    }
    const auto path =
        p_.files.choose(FileChooser::Mode::Save, std::string(kProfileFileFilter), p_.dataFolder, "*.tvk");
    if (path) {
        (void)profiles::exportProfileFile(p_.store, *path); // no message either way
    }
}

void MainHub::openAbout() {
    if (about_ != nullptr && about_->isOpen()) {
        return; // one About window
    }
    p_.view.openAbout();
}

void MainHub::switchLanguage(int language) {
    if (switchLanguage_) {
        switchLanguage_(language);
    }
    p_.view.setSwitchText(switchText());
    if (trayIcon_ != 0) {
        p_.view.setTrayTip(trayTip());
    }
    p_.view.retext();
    if (lighting_ != nullptr) {
        lighting_->retranslate();
    }
}

} // namespace tarvik::app
