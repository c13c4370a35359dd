// The keyboard's profile follows the application in front on a wlroots desk (headless sway): two probe
// windows with the app ids game1 and editor, a rule game1 -> 2 made with tarvikctl through the program,
// and the profile the virtual keyboard runs as sway moves the focus. Screenshots in build/e2e/sway-*.png.
#include "tests/e2e/CachedKeyTarget.h"
#include "tests/e2e/SwayDesk.h"

#include <gtest/gtest.h>

#include <iostream>

namespace tarvik::e2e {
namespace {

int keyboardProfile(const SwayDesk& desk) {
    return simKeyboardProfile(desk.portmuxSim({"flash", "config", "--json"}));
}

std::optional<std::chrono::milliseconds> profileBecomes(const SwayDesk& desk, int profile) {
    const auto from = std::chrono::steady_clock::now();
    if (!waitUntil([&] { return keyboardProfile(desk) == profile; }, 10s, 20ms)) {
        return std::nullopt;
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - from);
}

TEST(SwayAppProfileScenarios, TheProfileFollowsTheAppIdInFront) {
    SwayDesk desk("sway-app-profiles");
    ASSERT_TRUE(desk.ok()) << desk.error();
    // The probe runs from the desk's program folder, which the desk's user can reach.
    std::filesystem::copy_file(TARVIK_E2E_PROBE, desk.programFolder() / "e2e_probe",
                               std::filesystem::copy_options::overwrite_existing);
    Process& app = desk.startProgram("tarvik", {"/Start"});
    const auto ctl = [&](const std::vector<std::string>& args) {
        return desk.run(desk.programFolder() / "tarvikctl", args);
    };
    ASSERT_TRUE(waitUntil(
        [&] {
            return ctl({"app-profiles", "list"}).output.find("watching: wlroots foreign toplevels") !=
                   std::string::npos;
        },
        20s, 100ms))
        << ctl({"app-profiles", "list"}).output;
    ASSERT_EQ(ctl({"app-profiles", "add", "game1", "2"}).exitCode, 0);
    ASSERT_EQ(keyboardProfile(desk), 0);

    const std::filesystem::path log = desk.home() / "probe.log";
    desk.startProgram("e2e_probe", {"--title", "game1", "--app-id", "game1", "--log", log.string()});
    desk.startProgram("e2e_probe", {"--title", "editor", "--app-id", "editor", "--log", log.string()});
    ASSERT_TRUE(desk.findWindow("^game1$") && desk.findWindow("^editor$"))
        << "the probe windows did not show";

    ASSERT_EQ(desk.swaymsg({"[app_id=\"game1\"]", "focus"}).exitCode, 0);
    const auto toGame = profileBecomes(desk, 2);
    ASSERT_TRUE(toGame) << "focusing game1 did not switch the keyboard to profile 2";
    std::cout << "[ measured ] game1 in front -> profile 2 after " << toGame->count() << " ms\n";
    desk.step("game1 in front, profile 2");

    ASSERT_EQ(desk.swaymsg({"[app_id=\"editor\"]", "focus"}).exitCode, 0);
    const auto toEditor = profileBecomes(desk, 0);
    ASSERT_TRUE(toEditor) << "focusing editor did not return the keyboard to profile 0";
    std::cout << "[ measured ] editor in front -> profile 0 after " << toEditor->count() << " ms\n";
    desk.step("editor in front, profile 0");
    EXPECT_TRUE(app.running());
}

} // namespace
} // namespace tarvik::e2e
