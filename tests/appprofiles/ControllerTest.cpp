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

} // namespace
} // namespace tarvik::appprofiles
