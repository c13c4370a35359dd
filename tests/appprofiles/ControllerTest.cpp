// The controller's wiring with a scripted watcher: the rules file read at start (bad lines skipped), a
// focus report switching once it has rested, and a switch that waits for pending edits and follows when
// they are gone.
#include "appprofiles/AppProfilesController.h"
#include "tests/appprofiles/ScriptedWatcher.h"

#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

namespace tarvik::appprofiles {
namespace {

using testing::ScriptedWatcher;

TEST(AppProfilesController, SwitchesOnceSettledAndWaitsForPendingEdits) {
    const auto file = std::filesystem::path(::testing::TempDir()) / "controller-test" / "app-profiles.conf";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "app game1 = 2\nnonsense\napp editor = 9\n";

    SwitchInputs inputs;
    inputs.keyboard = true;
    inputs.keyboardProfile = 0;
    std::vector<int> switched;
    std::vector<bool> waiting;
    AppProfilesController c(file, {[&] { return inputs; },
                                   [&](int p) {
                                       switched.push_back(p);
                                       inputs.keyboardProfile = p;
                                   },
                                   [&](bool w) { waiting.push_back(w); }});
    auto owned = std::make_unique<ScriptedWatcher>();
    ScriptedWatcher& watcher = *owned;
    c.start(std::move(owned));
    ASSERT_TRUE(c.watching());
    EXPECT_EQ(c.rules().rules, (std::vector<AppRule>{{"game1", 2}}));

    watcher.focus("GAME1");
    EXPECT_TRUE(switched.empty()) << "switched before the focus rested";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !switched.empty(); }, 5000));
    EXPECT_EQ(switched, std::vector<int>{2});

    inputs.editsPending = true;
    watcher.focus("editor"); // no rule: back to the profile before the first switch
    EXPECT_TRUE(QTest::qWaitFor([&] { return !waiting.empty(); }, 5000));
    EXPECT_EQ(waiting, std::vector<bool>{true});
    EXPECT_EQ(switched, std::vector<int>{2});
    inputs.editsPending = false;
    c.recheck();
    EXPECT_EQ(switched, (std::vector<int>{2, 0}));
    EXPECT_EQ(waiting, (std::vector<bool>{true, false}));
}

// Another writer (tarvikctl on the file, an editor) changes the rules while the program runs: the
// controller reads them at once, and its own next change is built on them instead of writing over them.
TEST(AppProfilesController, FollowsTheFileAnotherProgramWritesAndBuildsOnIt) {
    const auto file = std::filesystem::path(::testing::TempDir()) / "controller-follow" / "app-profiles.conf";
    std::filesystem::remove_all(file.parent_path());
    std::filesystem::create_directories(file.parent_path());
    AppProfilesController c(file, {[] { return SwitchInputs{}; }, [](int) {}, [](bool) {}});
    c.start(std::make_unique<ScriptedWatcher>());
    int changes = 0;
    QObject::connect(&c, &AppProfilesController::rulesChanged, [&] { ++changes; });
    ASSERT_TRUE(c.setRules(AppRules{{{"game1", 2}}, std::nullopt, false}));
    QTest::qWait(200);
    EXPECT_EQ(changes, 0) << "the program's own write was taken for another's";

    // Written the way another program writes it: a new file renamed into place.
    std::ofstream(file.string() + ".new") << "app game1 = 2\napp editor = 1\n";
    std::filesystem::rename(file.string() + ".new", file);
    ASSERT_TRUE(QTest::qWaitFor([&] { return changes == 1; }, 5000));
    EXPECT_EQ(c.rules().rules, (std::vector<AppRule>{{"game1", 2}, {"editor", 1}}));

    // Changed again and paused before the event arrives: the pause is built on the file's rules.
    std::ofstream(file) << "app shooter = 0\n";
    ASSERT_TRUE(c.setPaused(true));
    EXPECT_EQ(loadRules(file).rules.rules, (std::vector<AppRule>{{"shooter", 0}}));
    EXPECT_TRUE(loadRules(file).rules.paused);
}

} // namespace
} // namespace tarvik::appprofiles
