// The main window with its own sub-windows, offscreen: a key click opens the key dialog for the button's
// slot and OK enables Apply; profile buttons, the profile menu and the panel's on switch go through the
// switch (asking when there are edits, refused while the key dialog is open); the manager's Apply reloads
// the window; 32780 opens the update dialog; the exit and a lost keyboard close every open editor; the
// lighting panel, timer 1051, the colour-keys switch and "Start with the desktop".
#include "tests/app/WindowFixture.h"

#include "app/AboutBox.h"
#include "app/Autostart.h"
#include "app/SubWindows.h"
#include "app/TrayIcon.h"
#include "dialogs/KeyDialog.h"
#include "keyboard/KeyAssignment.h"
#include "lighting/LightingModes.h"
#include "lighting/LightingPanel.h"
#include "profiles/ProfileFiles.h"
#include "profiles/ProfileManagerDialog.h"
#include "ui/CPngButton.h"
#include "update/UpdateDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QTableWidget>

namespace tarvik::app::test {
namespace {

using ui::CPngButton;

size_t count(const std::vector<std::string>& list, const std::string& value) {
    return static_cast<size_t>(std::count(list.begin(), list.end(), value));
}

class WiringTest : public WindowTest {
protected:
    void show() {
        start();
        arrive();
        window->showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    SubWindows& sub() { return *window->subWindows(); }
    dialogs::KeyDialog& keyDialog() { return sub().keyDialog(); }
    CPngButton& dialogButton(QWidget& dialog, const char* key) {
        auto* b = dialog.findChild<CPngButton*>(QString::fromLatin1(key));
        EXPECT_NE(b, nullptr) << key;
        return *b;
    }
    // The keyboard's current on-board profile, as it keeps it.
    int keyboardProfile() const { return keyboard.store.config[device::kConfigCurrentProfile]; }
    size_t lightingRequests(uint8_t command) const { return keyboard.lighting.of(command).size(); }
    QMenu* menuOf(const std::function<void()>& open) {
        open();
        QMenu* m = window->lastMenu();
        EXPECT_TRUE(m != nullptr && QTest::qWaitFor([&] { return m->isVisible(); }, 5000));
        return m;
    }
    QAction* actionNamed(QMenu& menu, const QString& text) {
        for (QAction* a : menu.actions()) {
            if (a->text() == text) {
                return a;
            }
        }
        ADD_FAILURE() << "no menu entry " << text.toStdString();
        return nullptr;
    }
    void edit() {
        {
            auto lock = store.lockKeyData();
            keyboard::KeyAssignment r;
            r.type = keyboard::ASSIGN_SINGLE_KEY;
            r.value = 0x30;
            store.working().block().profile(0)[0x1E] = r;
        }
        window->hub().assignmentsChanged();
    }
};

TEST_F(WiringTest, AKeyClickOpensTheOneKeyDialogForTheButtonsSlotBesideItAndOkEnablesApply) {
    show();
    state.linkStatusMode.store(0x03); // G-key layer B
    CPngButton& g3 = *window->button("FUNC_G3");
    QTest::mouseClick(&g3, Qt::LeftButton);
    dialogs::KeyDialog& d = keyDialog();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    EXPECT_TRUE(d.isOpen());
    EXPECT_EQ(d.model().request().slot, 267);
    EXPECT_EQ(d.model().request().controlId, 1002);
    EXPECT_FALSE(d.model().macroOnly());
    EXPECT_EQ(d.windowModality(), Qt::WindowModal);
    // Beside the button: touching it, not covering it.
    const QRect button(g3.mapToGlobal(QPoint(0, 0)), g3.size());
    EXPECT_FALSE(d.frameGeometry().intersects(button));
    EXPECT_TRUE(d.x() == button.x() + button.width() || d.x() + d.width() == button.x());
    EXPECT_FALSE(window->button("CONTROL2_APPLY")->isEnabled());

    d.selectTab(dialogs::Panel::Media);
    QTest::mouseClick(&dialogButton(d, "CONTROL_OK"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !d.isVisible(); }, 5000));
    EXPECT_FALSE(d.isOpen());
    EXPECT_TRUE(window->button("CONTROL2_APPLY")->isEnabled());
    EXPECT_TRUE(g3.isSelected());
    EXPECT_FALSE(g3.tipText().isEmpty());
    {
        auto lock = store.lockKeyData();
        EXPECT_EQ(store.working().block().profile(0)[267].type, keyboard::ASSIGN_MEDIA);
    }

    // G9 opens the same dialog, on its macro only; there is one key dialog.
    QTest::mouseClick(window->button("FUNC_G9"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return d.isVisible(); }, 5000));
    EXPECT_TRUE(d.model().macroOnly());
    EXPECT_EQ(d.model().request().slot, 273);
    EXPECT_EQ(window->findChildren<dialogs::KeyDialog*>().size(), 1);
    // F1 in it opens the help page.
    QTest::keyClick(&d, Qt::Key_F1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].toLocalFile().endsWith(QStringLiteral("Help/index.html")));
    d.reject();
}

TEST_F(WiringTest, WhileTheKeyDialogIsOpenSwitchesAreRefusedAndALostKeyboardClosesIt) {
    show();
    QTest::mouseClick(window->button("KEY_01E"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return keyDialog().isVisible(); }, 5000));
    window->hub().onCommand(command::kProfileMenuFirst + 2);
    window->hub().onControl(control::kProfile1 + 2);
    ASSERT_TRUE(settle());
    EXPECT_EQ(count(prompter.shown, "PROFILE_SEELCT_PROMPT2"), 2u);
    EXPECT_EQ(keyboardProfile(), 0);

    window->port().sendMessage(device::MSG_DEVICE_LOST, 0);
    EXPECT_FALSE(keyDialog().isOpen());
    EXPECT_FALSE(keyDialog().isVisible());
}

TEST_F(WiringTest, AProfileButtonAsksWhenThereAreEditsAndNoDropsThemAndSwitches) {
    show();
    edit();
    ASSERT_TRUE(window->button("CONTROL2_APPLY")->isEnabled());
    prompter.answers = {false};
    QTest::mouseClick(window->button("FUNC_PROFILE2"), Qt::LeftButton);
    ASSERT_TRUE(settle());
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0], std::make_pair(std::string("PROFILE_SELECT_PROMPT"), false));
    EXPECT_EQ(keyboardProfile(), 1);
    EXPECT_TRUE(window->button("FUNC_PROFILE2")->isSelected());
    EXPECT_FALSE(window->button("FUNC_PROFILE1")->isSelected());
    EXPECT_FALSE(window->button("CONTROL2_APPLY")->isEnabled());
    EXPECT_EQ(window->button("FUNC_PROFILES")->text(), QStringLiteral("Profile 2"));
    EXPECT_EQ(window->hub().editingProfile(), 1);
    {
        auto lock = store.lockKeyData();
        EXPECT_EQ(store.working().block().profile(0)[0x1E].type, 0u); // the edit is gone
    }
    // The button of the profile the keyboard runs does nothing.
    QTest::mouseClick(window->button("FUNC_PROFILE2"), Qt::LeftButton);
    ASSERT_TRUE(settle());
    EXPECT_EQ(prompter.asked.size(), 1u);
}

TEST_F(WiringTest, TheProfileMenuOnTheProfileButtonNamesTheProfilesAndSwitches) {
    show();
    QMenu* menu = menuOf([&] {
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                window->button("FUNC_PROFILES")->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(window->button("FUNC_PROFILES"), &click);
    });
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 5);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("<Default Profile>"));
    EXPECT_TRUE(menu->actions()[2]->isChecked());
    QAction* third = actionNamed(*menu, QStringLiteral("Profile 3"));
    ASSERT_NE(third, nullptr);
    third->trigger();
    menu->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return keyboardProfile() == 2; }, 5000));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(window->button("FUNC_PROFILE3")->isSelected());
    EXPECT_EQ(window->button("FUNC_PROFILES")->text(), QStringLiteral("Profile 3"));
}

TEST_F(WiringTest, TheProfileManagersApplySelectsTheTickedProfileAndReloadsTheWindow) {
    show();
    QTest::mouseClick(window->button("FUNC_PROFILES"), Qt::LeftButton);
    profiles::ProfileManagerDialog& d = sub().profileManager();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    auto* list = d.findChild<QTableWidget*>(QStringLiteral("PROGRAM_LIST"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->rowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        // Told apart by their names; the folder column keeps the file's place.
        EXPECT_EQ(list->item(r, 1)->text(), QStringLiteral("Profile %1").arg(r + 1));
    }
    edit();
    list->item(2, 0)->setCheckState(Qt::Checked);
    CPngButton& apply = dialogButton(d, "CONTROL2_APPLY");
    ASSERT_TRUE(apply.isEnabled());
    QTest::mouseClick(&apply, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.applying(); }, 10000));
    ASSERT_TRUE(settle());
    EXPECT_EQ(keyboardProfile(), 2);
    EXPECT_EQ(window->hub().editingProfile(), 2);
    EXPECT_TRUE(window->button("FUNC_PROFILE3")->isSelected());
    EXPECT_FALSE(window->button("CONTROL2_APPLY")->isEnabled());
    d.reject();
}

TEST_F(WiringTest, Command32780OpensTheUpdateDialogFromTheMenu) {
    show();
    QMenu* menu = menuOf([&] { QTest::mouseClick(window->button("CONTROL_MENU"), Qt::LeftButton); });
    ASSERT_NE(menu, nullptr);
    QAction* update = actionNamed(*menu, QStringLiteral("Firmware Update..."));
    ASSERT_NE(update, nullptr);
    update->trigger();
    menu->close();
    update::UpdateDialog& d = sub().updateDialog();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.isVisible(); }, 5000));
    EXPECT_TRUE(d.isOpen());
    // Update without a program: its message, and nothing sent to the keyboard.
    QTest::mouseClick(&dialogButton(d, "CONTROL_UPButton"), Qt::LeftButton);
    EXPECT_EQ(prompter.shown, std::vector<std::string>{"MAIN_UPDATE_ERROR_TEXT"});
    EXPECT_TRUE(trigger.reports.empty());
    QTest::keyClick(&d, Qt::Key_F1);
    EXPECT_EQ(opened.size(), 1u);
    QTest::mouseClick(&dialogButton(d, "CONTROL_CUPButton"), Qt::LeftButton);
    EXPECT_FALSE(d.isOpen());
}

// A resident program that is never opened keeps none of the dialogs; each is built when first opened,
// once.
TEST_F(WiringTest, TheDialogsAreBuiltWhenFirstOpenedAndThenReused) {
    show();
    EXPECT_TRUE(window->findChildren<dialogs::KeyDialog*>().isEmpty());
    EXPECT_TRUE(window->findChildren<profiles::ProfileManagerDialog*>().isEmpty());
    EXPECT_TRUE(window->findChildren<update::UpdateDialog*>().isEmpty());
    for (int round = 0; round < 2; ++round) {
        window->hub().onCommand(command::kUpdate);
        ASSERT_TRUE(QTest::qWaitFor([&] { return sub().updateDialog().isVisible(); }, 5000));
        sub().updateDialog().requestClose();
        QTest::mouseClick(window->button("FUNC_PROFILES"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return sub().profileManager().isVisible(); }, 5000));
        sub().profileManager().requestClose();
    }
    EXPECT_EQ(window->findChildren<update::UpdateDialog*>().size(), 1);
    EXPECT_EQ(window->findChildren<profiles::ProfileManagerDialog*>().size(), 1);
    EXPECT_TRUE(window->findChildren<dialogs::KeyDialog*>().isEmpty());
}

class ExitWithAnEditor : public WiringTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ExitWithAnEditor, TheExitClosesTheOpenEditorAndEnds) {
    show();
    const std::string which = GetParam();
    QWidget* editor = nullptr;
    if (which == "key") {
        QTest::mouseClick(window->button("KEY_01E"), Qt::LeftButton);
        editor = &keyDialog();
    } else if (which == "manager") {
        QTest::mouseClick(window->button("FUNC_PROFILES"), Qt::LeftButton);
        editor = &sub().profileManager();
    } else {
        window->hub().onCommand(command::kUpdate);
        editor = &sub().updateDialog();
    }
    window->aboutBox().open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->isVisible(); }, 5000));
    window->port().sendMessage(device::MSG_KILL, device::kCodeKill);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_FALSE(window->aboutBox().isVisible());
    EXPECT_TRUE(window->hub().exiting());
    EXPECT_FALSE(window->trayIcon().created());
}

INSTANTIATE_TEST_SUITE_P(Editors, ExitWithAnEditor, ::testing::Values("key", "manager", "update"));

TEST_F(WiringTest, ThePanelTurnsOnAfterTheSwitchCheckAndThenKeyClicksPaint) {
    show();
    lighting::LightingPanel& panel = sub().lightingPanel();
    ASSERT_FALSE(panel.view().panelOn);
    edit();
    prompter.answers = {false};
    auto* on = window->findChild<QAbstractButton*>(QStringLiteral("CONTROL_DengStaPic"));
    ASSERT_NE(on, nullptr);
    QTest::mouseClick(on, Qt::LeftButton);
    ASSERT_TRUE(settle());
    EXPECT_EQ(prompter.asked.size(), 1u);
    EXPECT_TRUE(panel.view().panelOn);
    EXPECT_FALSE(window->button("CONTROL2_APPLY")->isEnabled());

    auto* modes = window->findChild<QComboBox*>(QStringLiteral("CONTROL_XGcombox"));
    const int user = modes->findData(lighting::kUserMode);
    ASSERT_GE(user, 0);
    modes->setCurrentIndex(user);
    emit modes->activated(user);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(panel.keyClicksPaint());
    const size_t colours = lightingRequests(device::CMD_WRITE_COLOURS);
    QTest::mouseClick(window->button("KEY_01E"), Qt::LeftButton);
    ASSERT_TRUE(settle());
    EXPECT_FALSE(keyDialog().isVisible());
    EXPECT_GT(lightingRequests(device::CMD_WRITE_COLOURS), colours);
    // G keys share one light: they open their dialog.
    QTest::mouseClick(window->button("FUNC_G1"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return keyDialog().isVisible(); }, 5000));
    keyDialog().reject();

    // Off: the keys edit again, and the colour-keys mode ends with the panel.
    QTest::mouseClick(window->button("FUNC_SWITCH"), Qt::LeftButton);
    ASSERT_EQ(state.keyEditMode.load(), 1);
    QTest::mouseClick(window->findChild<QAbstractButton*>(QStringLiteral("CONTROL_DengDisable")),
                      Qt::LeftButton);
    ASSERT_TRUE(settle());
    EXPECT_FALSE(panel.view().panelOn);
    EXPECT_EQ(state.keyEditMode.load(), 0);
    EXPECT_EQ(window->button("FUNC_SWITCH")->text(), QStringLiteral("Switch to the color keys mode"));
}

TEST_F(WiringTest, ControlsMadeOnDemandDrawWhatChangedMeanwhileAndALightingStepOutlivesThem) {
    auto s = setup();
    s.controlsOnDemand = std::chrono::milliseconds(0);
    start(std::move(s));
    arrive();
    EXPECT_TRUE(window->findChildren<CPngButton*>().empty());
    EXPECT_FALSE(sub().hasLightingPanel());
    // With no controls: a switch to profile 2 and an edit of it.
    window->switchProfile(1, profiles::SwitchSource::Menu);
    ASSERT_TRUE(settle());
    {
        auto lock = store.lockKeyData();
        keyboard::KeyAssignment r;
        r.type = keyboard::ASSIGN_SINGLE_KEY;
        r.value = 0x30;
        store.working().block().profile(static_cast<unsigned>(window->hub().editingProfile()))[0x1E] = r;
    }
    window->hub().assignmentsChanged();

    window->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    ASSERT_TRUE(settle());
    ASSERT_NE(window->button("KEY_01E"), nullptr);
    EXPECT_TRUE(window->button("KEY_01E")->isSelected());
    EXPECT_TRUE(window->button("CONTROL2_APPLY")->isEnabled());
    EXPECT_TRUE(window->button("FUNC_PROFILE2")->isSelected());
    EXPECT_FALSE(window->button("FUNC_PROFILE1")->isSelected());
    ASSERT_TRUE(sub().hasLightingPanel());

    // A slot chosen, the window hidden and its controls gone: the choice is still undone.
    auto* slotList = window->findChild<QComboBox*>(QStringLiteral("CONTROL_umCombo"));
    ASSERT_NE(slotList, nullptr);
    const int before = sub().lightingPanel().view().user.slot;
    const int next = (before + 1) % lighting::kSlotCount;
    slotList->setCurrentIndex(next);
    emit slotList->activated(next);
    ASSERT_TRUE(settle());
    ASSERT_EQ(sub().lightingPanel().view().user.slot, next);
    window->hideWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sub().hasLightingPanel(); }, 5000));
    EXPECT_TRUE(window->findChildren<CPngButton*>().empty());
    EXPECT_EQ(window->findChild<QComboBox*>(QStringLiteral("CONTROL_umCombo")), nullptr);
    window->hub().undo();
    ASSERT_TRUE(settle());
    window->showWindow();
    ASSERT_TRUE(settle());
    EXPECT_EQ(sub().lightingPanel().view().user.slot, before);
    EXPECT_EQ(window->findChildren<QComboBox*>(QStringLiteral("CONTROL_umCombo")).size(), 1);
}

TEST_F(WiringTest, Timer1051ReadsThePanelAgainAndALanguageSwitchRenamesItsEffects) {
    show();
    const size_t reads = lightingRequests(device::CMD_READ_SETTINGS);
    window->port().startTimer(device::kTimerLightingReload, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lightingRequests(device::CMD_READ_SETTINGS) > reads; }, 5000));
    ASSERT_TRUE(settle());
    EXPECT_FALSE(window->timerActive(device::kTimerLightingReload)); // one shot

    auto* modes = window->findChild<QComboBox*>(QStringLiteral("CONTROL_XGcombox"));
    const QString english = modes->itemText(0);
    window->hub().onCommand(command::kChinese);
    EXPECT_NE(modes->itemText(0), english);
    window->hub().onCommand(command::kEnglish);
    EXPECT_EQ(modes->itemText(0), english);
}

TEST_F(WiringTest, TheColourKeysSwitchMakesKeyClicksToggleTheirLightAndEachKeyHoldsOnlyItsOwnPictures) {
    auto s = setup();
    s.controlsOnDemand = std::chrono::milliseconds(0);
    start(std::move(s));
    arrive();
    window->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    // Its part of the window's pictures and two pixels around it, not the whole window.
    auto ownPart = [](const CPngButton& key) {
        QPoint origin;
        const QPixmap* face = key.plainFace(origin);
        return face != nullptr && face->width() <= key.width() + 4 && face->height() <= key.height() + 4;
    };
    EXPECT_TRUE(ownPart(*window->button("KEY_01E")));
    CPngButton& swtch = *window->button("FUNC_SWITCH");
    EXPECT_TRUE(swtch.isVisible());
    EXPECT_EQ(swtch.text(), QStringLiteral("Switch to the color keys mode"));
    QTest::mouseClick(&swtch, Qt::LeftButton);
    EXPECT_EQ(swtch.text(), QStringLiteral("Switch to the function keys mode"));
    CPngButton& a = *window->button("KEY_01E");
    EXPECT_FALSE(a.twoStateValue());
    QTest::mouseClick(&a, Qt::LeftButton);
    EXPECT_TRUE(a.twoStateValue());
    EXPECT_FALSE(keyDialog().isVisible());
    EXPECT_TRUE(window->button("CONTROL2_APPLY")->isEnabled());
    QTest::mouseClick(&a, Qt::LeftButton);
    EXPECT_FALSE(a.twoStateValue());
    // The colour-keys pictures come with the mode, and again after the window gave its pictures back and
    // after it let its controls go.
    EXPECT_TRUE(a.picturesCoverFace());
    window->hideWindow();
    window->showWindow();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(window->button("KEY_01E")->picturesCoverFace());
    window->hideWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->findChildren<CPngButton*>().empty(); }, 5000));
    window->showWindow();
    ASSERT_TRUE(settle());
    ASSERT_NE(window->button("KEY_01E"), nullptr);
    EXPECT_TRUE(window->button("KEY_01E")->picturesCoverFace());
    EXPECT_TRUE(ownPart(*window->button("KEY_01E")));
    QTest::mouseClick(window->button("FUNC_SWITCH"), Qt::LeftButton);
    QTest::mouseClick(window->button("KEY_01E"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return keyDialog().isVisible(); }, 5000));
    keyDialog().reject();
}

TEST_F(WiringTest, TheMenusStartWithTheDesktopItemWritesTheEntry) {
    show();
    QMenu* menu = menuOf([&] { QTest::mouseClick(window->button("CONTROL_MENU"), Qt::LeftButton); });
    ASSERT_NE(menu, nullptr);
    QAction* item = actionNamed(*menu, QStringLiteral("Start with the desktop"));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    menu->close();
    ASSERT_TRUE(QTest::qWaitFor([] { return autostartEnabled(); }, 5000));
    EXPECT_EQ(autostartFilePath(), home / ".config" / "autostart" / "tarvik.desktop");
}

TEST_F(WiringTest, AnArrivalAfterAnUpdateOffersItsBackup) {
    // What an update left behind: its backup and the note to offer it.
    const std::filesystem::path backup = home / "Documents" / "Velmora" / "backups" / "update-1.tvk";
    std::filesystem::create_directories(backup.parent_path());
    ASSERT_TRUE(profiles::exportProfileFile(store, backup));
    ASSERT_TRUE(settings->writeSetting(update::kPendingRestoreSetting, backup.u16string()));
    start();
    arrive();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !updatePrompter.entries.empty(); }, 5000));
    EXPECT_EQ(updatePrompter.entries[0].key, "UPDATE_RESTORE_PROMPT");
    EXPECT_EQ(updatePrompter.entries[0].file, backup);
    arrive();
    EXPECT_EQ(updatePrompter.entries.size(), 1u);
}

} // namespace
} // namespace tarvik::app::test
