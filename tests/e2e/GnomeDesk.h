// A GNOME Shell desk for whole-program tests: a headless GNOME Shell on Wayland (one virtual monitor, no
// Xwayland) with a session bus of its own, a stand-in system bus (the shell will not start without one),
// and the virtual keyboard's server. A plain GNOME Shell has no tray.
//
// The shell runs the extensions given to the desk, enabled before it starts, and one of the desk's own
// that turns the shell's unsafe mode on: the desk then asks the shell itself, through its Eval and
// Screenshot methods, for its windows and overview, and sends pointer and keyboard events through
// virtual input devices of the shell's seat (the road remote desktop input takes). Like SwayDesk it
// runs as the unprivileged user of its DeskSession when the tests run as root.
//
//   GnomeDesk d("gnome", {extensionFolder});
//   ASSERT_TRUE(d.ok()) << d.error();
//   Process& app = d.startProgram("tarvik", {"/Start"});
//   auto w = d.findWindow("^Tarvik", app.pid());
//   d.clickAt(*w, d.skinFile("Main.ini"), "KEY_010");
#pragma once

#include "tests/e2e/DeskSession.h"
#include "tests/e2e/Desktop.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarvik::e2e {

// A window as the shell shows it (its frame), in logical pixels.
struct GnomeWindow {
    std::string title;
    std::string appId; // the Wayland app id
    pid_t pid = 0;
    bool focused = false;
    ScreenRect place;
};

class GnomeDesk {
public:
    // extensions: folders of GNOME Shell extensions (each named by its uuid) to install, and enable unless
    // told otherwise.
    explicit GnomeDesk(std::string scenario, const std::vector<std::filesystem::path>& extensions = {},
                       bool enable = true);
    GnomeDesk(const GnomeDesk&) = delete;
    GnomeDesk& operator=(const GnomeDesk&) = delete;
    ~GnomeDesk();

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

    // Runs JavaScript in the shell (where the shell's Main is in scope); the value of its last expression
    // as JSON text, nothing on failure.
    std::optional<std::string> eval(const std::string& script) const;
    // The state the shell gives an extension (1: enabled, 4: out of date), -1 when it does not know it.
    int extensionState(const std::string& uuid) const;

    std::vector<GnomeWindow> windows() const;
    // The first window of pid (any process when 0) whose title matches the extended regular expression,
    // waiting up to timeout.
    std::optional<GnomeWindow> findWindow(const std::string& titlePattern, pid_t pid = 0,
                                          std::chrono::milliseconds timeout = 10s) const;
    // Brings the first window whose app id is appId to the front, as a click on it in the overview does.
    bool activate(const std::string& appId) const;
    bool overviewShown() const;
    // A modal dialog of the shell's own (the question whether a program may take the shortcuts).
    bool shellDialogShown() const;

    bool click(ScreenPoint at) const;
    // Left click at the centre of a "BUTTONINFO" rectangle of a skin layout file, in the window.
    bool clickAt(const GnomeWindow& window, const std::filesystem::path& layoutFile,
                 std::string_view key) const;
    // The evdev key codes pressed in order and released in reverse (one code: a key pressed and released).
    bool chord(const std::vector<int>& codes) const;

    // The whole output as build/e2e/<scenario>-NN-<what>.png; empty on failure.
    std::filesystem::path step(const std::string& what);

private:
    // JavaScript for the first window whose app id is appId (undefined when there is none).
    static std::string windowOf(const std::string& appId);
    // Into the user's extensions folder; the folder's name is the extension's uuid.
    bool installExtension(const std::filesystem::path& from);

    std::string scenario_;
    std::filesystem::path shotFolder_;
    DeskSession session_;
    int steps_ = 0;
};

} // namespace tarvik::e2e
