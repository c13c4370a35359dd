// The firmware update as a user goes through it, on one desktop with a tray host and the virtual keyboard
// of portmux-sim: the update program chosen in the file dialog (typed, as a user would), Update writes the
// automatic backup and says where, the keyboard leaves for its boot mode and comes back by itself, the
// update program ran, and the question that follows restores the backup onto the keyboard.
#include "tests/e2e/ProgramScenario.h"

#include <fstream>
#include <set>

namespace tarvik::e2e {
namespace {

class UpdateScenarios : public ProgramScenario {
protected:
    // Every window the process has now, shown or not.
    std::set<WindowId> windowsNow(pid_t pid) {
        std::set<WindowId> ids;
        for (const WindowInfo& w : desktop().windowsOf(pid)) {
            ids.insert(w.id);
        }
        return ids;
    }
    // A window of the process on the screen that it did not have before: a dialog or a message box, not a
    // menu or a tooltip.
    std::optional<WindowInfo> newWindow(pid_t pid, const std::set<WindowId>& before,
                                        std::chrono::milliseconds timeout = 10s) {
        return waitForWindow(
            pid,
            [&](const WindowInfo& w) { return !w.overrideRedirect && !w.embedded && !before.contains(w.id); },
            timeout);
    }
    bool keyboardPlugged(bool plugged) {
        const RunOutcome r = desktop().portmuxSim({"status", "--json"});
        return r.exitCode == 0 &&
               r.output.find(plugged ? "\"plugged\": true" : "\"plugged\": false") != std::string::npos;
    }
    std::vector<std::filesystem::path> backups() {
        std::vector<std::filesystem::path> found;
        std::error_code ec;
        const std::filesystem::path folder = dataFolder() / "backups";
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            if (entry.path().extension() == ".tvk") {
                found.push_back(entry.path());
            }
        }
        return found;
    }
};

TEST_F(UpdateScenarios, AnUpdateBacksUpStartsTheProgramAndRestoresTheBackupWhenTheKeyboardIsBack) {
    // The update program: a script that leaves a marker with the folder it was started in.
    const std::filesystem::path marker = desktop().home() / "update-ran";
    const std::filesystem::path script = desktop().home() / "flash-keyboard.sh";
    std::filesystem::remove(marker);
    {
        std::ofstream out(script);
        out << "#!/bin/sh\npwd > '" << marker.string() << ".part' && mv '" << marker.string() << ".part' '"
            << marker.string() << "'\n";
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    // The keyboard is back 4 s after the trigger, as a flashed keyboard would be.
    ASSERT_EQ(desktop().portmuxSim({"update-return", "4000"}).exitCode, 0);
    const std::vector<int> keysBefore = flash("keys");
    ASSERT_FALSE(keysBefore.empty());

    Process& app = start({});
    const auto window = mainWindow(app.pid());
    ASSERT_TRUE(window);
    const auto icon = desktop().trayIconOf(app.pid());
    ASSERT_TRUE(icon);

    // Menu: Import, Export, About, Language, Firmware Update...
    std::set<WindowId> before = windowsNow(app.pid());
    ASSERT_TRUE(desktop().clickAt(window->id, desktop().skinFile("Main.ini"), "CONTROL_MENU"));
    ASSERT_TRUE(waitForWindow(app.pid(), isMenu).has_value());
    ASSERT_TRUE(desktop().key({"Down", "Down", "Down", "Down", "Down", "Return"}));
    const auto dialog = newWindow(app.pid(), before);
    ASSERT_TRUE(dialog) << "the update dialog did not open";
    ASSERT_TRUE(settle(app.pid()));
    desktop().step("update dialog");
    // The picture of the update dialog for the help pages.
    EXPECT_FALSE(desktop().shotOfWindow(dialog->id, "update-dialog").empty());
    const std::filesystem::path layout = desktop().skinFile("UpdateDlg.ini");

    // The file dialog, the script's path typed into it.
    before = windowsNow(app.pid());
    ASSERT_TRUE(desktop().clickAt(dialog->id, layout, "CONTROL_OPENButton"));
    const auto files = newWindow(app.pid(), before);
    ASSERT_TRUE(files) << "the file dialog did not open";
    ASSERT_TRUE(desktop().activate(files->id));
    desktop().step("file dialog");
    ASSERT_TRUE(desktop().type(script.string()));
    ASSERT_TRUE(desktop().key({"Return"}));
    ASSERT_TRUE(desktop().waitHidden(files->id)) << "the file dialog stayed";
    ASSERT_TRUE(settle(app.pid()));
    desktop().step("update program chosen");

    // Update: the backup first, and a message that says where it went.
    before = windowsNow(app.pid());
    ASSERT_TRUE(desktop().clickAt(dialog->id, layout, "CONTROL_UPButton"));
    const auto written = newWindow(app.pid(), before);
    ASSERT_TRUE(written) << "no message after Update";
    const std::vector<std::filesystem::path> backup = backups();
    ASSERT_EQ(backup.size(), 1u) << "the message came without an automatic backup (a wrong update file?)";
    desktop().step("backup written");
    // Something else changes the keyboard before it is flashed: the restore must bring back the backup.
    const RunOutcome assign = desktop().tarvikctl({"assign", "--profile", "0", "A", "B"});
    ASSERT_EQ(assign.exitCode, 0) << assign.output;
    ASSERT_NE(flash("keys"), keysBefore);

    // OK: the trigger sends the keyboard away, the update program starts, the keyboard comes back.
    ASSERT_TRUE(desktop().activate(written->id));
    before = windowsNow(app.pid());
    ASSERT_TRUE(desktop().key({"Return"}));
    EXPECT_TRUE(waitUntil([&] { return keyboardPlugged(false); }, 5s)) << "the keyboard did not leave";
    EXPECT_TRUE(waitForTrayPicture(*icon, TrayPicture::NoKeyboard, 5s));
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(marker); }, 10s)) << "the script did not run";
    std::string ranIn;
    std::getline(std::ifstream(marker), ranIn);
    EXPECT_EQ(std::filesystem::path(ranIn), desktop().programFolder() / "Package");
    const RunOutcome status = desktop().portmuxSim({"status", "--json"});
    EXPECT_NE(status.output.find("\"updateTriggers\": 1,"), std::string::npos) << status.output;
    EXPECT_TRUE(waitUntil([&] { return keyboardPlugged(true); }, 10s)) << "the keyboard did not come back";

    // The question names the backup; Yes (its default) writes it to the keyboard.
    const auto question = newWindow(app.pid(), before, 15s);
    ASSERT_TRUE(question) << "no restore question after the keyboard came back";
    EXPECT_TRUE(isType(*question, "_NET_WM_WINDOW_TYPE_DIALOG"));
    ASSERT_NE(flash("keys"), keysBefore) << "the keyboard's arrival alone brought back the old keys";
    ASSERT_TRUE(settle(app.pid()));
    desktop().step("restore question");
    ASSERT_TRUE(desktop().activate(question->id));
    ASSERT_TRUE(desktop().key({"Return"}));
    EXPECT_TRUE(waitUntil([&] { return flash("keys") == keysBefore; }, 15s))
        << "the key blocks are not those of the backup";
    desktop().step("restored");
    EXPECT_TRUE(app.running());
}

} // namespace
} // namespace tarvik::e2e
