#include "tests/e2e/DeskSession.h"

#include "tests/e2e/DeskTools.h"

#include "TestPaths.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <pwd.h>
#include <unistd.h>

namespace tarvik::e2e {

namespace {

constexpr const char* kUser = "tarvik-e2e";

} // namespace

DeskSession::DeskSession(const std::string& kind, const std::vector<std::filesystem::path>& helpers) {
    const char* bin = std::getenv("TARVIK_BIN_DIR");
    programFolder_ = bin != nullptr && bin[0] != '\0' ? bin : TARVIK_TEST_BIN_DIR;
    switchUser_ = ::getuid() == 0;
    uid_ = ::getuid();
    gid_ = ::getgid();
    if (switchUser_ && !createUser()) {
        return;
    }
    std::string tmpl = "/tmp/tarvik-" + safeName(kind) + "-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) {
        error_ = std::string("cannot create a temporary folder: ") + std::strerror(errno);
        return;
    }
    root_ = tmpl;
    home_ = root_ / "home";
    runtime_ = root_ / "run";
    std::error_code ec;
    for (const auto& folder : {home_ / ".config", home_ / "Documents", runtime_}) {
        std::filesystem::create_directories(folder, ec);
    }
    ::chmod(runtime_.c_str(), 0700);
    // The desk's user owns its folders (the program folder only needs to be readable).
    for (const auto& folder : {root_, home_, home_ / ".config", home_ / "Documents", runtime_}) {
        if (!own(folder)) {
            error_ = "cannot give " + folder.string() + " to the desk's user";
            return;
        }
    }
    if (switchUser_ && !copyProgramFolder(helpers)) {
        return;
    }

    environment_ = environmentWithoutDesk();
    std::string eventPrefix = "/Tarvik" + safeName(kind) + std::to_string(::getpid()) + "_";
    std::erase(eventPrefix, '-');
    assign(environment_, {
                             "HOME=" + home_.string(),
                             "USER=" + std::string(switchUser_ ? kUser : ""),
                             "XDG_CONFIG_HOME=" + (home_ / ".config").string(),
                             "XDG_STATE_HOME=" + (home_ / ".local/state").string(),
                             "XDG_DATA_HOME=" + (home_ / ".local/share").string(),
                             "XDG_CACHE_HOME=" + (home_ / ".cache").string(),
                             "XDG_RUNTIME_DIR=" + runtime_.string(),
                             "TARVIK_BIN_DIR=" + programFolder_.string(),
                             "DBUS_SESSION_BUS_ADDRESS=unix:path=" + bus().string(),
                             "QT_QPA_PLATFORM=wayland",
                             "QT_ACCESSIBILITY=0",
                             "NO_AT_BRIDGE=1",
                             "GTK_A11Y=none",
                             "PORTMUX_BACKEND=sim",
                             "PORTMUX_SIM_SOCKET=" + (runtime_ / "portmux" / "sim.sock").string(),
                             "PORTMUX_SIM_STATE=" + (root_ / "sim-keyboard.bin").string(),
                             "TARVIK_NAMED_EVENT_PREFIX=" + eventPrefix,
                         });
}

DeskSession::~DeskSession() {
    while (!processes_.empty()) {
        Process& p = processes_.back();
        if (!p.end()) {
            std::cerr << "e2e: " << p.name() << " (process " << p.pid() << ") did not end\n";
        }
        processes_.pop_back();
    }
    if (root_.empty()) {
        return;
    }
    if (::testing::Test::HasFailure() || ::testing::UnitTest::GetInstance()->failed_test_count() > 0) {
        std::cerr << "e2e: the desk's home, logs and state are kept in " << root_ << "\n";
        return;
    }
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

bool DeskSession::createUser() {
    if (passwd* pw = ::getpwnam(kUser)) {
        uid_ = pw->pw_uid;
        gid_ = pw->pw_gid;
        return true;
    }
    const RunOutcome made = runToEnd(which("useradd"),
                                     {"--system", "--user-group", "--no-create-home", "--home-dir",
                                      "/nonexistent", "--shell", "/usr/sbin/nologin", kUser},
                                     {"PATH=/usr/sbin:/usr/bin:/sbin:/bin"}, "/tmp", 20s);
    passwd* pw = ::getpwnam(kUser);
    if (pw == nullptr) {
        error_ = "cannot create the user " + std::string(kUser) + ": " + made.output;
        return false;
    }
    uid_ = pw->pw_uid;
    gid_ = pw->pw_gid;
    return true;
}

bool DeskSession::own(const std::filesystem::path& path) const {
    return ::chown(path.c_str(), uid_, gid_) == 0;
}

bool DeskSession::copyProgramFolder(const std::vector<std::filesystem::path>& helpers) {
    // The build tree may lie where the desk's user cannot reach (a root-only home): the programs run
    // from a folder of the desk, hard-linked where the file system allows; the files a program writes
    // into (its .ini files) are the user's own copies.
    const std::filesystem::path to = root_ / "bin";
    std::error_code ec;
    std::filesystem::create_directories(to, ec);
    bool ok = own(to);
    auto place = [&](const std::filesystem::path& from, const std::filesystem::path& target) {
        std::error_code fileEc;
        if (from.extension() == ".ini") {
            std::filesystem::copy_file(from, target, fileEc);
            ok = ok && !fileEc && own(target);
            return;
        }
        std::filesystem::create_hard_link(from, target, fileEc);
        if (fileEc) {
            fileEc.clear();
            std::filesystem::copy_file(from, target, fileEc);
        }
        ok = ok && !fileEc;
    };
    for (auto it = std::filesystem::recursive_directory_iterator(programFolder_, ec);
         ok && !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::filesystem::path target = to / std::filesystem::relative(it->path(), programFolder_);
        if (it->is_directory()) {
            std::filesystem::create_directories(target, ec);
            ok = ok && own(target);
        } else {
            place(it->path(), target);
        }
    }
    for (const std::filesystem::path& h : helpers) {
        place(h, to / h.filename());
    }
    if (!ok || ec) {
        error_ = "cannot copy the program folder to " + to.string();
        return false;
    }
    programFolder_ = to;
    return true;
}

std::filesystem::path DeskSession::helper(const std::filesystem::path& original) const {
    return switchUser_ ? programFolder_ / original.filename() : original;
}

void DeskSession::setEnvironment(const std::vector<std::string>& entries) {
    assign(environment_, entries);
}

std::vector<std::string> DeskSession::asUser(const std::filesystem::path& program,
                                             const std::vector<std::string>& args) const {
    std::vector<std::string> argv;
    if (switchUser_) {
        // The parent-death signal is set after the switch, which clears one set before it.
        argv = {"--reuid=" + std::to_string(uid_),
                "--regid=" + std::to_string(gid_),
                "--clear-groups",
                "--pdeathsig",
                "SIGKILL",
                "--"};
    }
    argv.push_back(program.string());
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

Process& DeskSession::start(const std::filesystem::path& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& extraEnv) {
    const std::filesystem::path log =
        root_ / (program.filename().string() + "-" + std::to_string(++logs_) + ".log");
    lastLog_ = log;
    std::vector<std::string> env = environment_;
    assign(env, extraEnv);
    std::vector<std::string> argv = asUser(program, args);
    if (!switchUser_) {
        argv.erase(argv.begin());
        processes_.emplace_back(program, argv, Process::Options{env, log, -1, {}});
    } else {
        processes_.emplace_back(which("setpriv"), argv, Process::Options{env, log, -1, {}});
    }
    return processes_.back();
}

bool DeskSession::startPart(const std::string& what, const std::filesystem::path& program,
                            const std::vector<std::string>& args, const std::function<bool()>& up) {
    const int log = logs_ + 1;
    Process& p = start(program, args);
    if (!p.running() || !waitUntil(up, 15s, 50ms)) {
        error_ = what + " did not come up: " +
                 tail(root_ / (program.filename().string() + "-" + std::to_string(log) + ".log"));
        return false;
    }
    return true;
}

RunOutcome DeskSession::run(const std::filesystem::path& program, const std::vector<std::string>& args,
                            std::chrono::milliseconds timeout) const {
    if (!switchUser_) {
        return runToEnd(program, args, environment_, root_, timeout);
    }
    return runToEnd(which("setpriv"), asUser(program, args), environment_, root_, timeout);
}

RunOutcome DeskSession::portmuxSim(const std::vector<std::string>& args) const {
    return run(programFolder_ / "portmux-sim", args);
}

bool DeskSession::startSessionBus() {
    return startPart("dbus-daemon", which("dbus-daemon"),
                     {"--session", "--nofork", "--address=unix:path=" + bus().string()},
                     [&] { return std::filesystem::exists(bus()); });
}

bool DeskSession::startVirtualKeyboard() {
    return startPart("portmux-sim", programFolder_ / "portmux-sim",
                     {"serve", "--state", (root_ / "sim-keyboard.bin").string(), "--socket",
                      (runtime_ / "portmux" / "sim.sock").string()},
                     [&] {
                         return portmuxSim({"status", "--json"}).exitCode == 0;
                     });
}

} // namespace tarvik::e2e
