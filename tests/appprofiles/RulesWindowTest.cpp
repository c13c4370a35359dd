// The rules window offscreen, as a keyboard user meets it: the skinned window with its controls where the
// skin puts them, Tab through every control, changes and removals that reach the rules file, and
// "the next window I click" forgotten when the window closes.
#include "appprofiles/AppRulesDialog.h"
#include "tests/appprofiles/ScriptedWatcher.h"
#include "tests/support/SimLibrary.h"
#include "ui/CPngButton.h"
#include "ui/Language.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tarvik::appprofiles {
namespace {

namespace fs = std::filesystem;

class RulesWindowTest : public ::testing::Test {
protected:
    RulesWindowTest() {
        ui::Language::instance().setFiles({skins / "language.ini", {}});
        fs::create_directories(file.parent_path());
        fs::remove(file);
        auto owned = std::make_unique<testing::ScriptedWatcher>();
        watcher = owned.get();
        watcher->open = {{"", "game1", "Game"}, {"", "game1", "Game"}, {"org.example.Editor", "", ""}};
        controller.start(std::move(owned));
        AppRules r;
        setRule(r, "game1", 2);
        setRule(r, "editor", 0);
        EXPECT_TRUE(controller.setRules(r));
    }

    std::unique_ptr<AppRulesDialog> open() {
        auto d =
            std::make_unique<AppRulesDialog>(controller, fs::path(testsupport::programFolder()) / "Skins",
                                             nullptr, [this](const fs::path& p) { missing = p; });
        d->show();
        d->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(d.get()));
        return d;
    }
    template <typename T> static T& child(AppRulesDialog& d, const char* name) {
        T* w = d.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return *w;
    }
    static QComboBox& rowBox(AppRulesDialog& d, int row) {
        return *qobject_cast<QComboBox*>(d.table()->cellWidget(row, 1));
    }
    std::string fileText() const {
        std::ifstream in(file);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Runs the Add menu and triggers the entry that is given its text; returns every entry's text.
    static QStringList pickFromAddMenu(AppRulesDialog& d, const QString& pick) {
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            QAction* chosen = nullptr;
            for (QAction* a : menu->actions()) {
                if (!a->isSeparator()) {
                    shown << a->text();
                    chosen = a->text() == pick ? a : chosen;
                }
            }
            menu->close();
            if (chosen != nullptr) {
                chosen->trigger();
            }
        });
        child<ui::CPngButton>(d, "FUNC_ADD").click();
        return shown;
    }

    fs::path skins = fs::path(testsupport::programFolder()) / "Skins";
    fs::path file = fs::path(::testing::TempDir()) / "rules-window-test" / "app-profiles.conf";
    AppProfilesController controller{file, {[] { return SwitchInputs{}; }, [](int) {}, [](bool) {}}};
    testing::ScriptedWatcher* watcher = nullptr;
    fs::path missing;
};

TEST_F(RulesWindowTest, IsSkinnedAndEveryControlIsReachedByTabInOrderAndEscapeCloses) {
    auto d = open();
    EXPECT_TRUE(missing.empty()) << missing;
    EXPECT_FALSE(d->backgroundPicture().isNull());
    EXPECT_EQ(d->size(), QSize(520, 418)); // the skin's size, no system frame
    EXPECT_EQ(d->table()->geometry(), QRect(22, 118, 476, 190));
    EXPECT_EQ(child<QComboBox>(*d, "APPRULES_FALLBACK").geometry(), QRect(196, 320, 304, 30));
    ASSERT_EQ(d->table()->rowCount(), 2);
    EXPECT_EQ(rowBox(*d, 0).currentIndex(), 2);
    EXPECT_EQ(rowBox(*d, 1).currentIndex(), 0);
    for (const char* key : {"FUNC_ADD", "FUNC_DELETE", "CONTROL_CANCEL"}) {
        EXPECT_FALSE(child<ui::CPngButton>(*d, key).accessibleName().isEmpty()) << key;
    }

    d->table()->setFocus(Qt::TabFocusReason);
    const std::vector<QWidget*> expected = {&rowBox(*d, 0),
                                            &rowBox(*d, 1),
                                            &child<QComboBox>(*d, "APPRULES_FALLBACK"),
                                            &child<ui::CPngButton>(*d, "FUNC_ADD"),
                                            &child<ui::CPngButton>(*d, "FUNC_DELETE"),
                                            &child<ui::CPngButton>(*d, "CONTROL_CANCEL"),
                                            d->table()};
    for (size_t i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected[i]) << "Tab " << i + 1;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !d->isVisible(); }, 5000));
}

TEST_F(RulesWindowTest, ChangesReachTheFileAndTheFocusStaysOnTheBoxBeingChanged) {
    auto d = open();
    QComboBox& game = rowBox(*d, 0);
    game.setFocus(Qt::TabFocusReason);
    QTest::keyClick(&game, Qt::Key_Up); // profile 3 -> profile 2
    EXPECT_EQ(controller.rules().rules[0], (AppRule{"game1", 1}));
    EXPECT_NE(fileText().find("game1 = 1"), std::string::npos) << fileText();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(&rowBox(*d, 0), &game) << "the rows were rebuilt under the user's focus";
    EXPECT_EQ(QApplication::focusWidget(), &game);
    QTest::keyClick(&game, Qt::Key_Up);
    EXPECT_EQ(controller.rules().rules[0].profile, 0);

    QComboBox& fallback = child<QComboBox>(*d, "APPRULES_FALLBACK");
    fallback.setFocus(Qt::TabFocusReason);
    QTest::keyClick(&fallback, Qt::Key_Down);
    EXPECT_EQ(controller.rules().fallback, std::optional<int>(0));

    // Delete in the list and Remove both take the selected rule.
    d->table()->setFocus(Qt::TabFocusReason);
    d->table()->setCurrentCell(1, 0);
    QTest::keyClick(d->table(), Qt::Key_Delete);
    EXPECT_EQ(controller.rules().rules, (std::vector<AppRule>{{"game1", 0}}));
    EXPECT_EQ(d->table()->currentRow(), 0);
    child<ui::CPngButton>(*d, "FUNC_DELETE").click();
    EXPECT_TRUE(controller.rules().rules.empty());
    EXPECT_EQ(d->table()->rowCount(), 0);
    EXPECT_EQ(fileText().find("app "), std::string::npos) << fileText();
}

TEST_F(RulesWindowTest, AddOffersOpenApplicationsOnceAndTheNextWindowOnlyWhileOpen) {
    auto d = open();
    const QString next = ui::text("APPPROFILES_NEXT_WINDOW").trimmed();
    ASSERT_FALSE(next.isEmpty());
    EXPECT_EQ(pickFromAddMenu(*d, QStringLiteral("org.example.Editor")),
              (QStringList{QStringLiteral("game1"), QStringLiteral("org.example.Editor"), next}));
    EXPECT_EQ(controller.rules().rules.back(), (AppRule{"org.example.Editor", 0}));

    pickFromAddMenu(*d, next);
    EXPECT_EQ(child<QLabel>(*d, "APPRULES_STATUS").text(), ui::text("APPPROFILES_CLICK_WINDOW").trimmed());
    watcher->focus("browser");
    EXPECT_EQ(controller.rules().rules.back(), (AppRule{"browser", 0}));
    EXPECT_NE(child<QLabel>(*d, "APPRULES_STATUS").text(), ui::text("APPPROFILES_CLICK_WINDOW").trimmed());

    // Waiting, then closed: a window clicked later adds nothing.
    pickFromAddMenu(*d, next);
    child<ui::CPngButton>(*d, "CONTROL_CANCEL").click();
    EXPECT_FALSE(d->isVisible());
    watcher->focus("terminal");
    EXPECT_EQ(controller.rules().rules.size(), 4u);
}

} // namespace
} // namespace tarvik::appprofiles
