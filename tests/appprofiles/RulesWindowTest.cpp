// The rules window offscreen, as a keyboard user meets it: the skinned window, Tab through every control
// and Escape, changes that keep the focus where it is, and "the next window I click" forgotten on close.
#include "appprofiles/AppRulesDialog.h"
#include "tests/appprofiles/ScriptedWatcher.h"
#include "tests/support/SimLibrary.h"
#include "ui/CPngButton.h"
#include "ui/Language.h"

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace tarvik::appprofiles {
namespace {

namespace fs = std::filesystem;

class RulesWindowTest : public ::testing::Test {
protected:
    RulesWindowTest() {
        ui::Language::instance().setFiles({skins / "language.ini", {}});
        fs::create_directories(file.parent_path());
        auto owned = std::make_unique<testing::ScriptedWatcher>();
        watcher = owned.get();
        watcher->open = {{"", "game1", "Game"}, {"", "game1", "Game"}};
        controller.start(std::move(owned));
        EXPECT_TRUE(controller.setRules({.rules = {{"game1", 2}, {"editor", 0}}, .fallback = {}}));
        d = std::make_unique<AppRulesDialog>(controller, skins, nullptr,
                                             [](const fs::path& p) { FAIL() << p; });
        d->show();
        d->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(d.get()));
    }
    template <typename T = ui::CPngButton> T* child(const char* name) {
        return d->findChild<T*>(QString::fromLatin1(name));
    }
    QComboBox* rowBox(int row) { return qobject_cast<QComboBox*>(d->table()->cellWidget(row, 1)); }
    // Runs the Add menu and triggers the entry with the text given; returns every entry's text.
    QStringList pickFromAddMenu(const QString& pick) {
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (QAction* a : menu->actions()) {
                shown << a->text();
            }
            menu->close();
            for (QAction* a : menu->actions()) {
                if (a->text() == pick) {
                    a->trigger();
                }
            }
        });
        child("FUNC_ADD")->click();
        return shown;
    }

    fs::path skins = fs::path(testsupport::programFolder()) / "Skins";
    fs::path file = fs::path(::testing::TempDir()) / "rules-window-test" / "app-profiles.conf";
    AppProfilesController controller{file, {[] { return SwitchInputs{}; }, [](int) {}, [](bool) {}}};
    testing::ScriptedWatcher* watcher = nullptr;
    std::unique_ptr<AppRulesDialog> d;
};

TEST_F(RulesWindowTest, IsSkinnedAndTabReachesEveryControlInOrderAndEscapeCloses) {
    EXPECT_EQ(d->size(), QSize(520, 418)); // the skin's size, no system frame
    EXPECT_FALSE(d->backgroundPicture().isNull());
    EXPECT_FALSE(child("FUNC_DELETE")->accessibleName().isEmpty());
    d->table()->setFocus(Qt::TabFocusReason);
    const std::vector<QWidget*> order = {rowBox(0),
                                         rowBox(1),
                                         child<QComboBox>("APPRULES_FALLBACK"),
                                         child("FUNC_ADD"),
                                         child("FUNC_DELETE"),
                                         child("CONTROL_CANCEL"),
                                         d->table()};
    for (size_t i = 0; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), order[i]) << "Tab " << i + 1;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !d->isVisible(); }, 5000));
}

TEST_F(RulesWindowTest, EditsKeepTheFocusAndTheNextWindowIsAwaitedOnlyWhileOpen) {
    QComboBox* game = rowBox(0);
    game->setFocus(Qt::TabFocusReason);
    QTest::keyClick(game, Qt::Key_Up); // the arrows step through the profiles, each step kept
    EXPECT_EQ(controller.rules().rules[0], (AppRule{"game1", 1}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(rowBox(0), game) << "the rows were rebuilt under the user's focus";
    EXPECT_EQ(QApplication::focusWidget(), game);

    d->table()->setFocus(Qt::TabFocusReason);
    d->table()->setCurrentCell(1, 0);
    QTest::keyClick(d->table(), Qt::Key_Delete);
    EXPECT_EQ(controller.rules().rules, (std::vector<AppRule>{{"game1", 1}}));

    const QString next = ui::text("APPPROFILES_NEXT_WINDOW").trimmed();
    ASSERT_FALSE(next.isEmpty());
    EXPECT_EQ(pickFromAddMenu(next), (QStringList{QStringLiteral("game1"), QString(), next}));
    watcher->focus("browser");
    EXPECT_EQ(controller.rules().rules.back(), (AppRule{"browser", 0}));
    pickFromAddMenu(next);
    child("CONTROL_CANCEL")->click();
    watcher->focus("terminal"); // clicked after the window closed: no rule
    EXPECT_EQ(controller.rules().rules.size(), 2u);
}

} // namespace
} // namespace tarvik::appprofiles
