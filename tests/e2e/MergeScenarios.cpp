// Another program writes to the keyboard while the program runs, bypassing it: the program's next Apply
// keeps that change, sends the user's edit beside it, and says so once.
#include "tests/e2e/KeyDialogScenario.h"

namespace tarvik::e2e {
namespace {

class MergeScenarios : public KeyDialogScenario {};

constexpr keyboard::KeyCode kA = 0x1E, kQ = 0x10, kW = 0x11;
constexpr int kUsageB = 0x05, kUsageE = 0x08, kUsageQ = 0x14, kUsageZ = 0x1D;

TEST_F(MergeScenarios, AChangeMadeBehindTheProgramsBackSurvivesItsApplyAndIsToldOnce) {
    Process* app = nullptr;
    const auto window = openWindow(app);
    ASSERT_TRUE(window);
    ASSERT_EQ(keyEntry(kQ), (Entry{2, 2, kUsageQ}));
    const std::string mainCaption = text("MAIN_CAPTION");
    const std::string dialogCaption = text("COMPOSITE_TITLE");
    auto isNotice = [&](const WindowInfo& w) {
        return isType(w, "_NET_WM_WINDOW_TYPE_DIALOG") && w.name != mainCaption && w.name != dialogCaption;
    };

    const RunOutcome assign = desktop().tarvikctl({"--direct", "assign", "--profile", "0", "Q", "Z"});
    ASSERT_EQ(assign.exitCode, 0) << assign.output;
    ASSERT_TRUE(waitForEntry(kQ, {2, 2, kUsageZ}));

    auto dialog = openKeyDialog(app->pid(), *window, "KEY_01E");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(desktop().key({"b"}));
    ASSERT_TRUE(okAndClosed(*dialog));
    ASSERT_TRUE(apply(*window));
    const auto notice = waitForWindow(app->pid(), isNotice);
    ASSERT_TRUE(notice) << "the merge was not told";
    shot(app->pid(), "merge notice");
    EXPECT_TRUE(waitForEntry(kA, {2, 2, kUsageB})) << "the user's edit did not reach the keyboard";
    EXPECT_EQ(keyEntry(kQ), (Entry{2, 2, kUsageZ})) << "Apply overwrote the other program's change";
    ASSERT_TRUE(desktop().activate(notice->id));
    ASSERT_TRUE(desktop().key({"Return"}));
    ASSERT_TRUE(desktop().waitHidden(notice->id));

    // Once: the next Apply finds the keyboard as the program left it and says nothing.
    dialog = openKeyDialog(app->pid(), *window, "KEY_011");
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(desktop().key({"e"}));
    ASSERT_TRUE(okAndClosed(*dialog));
    ASSERT_TRUE(apply(*window));
    ASSERT_TRUE(waitForEntry(kW, {2, 2, kUsageE}));
    // A dialog opened afterwards is handled after whatever that Apply showed.
    dialog = openKeyDialog(app->pid(), *window, "KEY_01E");
    ASSERT_TRUE(dialog);
    for (const WindowInfo& w : desktop().windowsOf(app->pid())) {
        EXPECT_FALSE(w.viewable && isNotice(w)) << "a second notice: " << w.name;
    }
    shot(app->pid(), "second apply, no notice");
    EXPECT_EQ(keyEntry(kQ), (Entry{2, 2, kUsageZ}));
    EXPECT_EQ(keyEntry(kA), (Entry{2, 2, kUsageB}));
}

} // namespace
} // namespace tarvik::e2e
