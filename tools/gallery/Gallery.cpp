#include "tools/gallery/Gallery.h"

#include "app/MainWindow.h"
#include "app/SubWindows.h"
#include "dialogs/KeyDialog.h"
#include "keyboard/KeyAssignment.h"
#include "keyboard/Layout.h"
#include "lighting/KeyButtons.h"
#include "lighting/LightingModes.h"
#include "lighting/LightingPanel.h"
#include "profiles/ProfileManagerDialog.h"
#include "tests/app/WholeKeyboard.h"
#include "ui/CPngButton.h"
#include "ui/Language.h"
#include "ui/MessageBox.h"
#include "update/UpdateDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace tarvik::gallery {

using ui::CPngButton;

namespace {

constexpr int kWaitMs = 10000;

QString path(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

class QuietPrompter final : public Prompter {
public:
    void show(std::string_view) override {}
    bool askYesNo(std::string_view, bool defaultYes) override { return defaultYes; }
};

class NoFiles final : public FileChooser {
public:
    std::optional<std::filesystem::path> choose(Mode, const std::string&, const std::filesystem::path&,
                                                const std::string&) override {
        return std::nullopt;
    }
};

class QuietUpdatePrompter final : public update::UpdatePrompter {
public:
    void show(std::string_view, const std::filesystem::path&) override {}
    bool askYesNo(std::string_view, const std::filesystem::path&, bool defaultYes) override {
        return defaultYes;
    }
};

class NoStarter final : public update::ProgramStarter {
public:
    update::StartResult start(const std::filesystem::path&, const std::vector<std::string>&,
                              const std::filesystem::path&) override {
        return {};
    }
};

keyboard::KeyAssignment singleKey(uint16_t key) {
    keyboard::KeyAssignment r;
    r.type = keyboard::ASSIGN_SINGLE_KEY;
    r.value = key;
    return r;
}

macros::MacroRecord macro(uint16_t id, std::u16string_view name, std::initializer_list<uint16_t> keys) {
    macros::MacroRecord m;
    m.setId(id);
    m.setName(name);
    std::vector<macros::MacroAction> actions;
    uint32_t delay = 30;
    for (uint16_t k : keys) {
        actions.push_back({delay, k, macros::kPress});
        delay += 17;
    }
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) {
        actions.push_back({delay, *it, macros::kRelease});
        delay -= 11;
    }
    m.setActions(actions);
    m.setCycles(1);
    return m;
}

// Each profile's lighting as a keyboard keeps it: the effect, brightness 4, speed 2, the effect colour a
// light blue, the base colour white.
void seedLighting(lighting::test::FakeKeyboard& k) {
    for (int p = 0; p < 3; ++p) {
        const uint8_t block[] = {1, 4, 2, 1, 0, 0x38, 0xb6, 0xf0, 0, 255, 255, 255, 255, 0, 0, 0};
        k.setBlock(p, block);
    }
}

int controlIdOf(const char* skinKey) {
    for (const keyboard::KeyButton& k : keyboard::KeyButtons()) {
        if (keyboard::SkinNameOfButton(k.controlId) == skinKey) {
            return k.controlId;
        }
    }
    return 0;
}

// Selects a lighting effect in the panel's mode list as the user does.
bool chooseMode(app::MainWindow& w, int code) {
    auto* modes = w.findChild<QComboBox*>(QStringLiteral("CONTROL_XGcombox"));
    if (modes == nullptr) {
        return false;
    }
    const int index = modes->findData(code);
    if (index < 0) {
        return false;
    }
    modes->setCurrentIndex(index);
    emit modes->activated(index);
    return true;
}

} // namespace

Gallery::Gallery(std::filesystem::path skins, QDir out, QString suffix)
    : skins_(std::move(skins)), out_(std::move(out)), suffix_(std::move(suffix)) {}

bool Gallery::settle(app::MainWindow& w) {
    app::SubWindows& s = *w.subWindows();
    return QTest::qWaitFor(
        [&] { return s.lightingIdle() && s.switchRunner().pending() == 0 && !w.hub().busy(); }, kWaitMs);
}

QStringList Gallery::run() {
    // A home of the gallery's own: the window writes its cache file, settings and lighting files there,
    // and the language switch writes the copy of the language file.
    QTemporaryDir scratch;
    const std::filesystem::path home = scratch.path().toStdString();
    for (const char* v : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"}) {
        qunsetenv(v);
    }
    qputenv("HOME", scratch.path().toLocal8Bit());
    std::filesystem::create_directories(home / "run");
    std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all);
    qputenv("XDG_RUNTIME_DIR", path(home / "run").toLocal8Bit());
    const std::filesystem::path language = home / "language.ini";
    std::filesystem::copy_file(skins_ / "language.ini", language);
    ui::Language::instance().setFiles({language, {}});
    ui::Language::instance().load();

    testing::WholeKeyboard keyboard;
    seedLighting(keyboard.lighting);
    device::LinkTiming timing;
    timing.endWritePause = device::LinkTiming::ms{0};
    device::Commands commands(keyboard, timing);
    device::AppLinkState state;
    profiles::AssignmentStore store;
    profiles::SettingsStore settings(home / "Tarvik.ini");
    QuietPrompter prompter;
    NoFiles files;
    QuietUpdatePrompter updatePrompter;
    NoStarter starter;
    app::MainWindowSetup setup{.state = state,
                               .store = store,
                               .settings = settings,
                               .programFolder = skins_.parent_path(),
                               .dataFolder = home / "Documents" / "Velmora",
                               .prompter = &prompter,
                               .files = &files,
                               .updatePrompter = &updatePrompter,
                               .programStarter = &starter,
                               .startOnScreenKeyboard = [] {}};
    setup.assemble = [&](app::MainWindow& w) { return app::assembleProgram(w, commands); };
    // The keyboard answers at once: every request runs where it is posted.
    setup.toWorker = [](std::function<void()> task) { task(); };
    setup.showText = [](const QString&) {};
    setup.desktopOpen = [](const QUrl&) {};
    setup.onMissingPicture = [this](const std::filesystem::path& missing) {
        problems_ << QStringLiteral("missing picture %1").arg(path(missing));
    };
    app::MainWindow w(std::move(setup));
    w.initialise();
    if (!QTest::qWaitFor([&] { return w.hub().isReady(); }, kWaitMs) || w.subWindows() == nullptr) {
        problems_ << QStringLiteral("the main window did not start");
        return problems_;
    }
    {
        auto lock = store.lockKeyData();
        store.working().macros().push_back(macro(1, u"Build order", {0x1D, 0x2E}));
        store.working().macros().push_back(macro(2, u"Sprint", {0x2A, 0x11}));
    }
    state.devicePresence.store(1);
    state.macroCapacity.store(8192);
    w.port().sendMessage(device::MSG_PROFILE_SYNC, device::kCodeProf);
    w.showWindow();
    if (!QTest::qWaitForWindowExposed(&w) || !settle(w)) {
        problems_ << QStringLiteral("the main window did not show");
    }

    mainWindow(w, store, state);
    compositeDialog(w);
    profileDialog(w);
    updateDialog(w);
    messageBoxes(w);
    w.port().close();
    return problems_;
}

void Gallery::shoot(QWidget& w, const QString& name, double scale) {
    // At the screen's pixel density, as the window shows there.
    scale *= w.devicePixelRatioF();
    QImage image(w.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.scale(scale, scale);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        w.render(&p, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    if (!w.mask().isEmpty()) {
        QImage clip(image.size(), QImage::Format_ARGB32_Premultiplied);
        clip.fill(Qt::transparent);
        QPainter p(&clip);
        p.scale(scale, scale);
        p.setClipRegion(w.mask());
        p.resetTransform();
        p.drawImage(0, 0, image);
        p.end();
        image = clip;
    }
    const QString file = out_.filePath(name + suffix_ + QStringLiteral(".png"));
    if (!image.save(file)) {
        problems_ << QStringLiteral("cannot write %1").arg(file);
    }
}

void Gallery::mainWindow(app::MainWindow& w, profiles::AssignmentStore& store, device::AppLinkState& state) {
    app::MainHub& hub = w.hub();
    lighting::LightingPanel& panel = w.subWindows()->lightingPanel();
    std::vector<CPngButton*> keys;
    for (const keyboard::GButton& g : keyboard::GButtons()) {
        keys.push_back(w.buttonById(g.controlId));
    }
    for (const keyboard::KeyButton& k : keyboard::KeyButtons()) {
        keys.push_back(w.buttonById(k.controlId));
    }
    keys.push_back(w.buttonById(app::control::kFn));
    auto each = [&](auto fn) {
        for (CPngButton* b : keys) {
            fn(*b);
        }
    };
    auto reset = [&] {
        each([](CPngButton& b) {
            b.setEnabled(true);
            b.setHover(false);
            b.setDown(false);
        });
    };

    // The lighting panel off: the area names the keyboard's effect.
    shoot(w, QStringLiteral("main_normal"));
    each([](CPngButton& b) { b.setHover(true); });
    shoot(w, QStringLiteral("main_hover"));
    reset();
    each([](CPngButton& b) { b.setDown(true); });
    shoot(w, QStringLiteral("main_pressed"));
    reset();
    each([](CPngButton& b) { b.setEnabled(false); });
    for (const char* k : {"FUNC_PROFILE2", "FUNC_DEFAULT"}) {
        w.button(k)->setEnabled(false);
    }
    shoot(w, QStringLiteral("main_disabled"));
    reset();
    for (const char* k : {"FUNC_PROFILE2", "FUNC_DEFAULT"}) {
        w.button(k)->setEnabled(true);
    }

    // Colour-keys mode, by its switch: the gaming cluster lit, the rest off.
    QTest::mouseClick(w.button("FUNC_SWITCH"), Qt::LeftButton);
    for (const char* k :
         {"KEY_010", "KEY_011", "KEY_012", "KEY_01E", "KEY_01F", "KEY_020", "KEY_02A", "KEY_039"}) {
        QTest::mouseClick(w.button(k), Qt::LeftButton);
    }
    shoot(w, QStringLiteral("main_colour_keys"));
    QTest::mouseClick(w.button("FUNC_SWITCH"), Qt::LeftButton);
    QTest::mouseClick(w.button("CONTROL2_APPLY"), Qt::LeftButton);
    settle(w);

    // The panel on, by its button: the live preview of the keyboard's wave.
    if (auto* on = w.findChild<QAbstractButton*>(QStringLiteral("CONTROL_DengStaPic"))) {
        on->click();
    }
    const uint64_t frames = panel.framesDrawn();
    if (!settle(w) || !panel.view().panelOn ||
        !QTest::qWaitFor([&] { return panel.framesDrawn() > frames + 12; }, kWaitMs)) {
        problems_ << QStringLiteral("the lighting panel did not turn on");
    }
    shoot(w, QStringLiteral("main_tinted"));

    // A working session: assigned keys with their tooltips, G layer B, 250 Hz, keys painted in the user
    // mode, edits to apply, a key hovered and one pressed.
    {
        auto lock = store.lockKeyData();
        auto records = store.working().block().profile(static_cast<unsigned>(hub.editingProfile()));
        const int first = keyboard::kFirstGSlotLayer1;
        for (int slot : {first, first + 1, first + 4, 0x3B, 0xDB}) {
            records[static_cast<size_t>(slot)] = singleKey(0x1E);
        }
    }
    state.linkStatusMode.store(0x03);
    w.port().sendMessage(device::MSG_KEYMODE_CHANGED, device::kCodeLed);
    hub.assignmentsChanged();
    QTest::mouseClick(w.button("FUNC_REPORT3"), Qt::LeftButton);
    if (!chooseMode(w, lighting::kUserMode) || !settle(w) || !panel.keyClicksPaint()) {
        problems_ << QStringLiteral("the user lighting mode did not show");
    }
    // A stroke of the paint brush across the WASD cluster.
    for (const char* k : {"KEY_011", "KEY_01E", "KEY_01F", "KEY_020"}) {
        if (const int b = lighting::buttonOfControl(controlIdOf(k)); b >= 0) {
            panel.paintKey(b);
        }
    }
    settle(w);
    w.button("KEY_022")->setHover(true);
    w.button("KEY_010")->setDown(true);
    shoot(w, QStringLiteral("main_session"));
    for (int mode : {12, 17, 18}) {
        if (!chooseMode(w, mode) || !settle(w)) {
            problems_ << QStringLiteral("lighting mode %1 did not show").arg(mode);
        }
        shoot(w, QStringLiteral("main_lighting_mode%1").arg(mode));
    }
    w.button("KEY_022")->setHover(false);
    w.button("KEY_010")->setDown(false);

    // Apply running: the busy pictures, nothing else moves.
    w.setBusy(true);
    w.showBusyFrame(5);
    shoot(w, QStringLiteral("main_busy"));
    w.setBusy(false);

    // The other language, switched while the window is open; the panel off shows its words.
    if (auto* off = w.findChild<QAbstractButton*>(QStringLiteral("CONTROL_DengDisable"))) {
        off->click();
    }
    settle(w);
    hub.onCommand(app::command::kChinese);
    shoot(w, QStringLiteral("main_chinese"));
    hub.onCommand(app::command::kEnglish);
    state.linkStatusMode.store(0x02);
    w.port().sendMessage(device::MSG_KEYMODE_CHANGED, device::kCodeLed);
}

void Gallery::compositeDialog(app::MainWindow& w) {
    dialogs::KeyDialog& d = w.subWindows()->keyDialog();
    auto button = [&](const char* key) { return d.findChild<CPngButton*>(QString::fromLatin1(key)); };
    // Opened as a click on a key opens it, beside the key.
    QTest::mouseClick(w.button("KEY_01E"), Qt::LeftButton);
    if (!QTest::qWaitForWindowExposed(&d) || !d.isOpen()) {
        problems_ << QStringLiteral("the key dialog did not open");
        return;
    }
    shoot(d, QStringLiteral("composite_key"));
    button("CONTROL_OK")->setHover(true);
    button("CONTROL_CLEAR")->setDown(true);
    shoot(d, QStringLiteral("composite_key_hover_pressed"));
    button("CONTROL_OK")->setHover(false);
    button("CONTROL_CLEAR")->setDown(false);
    d.selectTab(dialogs::Panel::Macro);
    button("FUNC_MACRO_RECORD")->setHover(true);
    shoot(d, QStringLiteral("composite_macro"));
    button("FUNC_MACRO_RECORD")->setHover(false);
    d.selectTab(dialogs::Panel::Media);
    shoot(d, QStringLiteral("composite_media"));
    d.selectTab(dialogs::Panel::Function);
    shoot(d, QStringLiteral("composite_function"));
    d.reject();

    // G9 edits its macro only.
    QTest::mouseClick(w.button("FUNC_G9"), Qt::LeftButton);
    if (!QTest::qWaitForWindowExposed(&d) || !d.isOpen()) {
        problems_ << QStringLiteral("the key dialog did not open for G9");
        return;
    }
    shoot(d, QStringLiteral("composite_macro_only"));
    d.reject();
}

void Gallery::profileDialog(app::MainWindow& w) {
    profiles::ProfileManagerDialog& d = w.subWindows()->profileManager();
    QTest::mouseClick(w.button("FUNC_PROFILES"), Qt::LeftButton);
    if (!QTest::qWaitForWindowExposed(&d) || !d.isOpen()) {
        problems_ << QStringLiteral("the profile manager did not open");
        return;
    }
    shoot(d, QStringLiteral("profile"));
    d.findChild<CPngButton*>(QStringLiteral("FUNC_ADD"))->setHover(true);
    d.findChild<CPngButton*>(QStringLiteral("CONTROL_OK"))->setDown(true);
    shoot(d, QStringLiteral("profile_hover_pressed"));
    d.findChild<CPngButton*>(QStringLiteral("FUNC_ADD"))->setHover(false);
    d.findChild<CPngButton*>(QStringLiteral("CONTROL_OK"))->setDown(false);
    d.reject();
}

void Gallery::updateDialog(app::MainWindow& w) {
    update::UpdateDialog& d = w.subWindows()->updateDialog();
    w.hub().onCommand(app::command::kUpdate);
    if (!QTest::qWaitForWindowExposed(&d) || !d.isOpen()) {
        problems_ << QStringLiteral("the update dialog did not open");
        return;
    }
    shoot(d, QStringLiteral("update"));
    d.findChild<CPngButton*>(QStringLiteral("CONTROL_UPButton"))->setHover(true);
    shoot(d, QStringLiteral("update_hover"));
    d.findChild<CPngButton*>(QStringLiteral("CONTROL_UPButton"))->setHover(false);
    d.reject();
}

void Gallery::messageBoxes(app::MainWindow& w) {
    auto shootBox = [&](ui::BoxKind kind, const char* key, const QString& name) {
        std::unique_ptr<QMessageBox> box(
            ui::makeMessageBox(&w, kind, ui::text("MAIN_CAPTION").trimmed(), ui::text(key).trimmed()));
        box->show();
        if (!QTest::qWaitForWindowExposed(box.get())) {
            problems_ << QStringLiteral("the message box %1 did not show").arg(name);
            return;
        }
        shoot(*box, name);
        box->hide();
    };
    shootBox(ui::BoxKind::Information, "MAIN_NO_DEVICE_PROMPT", QStringLiteral("message"));
    w.hub().onCommand(app::command::kChinese);
    shootBox(ui::BoxKind::Question, "MAIN_PROMPT_DEFAULT", QStringLiteral("question_chinese"));
    w.hub().onCommand(app::command::kEnglish);
}

} // namespace tarvik::gallery
