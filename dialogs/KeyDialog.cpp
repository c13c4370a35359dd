#include "dialogs/KeyDialog.h"

#include "dialogs/OnScreenKeyboard.h"
#include "keyboard/KeyAssignment.h"
#include "macros/MacroMemoryMeter.h"
#include "macros/MacroPanel.h"
#include "ui/CPngButton.h"
#include "ui/HistoryKeys.h"
#include "ui/TextKeys.h"
#include "ui/TextTable.h"

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>

#include <cstdlib>
#include <optional>

namespace tarvik::dialogs {

namespace {

// The standard widgets in the skin's colours.
const char* const kStyle = R"(
QLabel { color: #c9cdd4; background: transparent; }
QComboBox, QLineEdit { background: #101215; color: #e4e6ea; border: 1px solid #2c3038; border-radius: 5px;
                       padding: 1px 8px; selection-background-color: #1b6f9e; selection-color: #ffffff; }
QComboBox:disabled, QLineEdit:disabled { color: #6b717b; }
QComboBox:focus, QLineEdit:focus { border-color: #2f7fae; }
QComboBox QAbstractItemView { background: #15181c; color: #e4e6ea; border: 1px solid #2c3038;
                              selection-background-color: #1b6f9e; outline: none; }
QComboBox QAbstractItemView::item { min-height: 24px; padding: 0 8px; }
QLineEdit#FUNC_KEY_INPUT { border-radius: 8px; color: #ffffff; background: #0c0e11; }
QTableView { background: #101215; alternate-background-color: #14171b; color: #e4e6ea; border: 1px solid #2c3038;
             border-radius: 5px; selection-background-color: #1b5f88; selection-color: #ffffff; outline: none; }
QTableView::item { padding: 0 8px; border: none; }
QTableView QLineEdit, QTableView QComboBox { border-radius: 0; padding: 0 6px; border: 1px solid #2f7fae; }
QHeaderView { background: transparent; }
QHeaderView::section { background: #1c1f24; color: #8f959e; border: none; border-right: 1px solid #2c3038;
                       border-bottom: 1px solid #2c3038; padding: 4px 8px; }
QScrollBar:vertical { background: #101215; width: 10px; margin: 2px; }
QScrollBar::handle:vertical { background: #343a44; border-radius: 3px; min-height: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
QToolTip { background: #1c1f24; color: #e4e6ea; border: 1px solid #2c3038; padding: 4px; }
)";

// Texts of this dialog's own that are read with the others at each opening; their English text stands
// in when a language file from before them lacks them.
const std::pair<std::string_view, const char16_t*> kOwnTexts[] = {
    {"MACRO_MEMORY_USED", u"Macro memory: %d of %d bytes"},
    {"MACRO_MEMORY_UNKNOWN", u"Macro memory: %d bytes (the keyboard has not been read yet)"},
    {"COMPOSITE_TITLE", u"Key assignment"},
    {"MACRO_APPLY", u"Apply"},
};

const std::vector<std::string> kPictureFiles = {
    "key_normal.jpg",     "key_over.jpg",      "key_down.jpg",      "macro_normal.jpg", "macro_over.jpg",
    "macro_down.jpg",     "macro_disable.jpg", "macro2_normal.jpg", "macro2_over.jpg",  "macro2_down.jpg",
    "macro2_disable.jpg", "media_normal.jpg",  "media_over.jpg",    "media_down.jpg",   "function_normal.jpg",
    "function_over.jpg",  "function_down.jpg", "key_disable.jpg"};

QFont skinFont(const char* face, double points) {
    QFont f{QString::fromLatin1(face)};
    f.setPointSizeF(points);
    return f;
}

QString qs(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

} // namespace

KeyDialog::KeyDialog(QWidget* parent, KeyDialogStore& store, Prompter& prompter,
                     profiles::SettingsStore& settings, Hooks hooks, std::filesystem::path skinFolder,
                     std::filesystem::path languageFile)
    : ui::CBaseDialog(kTemplateId, parent, skinFolder / "Composite.ini", skinFolder),
      model_(store, prompter, settings), hooks_(std::move(hooks)), languageFile_(std::move(languageFile)) {
    setObjectName(QStringLiteral("KeyDialog"));
    setStyleSheet(QString::fromLatin1(kStyle));
    clock_.start();
    filter_.setPassOn([this] { return keysGoElsewhere(); });
    model_.setApplyListener([this](bool enabled) {
        if (apply_ != nullptr) {
            apply_->setEnabled(enabled);
        }
    });
}

KeyDialog::~KeyDialog() {
    filter_.remove();
}

void KeyDialog::prepare(int slot, int controlId, bool macroOnly, const QRect& buttonGlobalRect) {
    pending_ = Pending{slot, controlId, macroOnly, buttonGlobalRect};
    // A key button showing the focus ring was reached (and pressed) by keyboard, not clicked.
    const auto* from = qobject_cast<const ui::CPngButton*>(QApplication::focusWidget());
    keyboardWay_ = from != nullptr && from->showsFocusRing();
    if (keyField_ != nullptr) {
        keyField_->setFocusPolicy(keyboardWay_ ? Qt::TabFocus : Qt::NoFocus);
        // The keyboard way goes from control to control with Tab once the key is taken; a click never
        // takes the focus from the capture.
        for (ui::CPngButton* b :
             {tabKey_, tabMacro_, tabMedia_, tabFunction_, clear_, osk_, ok_, cancel_, apply_}) {
            if (b != nullptr) {
                b->setFocusPolicy(keyboardWay_ ? Qt::TabFocus : Qt::NoFocus);
            }
        }
    }
}

int KeyDialog::editSlot(int slot, int controlId, bool macroOnly, const QRect& buttonGlobalRect) {
    prepare(slot, controlId, macroOnly, buttonGlobalRect);
    return exec();
}

void KeyDialog::openForSlot(int slot, int controlId, bool macroOnly, const QRect& buttonGlobalRect) {
    prepare(slot, controlId, macroOnly, buttonGlobalRect);
    open();
}

bool KeyDialog::requestClose() {
    if (isVisible() || model_.isOpen()) {
        reject();
    }
    return true;
}

bool KeyDialog::isOpen() const {
    return model_.isOpen();
}

std::string_view KeyDialog::unsavedEditsQuestion() const {
    return model_.hasUnsavedEdits() ? ui::kExitQuestionKeys[0] : "";
}

void KeyDialog::saveEdits() {
    // As OK keeps them; the one asking writes the keyboard afterwards.
    assign();
}

void KeyDialog::onInitDialog() {
    ui::CBaseDialog::onInitDialog();
    if (!built_) {
        build();
        built_ = true;
    }
    openPending();
}

ui::CPngButton& KeyDialog::imageButton(const char* key) {
    auto* b = new ui::CPngButton(this);
    b->setObjectName(QString::fromLatin1(key));
    b->setFocusPolicy(Qt::NoFocus);
    return *b;
}

QLabel& KeyDialog::label(const char* key, double points) {
    auto* l = new QLabel(this);
    l->setObjectName(QString::fromLatin1(key));
    l->setFont(skinFont("Tahoma", points));
    return *l;
}

void KeyDialog::build() {
    // The panel picture first: every other control lies on it.
    mask_ = &imageButton("CONTROL_MASK");
    title_ = &imageButton("CONTROL_TITLE");
    tabKey_ = &imageButton("CONTROL_KEY");
    tabMacro_ = &imageButton("CONTROL_MACRO");
    tabMedia_ = &imageButton("CONTROL_MEDIA");
    tabFunction_ = &imageButton("CONTROL_FUNCTION");
    clear_ = &imageButton("CONTROL_CLEAR");
    osk_ = &imageButton("CONTROL_OSK");
    ok_ = &imageButton("CONTROL_OK");
    cancel_ = &imageButton("CONTROL_CANCEL");
    apply_ = &imageButton("CONTROL_APPLY");
    for (ui::CPngButton* b : {tabKey_, tabMacro_, tabMedia_, tabFunction_, ok_, cancel_, apply_}) {
        b->setCaptionStyle(true, 9, QStringLiteral("Tahoma"), QColor(255, 255, 255));
    }

    heading_ = &label("KEY_SETTING", 10.8);
    QFont headingFont = heading_->font();
    headingFont.setBold(true);
    heading_->setFont(headingFont);
    singlePrompt_ = &label("TISHI_SINGLE_STATIC", 10.8);
    mediaPrompt_ = &label("MEDIA_SETTING_TISHI", 10.8);
    functionPrompt_ = &label("FUNCTION_KEY_SETTING_TISHI", 10.8);

    keyField_ = new QLineEdit(this);
    keyField_->setObjectName(QStringLiteral("FUNC_KEY_INPUT"));
    keyField_->setReadOnly(true);
    // Opened the keyboard way, Tab reaches it and arms the capture again; a click never takes the focus.
    keyField_->setFocusPolicy(keyboardWay_ ? Qt::TabFocus : Qt::NoFocus);
    keyField_->installEventFilter(this);
    keyField_->setAlignment(Qt::AlignCenter);
    keyField_->setFont(skinFont("Verdana", 18));
    keysKeptHint_ = &label("COMPOSITE_KEYS_KEPT", 9);
    keysKeptHint_->setWordWrap(true);
    keysKeptHint_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    keysKeptHint_->hide();

    media_ = new QComboBox(this);
    media_->setObjectName(QStringLiteral("FUNC_MEDIA_SELECT"));
    function_ = new QComboBox(this);
    function_->setObjectName(QStringLiteral("FUNC_FUNCTION_SELECT"));
    for (QComboBox* c : {media_, function_}) {
        c->setFont(skinFont("Verdana", 12));
        c->setView(new QListView(c)); // item heights from the style sheet
        c->setMaxVisibleItems(12);
    }

    macros::MacroPanel::Hooks panelHooks;
    panelHooks.correctCycles = [this](std::u16string_view t) { return model_.repeatCountChanged(t); };
    panelHooks.notice = [this](std::string_view key, unsigned number) { showNotice(key, number); };
    panelHooks.capacity = [this] { return hooks_.macroCapacity ? hooks_.macroCapacity() : size_t{0}; };
    panelHooks.clock = [this] { return static_cast<uint32_t>(clock_.elapsed()); };
    panelHooks.toggleRecordDelays = [this] { model_.toggleRecordDelays(); };
    macroPanel_ = new macros::MacroPanel(*this, model_.panel(), std::move(panelHooks));
    connect(macroPanel_, &macros::MacroPanel::recordingChanged, this, [this](bool recording) {
        // Started from a Record button reached by keyboard, the recording ends by itself after a pause
        // without keys: every key, Escape and Tab among them, may belong to the macro.
        const auto* from = qobject_cast<const ui::CPngButton*>(QApplication::focusWidget());
        keyboardRecording_ = recording && from != nullptr && from->showsFocusRing();
        if (keyboardRecording_) {
            recordPause_.start();
        } else {
            recordPause_.stop();
        }
        updateKeyFilter();
    });
    recordPause_.setSingleShot(true);
    recordPause_.setInterval(kKeyboardRecordPauseMs);
    connect(&recordPause_, &QTimer::timeout, this, [this] {
        if (macroPanel_->recording()) {
            macroPanel_->stopRecording();
        }
    });

    const std::pair<ui::CPngButton*, Panel> tabs[] = {{tabKey_, Panel::SingleKey},
                                                      {tabMacro_, Panel::Macro},
                                                      {tabMedia_, Panel::Media},
                                                      {tabFunction_, Panel::Function}};
    for (const auto& [button, panel] : tabs) {
        connect(button, &QAbstractButton::clicked, this, [this, panel] { selectTab(panel); });
    }
    connect(clear_, &QAbstractButton::clicked, this, [this] {
        model_.clear();
        sync();
    });
    connect(osk_, &QAbstractButton::clicked, this, [this] {
        if (hooks_.startOnScreenKeyboard) {
            hooks_.startOnScreenKeyboard();
            return;
        }
        const char* path = std::getenv("PATH");
        if (const auto program = findOnScreenKeyboard(path != nullptr ? path : "")) {
            QProcess::startDetached(QString::fromStdString(program->string()), {});
        }
    });
    connect(ok_, &QAbstractButton::clicked, this, &KeyDialog::accept);
    connect(cancel_, &QAbstractButton::clicked, this, &KeyDialog::reject);
    connect(apply_, &QAbstractButton::clicked, this, &KeyDialog::apply);
    connect(media_, &QComboBox::activated, this, [this](int i) { model_.selectMedia(i); });
    connect(function_, &QComboBox::activated, this, [this](int i) { model_.selectFunction(i); });
}

void KeyDialog::openPending() {
    if (!picturesLoaded_) {
        // Once per run; the buttons keep pointers to these.
        ui::loadRequiredPictures(pictureFolder(), kPictureFiles, pictures_, hooks_.missingPicture);
        pictures_.resize(kPictureFiles.size());
        picturesLoaded_ = true;
        const QPixmap* p = pictures_.data();
        // The tab of the shown panel is drawn pressed: selected shows the pressed picture.
        keySet_ = {&p[0], &p[1], &p[2], &p[0], &p[2]};
        applySet_ = {&p[0], &p[1], &p[2], &p[17], &p[2]};
        macroSet_ = {&p[3], &p[4], &p[5], &p[6], &p[5]};
        macro2Set_ = {&p[7], &p[8], &p[9], &p[10], &p[9]};
        mediaSet_ = {&p[11], &p[12], &p[13], &p[11], &p[13]};
        functionSet_ = {&p[14], &p[15], &p[16], &p[14], &p[16]};
    }
    readTexts();
    placeControls();
    fillCombos();

    KeyDialogTexts texts;
    texts.recordDelayName = ui::uiText("MACRO_ACTION_RECORD_DELAY");
    model_.open(
        OpenRequest{static_cast<keyboard::KeySlot>(pending_.slot), pending_.controlId, pending_.macroOnly},
        texts);

    applyTexts();
    if (model_.macroOnly()) {
        for (ui::CPngButton* b : {tabKey_, tabMedia_, tabFunction_, clear_, title_}) {
            ui::placeImageButton(*b, layout(), b->objectName().toStdU16String(), macro2Set_);
            if (b != title_) {
                b->setText(QString());
            }
        }
    }
    for (ui::CPngButton* b : {tabKey_, tabMacro_, tabMedia_, tabFunction_}) {
        const Panel p = b == tabKey_     ? Panel::SingleKey
                        : b == tabMacro_ ? Panel::Macro
                        : b == tabMedia_ ? Panel::Media
                                         : Panel::Function;
        b->setEnabled(model_.tabEnabled(p));
    }
    clear_->setEnabled(model_.clearEnabled());
    placeBesideButton();
    sync();
}

void KeyDialog::selectTab(Panel tab) {
    model_.selectTab(tab);
    sync();
}

void KeyDialog::placeControls() {
    const IniFile& l = layout();
    for (ui::CPngButton* b :
         {title_, tabKey_, tabMacro_, tabMedia_, tabFunction_, clear_, osk_, ok_, cancel_}) {
        ui::placeImageButton(*b, l, b->objectName().toStdU16String(), keySet_);
    }
    ui::placeImageButton(*mask_, l, u"CONTROL_MASK", keySet_);
    ui::placeImageButton(*apply_, l, u"CONTROL_APPLY", applySet_);
    mask_->setEnabled(false);
    title_->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{heading_, singlePrompt_, mediaPrompt_, functionPrompt_,
                                                      keyField_, media_, function_}) {
        ui::placeControl(*w, l, w->objectName().toStdU16String());
    }
    const QRect field = keyField_->geometry();
    keysKeptHint_->setGeometry(field.x(), field.bottom() + 6, field.width(), 40);
    macroPanel_->place(l, macroSet_);
}

void KeyDialog::readTexts() {
    std::vector<std::string_view> keys(std::begin(ui::kKeyDialogTextKeys), std::end(ui::kKeyDialogTextKeys));
    for (const auto& [key, fallback] : kOwnTexts) {
        keys.push_back(key);
    }
    const std::vector<std::u16string> values = ui::uiTexts().readOnDemand(languageFile_, keys);
    texts_.clear();
    for (size_t i = 0; i < keys.size() && i < values.size(); ++i) {
        texts_[std::string(keys[i])] = qs(values[i]);
    }
    for (const auto& [key, fallback] : kOwnTexts) {
        QString& t = texts_[std::string(key)];
        if (t.trimmed().isEmpty()) {
            t = QString::fromUtf16(fallback);
        }
    }
}

QString KeyDialog::text(std::string_view key) const {
    if (const auto it = texts_.find(key); it != texts_.end()) {
        return it->second;
    }
    return qs(ui::uiText(key));
}

void KeyDialog::applyTexts() {
    // The window's name in the task switcher and the window manager's lists.
    setWindowTitle(text("COMPOSITE_TITLE").trimmed());
    // The title bar and the panel's face are pictures drawn as buttons: readers name them too.
    title_->setAccessibleName(windowTitle());
    tabKey_->setText(text("SINGLE_KEY"));
    tabMacro_->setText(text("MACRO_SETTING"));
    tabMedia_->setText(text("MULTI_MEDIA"));
    tabFunction_->setText(text("FUNCTION_KEY"));
    ok_->setText(text("MACRO_OK"));
    cancel_->setText(text("MACRO_CANCLE"));
    apply_->setText(text("MACRO_APPLY"));
    clear_->setTipText(text("COMPOSITE_PROMPT_CLEAR"));
    osk_->setTipText(text("COMPOSITE_PROMPT_OSK"));
    heading_->setText(text(model_.headingKey()));
    singlePrompt_->setText(text("SINGLE_STATIC"));
    mediaPrompt_->setText(text("MEDIA_EDIT_TISHI"));
    functionPrompt_->setText(text("FUNCTION_TISHI"));
    keysKeptHint_->setText(text("COMPOSITE_KEYS_KEPT").trimmed());
    macroPanel_->setTexts([this](std::string_view key) { return text(key); });
}

void KeyDialog::fillCombos() {
    media_->clear();
    for (const keyboard::MediaKey& m : keyboard::MediaKeyList()) {
        media_->addItem(qs(keyboard::KeyName(m.key)));
    }
    function_->clear();
    for (const keyboard::FunctionKey& f : keyboard::FunctionKeyList()) {
        function_->addItem(qs(ui::uiText(f.textKey)));
    }
}

void KeyDialog::placeBesideButton() {
    if (!pending_.button.isValid()) {
        return;
    }
    const QScreen* screen = QGuiApplication::screenAt(pending_.button.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect s = screen->geometry();
    const QRect b = pending_.button;
    const QRect m = parentWidget() != nullptr ? parentWidget()->window()->frameGeometry() : s;
    const ScreenPoint p =
        placeKeyDialog(ScreenRect{b.left(), b.top(), b.right() + 1, b.bottom() + 1},
                       ScreenRect{m.left(), m.top(), m.right() + 1, m.bottom() + 1}, width(), height(),
                       ScreenRect{s.left(), s.top(), s.right() + 1, s.bottom() + 1}, programPlacesWindows());
    move(p.x, p.y);
}

void KeyDialog::sync() {
    const Panel panel = model_.shownPanel();
    const ui::StatePictures& set = panel == Panel::Macro      ? macroSet_
                                   : panel == Panel::Media    ? mediaSet_
                                   : panel == Panel::Function ? functionSet_
                                                              : keySet_;
    ui::placeImageButton(*mask_, layout(), u"CONTROL_MASK", set);
    mask_->setEnabled(false);
    const ui::CPngButton* shownTab = panel == Panel::Macro      ? tabMacro_
                                     : panel == Panel::Media    ? tabMedia_
                                     : panel == Panel::Function ? tabFunction_
                                                                : tabKey_;
    mask_->setAccessibleName(shownTab->text());
    tabKey_->setSelected(panel == Panel::SingleKey);
    tabMacro_->setSelected(panel == Panel::Macro);
    tabMedia_->setSelected(panel == Panel::Media);
    tabFunction_->setSelected(panel == Panel::Function);

    const bool single = panel == Panel::SingleKey;
    singlePrompt_->setVisible(single && !model_.macroOnly());
    keyField_->setVisible(single);
    keyField_->setText(qs(model_.keyField()));
    mediaPrompt_->setVisible(panel == Panel::Media && !model_.macroOnly());
    media_->setVisible(panel == Panel::Media);
    media_->setCurrentIndex(model_.mediaIndex());
    functionPrompt_->setVisible(panel == Panel::Function && !model_.macroOnly());
    function_->setVisible(panel == Panel::Function);
    function_->setCurrentIndex(model_.functionIndex());
    macroPanel_->setShown(panel == Panel::Macro);
    macroPanel_->refresh();
    apply_->setEnabled(model_.applyEnabled());
    updateKeyFilter();
}

bool KeyDialog::keysGoElsewhere() const {
    // A menu (the notification-area icon's) or a question shown over the dialog (the exit's) takes the
    // keys the user types into it; they are not keys to assign.
    const QWidget* modal = QApplication::activeModalWidget();
    return QApplication::activePopupWidget() != nullptr || (modal != nullptr && modal != this);
}

void KeyDialog::updateKeyFilter() {
    if (model_.isOpen() && model_.keyHooksInstalled()) {
        // Both hooks show what they captured: the Windows keys come only through the low-level one.
        filter_.install(
            [this](uint32_t vk, bool down) {
                const macros::HookResult r = model_.captureLowLevelKey(vk, down);
                keyField_->setText(qs(model_.keyField()));
                if (down && r == macros::HookResult::Swallow) {
                    capturedByKeyboard();
                }
                return r;
            },
            [this](uint32_t vk, uint32_t lParam) {
                const macros::HookResult r = model_.captureKeyMessage(vk, lParam);
                keyField_->setText(qs(model_.keyField()));
                // A first press: neither a repeat nor a release (the message's two top bits).
                if (r == macros::HookResult::Swallow && (lParam >> 30) == 0) {
                    capturedByKeyboard();
                }
                return r;
            });
    } else if (model_.isOpen() && macroPanel_->recording()) {
        filter_.install(
            [this](uint32_t vk, bool down) {
                if (keyboardRecording_) {
                    recordPause_.start(); // each key gives the user the whole pause again
                }
                return macroPanel_->lowLevelKey(vk, down);
            },
            [this](uint32_t vk, uint32_t lParam) {
                if (keyboardRecording_) {
                    recordPause_.start();
                }
                return macroPanel_->keyMessage(vk, lParam);
            });
    } else {
        filter_.remove();
    }
    updateKeyboardHold();
}

void KeyDialog::updateKeyboardHold() {
    hold_.setCapturing(filter_.installed());
    keysKeptHint_->setVisible(hold_.desktopMayKeepKeys() && model_.isOpen() &&
                              model_.shownPanel() == Panel::SingleKey);
}

void KeyDialog::updateWindowReady() {
    hold_.setWindowActive(WindowKeyboardGrabber::scopedToFocus() ? isVisible() : isActiveWindow());
    if (built_) {
        updateKeyboardHold();
    }
}

void KeyDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        updateWindowReady();
    }
    ui::CBaseDialog::changeEvent(event);
}

bool KeyDialog::event(QEvent* event) {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
        // After the window system has the window (its surface exists only once showing has finished).
        QMetaObject::invokeMethod(this, &KeyDialog::updateWindowReady, Qt::QueuedConnection);
    }
    return ui::CBaseDialog::event(event);
}

void KeyDialog::showNotice(std::string_view key, unsigned number) {
    const QString message = qs(macros::fillNumbers(ui::uiText(key), {number})).trimmed();
    if (hooks_.notice) {
        hooks_.notice(message);
        return;
    }
    QMessageBox::warning(this, QString(), message);
}

void KeyDialog::assign() {
    if (!model_.isOpen()) {
        return;
    }
    macroPanel_->stopRecording();
    const AssignOutcome out = model_.apply();
    macroPanel_->refresh();
    if (hooks_.assigned) {
        hooks_.assigned(out);
    }
}

void KeyDialog::apply() {
    if (!model_.isOpen()) {
        return;
    }
    assign();
    if (hooks_.applyToKeyboard) {
        hooks_.applyToKeyboard();
    }
}

void KeyDialog::accept() {
    assign();
    ui::CBaseDialog::accept();
}

void KeyDialog::done(int result) {
    // Closing: no key filter, no hold of the keyboard, no recording, the copies dropped.
    filter_.remove();
    hold_.setCapturing(false);
    const bool wasOpen = model_.isOpen();
    if (wasOpen) {
        macroPanel_->stopRecording();
        model_.close();
        macroPanel_->refresh();
    }
    ui::CBaseDialog::done(result);
    if (wasOpen && hooks_.closed) {
        hooks_.closed(pending_.controlId);
    }
}

void KeyDialog::capturedByKeyboard() {
    if (!keyboardWay_) {
        return; // the mouse way: every key pressed replaces the last until OK is clicked
    }
    model_.setCaptureArmed(false);
    // Later: the hook that called this is still running.
    QMetaObject::invokeMethod(
        this,
        [this] {
            updateKeyFilter();
            ok_->setFocus(Qt::TabFocusReason);
        },
        Qt::QueuedConnection);
}

bool KeyDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == keyField_ && event->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (keyboardWay_ && (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)) {
            model_.setCaptureArmed(true);
            updateKeyFilter();
        }
    }
    return ui::CBaseDialog::eventFilter(watched, event);
}

void KeyDialog::keyPressEvent(QKeyEvent* event) {
    if (const std::optional<bool> forward = ui::historyStep(*event)) {
        // While a macro is recorded, or on the single-key panel, the keys are what the user assigns.
        if (!model_.panel().recording() && !model_.keyHooksInstalled() && hooks_.undoRedo) {
            hooks_.undoRedo(*forward);
            model_.loadFromStore();
            sync();
        }
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // It does not close the dialog: a key a user may want to assign.
        event->accept();
        return;
    case Qt::Key_Escape:
        // Reaching here, it was not captured: it cancels, as it does in every dialog. While a macro is
        // being recorded it is one of the recorded keys' company and closes nothing.
        if (model_.panel().recording()) {
            event->accept();
            return;
        }
        ui::CBaseDialog::keyPressEvent(event);
        return;
    case Qt::Key_F1:
        if (!model_.panel().recording() && hooks_.openHelp) {
            hooks_.openHelp();
        }
        event->accept();
        return;
    default:
        ui::CBaseDialog::keyPressEvent(event);
    }
}

} // namespace tarvik::dialogs
