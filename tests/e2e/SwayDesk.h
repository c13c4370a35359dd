// A desk of a wlroots compositor for whole-program tests: a headless sway with waybar's StatusNotifier
// tray, a session bus of its own, the virtual keyboard's server, and wlinput (our pointer and keyboard
// for a compositor without input devices). Screenshots are taken with grim into build/e2e/.
//
// sway refuses to run as root, and CI runs as root: the desk runs as the unprivileged user of its
// DeskSession, which also ends every process by its process id when the desk goes.
//
//   SwayDesk d("sway-tray");
//   ASSERT_TRUE(d.ok()) << d.error();
//   Process& app = d.startProgram("tarvik", {"/Start"});
//   ASSERT_TRUE(waitUntil([&] { return !d.trayItems().empty(); }, 10s));
//   d.click(d.trayIconPlace());
#pragma once

#include "tests/e2e/DeskSession.h"
#include "tests/e2e/Desktop.h"
#include "tests/e2e/Process.h"

#include <QImage>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::e2e {

struct SwayOptions {
    // The output in logical pixels; at scale 2 the output has twice as many pixels each way.
    int width = 1600;
    int height = 900;
    int scale = 1;
};

// A window as sway's tree shows it, in logical pixels.
struct SwayWindow {
    long id = 0;
    std::string title;
    std::string appId;
    pid_t pid = 0;
    bool focused = false;
    ScreenRect place;
};

class SwayDesk {
public:
    explicit SwayDesk(std::string scenario, SwayOptions options = {});
    SwayDesk(const SwayDesk&) = delete;
    SwayDesk& operator=(const SwayDesk&) = delete;
    ~SwayDesk();

    bool ok() const { return session_.ok(); }
    const std::string& error() const { return session_.error(); }
    void setScenario(const std::string& scenario);
    const std::filesystem::path& programFolder() const { return session_.programFolder(); }
    std::filesystem::path skinFile(std::string_view name) const { return programFolder() / "Skins" / name; }
    const std::filesystem::path& home() const { return session_.home(); }

    Process& startProgram(const std::string& name, const std::vector<std::string>& args,
                          const std::vector<std::string>& extraEnv = {});
    RunOutcome run(const std::filesystem::path& program, const std::vector<std::string>& args,
                   std::chrono::milliseconds timeout = 20s) const;
    RunOutcome portmuxSim(const std::vector<std::string>& args) const;
    RunOutcome swaymsg(const std::vector<std::string>& args) const;

    std::vector<SwayWindow> windows() const;
    // The first window whose title matches the extended regular expression, waiting up to timeout.
    std::optional<SwayWindow> findWindow(const std::string& titlePattern,
                                         std::chrono::milliseconds timeout = 10s) const;
    // The StatusNotifierItems registered with the tray's watcher ("bus-name/path").
    std::vector<std::string> trayItems() const;
    // Where the tray shows its first item: the bar holds the tray alone, centred.
    ScreenPoint trayIconPlace() const;
    // Calls the item's Activate, as a tray does for a left click.
    bool activateTrayItem(const std::string& item) const;

    bool click(ScreenPoint at) const;
    // Left click at the centre of a "BUTTONINFO" rectangle of a skin layout file, in the window.
    bool clickAt(const SwayWindow& window, const std::filesystem::path& layoutFile,
                 std::string_view key) const;
    // The evdev key codes pressed in order and released in reverse (one code: a key pressed and released).
    bool chord(const std::vector<int>& codes) const;
    // The output's scale from now on (the layout keeps its logical size).
    bool setScale(int scale);
    int scale() const { return options_.scale; }

    // The output as it is now (null when grim fails), and a wait until an area of it (logical pixels)
    // differs from an earlier picture: a window in sway's tree may not be drawn yet.
    QImage picture() const;
    bool waitUntilDrawn(const QImage& before, const ScreenRect& area,
                        std::chrono::milliseconds timeout = 10s) const;
    // The whole output as build/e2e/<scenario>-NN-<what>.png; empty on failure.
    std::filesystem::path step(const std::string& what);

private:
    std::string swaySocket() const;
    RunOutcome input(const std::vector<std::string>& args) const;

    std::string scenario_;
    SwayOptions options_;
    std::filesystem::path shotFolder_;
    std::filesystem::path wlinput_;
    DeskSession session_;
    int steps_ = 0;
};

} // namespace tarvik::e2e
