// The whole-program test runner: a desktop of its own for one scenario. It starts an X server (Xvfb, on
// a display number it picks itself), a private session bus (dbus-daemon), a window manager (openbox), a
// tray host (trayer), and the virtual keyboard's server (`portmux-sim serve` with a fresh state file)
// when that program is in the program folder, else it points every program at the in-process virtual
// keyboard with a fresh state file shared through the file. Programs run with HOME and the XDG folders
// in a temporary folder, never the real ones. Each step can be photographed into build/e2e/. Every
// process the runner starts is ended by its process id when the Desktop goes, also when the scenario
// failed, and the named events of the programs (a prefix of the desktop's own) are removed. With the
// Wayland option the desktop is a headless Wayland compositor (weston) instead, for the Wayland smoke
// scenario.
//
//   Desktop d("report-rate");
//   ASSERT_TRUE(d.ok()) << d.error();
//   Process& app = d.startProgram("tarvik", {});
//   auto w = d.findWindow("^Tarvik$");
//   ASSERT_TRUE(w);
//   d.clickAt(*w, d.skinFile("Main.ini"), "FUNC_REPORT2");
//   d.step("report rate clicked");
//   EXPECT_TRUE(waitUntil([&] { return d.portmuxSim({"flash", "settings", "--json"}).output.find(...); },
//   5s));
#pragma once

#include "tests/e2e/Process.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::e2e {

using WindowId = std::uint32_t;

struct ScreenRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

struct ScreenPoint {
    int x = 0, y = 0;
};

struct DesktopOptions {
    int width = 1600;
    int height = 900;
    bool trayHost = true;
    // Start `portmux-sim serve` when it is in the program folder (else the keyboard runs in each process).
    bool virtualKeyboardServer = true;
    // A headless weston instead of the X server, window manager and tray host; programs get
    // QT_QPA_PLATFORM=wayland. The window and input helpers need X and fail here; step() works.
    bool wayland = false;
    // Programs run from a copy of the program folder in the scenario's folder (hard links where the file
    // system allows): what a program writes into its own folder (the language choice) stays out of the
    // build.
    bool privateProgramFolder = false;
    // A private session bus (dbus-daemon) for the X11 desktop: the program owns its name there and
    // tarvikctl calls it. Without it programs see no bus at all.
    bool sessionBus = true;
};

// A top-level window of a program, as the X server and the window manager see it.
struct WindowInfo {
    WindowId id = 0;
    std::string name; // _NET_WM_NAME (Qt falls back to the program's name for an empty title)
    std::string type; // _NET_WM_WINDOW_TYPE as xprop prints it
    bool viewable = false;
    bool overrideRedirect = false; // menus, tooltips: placed by the program, not the window manager
    bool embedded = false;         // inside the tray host: the notification-area icon
    ScreenRect place;
};

class Desktop {
public:
    // scenario names the screenshots: build/e2e/<scenario>-NN-<step>.png.
    explicit Desktop(std::string scenario, DesktopOptions options = {});
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;
    // Ends every program started here, newest first, each by its process id.
    ~Desktop();

    // False when a part of the desktop did not come up; error() says which.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    std::string display() const { return ":" + std::to_string(display_); }
    const std::filesystem::path& home() const { return home_; }
    const std::filesystem::path& programFolder() const { return programFolder_; }
    std::filesystem::path skinFile(std::string_view name) const { return programFolder_ / "Skins" / name; }
    // Where the screenshots go (build/e2e).
    const std::filesystem::path& shotFolder() const { return shotFolder_; }
    // For a desktop that several scenarios share: the next screenshots are named after this scenario and
    // numbered from 1 again. Pictures of an earlier run of a scenario go when it starts again.
    void setScenario(const std::string& scenario);
    // True when the virtual keyboard is `portmux-sim serve`, false when it runs in each process.
    bool simServer() const { return simServer_; }
    // The environment every program of the scenario gets (NAME=value).
    const std::vector<std::string>& environment() const { return environment_; }
    // The process ids of the programs the runner started and has not yet ended, oldest first.
    std::vector<pid_t> processIds() const;

    // Starts a program in the session; the Desktop ends it at the latest when it goes. extraEnv entries
    // replace those of the same name. Its output is in home()/<name>-N.log.
    Process& start(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& extraEnv = {});
    // A program of the program folder, for example "tarvik".
    Process& startProgram(const std::string& name, const std::vector<std::string>& args,
                          const std::vector<std::string>& extraEnv = {});
    // Runs a command of the session to its end (bounded).
    RunOutcome run(const std::filesystem::path& program, const std::vector<std::string>& args,
                   std::chrono::milliseconds timeout = 20s) const;
    RunOutcome tarvikctl(const std::vector<std::string>& args) const;
    // A control verb of the virtual keyboard's server; fails (exit code -1) when there is no server.
    RunOutcome portmuxSim(const std::vector<std::string>& args) const;

    // The first viewable window whose name matches the extended regular expression, waiting up to timeout
    // for it to appear and be mapped.
    std::optional<WindowId> findWindow(const std::string& namePattern,
                                       std::chrono::milliseconds timeout = 10s) const;
    bool isViewable(WindowId window) const;
    // Every window of a process (mapped or not) that says it belongs to it (_NET_WM_PID).
    std::vector<WindowInfo> windowsOf(pid_t pid) const;
    // The process's icon in the notification area once the tray host shows it, waiting up to timeout.
    std::optional<WindowInfo> trayIconOf(pid_t pid, std::chrono::milliseconds timeout = 10s) const;
    bool waitViewable(WindowId window, std::chrono::milliseconds timeout = 10s) const;
    bool waitHidden(WindowId window, std::chrono::milliseconds timeout = 10s) const;
    // The window's drawing area (without the frame) in screen coordinates.
    std::optional<ScreenRect> geometry(WindowId window) const;
    // Raises and focuses the window, and waits until the window manager says it is active.
    bool activate(WindowId window) const;

    // Left click (or button) at the centre of a "BUTTONINFO" rectangle of a skin layout file, in the
    // window's place on the screen. The layout counts from the window's top-left corner.
    bool clickAt(WindowId window, const std::filesystem::path& layoutFile, std::string_view key,
                 int button = 1) const;
    bool clickAtPoint(int x, int y, int button = 1) const;
    bool doubleClickAtPoint(int x, int y) const;
    // A button pressed or released at a point, for a drag: press, movePointer through the way, release.
    bool pressAt(int x, int y, int button = 1) const;
    bool releaseAt(int x, int y, int button = 1) const;
    // Moves the pointer without clicking (for example off every control, so no hover look or tooltip is
    // in the picture).
    bool movePointer(int x, int y) const;
    // Real key events through the X server (XTEST), to the focused window: keysym names as xdotool
    // takes them ("a", "Return", "ctrl+s").
    bool key(const std::vector<std::string>& keysyms) const;
    bool type(const std::string& text) const;

    // The whole screen as build/e2e/<scenario>-NN-<what>.png; returns the file (empty on failure).
    // Under Wayland the compositor's screenshooter takes it.
    std::filesystem::path step(const std::string& what);
    // The screen as it is now, into the scenario's temporary folder: for waiting until the screen shows
    // something (step() is for the pictures that are kept). Empty on failure.
    std::filesystem::path grab();
    // One window as build/e2e/<name>.png (the metainfo's main-window.png is one of these).
    std::filesystem::path shotOfWindow(WindowId window, const std::string& name) const;

private:
    bool startXServer();
    bool startWayland();
    bool startWindowManager();
    bool startTrayHost();
    bool startVirtualKeyboard();
    bool startSessionBus();
    bool copyProgramFolder();
    void removeNamedEvents() const;
    void forgetOldSteps() const;
    std::vector<std::string> environmentWith(const std::vector<std::string>& extra) const;
    RunOutcome x(const std::string& tool, const std::vector<std::string>& args) const;
    // The xdotool words that bring the pointer to a point; none when it is there already.
    std::vector<std::string> moveTo(int px, int py) const;
    bool screenshot(const std::filesystem::path& file);

    std::string scenario_;
    DesktopOptions options_;
    std::string error_;
    int display_ = -1;
    std::filesystem::path root_; // temporary folder of the scenario: home, runtime folder, logs
    std::filesystem::path home_;
    std::filesystem::path programFolder_;
    std::filesystem::path shotFolder_;
    std::string eventPrefix_; // the programs' named events, removed with the desktop
    bool simServer_ = false;
    std::vector<std::string> environment_;
    std::deque<Process> processes_; // deque: references stay valid as programs are added
    int steps_ = 0;
    int logs_ = 0;
    int grabs_ = 0;
};

} // namespace tarvik::e2e
