// A desk of KDE's compositor for whole-program tests: kwin_wayland on a virtual output (no GPU, no
// input devices), a session bus of its own, the virtual keyboard's server, and no tray host (Plasma's
// panel is not part of it): a second start of the program opens its window. Input goes through KWin's
// fake input protocol (wlinput), pictures through KWin's ScreenShot2 interface (kwinshot) into
// build/e2e/; what KWin knows about windows is asked with small KWin scripts whose answers KWin prints
// into its log.
//
// The installed kwin_wayland carries a file capability (cap_sys_resource) that a container without it in
// its bounding set refuses to exec ("Operation not permitted"); the desk runs a copy of it, which has
// none. KWin lets the test clients use its privileged interfaces only with its permission checks off.
//
//   KWinDesk d("kwin");
//   ASSERT_TRUE(d.ok()) << d.error();
//   Process& app = d.startProgram("tarvik", {"/Start"});
//   d.startProgram("tarvik", {});
//   auto w = d.findWindow("^Tarvik");
//   d.clickAt(*w, d.skinFile("Main.ini"), "KEY_01E");
#pragma once

#include "tests/e2e/DeskSession.h"
#include "tests/e2e/Desktop.h"
#include "tests/e2e/Process.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarvik::e2e {

// A window as KWin shows it, in logical pixels (the frame: this desk has no decorations).
struct KWinWindow {
    std::string title;
    std::string appId; // the Wayland app id (KWin's resource class)
    pid_t pid = 0;
    bool active = false;
    ScreenRect place;
};

class KWinDesk {
public:
    explicit KWinDesk(std::string scenario, int width = 1600, int height = 900);
    KWinDesk(const KWinDesk&) = delete;
    KWinDesk& operator=(const KWinDesk&) = delete;
    ~KWinDesk();

    bool ok() const { return session_.ok(); }
    const std::string& error() const { return session_.error(); }
    // False when KWin is not installed or does not start on this machine: error() says why, and the
    // scenarios skip rather than fail.
    bool kwinRuns() const { return kwinRuns_; }
    void setScenario(const std::string& scenario);
    const std::filesystem::path& programFolder() const { return session_.programFolder(); }
    std::filesystem::path skinFile(std::string_view name) const { return programFolder() / "Skins" / name; }
    const std::filesystem::path& home() const { return session_.home(); }
    // The virtual desktop in front (1 or 2): the desk binds the Windows key alone to the next desktop,
    // so a change tells that KWin had the key for itself. 0 when KWin does not answer.
    int currentDesktop() const;
    bool setCurrentDesktop(int desktop) const;

    Process& startProgram(const std::string& name, const std::vector<std::string>& args,
                          const std::vector<std::string>& extraEnv = {});
    RunOutcome run(const std::filesystem::path& program, const std::vector<std::string>& args,
                   std::chrono::milliseconds timeout = 20s) const;
    RunOutcome portmuxSim(const std::vector<std::string>& args) const;
    // A method call on the desk's session bus through gdbus.
    RunOutcome busCall(const std::string& destination, const std::string& path, const std::string& method,
                       const std::vector<std::string>& args = {}) const;

    std::vector<KWinWindow> windows();
    // The first window whose title matches the extended regular expression, waiting up to timeout.
    std::optional<KWinWindow> findWindow(const std::string& titlePattern,
                                         std::chrono::milliseconds timeout = 10s);
    // Gives the focus to the window of that app id, as a click on it would.
    bool activate(const std::string& appId);
    // Whether KWin has a script of that name loaded (a program's own, for one).
    bool scriptLoaded(const std::string& name) const;

    bool click(ScreenPoint at) const;
    // Left click at the centre of a "BUTTONINFO" rectangle of a skin layout file, in the window.
    bool clickAt(const KWinWindow& window, const std::filesystem::path& layoutFile,
                 std::string_view key) const;
    // The evdev key codes pressed in order and released in reverse.
    bool chord(const std::vector<int>& codes) const;

    // The whole output as build/e2e/<scenario>-NN-<what>.png; empty on failure.
    std::filesystem::path step(const std::string& what);

private:
    // Runs a KWin script; the lines it printed with print(), without KWin's "js: " mark.
    std::optional<std::vector<std::string>> script(const std::string& body);
    RunOutcome input(const std::vector<std::string>& args) const;

    std::string scenario_;
    int width_;
    int height_;
    std::filesystem::path shotFolder_;
    std::filesystem::path tools_;
    DeskSession session_;
    std::filesystem::path kwinLog_;
    int steps_ = 0;
    int scripts_ = 0;
    bool kwinRuns_ = false;
};

} // namespace tarvik::e2e
