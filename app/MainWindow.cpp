#include "app/MainWindow.h"

#include "app/AboutBox.h"
#include "app/MainWindowFlipPage.h"
#include "app/StartupFiles.h"
#include "app/SubWindows.h"
#include "app/TrayIcon.h"
#include "keyboard/GridNavigation.h"
#include "keyboard/KeyTable.h"
#include "keyboard/Layout.h"
#include "lighting/KeyButtons.h"
#include "lighting/LightingState.h"
#include "lighting/UserFiles.h"
#include "platform/Utf.h"
#include "ui/Accessibility.h"
#include "ui/CPngButton.h"
#include "ui/ClickablePicture.h"
#include "ui/DarkStyle.h"
#include "ui/HistoryKeys.h"
#include "ui/Language.h"
#include "ui/QtFileChooser.h"
#include "ui/SkinPrompter.h"
#include "ui/TextBinder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QHideEvent>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <malloc.h>
#include <optional>

namespace tarvik::app {

namespace {

using ui::CPngButton;
using ui::StatePictures;

// The pictures of the main window's states, in the order they are loaded.
const std::vector<std::string> kStatePictureNames = {"main_normal.jpg",  "main_over.jpg", "main_down.jpg",
                                                     "main_disable.jpg", "Arrow.jpg",     "main_color0.jpg",
                                                     "main_color1.jpg"};
enum PictureIndex { kNormal, kOver, kDown, kDisabled, kSelected, kColourOff, kColourOn };

// Every state picture but the colour-keys pair, which waits for that mode.
std::vector<QPixmap> loadStatePictures(const std::filesystem::path& folder) {
    return ui::loadPictures(folder, {kStatePictureNames.begin(), kStatePictureNames.begin() + kColourOff});
}

// The part of a window-sized picture that a button draws from: its rectangle in layout pixels (at, counted
// from 1, and size), within the picture. Two pixels to spare on each side: in a window drawn smaller a
// button's edges are rounded apart, and it draws up to 1 / scale layout pixels more than its width.
QRect partOfPicture(QPoint at, QSize size, const QPixmap& whole) {
    const QRect wanted = QRect(at - QPoint(1, 1), size).adjusted(-2, -2, 2, 2);
    return wanted.intersected(QRect(QPoint(0, 0), whole.deviceIndependentSize().toSize()));
}

QPixmap cutPart(const QPixmap& whole, const QRect& part) {
    if (whole.isNull()) {
        return whole;
    }
    const qreal density = whole.devicePixelRatio();
    QPixmap out =
        whole.copy(QRectF(QPointF(part.topLeft()) * density, QSizeF(part.size()) * density).toRect());
    out.setDevicePixelRatio(density);
    return out;
}

std::u16string u16(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// The other buttons of the window: skin key and control id, in the order they are placed.
struct FixedButton {
    const char* key;
    int id;
};
constexpr FixedButton kFixedButtons[] = {
    {"TEMBRA_LINK", control::kLink},
    {"FUNC_PROFILES", control::kProfileManager},
    {"FUNC_MACRO", control::kMacro},
    {"CONTROL_OK", 1},
    {"CONTROL_CANCEL", 2},
    {"CONTROL_HELP", control::kHelp},
    {"CONTROL_CLOSE", control::kClose},
    {"CONTROL_MINIMIZE", control::kMinimize},
    {"CONTROL_MENU", control::kMenu},
    {"CONTROL2_APPLY", control::kApply},
    {"LOCK_CAPS", control::kLockCaps},
    {"LOCK_NUM", control::kLockNum},
    {"LOCK_SCROLL", control::kLockScroll},
    {"LOCK_AB", control::kLockLayer},
    {"FLIP_0", control::kFlip0},
    {"FLIP_1", control::kFlip1},
    {"FLIP_2", control::kFlip2},
    {"TEMBRA_VER", control::kVersion},
    {"FUNC_PROFILE1", control::kProfile1},
    {"FUNC_PROFILE2", control::kProfile1 + 1},
    {"FUNC_PROFILE3", control::kProfile1 + 2},
    {"FUNC_DEFAULT", control::kDefaults},
    {"FUNC_SWITCH", control::kSwitch},
    {"FUNC_REPORT1", control::kReport1},
    {"FUNC_REPORT2", control::kReport2},
    {"FUNC_REPORT3", control::kReport3},
    {"FUNC_REPORT4", control::kReport4},
    {"KEY_FN", control::kFn},
    {"KEY_PCGAME", control::kLink0},
    {"KEY_FACEBOOK", control::kLink0 + 1},
    {"KEY_INSTARGRAM", control::kLink0 + 2},
};

// The report rates of the rate buttons, in rate order (as their pictures show them).
constexpr int kReportRatesHz[] = {1000, 500, 250, 125};

// Controls that only show something: clicks go through to the window (which moves it).
bool displayOnly(int id) {
    return id == control::kLockCaps || id == control::kLockNum || id == control::kLockScroll ||
           id == control::kLockLayer || id == control::kFlip0 || id == control::kVersion;
}

bool isUserInput(QEvent::Type t) {
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

constexpr const char* kDefaultLinks[] = {"https://example.org/tarvik/",
                                         "https://example.org/tarvik/community",
                                         "https://example.org/tarvik/gallery"};

} // namespace

MainWindow::MainWindow(MainWindowSetup setup, QWidget* parent)
    : CBaseDialog(102, parent, setup.programFolder / "Skins" / "Main.ini", setup.programFolder / "Skins",
                  Kind::MainWindow),
      setup_(std::move(setup)) {
    bridge_ = std::make_unique<WindowPortBridge>(
        static_cast<WindowPortBridge::Target&>(*this),
        [this](std::function<void()> task) {
            QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
        },
        [this] { return QThread::currentThread() == thread(); });
    ownPrompter_ = std::make_unique<ui::SkinPrompter>(this);
    ownPrompter_->setCaption("MAIN_PROMPT_DEFAULT",
                             QString::fromStdU16String(std::u16string(kDefaultsCaption)));
    ownFiles_ = std::make_unique<ui::QtFileChooser>(this);
    // Busy input and the mode list's arrow keys are filtered before any control sees them.
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    bridge_->close();
    if (setup_.state.mainWindow.load() == bridge_.get()) {
        setup_.state.mainWindow.store(nullptr);
    }
    // The hub goes before the editors it knows and the window parts it draws on.
    hub_.reset();
}

Prompter& MainWindow::prompter() {
    return setup_.prompter != nullptr ? *setup_.prompter : *ownPrompter_;
}

FileChooser& MainWindow::files() {
    return setup_.files != nullptr ? *setup_.files : *ownFiles_;
}

void MainWindow::addEditor(ui::Editor* editor) {
    if (hub_) {
        hub_->addEditor(editor);
    } else {
        pendingEditors_.push_back(editor);
    }
}

// ---------------------------------------------------------------------------------------------------
// Initialisation, in the program's order

void MainWindow::onInitDialog() {
    CBaseDialog::onInitDialog();
    removeAutostartEntry();
    // At the largest size a title bar or task switcher asks for (64 points, twice over on a 2x screen):
    // the picture's own 256 pixels would be a quarter of a megabyte kept all day.
    QImageReader iconReader(QString::fromStdString((pictureFolder() / "program_icon.png").string()));
    iconReader.setFormat("png");
    iconReader.setAutoDetectImageFormat(false); // guessing would load every image plugin
    iconReader.setScaledSize(QSize(128, 128));
    const QIcon icon(QPixmap::fromImage(iconReader.read()));
    setWindowIcon(icon);
    qApp->setWindowIcon(icon);

    setup_.state.mainWindow.store(bridge_.get());
    setup_.state.currentProfile.store(-1);
    ProgramParts parts = setup_.assemble(*this);
    device::Commands& commands = parts.commands;
    hub_ = std::move(parts.hub);
    lighting_ = std::move(parts.lighting);

    const std::filesystem::path languageFile = ui::Language::instance().files().program;
    hub_->setExitSteps(setup_.closeInstance, setup_.closeNamedEvents);
    hub_->setLanguageSwitch([](int language) { ui::Language::instance().switchTo(language); });

    for (size_t i = 0; i < links_.size(); ++i) {
        const std::u16string key = i == 0 ? u"Link" : u"Link" + u16(std::to_string(i));
        const std::u16string value = layout().get(u"SCREEN", key);
        links_[i] = value.empty() ? kDefaultLinks[i] : toUtf8(value);
    }
    hub_->setLinks(links_);
    for (ui::Editor* e : pendingEditors_) {
        hub_->addEditor(e);
    }
    pendingEditors_.clear();
    tray_ = std::make_unique<TrayIcon>(pictureFolder(),
                                       TrayIcon::Owner{[this] { return hub_->trayMenu(); },
                                                       [this](int command) { hub_->onCommand(command); },
                                                       [this] { hub_->onTrayOpen(); }});

    if (setup_.controlsOnDemand) {
        releaseTimer_ = new QTimer(this);
        releaseTimer_->setSingleShot(true);
        releaseTimer_->setInterval(*setup_.controlsOnDemand);
        connect(releaseTimer_, &QTimer::timeout, this, [this] { releaseControlsWhenIdle(); });
    }
    // Without every state picture none of the controls is placed. They are decoded when the controls are
    // made.
    picturesComplete_ = ui::requirePictures(pictureFolder(), kStatePictureNames, setup_.onMissingPicture);
    createSubWindows(commands, languageFile);
    if (!setup_.controlsOnDemand) {
        buildControls();
    }
    hub_->initialise();

    if (!isVisible()) {
        releaseStatePictures(); // started hidden: nothing to draw until the window opens
    }

    tag_ = MAIN_WINDOW_TAG;
    if (setup_.onTagged) {
        setup_.onTagged();
    }
    if (setup_.createNamedEvents) {
        setup_.createNamedEvents();
    }
    bridge_->postMessage(device::MSG_INIT, device::kCodeInit);
    bindTexts();
}

void MainWindow::buildControls() {
    if (controlsBuilt_ || !picturesComplete_) {
        return;
    }
    controlsBuilt_ = true;
    placeControls();
    cutStatePictures(loadStatePictures(pictureFolder()));
    std::vector<CPngButton*> keys(static_cast<size_t>(lighting::kLitButtonCount), nullptr);
    for (const auto& [id, b] : byId_) {
        if (const int index = lighting::buttonOfControl(id); index >= 0) {
            keys[static_cast<size_t>(index)] = b;
        }
    }
    windows_->attachPanel(keys);
    bindTexts();
    orderKeyboardPaths();
    // What the hub drew while there were no controls.
    setApplyEnabled(applyEnabled_);
    setLayerIndicator(layer_);
    setProfileButtons(shownProfile_);
    setReportRateButtons(reportRate_);
    setFlip(flip_);
    setSwitchText(switchText_);
    refreshKeyButtons();
    if (busy_ && busyPicture_ != nullptr) {
        busyPicture_->show(); // the animation's timer runs on
    }
}

void MainWindow::releaseControls() {
    if (!controlsBuilt_) {
        return;
    }
    windows_->detachPanel();
    for (auto& [key, b] : buttons_) {
        delete b;
    }
    delete flipPage_;
    delete reportCaption_;
    delete busyPicture_;
    flipPage_ = nullptr;
    reportCaption_ = nullptr;
    busyPicture_ = nullptr;
    buttons_.clear();
    byId_.clear();
    pictureKind_.clear();
    keyButtons_.clear();
    entryKey_ = nullptr;
    picturePlace_.clear();
    picturesShown_ = false;
    colourPicturesLoaded_ = false;
    busyFrames_.clear();
    controlsBuilt_ = false;
    ::malloc_trim(0);
}

void MainWindow::releaseControlsWhenIdle() {
    if (isVisible() || !controlsBuilt_) {
        return;
    }
    if (busy_ || dialogShown() || lastMenu_ || !windows_->lightingIdle()) {
        releaseTimer_->start(); // a little later
        return;
    }
    releaseControls();
}

void MainWindow::orderKeyboardPaths() {
    if (keyButtons_.empty()) {
        return;
    }
    QRect grid;
    for (CPngButton* k : keyButtons_) {
        grid |= k->geometry();
    }
    // Everything Tab reaches besides the keys, in reading order: by rows (a control belongs to the row of
    // its vertical centre, rows being 12 pixels apart at least), then from left to right.
    std::vector<QWidget*> stops;
    for (QWidget* w : findChildren<QWidget*>()) {
        const bool key = std::find(keyButtons_.begin(), keyButtons_.end(), w) != keyButtons_.end();
        if (!key && (w->focusPolicy() & Qt::TabFocus) != 0 && w->isWindow() == false && w->window() == this) {
            stops.push_back(w);
        }
    }
    auto row = [this](QWidget* w) { return w->mapTo(this, w->rect().center()).y() / 12; };
    std::stable_sort(stops.begin(), stops.end(), [&](QWidget* a, QWidget* b) {
        const int ra = row(a), rb = row(b);
        return ra != rb ? ra < rb : a->mapTo(this, QPoint()).x() < b->mapTo(this, QPoint()).x();
    });
    // The grid comes before the first control under its top (the lighting panel).
    auto gridAt = std::find_if(stops.begin(), stops.end(), [&](QWidget* w) {
        return w->mapTo(this, w->rect().center()).y() > grid.top() + grid.height() / 2;
    });
    std::vector<QWidget*> chain(stops.begin(), gridAt);
    chain.insert(chain.end(), keyButtons_.begin(), keyButtons_.end());
    chain.insert(chain.end(), gridAt, stops.end());
    for (size_t i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
}

void MainWindow::makeEntryKey(CPngButton* key) {
    if (key == entryKey_) {
        return;
    }
    if (entryKey_ != nullptr) {
        entryKey_->setFocusPolicy(Qt::ClickFocus);
    }
    entryKey_ = key;
    entryKey_->setFocusPolicy(Qt::StrongFocus);
}

bool MainWindow::moveKeyFocus(QWidget* from, int key) {
    const auto at = std::find(keyButtons_.begin(), keyButtons_.end(), from);
    if (at == keyButtons_.end()) {
        return false;
    }
    std::vector<keyboard::KeyRect> rects;
    rects.reserve(keyButtons_.size());
    for (CPngButton* k : keyButtons_) {
        // A hidden key (the other layer's) is never a place to land.
        const QRect g = k->isVisible() ? k->geometry() : QRect(-100000, -100000, 0, 0);
        rects.push_back({g.x(), g.y(), g.width(), g.height()});
    }
    const keyboard::Direction direction = key == Qt::Key_Left    ? keyboard::Direction::Left
                                          : key == Qt::Key_Right ? keyboard::Direction::Right
                                          : key == Qt::Key_Up    ? keyboard::Direction::Up
                                                                 : keyboard::Direction::Down;
    const int next = keyboard::nextKey(rects, static_cast<int>(at - keyButtons_.begin()), direction);
    if (next >= 0 && keyButtons_[static_cast<size_t>(next)]->isVisible()) {
        CPngButton* target = keyButtons_[static_cast<size_t>(next)];
        makeEntryKey(target);
        target->setFocus(Qt::OtherFocusReason);
    }
    return true; // at the keyboard's edge the focus stays where it is
}

void MainWindow::announce(std::string_view languageKey) {
    ui::announce(*this, ui::text(languageKey));
}

ui::CPngButton& MainWindow::addButton(const std::string& key, int controlId, const StatePictures& pictures) {
    auto* b = new CPngButton(this);
    b->setObjectName(QString::fromStdString(key));
    ui::placeImageButton(*b, layout(), u16(key), pictures);
    buttons_[key] = b;
    byId_[controlId] = b;
    if (displayOnly(controlId)) {
        b->setAttribute(Qt::WA_TransparentForMouseEvents);
    } else {
        connect(b, &QAbstractButton::clicked, this, [this, controlId] { hub_->onControl(controlId); });
    }
    return *b;
}

void MainWindow::placeControls() {
    // Placed without pictures: each gets its own part of them by its kind (cutStatePictures).
    const StatePictures none;
    auto keyButton = [&](const std::string& key, int id, const QString& name) {
        CPngButton& b = addButton(key, id, none);
        b.setAccessibleName(name);
        // Tab stops at one key of the grid; the arrow keys lead on from there.
        b.setFocusPolicy(Qt::ClickFocus);
        pictureKind_[&b] = PictureKind::Key;
        keyButtons_.push_back(&b);
    };
    int gNumber = 0;
    for (const keyboard::GButton& g : keyboard::GButtons()) {
        keyButton(keyboard::SkinNameOfButton(g.controlId), g.controlId, QStringLiteral("G%1").arg(++gNumber));
    }
    for (const keyboard::KeyButton& k : keyboard::KeyButtons()) {
        keyButton(keyboard::SkinNameOfButton(k.controlId), k.controlId,
                  QString::fromStdU16String(keyboard::KeyName(k.key)).trimmed());
    }
    for (const FixedButton& f : kFixedButtons) {
        if (f.id == control::kFn) {
            keyButton(f.key, f.id, QStringLiteral("Fn"));
            continue;
        }
        const bool lamp =
            f.id == control::kLockCaps || f.id == control::kLockNum || f.id == control::kLockScroll;
        const bool shows = f.id == control::kLockLayer || f.id == control::kFlip0;
        CPngButton& b = addButton(f.key, f.id, none);
        pictureKind_[&b] = lamp ? PictureKind::Lamp : shows ? PictureKind::Indicator : PictureKind::Button;
        if (displayOnly(f.id)) {
            b.setFocusPolicy(Qt::NoFocus);
        }
    }
    if (!keyButtons_.empty()) {
        makeEntryKey(keyButtons_.front());
    }
    for (const char* k : {"FUNC_PROFILE1", "FUNC_PROFILE2", "FUNC_PROFILE3", "FUNC_REPORT1", "FUNC_REPORT2",
                          "FUNC_REPORT3", "FUNC_REPORT4"}) {
        ui::markAsChoice(*buttons_[k]);
    }
    // The main window has no OK or Cancel on screen: Enter and Escape never close it.
    for (const char* k : {"CONTROL_OK", "CONTROL_CANCEL"}) {
        buttons_[k]->hide();
    }
    buttons_["TEMBRA_VER"]->setEnabled(false);
    // A right click on the profile-manager button shows the profile menu (control 1009).
    buttons_["FUNC_PROFILES"]->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(buttons_["FUNC_PROFILES"], &QWidget::customContextMenuRequested, this,
            [this] { hub_->onControl(control::kTrayMenu); });

    const QColor white(255, 255, 255);
    for (const char* k : {"FUNC_PROFILE1", "FUNC_PROFILE2", "FUNC_PROFILE3", "FUNC_DEFAULT", "FUNC_MACRO",
                          "FUNC_SWITCH", "CONTROL2_APPLY", "CONTROL_OK", "CONTROL_CANCEL"}) {
        buttons_[k]->setCaptionStyle(true, 9, QStringLiteral("Tahoma"), white);
    }
    buttons_["FUNC_PROFILES"]->setCaptionStyle(true, 10, QStringLiteral("Arial"), QColor(0xE4, 0xE4, 0xE4));
    buttons_["TEMBRA_VER"]->setCaptionStyle(true, 8, QStringLiteral("Verdana"), QColor(0xE4, 0xE4, 0xE4),
                                            CPngButton::kDtVCenter | CPngButton::kDtSingleLine);

    // Over every key button, under whatever the window places later.
    flipPage_ = new MainWindowFlipPage(*this);

    reportCaption_ = new QLabel(this);
    reportCaption_->setObjectName(QStringLiteral("CONTROL_UsbStatic"));
    reportCaption_->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    ui::placeControl(*reportCaption_, layout(), u"CONTROL_UsbStatic");
    ui::setSkinFont(*reportCaption_, ui::skinFont(13));

    busyPicture_ = new ui::ClickablePicture(this);
    busyPicture_->setObjectName(QStringLiteral("CONTROL_JDTStatic"));
    busyPicture_->setClickable(false);
    busyPicture_->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui::placeControl(*busyPicture_, layout(), u"CONTROL_JDTStatic");
    loadBusyFrames();
    busyPicture_->hide();
}

void MainWindow::createSubWindows(device::Commands& commands, const std::filesystem::path& languageFile) {
    SubWindowParts parts{*hub_,
                         setup_.state,
                         setup_.store,
                         setup_.settings,
                         commands,
                         *lighting_,
                         prompter(),
                         files(),
                         setup_.toWorker,
                         setup_.programFolder,
                         languageFile,
                         lighting::userFilesInstaller(setup_.programFolder / "Skins"),
                         setup_.sendRaw,
                         setup_.updatePrompter,
                         setup_.programStarter,
                         setup_.startOnScreenKeyboard,
                         [this](const QString& text) { showText(text.toStdU16String()); },
                         setup_.onMissingPicture};
    windows_ = std::make_unique<SubWindows>(*this, std::move(parts));
    SubWindows* w = windows_.get();
    if (!hooks_.keyDialog) {
        hooks_.keyDialog = [w](const KeyDialogRequest& request, QRect at) { w->openKeyDialog(request, at); };
    }
    if (!hooks_.profileManager) {
        hooks_.profileManager = [w] { w->openProfileManager(); };
    }
    if (!hooks_.updateDialog) {
        hooks_.updateDialog = [w] { w->openUpdateDialog(); };
    }
    if (!hooks_.switchProfile) {
        hooks_.switchProfile = [w](int profile, profiles::SwitchSource source) {
            w->switchProfile(profile, source);
        };
    }
}

void MainWindow::bindTexts() {
    auto& binder = ui::TextBinder::instance();
    binder.bind(*this, "MAIN_CAPTION", ui::TextRole::WindowTitle);
    const std::pair<const char*, const char*> labels[] = {
        {"FUNC_PROFILE1", "PROFILE_1"},          {"FUNC_PROFILE2", "PROFILE_2"},
        {"FUNC_PROFILE3", "PROFILE_3"},          {"FUNC_MACRO", "PROFILE_MACRO"},
        {"FUNC_DEFAULT", "PROFILE_DEFAULT"},     {"CONTROL_OK", "PROFILE_OK"},
        {"CONTROL_CANCEL", "PROFILE_CANCLE"},    {"CONTROL2_APPLY", "PROFILE_APPLY"},
        {"TEMBRA_VER", "MAIN_BUTTON_TEMBRA_VER"}};
    const std::pair<const char*, const char*> tips[] = {{"CONTROL_HELP", "MAIN_HELP_PROMPT"},
                                                        {"CONTROL_MINIMIZE", "MAIN_MINIMIZE_PROMPT"},
                                                        {"CONTROL_MENU", "MAIN_MENU_PROMPT"},
                                                        {"CONTROL_CLOSE", "MAIN_CLOSE_PROMPT"},
                                                        {"FLIP_1", "FLIP_TIP"},
                                                        {"FLIP_2", "FLIP_TIP"}};
    for (const auto& [key, text] : labels) {
        if (auto* b = button(key)) {
            binder.bind(*b, text);
        }
    }
    for (const auto& [key, text] : tips) {
        if (auto* b = button(key)) {
            binder.bind(*b, text, ui::TextRole::ToolTip);
        }
    }
    // Controls that show only a picture are named for screen readers.
    const std::pair<const char*, const char*> names[] = {
        {"CONTROL_HELP", "MAIN_HELP_PROMPT"}, {"CONTROL_MINIMIZE", "MAIN_MINIMIZE_PROMPT"},
        {"CONTROL_MENU", "MAIN_MENU_PROMPT"}, {"CONTROL_CLOSE", "MAIN_CLOSE_PROMPT"},
        {"TEMBRA_LINK", "ACC_LINK_HOME"},     {"KEY_PCGAME", "ACC_LINK_1"},
        {"KEY_FACEBOOK", "ACC_LINK_2"},       {"KEY_INSTARGRAM", "ACC_LINK_3"},
        {"LOCK_CAPS", "ACC_LOCK_CAPS"},       {"LOCK_NUM", "ACC_LOCK_NUM"},
        {"LOCK_SCROLL", "ACC_LOCK_SCROLL"},   {"LOCK_AB", "ACC_LAYER"},
        {"FLIP_0", "ACC_FLIP_PAGE"},          {"FLIP_1", "ACC_FLIP_BACK"},
        {"FLIP_2", "ACC_FLIP_NEXT"},          {"TEMBRA_VER", "ACC_VERSION"}};
    for (const auto& [key, text] : names) {
        if (auto* b = button(key)) {
            binder.bind(*b, text, ui::TextRole::Name);
        }
    }
    for (int r = 0; r < 4; ++r) {
        if (auto* b = buttonById(kReportButtons[r])) {
            // The rate is drawn in the picture: "Report rate 1000 Hz".
            binder.bind(
                *b,
                [r] { return ui::text("ACC_REPORT_RATE") + QStringLiteral(" %1 Hz").arg(kReportRatesHz[r]); },
                ui::TextRole::Name);
        }
    }
    // The web buttons show their addresses.
    const std::pair<const char*, size_t> links[] = {
        {"TEMBRA_LINK", 0}, {"KEY_PCGAME", 0}, {"KEY_FACEBOOK", 1}, {"KEY_INSTARGRAM", 2}};
    for (const auto& [key, i] : links) {
        if (auto* b = button(key)) {
            b->setTipText(QString::fromStdString(links_[i]));
        }
    }
    if (reportCaption_ != nullptr) {
        // The skin's caption sections: Control_Name for Chinese (0), Control_Name1 for English (1).
        binder.bind(*reportCaption_, [this] {
            const int language = ui::Language::instance().current();
            if (language != 0 && language != 1) {
                return reportCaption_->text();
            }
            return QString::fromStdU16String(
                layout().get(language == 0 ? u"Control_Name" : u"Control_Name1", u"Usb", u"Report rate"));
        });
    }
}

void MainWindow::onShowDialog() {
    if (styleSheet().isEmpty()) {
        // Not before: each control the sheet styles keeps its own copy of the rules that apply to it (a
        // megabyte and a half over the whole window), which a window started hidden need not hold yet.
        setStyleSheet(ui::darkStyleSheet());
    }
    if (releaseTimer_) {
        releaseTimer_->stop();
    }
    buildControls();
    // Nothing is initialised again: the window is the same one each time it is opened; only its
    // pictures (and, made on demand, its controls) come back.
    if (!picturesShown_ && !pictureKind_.empty()) {
        // A picture that went missing since the start leaves its controls blank; it does not end the
        // program a user is working with.
        cutStatePictures(loadStatePictures(pictureFolder()));
        loadBusyFrames();
    }
    loadColourPictures();
}

void MainWindow::cutStatePictures(const std::vector<QPixmap>& whole) {
    const QPixmap* p = whole.data();
    // Pictures of another size than the normal one (a hand-made skin) are drawn whole, as they come.
    const bool cut = std::all_of(p, p + kColourOff, [&](const QPixmap& q) {
        return q.isNull() || q.deviceIndependentSize() == p[kNormal].deviceIndependentSize();
    });
    for (auto [b, kind] : pictureKind_) {
        PicturePlace& place =
            picturePlace_.try_emplace(b, PicturePlace{b->pictureOffset(), {}}).first->second;
        place.part.reset();
        if (ui::SkinRect placed; cut && ui::placedRect(*b, placed)) {
            place.part = partOfPicture(place.at, QSize(placed.w, placed.h), p[kNormal]);
        }
        auto own = [&](int index) { return place.part ? cutPart(p[index], *place.part) : p[index]; };
        const QPoint from = place.part ? place.at - place.part->topLeft() : place.at;
        const QPixmap normal = own(kNormal);
        switch (kind) {
        case PictureKind::Lamp:
            b->setPictures(from.x(), from.y(), normal, normal, normal, normal, normal);
            break;
        case PictureKind::Indicator:
            b->setPictures(from.x(), from.y(), normal, normal, normal, normal, own(kSelected));
            break;
        case PictureKind::Key:
        case PictureKind::Button:
            b->setPictures(from.x(), from.y(), normal, own(kOver), own(kDown), own(kDisabled),
                           own(kSelected));
            break;
        }
    }
    picturesShown_ = true;
}

void MainWindow::loadBusyFrames() {
    std::vector<std::string> frames;
    for (int i = 1; i <= kBusyFrames; ++i) {
        frames.push_back("jdt" + std::to_string(i) + ".bmp");
    }
    busyFrames_ = ui::loadPictures(pictureFolder(), frames);
}

void MainWindow::releaseStatePictures() {
    const QPixmap none;
    for (auto [b, kind] : pictureKind_) {
        const QPoint at = b->pictureOffset();
        b->setPictures(at.x(), at.y(), none, none, none, none, none);
        if (kind == PictureKind::Key) {
            b->setTwoStatePictures(none, none);
        }
    }
    picturesShown_ = false;
    colourPicturesLoaded_ = false;
    busyFrames_.clear();
    releaseBackground();
    // The decoded pictures and what decoding them needed are freed now; give the memory back to the
    // system instead of keeping it for a window that may stay closed for days.
    ::malloc_trim(0);
}

void MainWindow::loadColourPictures() {
    if (colourPicturesLoaded_ || !picturesShown_) {
        return;
    }
    const bool wanted = std::any_of(pictureKind_.begin(), pictureKind_.end(), [](const auto& entry) {
        return entry.second == PictureKind::Key && entry.first->twoStateMode();
    });
    if (!wanted) {
        return;
    }
    const std::vector<QPixmap> pair =
        ui::loadPictures(pictureFolder(), {kStatePictureNames[kColourOff], kStatePictureNames[kColourOn]});
    colourPicturesLoaded_ = true; // a picture gone missing is not looked for at every key
    for (auto [b, kind] : pictureKind_) {
        if (kind == PictureKind::Key) {
            // Cut where the key's other pictures were: it draws them all from the same place.
            const std::optional<QRect>& part = picturePlace_.at(b).part;
            b->setTwoStatePictures(part ? cutPart(pair[0], *part) : pair[0],
                                   part ? cutPart(pair[1], *part) : pair[1]);
        }
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    CBaseDialog::showEvent(event);
    // A window made anew after a hide: the dialogs made before it belong to it again (the window system
    // keeps them above it and places them on it).
    if (QWindow* own = windowHandle()) {
        for (QDialog* d : findChildren<QDialog*>()) {
            if (d->windowHandle() != nullptr && d->windowHandle()->transientParent() != own) {
                d->windowHandle()->setTransientParent(own);
            }
        }
    }
}

void MainWindow::hideEvent(QHideEvent* event) {
    CBaseDialog::hideEvent(event);
    // Minimizing or another desktop hides nothing for good (the window system does those); a window the
    // program hid gives its pictures back.
    if (!event->spontaneous() && !isMinimized() && !busy_ && !pictureKind_.empty()) {
        releaseStatePictures();
    }
    if (!event->spontaneous() && !isMinimized()) {
        // The window system's copy of the window (a picture of its whole size) goes too; the next show
        // makes the window anew. After the hide has run its course, not inside it, and not under a
        // dialog of the window that stays open (it would lose the window it belongs to).
        QTimer::singleShot(0, this, [this] {
            if (!isVisible() && testAttribute(Qt::WA_WState_Created) && !dialogShown()) {
                destroy();
                ::malloc_trim(0);
            }
        });
        if (releaseTimer_) {
            releaseTimer_->start();
        }
    }
}

bool MainWindow::dialogShown() const {
    const QList<QDialog*> dialogs = findChildren<QDialog*>();
    return std::any_of(dialogs.begin(), dialogs.end(), [](QDialog* d) { return d->isVisible(); });
}

// ---------------------------------------------------------------------------------------------------
// The device link's side

intptr_t MainWindow::onMessage(uint32_t message, uint32_t wParam, bool posted) {
    return hub_ ? hub_->handleMessage(message, wParam, posted) : 0;
}

void MainWindow::onHide() {
    hide();
}

void MainWindow::onSetIcon(int iconId) {
    if (hub_) {
        hub_->setTrayIcon(iconId);
    }
}

void MainWindow::onStartTimer(int timerId, int periodMs) {
    startTimerById(timerId, periodMs);
}

void MainWindow::onShowMessage(const std::string& languageKey) {
    prompter().show(languageKey);
}

bool MainWindow::ready() const {
    return hub_ != nullptr && hub_->isReady();
}

void MainWindow::startTimerById(int timerId, int periodMs) {
    QTimer*& t = timers_[timerId];
    if (t == nullptr) {
        t = new QTimer(this);
        connect(t, &QTimer::timeout, this, [this, timerId] {
            if (hub_) {
                hub_->onTimer(timerId);
            }
        });
    }
    t->start(periodMs);
}

bool MainWindow::timerActive(int timerId) const {
    auto it = timers_.find(timerId);
    return it != timers_.end() && it->second->isActive();
}

void MainWindow::killTimer(int timerId) {
    if (auto it = timers_.find(timerId); it != timers_.end()) {
        it->second->stop();
    }
}

// ---------------------------------------------------------------------------------------------------
// MainView

ui::CPngButton* MainWindow::button(const std::string& skinKey) const {
    auto it = buttons_.find(skinKey);
    return it != buttons_.end() ? it->second : nullptr;
}

ui::CPngButton* MainWindow::buttonById(int controlId) const {
    auto it = byId_.find(controlId);
    return it != byId_.end() ? it->second : nullptr;
}

void MainWindow::showWindow() {
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void MainWindow::hideWindow() {
    hide();
}

void MainWindow::minimizeWindow() {
    showMinimized();
}

void MainWindow::quit() {
    QCoreApplication::exit(0);
}

void MainWindow::setApplyEnabled(bool enabled) {
    applyEnabled_ = enabled;
    if (auto* b = button("CONTROL2_APPLY")) {
        b->setEnabled(enabled);
    }
}

void MainWindow::refreshKeyButtons() {
    for (const keyboard::GButton& g : keyboard::GButtons()) {
        refreshButton(g.controlId);
    }
    for (const keyboard::KeyButton& k : keyboard::KeyButtons()) {
        refreshButton(k.controlId);
    }
    refreshButton(control::kFn);
}

void MainWindow::refreshButton(int controlId) {
    CPngButton* b = buttonById(controlId);
    if (b == nullptr || !hub_) {
        return;
    }
    const ButtonLook look = hub_->buttonLook(controlId);
    b->setSelected(look.assigned);
    b->setTipText(QString::fromStdU16String(look.tip).trimmed());
    // A key given back its own function (an undo, Default) reads as its tooltip again, not as changed.
    b->setAccessibleDescription(
        look.assigned ? b->tipText() + QStringLiteral(", ") + ui::text("ACC_KEY_CHANGED") : b->tipText());
    b->setTwoStateMode(look.colourMode);
    if (look.colourMode) {
        loadColourPictures();
    }
    b->setTwoStateValue(look.colourFlag);
    b->setLatched(look.pressed);
    if (flipPage_ != nullptr) {
        flipPage_->setLegend(controlId, b->geometry(), QString::fromStdU16String(look.legend));
    }
}

void MainWindow::setLayerIndicator(int layer) {
    layer_ = layer;
    if (auto* b = button("LOCK_AB")) {
        b->setSelected(layer == 1);
    }
}

void MainWindow::setProfileButtons(int selected) {
    const bool switched = selected != shownProfile_ && selected >= 0 && shownProfile_ >= 0;
    shownProfile_ = selected;
    for (int p = 0; p < 3; ++p) {
        if (auto* b = buttonById(control::kProfile1 + p)) {
            b->setSelected(p == selected);
        }
    }
    if (auto* b = button("FUNC_PROFILES"); b != nullptr && hub_) {
        const QString name = QString::fromStdU16String(hub_->profileEntryName(selected)).trimmed();
        b->setText(name);
        b->setTipText(ui::text("PROFILE_TIP") + name);
        if (switched) {
            ui::announce(*this, ui::text("ACC_PROFILE_NOW") + name);
        }
    }
}

void MainWindow::setReportRateButtons(int selected) {
    reportRate_ = selected;
    for (int r = 0; r < 4; ++r) {
        if (auto* b = buttonById(kReportButtons[r])) {
            b->setSelected(r == selected);
        }
    }
}

void MainWindow::setFlip(int flip) {
    flip_ = flip;
    if (auto* b = button("FLIP_0")) {
        b->setSelected(flip == 1);
    }
    update(); // the key picture
}

void MainWindow::setSwitchText(const std::u16string& text) {
    switchText_ = text;
    if (auto* b = button("FUNC_SWITCH")) {
        b->setText(QString::fromStdU16String(text));
    }
}

void MainWindow::setBusy(bool busy) {
    busy_ = busy;
    if (busy) {
        showBusyFrame(0);
        if (busyPicture_ != nullptr) {
            busyPicture_->show();
        }
        startTimerById(kTimerBusy, kTimerBusyPeriodMs);
        setCursor(Qt::BusyCursor);
    } else {
        killTimer(kTimerBusy);
        if (busyPicture_ != nullptr) {
            busyPicture_->hide();
        }
        unsetCursor();
    }
}

void MainWindow::showBusyFrame(int frame) {
    if (busyPicture_ != nullptr && frame >= 0 && static_cast<size_t>(frame) < busyFrames_.size()) {
        busyPicture_->setPicture(busyFrames_[static_cast<size_t>(frame)]);
    }
}

void MainWindow::showMenu(const std::vector<MenuItem>& items) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setStyleSheet(ui::darkStyleSheet());
    fillMenu(*menu, items, [this](int command) {
        // After the menu has closed: a command may open a modal window of its own.
        QMetaObject::invokeMethod(
            this, [this, command] { hub_->onCommand(command); }, Qt::QueuedConnection);
    });
    lastMenu_ = menu;
    menu->popup(QCursor::pos());
}

void MainWindow::createTray(int iconId, const std::u16string& tip) {
    tray_->create(iconId, QString::fromStdU16String(tip));
}

void MainWindow::removeTray() {
    tray_->remove();
}

void MainWindow::setTrayIcon(int iconId) {
    tray_->setIcon(iconId);
}

void MainWindow::setTrayTip(const std::u16string& tip) {
    tray_->setTooltip(QString::fromStdU16String(tip));
}

AboutBox& MainWindow::aboutBox() {
    if (!about_) {
        about_ = std::make_unique<AboutBox>(QString::fromStdString(links_[0]), [this] {
            if (hub_) {
                hub_->onHelpKey();
            }
        });
        if (hub_) {
            hub_->setAbout(about_.get());
        }
    }
    return *about_;
}

void MainWindow::openAbout() {
    aboutBox().open();
}

void MainWindow::openKeyDialog(const KeyDialogRequest& request) {
    if (!hooks_.keyDialog) {
        return;
    }
    QRect at;
    if (CPngButton* b = buttonById(request.controlId)) {
        at = QRect(b->mapToGlobal(QPoint(0, 0)), b->size());
    }
    hooks_.keyDialog(request, at);
}

void MainWindow::openProfileManager() {
    if (hooks_.profileManager) {
        hooks_.profileManager();
    }
}

void MainWindow::openUpdateDialog() {
    if (hooks_.updateDialog) {
        hooks_.updateDialog();
    }
}

void MainWindow::switchProfile(int profile, profiles::SwitchSource source) {
    if (hooks_.switchProfile) {
        hooks_.switchProfile(profile, source);
    }
}

void MainWindow::openUrl(const std::string& url) {
    const QUrl u(QString::fromStdString(url));
    if (setup_.desktopOpen) {
        setup_.desktopOpen(u);
    } else {
        QDesktopServices::openUrl(u);
    }
}

void MainWindow::openFile(const std::filesystem::path& file) {
    const QUrl u = QUrl::fromLocalFile(QString::fromStdString(file.string()));
    if (setup_.desktopOpen) {
        setup_.desktopOpen(u);
    } else {
        QDesktopServices::openUrl(u);
    }
}

void MainWindow::showText(const std::u16string& text) {
    const QString t = QString::fromStdU16String(text).trimmed();
    if (setup_.showText) {
        setup_.showText(t);
    } else {
        ownPrompter_->showText(t);
    }
}

void MainWindow::retext() {
    CBaseDialog::retext();
    if (hub_) {
        setSwitchText(hub_->switchText());
        setProfileButtons(shownProfile_);
    }
    update();
}

// ---------------------------------------------------------------------------------------------------
// Events

void MainWindow::paintEvent(QPaintEvent* event) {
    if (isMinimized()) {
        // What a minimized window shows where it is still drawn: the program's icon.
        QPainter p(this);
        p.fillRect(rect(), QColor(0x16, 0x18, 0x1c));
        const QIcon icon = windowIcon();
        const QSize size(64, 64);
        icon.paint(&p, QRect(rect().center() - QPoint(size.width() / 2, size.height() / 2), size));
        return;
    }
    CBaseDialog::paintEvent(event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (const std::optional<bool> forward = ui::historyStep(*event); forward && hub_) {
        *forward ? hub_->redo() : hub_->undo();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F1 && hub_) {
        hub_->onHelpKey();
        event->accept();
        return;
    }
    CBaseDialog::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window manager's close hides the window; the program lives on in the notification area.
    event->ignore();
    hide();
}

void MainWindow::reject() {
    hide();
}

bool MainWindow::takesInput(QObject* watched, QEvent* event) const {
    auto* w = qobject_cast<QWidget*>(watched);
    return w != nullptr && w->window() == this && isUserInput(event->type());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (busy_ && takesInput(watched, event)) {
        return true; // nothing but the animation while the keyboard is written
    }
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* w = qobject_cast<QWidget*>(watched);
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool arrow =
            key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
        // The lighting mode list does not step through modes by keyboard (each step would write).
        if (arrow && w != nullptr && w->objectName() == QLatin1String("CONTROL_XGcombox") &&
            w->window() == this) {
            return true;
        }
        if (arrow && event->type() == QEvent::KeyPress && w != nullptr && w->window() == this &&
            moveKeyFocus(w, key)) {
            return true;
        }
    }
    if (event->type() == QEvent::FocusIn) {
        // A key reached by a click is where Tab comes back to.
        if (auto* k = qobject_cast<CPngButton*>(watched);
            k != nullptr && std::find(keyButtons_.begin(), keyButtons_.end(), k) != keyButtons_.end()) {
            makeEntryKey(k);
        }
    }
    return CBaseDialog::eventFilter(watched, event);
}

} // namespace tarvik::app
