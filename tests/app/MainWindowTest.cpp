// The main window's wiring on the offscreen platform: controls by skin key at the skin's rectangles, the
// start hidden in the notification area, Enter and Escape, tooltips, Apply with its busy pictures and
// no input meanwhile, the language switch, the tray icon, the menus, the mode list's arrows.
#include "tests/app/WindowFixture.h"

#include "app/AboutBox.h"
#include "app/TrayIcon.h"
#include "keyboard/KeyAssignment.h"
#include "ui/CPngButton.h"
#include "ui/ClickablePicture.h"
#include "ui/SkinRect.h"

#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QToolTip>

#include <future>
#include <set>

namespace tarvik::app::test {
namespace {

using ui::CPngButton;

QString keyText(const QMenu& menu, int index) {
    return menu.actions().at(index)->text();
}

TEST_F(WindowTest, EveryControlIsNamedByItsSkinKeyAndSitsAtItsRectangle) {
    start();
    const IniFile layout = IniFile::load(programFolder / "Skins" / "Main.ini");
    // The lighting panel places its own controls (the direction controls move with the mode).
    std::set<const QWidget*> panel;
    for (int id = 1100; id < 1300; ++id) {
        panel.insert(window->subWindows()->lightingPanel().control(id));
    }
    int checked = 0;
    for (const std::u16string& key : layout.keys(ui::kButtonInfoSection)) {
        const QString name = QString::fromStdU16String(key);
        auto* w = window->findChild<QWidget*>(name);
        if (w == nullptr || panel.contains(w)) {
            continue;
        }
        const ui::SkinRect r = ui::readSkinRect(layout, key);
        EXPECT_EQ(w->geometry(), QRect(r.x, r.y, r.w, r.h)) << name.toStdString();
        ++checked;
    }
    // 104 keys, 9 G keys, Fn, 30 other buttons, the report-rate caption and the busy picture.
    EXPECT_EQ(checked, 104 + 9 + 1 + 30 + 2);
    for (const keyboard::KeyButton& k : keyboard::KeyButtons()) {
        EXPECT_EQ(window->buttonById(k.controlId)->objectName().toStdString(),
                  keyboard::SkinNameOfButton(k.controlId));
    }
    EXPECT_EQ(window->size(), QSize(1300, 716));
}

TEST_F(WindowTest, StartsHiddenInTheNotificationAreaWithItsCaption) {
    start();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTag(), MAIN_WINDOW_TAG);
    EXPECT_EQ(tagged, 1);
    EXPECT_EQ(eventsCreated, 1);
    EXPECT_TRUE(window->trayIcon().created());
    EXPECT_EQ(window->trayIcon().iconId(), 128);
    EXPECT_EQ(window->trayIcon().tooltip(), QStringLiteral("Halden Board Q7"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Gaming Keyboard Settings"));
    EXPECT_FALSE(window->button("CONTROL2_APPLY")->isEnabled());
    EXPECT_FALSE(window->button("FUNC_SWITCH")->isHidden()); // the colour-keys switch is offered
    EXPECT_EQ(state.mainWindow.load(), &window->port());
    // Opening it without a keyboard only says so.
    window->port().sendMessage(device::MSG_OPEN, device::kCodeOpen);
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"MAIN_NO_DEVICE_PROMPT"});
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTest, AHiddenWindowKeepsNoPicturesAndIsStyledFromItsFirstShow) {
    start();
    arrive();
    auto withPictures = [&] {
        int n = 0;
        for (CPngButton* b : window->findChildren<CPngButton*>()) {
            n += b->hasPictures() ? 1 : 0;
        }
        return n;
    };
    const int buttons = static_cast<int>(window->findChildren<CPngButton*>().size());
    EXPECT_EQ(withPictures(), 0);
    EXPECT_TRUE(window->backgroundPicture().isNull());
    EXPECT_TRUE(window->styleSheet().isEmpty());
    window->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(withPictures(), buttons);
    EXPECT_FALSE(window->backgroundPicture().isNull());
    EXPECT_FALSE(window->styleSheet().isEmpty());
    // Drawn as before: the key's face is not the black of a button without pictures.
    const QImage key = window->button("KEY_01E")->grab().toImage();
    EXPECT_GT(qGray(key.pixel(key.width() / 2, key.height() / 4)), 20);
    // A dialog of the window, made while it showed, belongs to it again after the window was hidden and
    // made anew by the window system.
    QDialog dialog(window);
    dialog.show();
    dialog.hide();
    window->hideWindow();
    EXPECT_EQ(withPictures(), 0);
    QTRY_VERIFY(!window->testAttribute(Qt::WA_WState_Created));
    window->showWindow();
    EXPECT_EQ(withPictures(), buttons);
    ASSERT_NE(window->windowHandle(), nullptr);
    EXPECT_EQ(dialog.windowHandle()->transientParent(), window->windowHandle());
}

TEST_F(WindowTest, EnterAndEscapeDoNotCloseTheShownWindow) {
    start();
    arrive();
    window->port().sendMessage(device::MSG_OPEN, device::kCodeOpen);
    ASSERT_TRUE(window->isVisible());
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(window, static_cast<Qt::Key>(key));
        QTest::keyClick(window->button("KEY_01E"), static_cast<Qt::Key>(key));
    }
    EXPECT_TRUE(window->isVisible());
}

TEST_F(WindowTest, KeyButtonsShowTheirAssignmentAndItsTooltip) {
    start();
    arrive();
    {
        auto lock = store.lockKeyData();
        keyboard::KeyAssignment r;
        r.type = keyboard::ASSIGN_SINGLE_KEY;
        r.value = 0x30; // B
        store.working().block().profile(0)[0x1E] = r;
    }
    window->hub().assignmentsChanged();
    CPngButton* a = window->button("KEY_01E");
    EXPECT_TRUE(a->isSelected());
    EXPECT_FALSE(a->tipText().isEmpty());
    EXPECT_TRUE(window->button("CONTROL2_APPLY")->isEnabled());
    EXPECT_FALSE(window->button("KEY_030")->isSelected());

    window->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    a->setTipDelay(20);
    a->setHover(true);
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000));
    EXPECT_EQ(QToolTip::text(), a->tipText());
    a->setHover(false);
}

TEST_F(WindowTest, ApplyShowsTheBusyPicturesAndTakesNoInputUntilTheKeyboardIsWritten) {
    int dialogs = 0;
    start();
    window->hooks().keyDialog = [&](const KeyDialogRequest&, QRect) { ++dialogs; };
    arrive();
    window->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->hub().edits().edit([](profiles::WorkingCopy& w) {
        w.block().profile(0)[0x1E] = keyboard::KeyAssignment{keyboard::ASSIGN_SINGLE_KEY, 0, 0x30};
    });
    window->hub().assignmentsChanged();

    // Hold the device worker so the download cannot finish yet.
    std::promise<void> release;
    std::shared_future<void> held = release.get_future().share();
    worker.post([held] { held.wait_for(std::chrono::seconds(30)); });
    QTest::mouseClick(window->button("CONTROL2_APPLY"), Qt::LeftButton);
    EXPECT_TRUE(window->hub().busy());
    EXPECT_TRUE(window->busyPicture()->isVisible());
    EXPECT_TRUE(window->timerActive(kTimerBusy));
    const qint64 first = window->busyPicture()->picture().cacheKey();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->busyPicture()->picture().cacheKey() != first; }, 5000));
    QTest::mouseClick(window->button("KEY_01E"), Qt::LeftButton);
    QTest::keyClick(window, Qt::Key_F1);
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(opened.empty());

    release.set_value();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->hub().busy(); }, 10000));
    EXPECT_FALSE(window->busyPicture()->isVisible());
    EXPECT_FALSE(window->timerActive(kTimerBusy));
    EXPECT_FALSE(window->button("CONTROL2_APPLY")->isEnabled());
    QTest::mouseClick(window->button("KEY_01E"), Qt::LeftButton);
    EXPECT_EQ(dialogs, 1);
}

TEST_F(WindowTest, ALanguageSwitchReTextsTheWindowTheTrayAndItsMenu) {
    start();
    arrive();
    window->aboutBox().open();
    const QString englishIntro = window->aboutBox().introText();
    window->trayIcon().rebuildMenu();
    EXPECT_EQ(keyText(*window->trayIcon().menu(), 0), QStringLiteral("Open"));

    window->hub().onCommand(command::kChinese);
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("游戏键盘设置"));
    EXPECT_EQ(window->button("FUNC_PROFILE1")->text(), QString::fromUtf8("配置1"));
    EXPECT_EQ(window->button("CONTROL2_APPLY")->text(), QString::fromUtf8("应用"));
    EXPECT_EQ(window->button("CONTROL_CLOSE")->tipText(), QString::fromUtf8("关闭"));
    EXPECT_EQ(window->button("FUNC_PROFILES")->text(), QString::fromUtf8("配置1"));
    EXPECT_EQ(window->reportRateCaption()->text(), QString::fromUtf8("回报率"));
    EXPECT_NE(window->aboutBox().introText(), englishIntro);
    EXPECT_EQ(window->aboutBox().okText(), QString::fromUtf8("确定"));
    window->trayIcon().rebuildMenu();
    EXPECT_EQ(keyText(*window->trayIcon().menu(), 0), QString::fromUtf8("打开"));
    EXPECT_EQ(keyText(*window->trayIcon().menu(), 2), QString::fromUtf8("退出"));
    // The choice is kept: the next start reads it.
    EXPECT_EQ(ui::storedLanguage(ui::Language::instance().files()), ui::TextTable::kChinese);

    window->hub().onCommand(command::kEnglish);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Gaming Keyboard Settings"));
    EXPECT_EQ(window->button("FUNC_PROFILE1")->text(), QStringLiteral("Profile 1"));
    EXPECT_EQ(window->reportRateCaption()->text(), QStringLiteral("Report rate"));
    EXPECT_EQ(window->aboutBox().introText(), englishIntro);
    EXPECT_EQ(window->aboutBox().okText(), QStringLiteral("OK"));
}

TEST_F(WindowTest, TheTrayIconFollowsTheKeyboardAndOpensTheWindowOnAClick) {
    start();
    window->port().setIcon(141);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->trayIcon().iconId() == 141; }, 5000));
    EXPECT_FALSE(window->trayIcon().iconFor(141).isNull());
    EXPECT_FALSE(window->trayIcon().iconFor(142).isNull());
    // An XEmbed double click: the press that triggers and the double click are one gesture, one prompt.
    emit window->trayIcon().systemIcon()->activated(QSystemTrayIcon::Trigger);
    emit window->trayIcon().systemIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"MAIN_NO_DEVICE_PROMPT"});
    EXPECT_FALSE(window->isVisible());
    arrive();
    emit window->trayIcon().systemIcon()->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_FALSE(window->isVisible());
    // A StatusNotifier host's left click.
    emit window->trayIcon().systemIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window->isVisible());
    window->trayIcon().rebuildMenu();
    const QMenu& menu = *window->trayIcon().menu();
    ASSERT_EQ(menu.actions().size(), 3);
    EXPECT_EQ(menu.defaultAction(), menu.actions().at(0));
    menu.actions().at(1)->trigger(); // About
    EXPECT_TRUE(window->aboutBox().isVisible());
    menu.actions().at(1)->trigger();
    EXPECT_EQ(window->findChildren<AboutBox*>().size() + (window->aboutBox().parent() == nullptr ? 1 : 0),
              1u);
}

TEST_F(WindowTest, TheMenuButtonOffersTheProfileFilesAndTheLanguages) {
    start();
    arrive();
    window->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTest::mouseClick(window->button("CONTROL_MENU"), Qt::LeftButton);
    QMenu* menu = window->lastMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 5000));
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 14);
    // Undo and Redo come last, greyed while there is nothing to take back.
    EXPECT_EQ(actions[12]->text(), QStringLiteral("Undo (Ctrl+Z)"));
    EXPECT_FALSE(actions[12]->isEnabled());
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Import Profile"));
    EXPECT_EQ(actions[4]->text(), QStringLiteral("Language"));
    ASSERT_NE(actions[4]->menu(), nullptr);
    EXPECT_EQ(actions[4]->menu()->actions().at(1)->text(), QStringLiteral("English"));
    EXPECT_TRUE(actions[4]->menu()->actions().at(1)->isChecked());
    EXPECT_EQ(actions[10]->text(), QStringLiteral("Profiles"));
    ASSERT_NE(actions[10]->menu(), nullptr);
    EXPECT_EQ(actions[10]->menu()->actions().size(), 5);
    // The unchecked "Start with the desktop" shows its box: its row's left edge differs from that of
    // "Firmware Update...", which has no box.
    ASSERT_TRUE(actions[6]->isCheckable());
    ASSERT_FALSE(actions[6]->isChecked());
    const QImage shown = menu->grab().toImage();
    const qreal ratio = shown.devicePixelRatio();
    auto checkColumn = [&](QAction* a) {
        const QRect r = menu->actionGeometry(a);
        return shown.copy(QRect(QPoint(r.left(), r.top()) * ratio, QSize(22, r.height()) * ratio));
    };
    EXPECT_NE(checkColumn(actions[6]), checkColumn(actions[5]));
    files.next = home / "mine.tvk";
    actions[1]->trigger(); // Export
    menu->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(home / "mine.tvk"); }, 5000));
    EXPECT_EQ(files.filters.back(), "(*.tvk)|*.tvk|(*.*)|*.*||");
}

TEST_F(WindowTest, HelpLinksMinimizeAndCloseButtons) {
    start();
    arrive();
    window->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTest::mouseClick(window->button("TEMBRA_LINK"), Qt::LeftButton);
    QTest::mouseClick(window->button("KEY_INSTARGRAM"), Qt::LeftButton);
    QTest::mouseClick(window->button("CONTROL_HELP"), Qt::LeftButton);
    QTest::keyClick(window, Qt::Key_F1);
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://example.org/tarvik/")));
    EXPECT_EQ(opened[1], QUrl(QStringLiteral("https://example.org/tarvik/gallery")));
    EXPECT_TRUE(opened[2].isLocalFile());
    EXPECT_TRUE(opened[2].toLocalFile().endsWith(QStringLiteral("Help/index.html")));
    EXPECT_EQ(opened[3], opened[2]);
    EXPECT_EQ(window->button("CONTROL_HELP")->tipText(), QStringLiteral("Help"));
    EXPECT_EQ(window->button("TEMBRA_LINK")->tipText(), QStringLiteral("https://example.org/tarvik/"));

    QTest::mouseClick(window->button("CONTROL_CLOSE"), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->trayIcon().created());
    EXPECT_TRUE(window->hub().exiting());
}

TEST_F(WindowTest, TheModeListDoesNotStepThroughModesByArrowKeys) {
    start();
    arrive();
    window->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    auto* modes = window->findChild<QComboBox*>(QStringLiteral("CONTROL_XGcombox"));
    ASSERT_NE(modes, nullptr);
    ASSERT_GT(modes->count(), 2); // the keyboard's effects were read and listed
    modes->show();
    modes->setFocus();
    modes->setCurrentIndex(1);
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Right, Qt::Key_Left}) {
        QTest::keyClick(modes, k);
        EXPECT_EQ(modes->currentIndex(), 1);
    }
}

TEST_F(WindowTest, AMissingStatePicturePlacesNoControl) {
    // A program folder whose skin lacks one picture.
    const std::filesystem::path copy = home / "program";
    std::filesystem::create_directories(copy);
    std::filesystem::copy(programFolder / "Skins", copy / "Skins", std::filesystem::copy_options::recursive);
    std::filesystem::remove(copy / "Skins" / "main_over.jpg");
    std::vector<std::filesystem::path> missing;
    auto s = setup();
    s.programFolder = copy;
    s.onMissingPicture = [&](const std::filesystem::path& p) { missing.push_back(p); };
    start(std::move(s));
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(missing[0].filename(), "main_over.jpg");
    EXPECT_EQ(window->button("KEY_01E"), nullptr);
    EXPECT_EQ(window->findChildren<CPngButton*>().size(), 0);
}

} // namespace
} // namespace tarvik::app::test
