// What the Wayland compositor desks share, whichever compositor they run: a temporary folder with the
// desk's home and runtime folder, the environment of its programs (XDG folders, the session bus of the
// desk, the virtual keyboard's socket), the desk's user, and every process started for it.
//
// Some compositors refuse to run as root, and CI runs as root: a root test runs the whole desk, programs
// included, as the unprivileged user tarvik-e2e, which the session creates when it is missing. The
// programs then run from a copy of the program folder the user can reach (hard links where the file
// system allows). Every process is ended by its process id, newest first, when the session goes, also
// when the scenario failed; the folder is kept for a look when a test failed.
//
//   DeskSession s("sway", {wlinputPath});
//   ASSERT_TRUE(s.ok()) << s.error();
//   s.startPart("dbus-daemon", which("dbus-daemon"), {...}, [&] { return exists(s.runtime() / "bus"); });
//   s.startVirtualKeyboard();
#pragma once

#include "tests/e2e/Process.h"

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarvik::e2e {

class DeskSession {
public:
    // kind names the temporary folder and the programs' named events; helpers are programs outside the
    // program folder the desk's user runs too (they join the copy of the program folder).
    DeskSession(const std::string& kind, const std::vector<std::filesystem::path>& helpers = {});
    DeskSession(const DeskSession&) = delete;
    DeskSession& operator=(const DeskSession&) = delete;
    ~DeskSession();

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    void fail(std::string error) { error_ = std::move(error); }

    const std::filesystem::path& root() const { return root_; }
    const std::filesystem::path& home() const { return home_; }
    const std::filesystem::path& runtime() const { return runtime_; }
    const std::filesystem::path& programFolder() const { return programFolder_; }
    // A helper given to the constructor, where the desk's user can run it.
    std::filesystem::path helper(const std::filesystem::path& original) const;
    std::filesystem::path bus() const { return runtime_ / "bus"; }
    // Gives a file or folder made by the test to the desk's user.
    bool own(const std::filesystem::path& path) const;

    // NAME=value entries for every process started from now on.
    void setEnvironment(const std::vector<std::string>& entries);

    Process& start(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& extraEnv = {});
    // Starts a part of the desk and waits up to 15 s until up() holds; false (and error()) when it
    // did not come up.
    bool startPart(const std::string& what, const std::filesystem::path& program,
                   const std::vector<std::string>& args, const std::function<bool()>& up);
    // The log of the process started last.
    const std::filesystem::path& lastLog() const { return lastLog_; }
    RunOutcome run(const std::filesystem::path& program, const std::vector<std::string>& args,
                   std::chrono::milliseconds timeout = 20s) const;
    RunOutcome portmuxSim(const std::vector<std::string>& args) const;
    // The desk's session bus (dbus-daemon), and the virtual keyboard's server on a fresh state file.
    bool startSessionBus();
    bool startVirtualKeyboard();

private:
    bool createUser();
    bool copyProgramFolder(const std::vector<std::filesystem::path>& helpers);
    // The argument vector that runs program as the desk's user.
    std::vector<std::string> asUser(const std::filesystem::path& program,
                                    const std::vector<std::string>& args) const;

    std::string error_;
    std::filesystem::path root_;
    std::filesystem::path home_;
    std::filesystem::path runtime_;
    std::filesystem::path programFolder_;
    std::filesystem::path lastLog_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    bool switchUser_ = false;
    std::vector<std::string> environment_;
    std::deque<Process> processes_;
    int logs_ = 0;
};

} // namespace tarvik::e2e
