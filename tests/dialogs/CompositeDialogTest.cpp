// The key assignment dialog's window, offscreen, with the generated skins of the program folder. Each
// test also leaves a picture of what it looked at in the build tree (screens/composite/).
#include "dialogs/Tarvik_DlgComposite.h"

#include "TestPaths.h"
#include "tests/dialogs/FakeCompositeStore.h"
#include "tests/macros/RecordingPrompter.h"
#include "ui/CPngButton.h"
#include "ui/TextTable.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace tarvik::dialogs {
namespace {

namespace fs = std::filesystem;
using test::FakeCompositeStore;
using test::macroWithId;
using test::recordOf;

constexpr keyboard::KeySlot kSlotA = 0x1E;
constexpr uint32_t kNativeA = 30 + 8; // evdev code + 8, as X11 and Wayland report it
constexpr uint32_t kNativeEsc = 1 + 8;
constexpr uint32_t kNativeVolumeUp = 115 + 8;

fs::path skins() {
    return fs::path(TARVIK_TEST_BIN_DIR) / "Skins";
}

// A key event as the window system delivers it: QTest's own key events carry no native scan code.
void sendKey(QWidget& to, QEvent::Type type, Qt::Key key, uint32_t nativeScanCode, const QString& text = {},
             bool autoRepeat = false) {
    QKeyEvent e(type, key, Qt::NoModifier, nativeScanCode, 0, 0, text, autoRepeat);
    QCoreApplication::sendEvent(&to, &e);
}

// Runs the event loop until the condition holds, at most timeoutMs.
template <typename Condition> bool waitUntil(Condition condition, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The dialog as it appears on screen, pixels outside its outline transparent.
void shoot(QWidget& w, const char* name) {
    const QString dir = QStringLiteral(TARVIK_SCREEN_DIR "/composite");
    QDir().mkpath(dir);
    QImage image(w.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        if (!w.mask().isEmpty()) {
            p.setClipRegion(w.mask());
        }
        w.render(&p, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    ASSERT_TRUE(image.save(dir + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png")));
}

class CompositeDialog : public ::testing::Test {
protected:
    CompositeDialog()
        : settingsFile(fs::path(std::getenv("HOME")) / "dialogs" / "ui" / "tarvik.ini"),
          settings(settingsFile),
          dialog(nullptr, store, prompter, settings, hooks(), skins(), skins() / "language.ini") {}

    static void SetUpTestSuite() { ui::uiTexts().load(skins() / "language.ini"); }

    void SetUp() override {
        fs::remove_all(settingsFile.parent_path());
        store.list = {
            macroWithId(1, u"Build order", 2, {{120, 0x1D, 0}, {30, 0x2E, 0}, {60, 0x2E, 1}, {0, 0x1D, 1}}),
            macroWithId(2, u"Salute")};
    }
    void TearDown() override {
        if (dialog.isVisible()) {
            dialog.reject();
        }
    }

    Tarvik_DlgComposite::Hooks hooks() {
        Tarvik_DlgComposite::Hooks h;
        h.macroCapacity = [this] { return capacity; };
        h.assigned = [this](const AssignOutcome& out) { assigned.push_back(out); };
        h.applyToKeyboard = [this] { ++keyboardWrites; };
        h.closed = [this](int controlId) { closedFor.push_back(controlId); };
        h.notice = [this](const QString& text) { notices << text; };
        h.openHelp = [this] { ++helpOpened; };
        h.startOnScreenKeyboard = [this] { ++oskStarted; };
        h.missingPicture = [this](const fs::path& p) { missing.push_back(p); };
        return h;
    }

    void open(keyboard::KeySlot slot, const keyboard::KeyAssignment& record, bool macroOnly = false,
              QRect button = QRect(40, 40, 40, 40)) {
        store.records.at(slot) = record;
        dialog.openForSlot(slot, 1058, macroOnly, button);
        ASSERT_TRUE(dialog.isVisible());
        ASSERT_TRUE(missing.empty()) << missing.front();
    }

    template <typename W = QWidget> W& child(const char* name) {
        W* w = dialog.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return *w;
    }
    ui::CPngButton& button(const char* name) { return child<ui::CPngButton>(name); }
    void click(const char* name) { QTest::mouseClick(&button(name), Qt::LeftButton); }
    QAbstractItemModel& rows() { return *child<QTableView>("FUNC_MACRO_LIST2").model(); }

    FakeCompositeStore store;
    testing::RecordingPrompter prompter;
    fs::path settingsFile;
    profiles::SettingsStore settings;
    size_t capacity = 4096;
    std::vector<AssignOutcome> assigned;
    int keyboardWrites = 0;
    std::vector<int> closedFor;
    QStringList notices;
    int helpOpened = 0;
    int oskStarted = 0;
    std::vector<fs::path> missing;
    Tarvik_DlgComposite dialog;
};

TEST_F(CompositeDialog, ATabShowsItsPanel) {
    open(kSlotA, {});
    EXPECT_TRUE(child("FUNC_KEY_INPUT").isVisible());
    EXPECT_TRUE(button("CONTROL_KEY").isSelected());
    shoot(dialog, "key");

    struct Case {
        const char* tab;
        const char* shown;
        std::vector<const char*> hidden;
        uint16_t type;
    };
    const Case cases[] = {
        {"CONTROL_MEDIA",
         "FUNC_MEDIA_SELECT",
         {"FUNC_KEY_INPUT", "FUNC_MACRO_LIST", "FUNC_FUNCTION_SELECT"},
         7},
        {"CONTROL_FUNCTION", "FUNC_FUNCTION_SELECT", {"FUNC_MEDIA_SELECT", "FUNC_MACRO_LIST2"}, 8},
        {"CONTROL_MACRO",
         "FUNC_MACRO_LIST2",
         {"FUNC_FUNCTION_SELECT", "TISHI_SINGLE_STATIC", "FUNC_KEY_INPUT"},
         4},
        {"CONTROL_KEY", "FUNC_KEY_INPUT", {"FUNC_MACRO_LIST2", "FUNC_MACRO_RECORD", "FUNC_MACRO_MEMORY"}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tab);
        click(c.tab);
        EXPECT_TRUE(child(c.shown).isVisible());
        for (const char* h : c.hidden) {
            EXPECT_FALSE(child(h).isVisible()) << h;
        }
        EXPECT_EQ(dialog.model().panelType(), c.type);
        EXPECT_TRUE(button(c.tab).isSelected()) << "the tab of the shown panel is drawn pressed";
        EXPECT_EQ(dialog.keyFilterInstalled(), c.type == 2)
            << "keys are captured on the single-key panel only";
        shoot(dialog, c.tab);
    }
}

TEST_F(CompositeDialog, WhereTheDesktopGivesNoHoldOfTheKeyboardTheFieldSaysSo) {
    // The offscreen platform has no keyboard grab: the capture runs without a hold.
    open(kSlotA, {});
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    ASSERT_TRUE(dialog.keyFilterInstalled());
    EXPECT_FALSE(dialog.keyboardHeld());
    QLabel& hint = child<QLabel>("COMPOSITE_KEYS_KEPT");
    EXPECT_TRUE(QTest::qWaitFor([&] { return hint.isVisible(); }, 2000));
    EXPECT_GE(hint.y(), child("FUNC_KEY_INPUT").geometry().bottom()) << "the hint is under the field";
    shoot(dialog, "keys_kept_hint");
    click("CONTROL_MEDIA");
    EXPECT_FALSE(hint.isVisible()) << "no capture on the media panel";
}

TEST_F(CompositeDialog, AKeyPressedOnTheSingleKeyPanelIsCaptured) {
    open(kSlotA, {});
    ASSERT_TRUE(dialog.keyFilterInstalled());
    sendKey(dialog, QEvent::KeyPress, Qt::Key_B, 48 + 8, QStringLiteral("b"));
    EXPECT_EQ(child<QLineEdit>("FUNC_KEY_INPUT").text(), QStringLiteral("B"));
    sendKey(dialog, QEvent::KeyRelease, Qt::Key_B, 48 + 8, QStringLiteral("b"));
    sendKey(dialog, QEvent::KeyPress, Qt::Key_A, kNativeA, QStringLiteral("a"));
    EXPECT_EQ(child<QLineEdit>("FUNC_KEY_INPUT").text(), QStringLiteral("A"));
    shoot(dialog, "key_captured");

    // The Windows key comes through the low-level hook alone, and shows as well.
    sendKey(dialog, QEvent::KeyPress, Qt::Key_Super_L, 125 + 8);
    EXPECT_EQ(child<QLineEdit>("FUNC_KEY_INPUT").text(), QStringLiteral("Win"));

    // Escape is captured too, and does not close the dialog.
    sendKey(dialog, QEvent::KeyPress, Qt::Key_Escape, kNativeEsc);
    EXPECT_EQ(child<QLineEdit>("FUNC_KEY_INPUT").text(), QStringLiteral("Esc"));
    EXPECT_TRUE(dialog.isVisible());

    // A media key keeps working: the event goes on to the widget.
    QLineEdit target;
    bool reached = false;
    struct Probe : QObject {
        bool* flag;
        explicit Probe(bool* f) : flag(f) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress) {
                *flag = true;
            }
            return false;
        }
    } probe(&reached);
    target.installEventFilter(&probe);
    sendKey(target, QEvent::KeyPress, Qt::Key_VolumeUp, kNativeVolumeUp);
    EXPECT_TRUE(reached);
    EXPECT_EQ(child<QLineEdit>("FUNC_KEY_INPUT").text(), QStringLiteral("Esc"));

    // OK writes Esc for the A key and closes.
    click("CONTROL_OK");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.keyFilterInstalled());
    EXPECT_EQ(store.records[kSlotA], recordOf(2, 0x001));
    ASSERT_EQ(assigned.size(), 1u);
    EXPECT_TRUE(assigned[0].written);
}

TEST_F(CompositeDialog, ApplyWritesAndStaysOpenAndAnExitAsksOnlyWhileAnEditIsNotWritten) {
    open(kSlotA, {});
    ui::CPngButton& apply = button("CONTROL_APPLY");
    EXPECT_TRUE(apply.isVisible());
    EXPECT_EQ(apply.text(), QStringLiteral("Apply"));
    EXPECT_FALSE(apply.isEnabled());
    EXPECT_TRUE(dialog.unsavedEditsQuestion().empty());

    sendKey(dialog, QEvent::KeyPress, Qt::Key_B, 48 + 8, QStringLiteral("b"));
    EXPECT_TRUE(apply.isEnabled());
    EXPECT_EQ(dialog.unsavedEditsQuestion(), "EXIT_UNSAVED_KEY");
    shoot(dialog, "apply_enabled");
    click("CONTROL_APPLY");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(store.records[kSlotA], recordOf(2, 0x030));
    EXPECT_EQ(assigned.size(), 1u);
    EXPECT_EQ(keyboardWrites, 1);
    EXPECT_FALSE(apply.isEnabled());
    EXPECT_TRUE(dialog.unsavedEditsQuestion().empty());

    // Keys typed into a menu over the dialog are the menu's.
    {
        QMenu menu;
        menu.addAction(QStringLiteral("Exit"));
        menu.popup(QPoint(0, 0));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == &menu; }, 5000));
        sendKey(dialog, QEvent::KeyPress, Qt::Key_A, kNativeA, QStringLiteral("a"));
        EXPECT_EQ(child<QLineEdit>("FUNC_KEY_INPUT").text(), QStringLiteral("B"));
        menu.close();
    }

    // A later edit kept for an exit: written as OK writes it, the keyboard left to the one who asked.
    click("CONTROL_MEDIA");
    EXPECT_TRUE(apply.isEnabled());
    dialog.saveEdits();
    EXPECT_EQ(store.records[kSlotA], recordOf(7, 0));
    EXPECT_EQ(keyboardWrites, 1);
    EXPECT_TRUE(dialog.requestClose());
    EXPECT_EQ(closedFor, std::vector<int>{1058});
}

TEST_F(CompositeDialog, RecordThenTwoKeyEventsAddsTwoRows) {
    open(kSlotA, recordOf(4, 2));
    ASSERT_EQ(child<QComboBox>("FUNC_MACRO_LIST").currentText(), QStringLiteral("Salute"));
    EXPECT_EQ(rows().rowCount(), 0);
    EXPECT_FALSE(dialog.keyFilterInstalled());

    click("FUNC_MACRO_RECORD");
    EXPECT_TRUE(dialog.keyFilterInstalled());
    EXPECT_FALSE(button("FUNC_MACRO_ADD").isEnabled()) << "Add waits while recording";
    EXPECT_FALSE(child<QComboBox>("FUNC_MACRO_LIST").isEnabled());
    sendKey(dialog, QEvent::KeyPress, Qt::Key_A, kNativeA, QStringLiteral("a"));
    sendKey(dialog, QEvent::KeyRelease, Qt::Key_A, kNativeA, QStringLiteral("a"), true); // X11 auto-repeat
    sendKey(dialog, QEvent::KeyPress, Qt::Key_A, kNativeA, QStringLiteral("a"), true);
    sendKey(dialog, QEvent::KeyRelease, Qt::Key_A, kNativeA, QStringLiteral("a"));
    ASSERT_EQ(rows().rowCount(), 2);
    EXPECT_EQ(rows().index(0, 0).data().toString(), QStringLiteral("A"));
    EXPECT_EQ(rows().index(0, 1).data().toString(), QStringLiteral("\u2193"));
    EXPECT_EQ(rows().index(1, 1).data().toString(), QStringLiteral("  \u2191"));
    EXPECT_EQ(rows().index(1, 2).data().toString(), QStringLiteral("0"));
    shoot(dialog, "macro_recording");

    click("FUNC_MACRO_RECORD");
    EXPECT_FALSE(dialog.keyFilterInstalled());
    EXPECT_TRUE(button("FUNC_MACRO_ADD").isEnabled());

    click("CONTROL_OK");
    ASSERT_EQ(store.list.size(), 2u);
    EXPECT_EQ(store.list[1].actionCount(), 2u);
    EXPECT_EQ(store.records[kSlotA], recordOf(4, 2, 1));
}

TEST_F(CompositeDialog, MacroPanelCommands) {
    open(kSlotA, recordOf(4, 1));
    auto& combo = child<QComboBox>("FUNC_MACRO_LIST");
    EXPECT_EQ(rows().rowCount(), 4);
    EXPECT_EQ(child<QLineEdit>("FUNC_MACRO_CYCLES").text(), QStringLiteral("2"));
    shoot(dialog, "macro");

    // The repeat count is corrected while typed.
    auto& cycles = child<QLineEdit>("FUNC_MACRO_CYCLES");
    cycles.selectAll();
    QTest::keyClicks(&cycles, QStringLiteral("300"));
    EXPECT_EQ(cycles.text(), QStringLiteral("255"));

    // Renaming by typing into the combo.
    combo.lineEdit()->selectAll();
    QTest::keyClicks(combo.lineEdit(), QStringLiteral("Combo"));
    EXPECT_EQ(combo.itemText(0), QStringLiteral("Combo"));
    EXPECT_EQ(combo.count(), 2);

    click("FUNC_MACRO_ADD");
    EXPECT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.currentText(), QStringLiteral("Macro1"));
    EXPECT_EQ(rows().rowCount(), 0);

    // Deleting every macro leaves the seven action buttons disabled.
    for (int i = 0; i < 3; ++i) {
        click("FUNC_MACRO_DELETE");
    }
    EXPECT_EQ(combo.count(), 0);
    for (const char* b : {"FUNC_MACRO_RECORD", "FUNC_MACRO_DELETE2", "FUNC_MACRO_CLEAR", "FUNC_MACRO_UP_TOP",
                          "FUNC_MACRO_UP", "FUNC_MACRO_DOWN", "FUNC_MACRO_DOWN_BOTTOM"}) {
        EXPECT_FALSE(button(b).isEnabled()) << b;
    }
    shoot(dialog, "macro_empty");

    // A name typed into the empty combo creates the first macro.
    QTest::keyClicks(combo.lineEdit(), QStringLiteral("x"));
    EXPECT_EQ(combo.count(), 1);
    EXPECT_EQ(combo.itemText(0), QStringLiteral("x"));
    EXPECT_TRUE(button("FUNC_MACRO_RECORD").isEnabled());

    // Enter in the combo neither adds an item nor closes the dialog.
    QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
    EXPECT_EQ(combo.count(), 1);
    EXPECT_TRUE(dialog.isVisible());

    dialog.reject();
    EXPECT_EQ(store.list.size(), 2u) << "Cancel hands nothing back";
    EXPECT_EQ(store.assignCount, 0);
}

TEST_F(CompositeDialog, InPlaceDelayEditAboveTheMaximum) {
    open(kSlotA, recordOf(4, 1));
    auto& list = child<QTableView>("FUNC_MACRO_LIST2");
    const QModelIndex delay = rows().index(0, 2);
    list.setCurrentIndex(delay);
    list.edit(delay);
    auto* editor = list.findChild<QLineEdit*>(QStringLiteral("DELAY_EDITOR"));
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("50000"));
    QTest::keyClick(editor, Qt::Key_Return); // the view commits on its next turn of the event loop
    EXPECT_TRUE(waitUntil([&] { return notices.size() == 1; }));
    EXPECT_EQ(rows().index(0, 2).data().toString(), QStringLiteral("40000"));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0], QStringLiteral("Maximum delay time is: 40000(ms)"));

    // Starting a delay edit stops recording.
    click("FUNC_MACRO_RECORD");
    ASSERT_TRUE(dialog.keyFilterInstalled());
    list.edit(rows().index(1, 2));
    EXPECT_FALSE(dialog.model().panel().recording());
    EXPECT_FALSE(dialog.keyFilterInstalled());
    EXPECT_FALSE(button("FUNC_MACRO_RECORD").isSelected());
}

TEST_F(CompositeDialog, EnterAndEscapeStayAndF1OpensHelpUnlessRecording) {
    open(kSlotA, recordOf(4, 1));
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(&dialog, key);
        EXPECT_TRUE(dialog.isVisible()) << key;
    }
    QTest::keyClick(&dialog, Qt::Key_F1);
    EXPECT_EQ(helpOpened, 1);
    click("FUNC_MACRO_RECORD");
    sendKey(dialog, QEvent::KeyPress, Qt::Key_F1, 59 + 8);
    EXPECT_EQ(helpOpened, 1) << "F1 is recorded instead";
    EXPECT_EQ(rows().index(rows().rowCount() - 1, 0).data().toString(), QStringLiteral("F1"));
}

TEST_F(CompositeDialog, AMissingPictureEndsTheFirstOpening) {
    const fs::path copy = fs::path(std::getenv("HOME")) / "dialogs" / "skins-without-one-picture";
    fs::remove_all(copy);
    fs::create_directories(copy);
    for (const auto& entry : fs::directory_iterator(skins())) {
        if (entry.path().filename() != "macro2_over.jpg") {
            fs::copy_file(entry.path(), copy / entry.path().filename());
        }
    }
    std::vector<fs::path> reported;
    Tarvik_DlgComposite::Hooks h;
    h.missingPicture = [&](const fs::path& p) { reported.push_back(p); };
    Tarvik_DlgComposite other(nullptr, store, prompter, settings, h, copy, copy / "language.ini");
    other.openForSlot(kSlotA, 1058, false, QRect(40, 40, 40, 40));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].filename(), "macro2_over.jpg");
    other.reject();
}

TEST_F(CompositeDialog, MemoryMeterTurnsRedBeforeApply) {
    capacity = 16 + 2 * 2 + (4 + 16 + 22) + (4 + 12); // the two macros with names, exactly
    open(kSlotA, recordOf(4, 1));
    auto& meter = child("FUNC_MACRO_MEMORY");
    EXPECT_TRUE(meter.isVisible());
    EXPECT_TRUE(meter.toolTip().contains(QStringLiteral("78 of 78 bytes"))) << meter.toolTip().toStdString();

    capacity = 60; // room for the actions but not the names
    click("FUNC_MACRO_CLEAR");
    EXPECT_EQ(rows().rowCount(), 4) << "No keeps them";
    click("FUNC_MACRO_RECORD");
    sendKey(dialog, QEvent::KeyPress, Qt::Key_A, kNativeA, QStringLiteral("a"));
    click("FUNC_MACRO_RECORD");
    shoot(dialog, "macro_names_dropped");
    EXPECT_TRUE(meter.toolTip().contains(QStringLiteral("48 of 60 bytes"))) << meter.toolTip().toStdString();

    capacity = 40;
    click("FUNC_MACRO_RECORD");
    sendKey(dialog, QEvent::KeyRelease, Qt::Key_A, kNativeA, QStringLiteral("a"));
    click("FUNC_MACRO_RECORD");
    shoot(dialog, "macro_too_long");
    EXPECT_TRUE(meter.toolTip().contains(QStringLiteral("Macro space exceeds the hardware space")))
        << meter.toolTip().toStdString();
}

TEST_F(CompositeDialog, MacroOnlyForG9) {
    open(264, recordOf(7, 3), true);
    EXPECT_TRUE(child("FUNC_MACRO_LIST2").isVisible());
    for (const char* b : {"CONTROL_KEY", "CONTROL_MEDIA", "CONTROL_FUNCTION", "CONTROL_CLEAR"}) {
        EXPECT_FALSE(button(b).isEnabled()) << b;
        EXPECT_TRUE(button(b).text().isEmpty()) << b;
    }
    EXPECT_EQ(child<QLabel>("KEY_SETTING").text(), QStringLiteral("Macro Editing"));
    shoot(dialog, "macro_only");
    dialog.reject();

    // Reused for an ordinary key: the tabs are back.
    open(kSlotA, {});
    EXPECT_TRUE(button("CONTROL_MEDIA").isEnabled());
    EXPECT_EQ(button("CONTROL_MEDIA").text(), QStringLiteral("Multimedia"));
    EXPECT_EQ(child<QLabel>("KEY_SETTING").text(), QStringLiteral("Key Settings"));
}

TEST_F(CompositeDialog, OpensBesideTheButtonAndClosesOnRequest) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect nearCorner(screen.right() - 60, screen.bottom() - 60, 40, 40);
    open(kSlotA, {}, false, nearCorner);
    EXPECT_EQ(dialog.pos(), QPoint(nearCorner.left() - dialog.width(), nearCorner.top() - dialog.height()));
    // Named in the window manager's lists and the task switcher, not after the program.
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Key assignment"));

    click("CONTROL_OSK");
    EXPECT_EQ(oskStarted, 1);
    EXPECT_TRUE(dialog.isOpen());
    EXPECT_TRUE(dialog.requestClose());
    EXPECT_FALSE(dialog.isOpen());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(store.assignCount, 0);
}

TEST_F(CompositeDialog, MediaAndFunctionChoicesAreWritten) {
    open(kSlotA, recordOf(7, 15));
    auto& media = child<QComboBox>("FUNC_MEDIA_SELECT");
    EXPECT_EQ(media.count(), 18);
    EXPECT_EQ(media.currentIndex(), 15);
    EXPECT_EQ(media.currentText(), QStringLiteral("My Computer"));
    shoot(dialog, "media");
    click("CONTROL_FUNCTION");
    auto& function = child<QComboBox>("FUNC_FUNCTION_SELECT");
    EXPECT_EQ(function.count(), 11);
    EXPECT_EQ(function.itemText(10), QStringLiteral("Zoom+"));
    function.setCurrentIndex(7);
    emit function.activated(7);
    click("CONTROL_OK");
    EXPECT_EQ(store.records[kSlotA], recordOf(8, 7));
}

TEST(CompositeDialogChinese, TextsComeFromTheActiveSection) {
    // The program folder's language file, switched to Chinese in a copy of the test's own.
    const fs::path dir = fs::path(std::getenv("HOME")) / "dialogs" / "chinese";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path language = dir / "language.ini";
    fs::copy_file(skins() / "language.ini", language);
    ASSERT_TRUE(ui::uiTexts().switchLanguage(language, ui::TextTable::kChinese));

    FakeCompositeStore store;
    store.list = {macroWithId(1, u"\u8FDE\u62DB", 1, {{80, 0x1E, 0}, {0, 0x1E, 1}})};
    testing::RecordingPrompter prompter;
    profiles::SettingsStore settings(dir / "tarvik.ini");
    Tarvik_DlgComposite::Hooks hooks;
    hooks.macroCapacity = [] { return size_t{0}; };
    Tarvik_DlgComposite dialog(nullptr, store, prompter, settings, hooks, skins(), language);
    dialog.openForSlot(kSlotA, 1058, false, QRect(40, 40, 40, 40));
    auto* tab = dialog.findChild<ui::CPngButton*>(QStringLiteral("CONTROL_KEY"));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->text(), QStringLiteral("\u5355\u952E"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("\u6309\u952E\u5206\u914D"));
    shoot(dialog, "chinese_key");
    QTest::mouseClick(dialog.findChild<ui::CPngButton*>(QStringLiteral("CONTROL_MACRO")), Qt::LeftButton);
    auto* meter = dialog.findChild<QWidget*>(QStringLiteral("FUNC_MACRO_MEMORY"));
    ASSERT_NE(meter, nullptr);
    EXPECT_FALSE(meter->toolTip().startsWith(QStringLiteral("Macro memory")))
        << "the meter speaks Chinese too";
    shoot(dialog, "chinese_macro");
    QTest::mouseClick(dialog.findChild<ui::CPngButton*>(QStringLiteral("CONTROL_MEDIA")), Qt::LeftButton);
    shoot(dialog, "chinese_media");
    dialog.reject();
    ui::uiTexts().load(skins() / "language.ini");
}

} // namespace
} // namespace tarvik::dialogs
